// A value worked out on a thread of its own while the run goes on with
// other work. `get` waits for it; a task that goes unasked is waited for
// when it goes, so nothing it reads may go before it.
#pragma once

#include <new>
#include <optional>
#include <thread>
#include <utility>

namespace lumeno::scriptbuilder {

template <class T>
class Background {
 public:
  template <class F>
  explicit Background(F work)
      : thread_([this, work = std::move(work)]() mutable {
          try {
            value_.emplace(work());
          } catch (const std::bad_alloc&) {
            // No value: get() answers nothing.
          }
        }) {}
  ~Background() {
    if (thread_.joinable()) thread_.join();
  }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  // The value, once; nothing when the work ran out of memory.
  std::optional<T> get() {
    if (thread_.joinable()) thread_.join();
    return std::move(value_);
  }

 private:
  std::optional<T> value_;
  std::thread thread_;  // last: it starts once the rest is ready
};

}  // namespace lumeno::scriptbuilder
