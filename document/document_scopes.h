#pragma once

#include <exception>

#include "document/document.h"

namespace tessora {

// Marks a long operation: the front end shows the busy state for the outermost scope only and
// restores it on every exit path, exceptions included.
class Document::BusyScope {
 public:
  explicit BusyScope(Document& doc) : doc_(doc) {
    if (doc_.busyDepth_++ == 0) {
      doc_.feedback_.SetBusy(true);
    }
  }
  ~BusyScope() {
    if (--doc_.busyDepth_ == 0) {
      doc_.feedback_.SetBusy(false);
    }
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  Document& doc_;
};

// Gathers what a command changes, however many commands it runs, and tells the view once when
// the outermost one ends. A view is not called while an exception is on its way out: what a
// failed command changed is told at the end of the next one.
class Document::ChangeScope {
 public:
  explicit ChangeScope(Document& doc) : doc_(doc), exceptions_(std::uncaught_exceptions()) {
    ++doc_.commandDepth_;
  }
  ~ChangeScope() {
    if (--doc_.commandDepth_ == 0 && std::uncaught_exceptions() == exceptions_) {
      doc_.tellView();
    }
  }
  ChangeScope(const ChangeScope&) = delete;
  ChangeScope& operator=(const ChangeScope&) = delete;

 private:
  Document& doc_;
  int exceptions_;
};

}  // namespace tessora
