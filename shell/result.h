// Result<T>: a value or an error message. Errors are values here; nothing
// throws across module boundaries.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace lumeno {

// An error carries a message for the user, in CP932 like every text the
// tools show (the console converts it for the terminal).
struct Error {
  std::string message;
};

template <class T>
class Result {
 public:
  Result(T value) : state_(std::move(value)) {}          // NOLINT(google-explicit-constructor)
  Result(Error error) : state_(std::move(error)) {}      // NOLINT(google-explicit-constructor)

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  const std::string& error() const { return std::get<1>(state_).message; }

 private:
  std::variant<T, Error> state_;
};

}  // namespace lumeno
