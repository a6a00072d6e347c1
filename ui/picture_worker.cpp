#include "ui/picture_worker.h"

#include <QMetaObject>
#include <QTimer>
#include <array>
#include <atomic>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace tessora {
namespace {

/// How long a landing the document is not ready for (it is inside a command that waits in an
/// event loop of its own) waits before it is tried again.
constexpr int kLandAgainMs = 20;

std::atomic<int> threadsReading{0};

struct Task {
  std::function<void()> decode;
  std::function<bool()> land;
};

void LandOrWait(QObject* receiver, const std::function<bool()>& land) {
  if (!land()) {
    QTimer::singleShot(kLandAgainMs, receiver, [receiver, land] { LandOrWait(receiver, land); });
  }
}

}  // namespace

/// What the worker shares with its threads; it outlives the worker while a thread still reads.
struct PictureWorker::Lanes {
  std::mutex mutex;
  /// Where landings are posted; nullptr once the worker has gone.
  QObject* receiver = nullptr;
  std::array<std::deque<Task>, 2> queued;
  std::array<bool, 2> reading{};

  void post(std::function<bool()> land) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (receiver != nullptr) {
      QMetaObject::invokeMethod(
          receiver, [target = receiver, land = std::move(land)] { LandOrWait(target, land); },
          Qt::QueuedConnection);
    }
  }

  /// Decodes a lane's tasks in order until none is left.
  static void Drain(const std::shared_ptr<Lanes>& lanes, std::size_t lane) {
    for (;;) {
      Task task;
      {
        const std::lock_guard<std::mutex> lock(lanes->mutex);
        if (lanes->queued[lane].empty()) {
          lanes->reading[lane] = false;
          return;
        }
        task = std::move(lanes->queued[lane].front());
        lanes->queued[lane].pop_front();
      }
      task.decode();
      lanes->post(std::move(task.land));
    }
  }
};

PictureWorker::PictureWorker(QObject* parent) : QObject(parent), lanes_(std::make_shared<Lanes>()) {
  lanes_->receiver = this;
}

PictureWorker::~PictureWorker() {
  const std::lock_guard<std::mutex> lock(lanes_->mutex);
  lanes_->receiver = nullptr;
}

void PictureWorker::run(Source source, std::function<void()> decode, std::function<bool()> land) {
  const std::size_t lane = source == Source::Tile ? 0 : 1;
  {
    const std::lock_guard<std::mutex> lock(lanes_->mutex);
    lanes_->queued[lane].push_back(Task{std::move(decode), std::move(land)});
    if (lanes_->reading[lane]) {
      return;
    }
    lanes_->reading[lane] = true;
  }
  ++threadsReading;
  try {
    std::thread([lanes = lanes_, lane] {
      Lanes::Drain(lanes, lane);
      --threadsReading;
    }).detach();
  } catch (const std::system_error&) {
    // No thread to be had: the picture is read here, and still lands through the event loop.
    Lanes::Drain(lanes_, lane);
    --threadsReading;
  }
}

bool PictureWorker::Decoding() {
  return threadsReading > 0;
}

}  // namespace tessora
