#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "document/decode_runner.h"

namespace tessora {

/// Reads the document's pictures on threads of their own, one thread per source, one picture at
/// a time on each, and lands every picture on the window's thread through its event loop, so the
/// window keeps answering while a large picture is read. A worker that goes (the window closed)
/// lands nothing more and waits for no decode: a thread still reading finishes on its own.
class PictureWorker : public QObject, public DecodeRunner {
  Q_OBJECT

 public:
  explicit PictureWorker(QObject* parent = nullptr);
  ~PictureWorker() override;
  PictureWorker(const PictureWorker&) = delete;
  PictureWorker& operator=(const PictureWorker&) = delete;

  void run(Source source, std::function<void()> decode, std::function<bool()> land) override;

  /// Whether a picture is still being read anywhere in the program. The program then ends
  /// without the libraries' exit handlers, which the reading thread may still be using.
  static bool Decoding();

 private:
  struct Lanes;
  std::shared_ptr<Lanes> lanes_;
};

}  // namespace tessora
