#pragma once

#include <optional>
#include <string>
#include <utility>

namespace tessora {

/// How a step that can fail in a way a user meets ended: done, or failed with the reason in
/// words for the user ("does not exist", "truncated", every desktop method tried and why it
/// failed). The core's loads, the wallpaper service and the desktop helper all answer this way;
/// what may simply be absent is a std::optional, a plain question a bool.
class Outcome {
 public:
  static Outcome Done() { return Outcome(true, std::string()); }
  static Outcome Failed(std::string reason) { return Outcome(false, std::move(reason)); }
  bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  /// Why the step failed; empty when it is done.
  const std::string& reason() const { return reason_; }

 private:
  Outcome(bool ok, std::string reason) : ok_(ok), reason_(std::move(reason)) {}
  bool ok_;
  std::string reason_;
};

/// The same for a step that yields a value when it is done.
template <typename T>
class OutcomeOf {
 public:
  static OutcomeOf Done(T value) { return OutcomeOf(std::move(value), std::string()); }
  static OutcomeOf Failed(std::string reason) { return OutcomeOf(std::nullopt, std::move(reason)); }
  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return value_.has_value(); }
  /// Why the step failed; empty when it is done.
  const std::string& reason() const { return reason_; }
  /// What the step yielded; only when ok().
  const T& value() const { return *value_; }
  /// Only the outcome, without the value.
  Outcome outcome() const { return ok() ? Outcome::Done() : Outcome::Failed(reason_); }

 private:
  OutcomeOf(std::optional<T> value, std::string reason)
      : value_(std::move(value)), reason_(std::move(reason)) {}
  std::optional<T> value_;
  std::string reason_;
};

}  // namespace tessora
