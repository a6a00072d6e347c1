#pragma once

#include <exception>

#include "document/document_view.h"
#include "engine/feedback.h"

namespace tessora {

/// Gathers the parts the commands change, however many commands one runs, and tells the view once
/// when the outermost one ends; a part changed outside any command is told at once.
class ChangeNotices {
 public:
  void setView(DocumentView* view) { view_ = view; }
  void add(DocumentParts parts) {
    parts_ |= parts;
    if (depth_ == 0) {
      flush();
    }
  }
  /// Tells the view what has changed so far, now.
  void flush();
  /// Whether a command is under way.
  bool inCommand() const { return depth_ > 0; }

 private:
  friend class ChangeScope;
  DocumentView* view_ = nullptr;
  int depth_ = 0;
  DocumentParts parts_ = 0;
};

/// One command's span. A view is not called while an exception is on its way out: what a failed
/// command changed is told at the end of the next one.
class ChangeScope {
 public:
  explicit ChangeScope(ChangeNotices& notices)
      : notices_(notices), exceptions_(std::uncaught_exceptions()) {
    ++notices_.depth_;
  }
  ~ChangeScope() {
    if (--notices_.depth_ == 0 && std::uncaught_exceptions() == exceptions_) {
      notices_.flush();
    }
  }
  ChangeScope(const ChangeScope&) = delete;
  ChangeScope& operator=(const ChangeScope&) = delete;

 private:
  ChangeNotices& notices_;
  int exceptions_;
};

/// Long operations as the front end hears of them: busy once at the start of the outermost one,
/// and not busy once at its end, on every exit path, exceptions included.
class BusySpans {
 public:
  explicit BusySpans(Feedback& feedback) : feedback_(feedback) {}

 private:
  friend class BusyScope;
  Feedback& feedback_;
  int depth_ = 0;
};

/// One long operation's span.
class BusyScope {
 public:
  explicit BusyScope(BusySpans& spans) : spans_(spans) {
    if (spans_.depth_++ == 0) {
      spans_.feedback_.SetBusy(true);
    }
  }
  ~BusyScope() {
    if (--spans_.depth_ == 0) {
      spans_.feedback_.SetBusy(false);
    }
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  BusySpans& spans_;
};

}  // namespace tessora
