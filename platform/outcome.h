#pragma once

#include <QString>
#include <optional>
#include <utility>

namespace tessora {

/// How one step of handing the wallpaper to the desktop ended: done, or failed with the reason
/// in words for the user. The reasons of the steps end up, as they are, in the report the user
/// reads when no method worked, so a step never gets away with a bare "failed".
class Outcome {
 public:
  static Outcome Done() { return Outcome(true, QString()); }
  static Outcome Failed(QString reason) { return Outcome(false, std::move(reason)); }
  bool ok() const { return ok_; }
  /// Why the step failed; empty when it is done.
  const QString& reason() const { return reason_; }

 private:
  Outcome(bool ok, QString reason) : ok_(ok), reason_(std::move(reason)) {}
  bool ok_;
  QString reason_;
};

/// The same for a step that yields a value when it is done.
template <typename T>
class OutcomeOf {
 public:
  static OutcomeOf Done(T value) { return OutcomeOf(std::move(value), QString()); }
  static OutcomeOf Failed(QString reason) { return OutcomeOf(std::nullopt, std::move(reason)); }
  bool ok() const { return value_.has_value(); }
  /// Why the step failed; empty when it is done.
  const QString& reason() const { return reason_; }
  /// What the step yielded; only when ok().
  const T& value() const { return *value_; }

 private:
  OutcomeOf(std::optional<T> value, QString reason)
      : value_(std::move(value)), reason_(std::move(reason)) {}
  std::optional<T> value_;
  QString reason_;
};

}  // namespace tessora
