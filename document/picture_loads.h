#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "common/outcome.h"
#include "document/command_scopes.h"
#include "document/decode_runner.h"
#include "document/recent_pictures.h"
#include "engine/bitmap.h"
#include "engine/feedback.h"

namespace tessora {

/// The picture loads of the document's two sources, split in two steps: the decode, which reads
/// the file into a bitmap of its own and may run on another thread, and the landing, which hands
/// the result to the document on its own thread. Each source has at most one load that counts:
/// a later load or any other change of the source supersedes it, and its result is dropped.
class PictureLoads {
 public:
  /// Reads a picture into the bitmap given; called on the decoding thread.
  using Decode = std::function<Outcome(Bitmap& picture)>;
  /// Takes the decoded picture (its pixels when the outcome is done, else only the attributes
  /// the reader left) on the document's thread.
  using Land = std::function<void(Bitmap&& picture, const Outcome& outcome)>;

  PictureLoads(Feedback& feedback, const ChangeNotices& notices);
  ~PictureLoads();
  PictureLoads(const PictureLoads&) = delete;
  PictureLoads& operator=(const PictureLoads&) = delete;

  /// Decodes later through `runner`; nullptr decodes at once, inside start().
  void setRunner(DecodeRunner* runner) { runner_ = runner; }

  /// Starts a load of `path` for `source`, superseding the source's earlier one. `seed` is what
  /// the reader starts from: a copy of the target taken now, its pixels, fill colour and
  /// transparency, which transparent pixels of the picture leave showing. Without a
  /// runner the decode and the landing happen before start() returns; with one the front end
  /// hears of the load (Feedback::ShowLoading) until it lands or is superseded.
  void start(Source source, const std::string& path, Bitmap seed, Decode decode, Land land);
  /// Drops the source's load, if any: its result will not land.
  void supersede(Source source);
  /// Whether a load of `source` has yet to land.
  bool pending(Source source) const { return current_[Index(source)] != nullptr; }

 private:
  struct Job;
  static std::size_t Index(Source source) { return source == Source::Tile ? 0 : 1; }
  static void RunDecode(Job& job);
  bool landLater(Source source, const std::shared_ptr<Job>& job);
  /// Tells the front end that nothing loads any more, once the last load has gone.
  void announceIdle();

  Feedback& feedback_;
  const ChangeNotices& notices_;
  DecodeRunner* runner_ = nullptr;
  std::array<std::shared_ptr<Job>, 2> current_;
  bool announced_ = false;
  /// Lets a landing that arrives after the document has gone do nothing.
  std::shared_ptr<PictureLoads*> self_;
};

}  // namespace tessora
