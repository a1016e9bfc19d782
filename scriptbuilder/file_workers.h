// The run's files worked on by a few threads at once, for the passes that
// read every file once, work on each alone and write nothing (the checks):
// each file is read and worked on by one of the threads, and its result is
// handed back in run order, so that what the pass reports is the same
// however the threads meet.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "scriptbuilder/run_context.h"

namespace lumeno::scriptbuilder {

template <class Result>
class FileWorkers {
 public:
  // `work(k, text)` makes the result of the k-th file of the run order from
  // its bytes; it runs on the worker threads and must touch nothing shared
  // but what it only reads.
  FileWorkers(RunContext& ctx, std::function<Result(std::size_t, const std::string&)> work)
      : ctx_(ctx), work_(std::move(work)), slots_(ctx.order.size()) {
    const std::size_t threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
    for (std::size_t t = 0; t < std::min(threads, slots_.size()); ++t) threads_.emplace_back([this] { run(); });
  }
  ~FileWorkers() {
    stop_ = true;
    for (std::thread& t : threads_) t.join();
  }
  FileWorkers(const FileWorkers&) = delete;
  FileWorkers& operator=(const FileWorkers&) = delete;

  // The result of the next file of the run order, as read_run_source would
  // read it; nothing, with the read's messages shown here, when the pass
  // must stop there (then nothing more is handed back).
  std::optional<Result> next() {
    Slot slot;
    {
      std::unique_lock lock(mutex_);
      done_.wait(lock, [&] { return slots_[taken_].state != State::pending; });
      slot = std::move(slots_[taken_]);
      ++taken_;
    }
    if (slot.state == State::no_memory) throw std::bad_alloc();
    if (slot.state == State::stopped) return std::nullopt;
    if (accept_run_source(ctx_, slot.status, slot.size) != BuilderRun::SourceStatus::ok) {
      stop_ = true;
      return std::nullopt;
    }
    return std::move(slot.result);
  }

 private:
  enum class State { pending, done, stopped, no_memory };
  struct Slot {
    State state = State::pending;
    ReadStatus status = ReadStatus::ok;
    std::uint64_t size = 0;
    Result result{};
  };

  void run() {
    std::string text;
    for (;;) {
      const std::size_t k = next_.fetch_add(1);
      if (k >= slots_.size()) return;
      Slot slot;
      if (stop_ || ctx_.cancelled()) {
        slot.state = State::stopped;
      } else {
        try {
          slot.status = ctx_.fs.read(ctx_.files[ctx_.order[k]].path, text);
          slot.size = text.size();
          if (slot.status == ReadStatus::ok && slot.size <= kMaxSourceBytes) slot.result = work_(k, text);
          slot.state = State::done;
        } catch (const std::bad_alloc&) {
          slot.state = State::no_memory;
        }
      }
      {
        const std::lock_guard lock(mutex_);
        slots_[k] = std::move(slot);
      }
      done_.notify_all();
    }
  }

  RunContext& ctx_;
  std::function<Result(std::size_t, const std::string&)> work_;
  std::mutex mutex_;
  std::condition_variable done_;
  std::vector<Slot> slots_;
  std::size_t taken_ = 0;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;  // last: they start once the rest is ready
};

}  // namespace lumeno::scriptbuilder
