#include "document/picture_loads.h"

#include <atomic>
#include <exception>
#include <new>
#include <utility>

namespace tessora {

/// One load: what the decode needs and yields, and what lands it. The decoding thread writes the
/// picture and the outcome; the document's thread reads them only once the runner hands the
/// landing over, after the decode has returned.
struct PictureLoads::Job {
  Decode decode;
  Land land;
  /// Cleared when the load is superseded, so that a decode not yet begun is skipped.
  std::atomic<bool> wanted{true};
  Bitmap picture;
  Outcome outcome = Outcome::Failed("not read");
};

PictureLoads::PictureLoads(Feedback& feedback, const ChangeNotices& notices)
    : feedback_(feedback), notices_(notices), self_(std::make_shared<PictureLoads*>(this)) {}

PictureLoads::~PictureLoads() {
  for (const std::shared_ptr<Job>& job : current_) {
    if (job) {
      job->wanted = false;
    }
  }
}

// A reader reports what users meet as an outcome; anything it throws all the same (a test's
// loader, an allocation) fails the load instead of leaving a worker with an exception.
void PictureLoads::RunDecode(Job& job) {
  if (!job.wanted) {
    return;
  }
  try {
    job.outcome = job.decode(job.picture);
  } catch (const std::bad_alloc&) {
    job.outcome = Outcome::Failed("not enough memory");
  } catch (const std::exception& e) {
    job.outcome = Outcome::Failed(e.what());
  } catch (...) {
    job.outcome = Outcome::Failed("Error Reading File!");
  }
}

void PictureLoads::start(Source source, const std::string& path, Bitmap seed, Decode decode,
                         Land land) {
  std::shared_ptr<Job>& current = current_[Index(source)];
  if (current) {
    current->wanted = false;
    current.reset();
  }
  auto job = std::make_shared<Job>();
  job->decode = std::move(decode);
  job->land = std::move(land);
  job->picture = std::move(seed);
  if (runner_ == nullptr) {
    RunDecode(*job);
    announceIdle();
    job->land(std::move(job->picture), job->outcome);
    return;
  }
  current = job;
  announced_ = true;
  feedback_.ShowLoading(path);
  const std::weak_ptr<PictureLoads*> self = self_;
  runner_->run(
      source, [job] { RunDecode(*job); },
      [self, source, job] {
        const std::shared_ptr<PictureLoads*> loads = self.lock();
        return loads == nullptr || (*loads)->landLater(source, job);
      });
}

void PictureLoads::supersede(Source source) {
  std::shared_ptr<Job>& current = current_[Index(source)];
  if (current) {
    current->wanted = false;
    current.reset();
    announceIdle();
  }
}

bool PictureLoads::landLater(Source source, const std::shared_ptr<Job>& job) {
  std::shared_ptr<Job>& current = current_[Index(source)];
  if (current != job) {
    return true;
  }
  if (notices_.inCommand()) {
    return false;
  }
  current.reset();
  announceIdle();
  job->land(std::move(job->picture), job->outcome);
  return true;
}

void PictureLoads::announceIdle() {
  if (announced_ && !current_[0] && !current_[1]) {
    announced_ = false;
    feedback_.ShowLoading(std::string());
  }
}

}  // namespace tessora
