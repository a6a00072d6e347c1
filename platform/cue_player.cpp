#include "platform/cue_player.h"

#include <pulse/context.h>
#include <pulse/proplist.h>
#include <pulse/sample.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

namespace tessora {

/// The connection to the sound server and the stream of the cue playing. libpulse's threaded
/// main loop runs its callbacks on its own thread under its lock; every other use of these
/// members takes that lock.
class PulseCueOutput {
 public:
  explicit PulseCueOutput(std::string server) : server_(std::move(server)) {}
  ~PulseCueOutput();
  PulseCueOutput(const PulseCueOutput&) = delete;
  PulseCueOutput& operator=(const PulseCueOutput&) = delete;

  /// Cuts the cue playing and starts `cue` (none: only cuts), connecting first when needed.
  void play(std::shared_ptr<const WavSound> cue);

 private:
  bool connect();
  void startPending();
  void stopStream();
  static void contextChanged(pa_context* context, void* self);
  static void streamChanged(pa_stream* stream, void* self);
  static void writable(pa_stream* stream, std::size_t bytes, void* self);
  static void drained(pa_stream* stream, int success, void* self);

  std::string server_;
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::shared_ptr<const WavSound> pending_;  // waiting for the connection
  std::shared_ptr<const WavSound> playing_;
  std::size_t written_ = 0;
};

namespace {

// Holds the main loop's lock for a scope.
class LoopLock {
 public:
  explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
  ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  pa_threaded_mainloop* loop_;
};

constexpr pa_usec_t kCueLatencyUsec = 100 * PA_USEC_PER_MSEC;

pa_sample_format_t SampleFormat(unsigned bits) {
  switch (bits) {
    case 8:
      return PA_SAMPLE_U8;
    case 16:
      return PA_SAMPLE_S16LE;
    case 24:
      return PA_SAMPLE_S24LE;
    default:
      return PA_SAMPLE_S32LE;
  }
}

// Names the stream an event sound, which the server may treat as such (its own volume, not
// ducking music for it).
pa_proplist* CueProperties() {
  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "event");
  pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, "Tessora cue");
  return properties;
}

}  // namespace

PulseCueOutput::~PulseCueOutput() {
  if (loop_ == nullptr) {
    return;
  }
  {
    LoopLock lock(loop_);
    stopStream();
    if (context_ != nullptr) {
      pa_context_set_state_callback(context_, nullptr, nullptr);
      pa_context_disconnect(context_);
      pa_context_unref(context_);
    }
  }
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
}

void PulseCueOutput::play(std::shared_ptr<const WavSound> cue) {
  if (loop_ == nullptr) {
    if (cue == nullptr) {
      return;
    }
    loop_ = pa_threaded_mainloop_new();
    if (loop_ != nullptr && pa_threaded_mainloop_start(loop_) < 0) {
      pa_threaded_mainloop_free(loop_);
      loop_ = nullptr;
    }
    if (loop_ == nullptr) {
      return;  // the next cue tries again
    }
  }
  LoopLock lock(loop_);
  stopStream();
  pending_ = std::move(cue);
  if (pending_ == nullptr || !connect()) {
    pending_ = nullptr;
    return;
  }
  if (pa_context_get_state(context_) == PA_CONTEXT_READY) {
    startPending();
  }
}

// A connection that failed or was closed by the server is made anew; one still being made is
// kept, and the cue starts when it is ready.
bool PulseCueOutput::connect() {
  if (context_ != nullptr && PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
    return true;
  }
  if (context_ != nullptr) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_unref(context_);
  }
  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Tessora");
  pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "io.tessora.Tessora");
  context_ =
      pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Tessora", properties);
  pa_proplist_free(properties);
  if (context_ == nullptr) {
    return false;
  }
  pa_context_set_state_callback(context_, &PulseCueOutput::contextChanged, this);
  return pa_context_connect(context_, server_.empty() ? nullptr : server_.c_str(),
                            PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
}

void PulseCueOutput::contextChanged(pa_context* context, void* self) {
  auto* output = static_cast<PulseCueOutput*>(self);
  const pa_context_state_t state = pa_context_get_state(context);
  if (state == PA_CONTEXT_READY) {
    output->startPending();
  } else if (!PA_CONTEXT_IS_GOOD(state)) {
    output->pending_ = nullptr;
  }
}

void PulseCueOutput::startPending() {
  if (pending_ == nullptr) {
    return;
  }
  playing_ = std::move(pending_);
  written_ = 0;
  const pa_sample_spec format{SampleFormat(playing_->bitsPerSample), playing_->rate,
                              static_cast<std::uint8_t>(playing_->channels)};
  pa_proplist* properties = CueProperties();
  stream_ = pa_stream_new_with_proplist(context_, "Tessora cue", &format, nullptr, properties);
  pa_proplist_free(properties);
  if (stream_ == nullptr) {
    playing_ = nullptr;
    return;
  }
  pa_stream_set_state_callback(stream_, &PulseCueOutput::streamChanged, this);
  pa_stream_set_write_callback(stream_, &PulseCueOutput::writable, this);
  // A short buffer, as event sounds ask for: the server's default is two seconds of latency,
  // longer than any cue.
  pa_buffer_attr buffer;
  buffer.maxlength = static_cast<std::uint32_t>(-1);
  buffer.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kCueLatencyUsec, &format));
  buffer.prebuf = static_cast<std::uint32_t>(-1);
  buffer.minreq = static_cast<std::uint32_t>(-1);
  buffer.fragsize = static_cast<std::uint32_t>(-1);
  if (pa_stream_connect_playback(stream_, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY, nullptr,
                                 nullptr) < 0) {
    stopStream();
  }
}

void PulseCueOutput::streamChanged(pa_stream* stream, void* self) {
  auto* output = static_cast<PulseCueOutput*>(self);
  if (stream == output->stream_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
    output->stopStream();
  }
}

// Hands the server what it asks for; after the last sample, waits for the stream to play out
// and then closes it.
void PulseCueOutput::writable(pa_stream* stream, std::size_t bytes, void* self) {
  auto* output = static_cast<PulseCueOutput*>(self);
  if (stream != output->stream_ || output->playing_ == nullptr) {
    return;
  }
  const std::vector<std::uint8_t>& samples = output->playing_->samples;
  const std::size_t count = std::min(bytes, samples.size() - output->written_);
  if (count > 0 && pa_stream_write(stream, samples.data() + output->written_, count, nullptr, 0,
                                   PA_SEEK_RELATIVE) < 0) {
    output->stopStream();
    return;
  }
  output->written_ += count;
  if (output->written_ == samples.size()) {
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_operation* drain = pa_stream_drain(stream, &PulseCueOutput::drained, self);
    if (drain == nullptr) {
      output->stopStream();
      return;
    }
    pa_operation_unref(drain);
  }
}

void PulseCueOutput::drained(pa_stream* stream, int, void* self) {
  auto* output = static_cast<PulseCueOutput*>(self);
  if (stream == output->stream_) {
    output->stopStream();
  }
}

void PulseCueOutput::stopStream() {
  if (stream_ != nullptr) {
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
  playing_ = nullptr;
}

CuePlayer::CuePlayer(std::unique_ptr<EventSounds> eventSounds, std::string server)
    : eventSounds_(std::move(eventSounds)),
      output_(std::make_unique<PulseCueOutput>(std::move(server))) {}

CuePlayer::~CuePlayer() = default;

// The switch may answer later (XFCE asks a service): only the latest cue asked for plays.
void CuePlayer::play(const std::string& wavPath) {
  const unsigned request = ++requests_;
  eventSounds_->ask([this, request, wavPath](bool allowed) {
    if (request == requests_) {
      output_->play(allowed ? load(wavPath) : nullptr);
    }
  });
}

// The cues are a few dozen kilobytes each and few: each is read once.
std::shared_ptr<const WavSound> CuePlayer::load(const std::string& wavPath) {
  auto found = loaded_.find(wavPath);
  if (found != loaded_.end()) {
    return found->second;
  }
  std::optional<WavSound> sound = ReadWav(wavPath);
  if (!sound) {
    return nullptr;
  }
  auto cue = std::make_shared<const WavSound>(std::move(*sound));
  loaded_.emplace(wavPath, cue);
  return cue;
}

}  // namespace tessora
