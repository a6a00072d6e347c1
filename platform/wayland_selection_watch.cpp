#include "platform/wayland_selection_watch.h"

#include <fcntl.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <functional>
#include <utility>

#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace tessora {
namespace {

constexpr int kUriListLimit = 64 * 1024;
constexpr int kUriListTimeoutMs = 2000;
constexpr char kUriList[] = "text/uri-list";

QStringList* TypesOf(zwlr_data_control_offer_v1* offer) {
  return static_cast<QStringList*>(zwlr_data_control_offer_v1_get_user_data(offer));
}

void DestroyOffer(zwlr_data_control_offer_v1* offer) {
  delete TypesOf(offer);
  zwlr_data_control_offer_v1_destroy(offer);
}

bool OffersPicture(const QStringList& types) {
  for (const QString& type : types) {
    if (type.startsWith(QLatin1String("image/"))) {
      return true;
    }
  }
  return false;
}

/// Reads what the clipboard's owner writes into a pipe, without blocking the event loop (the
/// owner may be this very program), up to a size and a time limit.
class PipeReader : public QObject {
 public:
  PipeReader(int fd, std::function<void(const QByteArray&)> done, QObject* parent)
      : QObject(parent), fd_(fd), notifier_(fd, QSocketNotifier::Read), done_(std::move(done)) {
    connect(&notifier_, &QSocketNotifier::activated, this, &PipeReader::readSome);
    QTimer::singleShot(kUriListTimeoutMs, this, &PipeReader::finish);
  }
  ~PipeReader() override { ::close(fd_); }
  PipeReader(const PipeReader&) = delete;
  PipeReader& operator=(const PipeReader&) = delete;

 private:
  void readSome() {
    char chunk[4096];
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      return;
    }
    if (n > 0 && text_.size() < kUriListLimit) {
      text_.append(chunk, static_cast<int>(n));
      return;
    }
    finish();
  }
  void finish() {
    if (done_) {
      notifier_.setEnabled(false);
      auto done = std::move(done_);
      done_ = nullptr;
      done(text_);
      deleteLater();
    }
  }

  int fd_;
  QSocketNotifier notifier_;
  std::function<void(const QByteArray&)> done_;
  QByteArray text_;
};

}  // namespace

// The protocol's C callbacks, with the watch (or an offer's type list) as their data.
struct WaylandSelectionWatch::Callbacks {
  static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                     uint32_t /*version*/) {
    auto* watch = static_cast<WaylandSelectionWatch*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && watch->seat_ == nullptr) {
      watch->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
      watch->manager_ = static_cast<zwlr_data_control_manager_v1*>(
          wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    }
  }
  static void globalRemove(void*, wl_registry*, uint32_t) {}

  static void offerType(void* data, zwlr_data_control_offer_v1*, const char* type) {
    static_cast<QStringList*>(data)->append(QString::fromUtf8(type));
  }
  static void dataOffer(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
    static const zwlr_data_control_offer_v1_listener listener{&Callbacks::offerType};
    zwlr_data_control_offer_v1_add_listener(offer, &listener, new QStringList);
  }
  static void selection(void* data, zwlr_data_control_device_v1*,
                        zwlr_data_control_offer_v1* offer) {
    static_cast<WaylandSelectionWatch*>(data)->takeSelection(offer);
  }
  static void finished(void* data, zwlr_data_control_device_v1*) {
    static_cast<WaylandSelectionWatch*>(data)->lose(
        QStringLiteral("the compositor ended the clipboard watch"));
  }
};

WaylandSelectionWatch::WaylandSelectionWatch() {
  connectToCompositor();
}

WaylandSelectionWatch::~WaylandSelectionWatch() {
  lose(QString());
  if (display_ != nullptr) {
    wl_display_disconnect(display_);
  }
}

void WaylandSelectionWatch::connectToCompositor() {
  display_ = wl_display_connect(nullptr);
  if (display_ == nullptr) {
    reason_ = QStringLiteral("no Wayland compositor could be reached");
    return;
  }
  static const wl_registry_listener registryListener{&Callbacks::global, &Callbacks::globalRemove};
  registry_ = wl_display_get_registry(display_);
  wl_registry_add_listener(registry_, &registryListener, this);
  wl_display_roundtrip(display_);
  if (seat_ == nullptr || manager_ == nullptr) {
    lose(QStringLiteral("the compositor offers no clipboard watch (wlr data-control)"));
    return;
  }
  static const zwlr_data_control_device_v1_listener deviceListener{
      &Callbacks::dataOffer, &Callbacks::selection, &Callbacks::finished};
  device_ = zwlr_data_control_manager_v1_get_data_device(manager_, seat_);
  zwlr_data_control_device_v1_add_listener(device_, &deviceListener, this);
  notifier_ = new QSocketNotifier(wl_display_get_fd(display_), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &WaylandSelectionWatch::dispatch);
  wl_display_flush(display_);
}

// Reads only what has arrived: the socket is never waited on from the event loop.
void WaylandSelectionWatch::dispatch() {
  while (wl_display_prepare_read(display_) != 0) {
    wl_display_dispatch_pending(display_);
  }
  if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0) {
    lose(QStringLiteral("the connection to the compositor was lost"));
    return;
  }
  wl_display_flush(display_);
}

void WaylandSelectionWatch::takeSelection(zwlr_data_control_offer_v1* offer) {
  if (selection_ != nullptr && selection_ != offer) {
    DestroyOffer(selection_);
  }
  selection_ = offer;
  ++generation_;
  const QStringList types = offer != nullptr ? *TypesOf(offer) : QStringList();
  if (!OffersPicture(types) && types.contains(QLatin1String(kUriList))) {
    readUriList(offer, types);
    return;
  }
  Q_EMIT selectionChanged(types, QByteArray());
}

// File managers copy files as a list of addresses: whether one is a picture needs the list.
void WaylandSelectionWatch::readUriList(zwlr_data_control_offer_v1* offer,
                                        const QStringList& types) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    Q_EMIT selectionChanged(types, QByteArray());
    return;
  }
  zwlr_data_control_offer_v1_receive(offer, kUriList, fds[1]);
  wl_display_flush(display_);
  ::close(fds[1]);
  new PipeReader(
      fds[0],
      [this, generation = generation_, types](const QByteArray& list) {
        if (generation == generation_) {  // else a newer selection has been reported meanwhile
          Q_EMIT selectionChanged(types, list);
        }
      },
      this);
}

void WaylandSelectionWatch::lose(const QString& reason) {
  if (notifier_ != nullptr) {  // lose() may run inside the notifier's own signal
    notifier_->setEnabled(false);
    notifier_->deleteLater();
    notifier_ = nullptr;
  }
  if (selection_ != nullptr) {
    DestroyOffer(selection_);
    selection_ = nullptr;
  }
  if (device_ != nullptr) {
    zwlr_data_control_device_v1_destroy(device_);
    device_ = nullptr;
  }
  if (manager_ != nullptr) {
    zwlr_data_control_manager_v1_destroy(manager_);
    manager_ = nullptr;
  }
  if (seat_ != nullptr) {
    wl_seat_destroy(seat_);
    seat_ = nullptr;
  }
  if (registry_ != nullptr) {
    wl_registry_destroy(registry_);
    registry_ = nullptr;
  }
  if (!reason.isEmpty()) {
    reason_ = reason;
  }
}

}  // namespace tessora
