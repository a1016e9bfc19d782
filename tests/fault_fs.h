// A file system that makes one kind of operation fail at its N-th call: the
// seam through which tests prove that no failure is lost or reported as
// success.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "shell/file_system.h"

namespace lumeno::testing {

enum class FsOp { open, read, write, append, mkdir, remove, count };

inline const char* op_name(FsOp op) {
  static constexpr const char* kNames[] = {"open", "read", "write", "append", "mkdir", "remove"};
  return kNames[static_cast<int>(op)];
}

class FaultyFileSystem : public RealFileSystem {
 public:
  // The `n`-th call (1-based) of `op` fails; 0 for none.
  void fail_at(FsOp op, std::size_t n) {
    fail_op_ = op;
    fail_at_ = n;
  }
  // Calls on paths that end with `suffix` are neither counted nor failed.
  void spare(std::string suffix) { spared_.push_back(std::move(suffix)); }
  bool failed() const {
    const std::lock_guard lock(mutex_);
    return failed_;
  }
  std::size_t calls(FsOp op) const {
    const std::lock_guard lock(mutex_);
    return calls_[static_cast<std::size_t>(op)];
  }

  // Probing a file that is not there fails anyway: not counted.
  bool can_open(const std::filesystem::path& p) override {
    if (!present(p)) return false;
    return hit(FsOp::open, p) ? false : RealFileSystem::can_open(p);
  }
  ReadStatus read(const std::filesystem::path& p, std::string& out) override {
    if (!present(p)) return ReadStatus::cannot_open;
    // A read opens the file first: both can fail.
    if (hit(FsOp::open, p)) return ReadStatus::cannot_open;
    return hit(FsOp::read, p) ? ReadStatus::short_read : RealFileSystem::read(p, out);
  }
  bool write(const std::filesystem::path& p, std::string_view bytes) override {
    return hit(FsOp::write, p) ? false : RealFileSystem::write(p, bytes);
  }
  bool append(const std::filesystem::path& p, std::string_view bytes) override {
    return hit(FsOp::append, p) ? false : RealFileSystem::append(p, bytes);
  }
  // Making a folder that exists and removing what is not there fail anyway:
  // such calls are not counted.
  bool create_directory(const std::filesystem::path& p) override {
    if (kind(p) == EntryKind::directory) return false;
    return hit(FsOp::mkdir, p) ? false : RealFileSystem::create_directory(p);
  }
  bool remove_file(const std::filesystem::path& p) override {
    if (!present(p)) return false;
    return hit(FsOp::remove, p) ? false : RealFileSystem::remove_file(p);
  }
  bool remove_directory(const std::filesystem::path& p) override {
    if (!present(p)) return false;
    return hit(FsOp::remove, p) ? false : RealFileSystem::remove_directory(p);
  }

 private:
  static bool present(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::symlink_status(p, ec).type() != std::filesystem::file_type::not_found;
  }

  bool hit(FsOp op, const std::filesystem::path& p) {
    const std::string s = p.string();
    for (const std::string& suffix : spared_) {
      if (s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0) return false;
    }
    // Output files are written on a thread of their own: count under a lock.
    const std::lock_guard lock(mutex_);
    const std::size_t n = ++calls_[static_cast<std::size_t>(op)];
    if (op == fail_op_ && n == fail_at_) {
      failed_ = true;
      return true;
    }
    return false;
  }

  mutable std::mutex mutex_;
  FsOp fail_op_ = FsOp::count;
  std::size_t fail_at_ = 0;
  std::vector<std::string> spared_;
  bool failed_ = false;
  std::array<std::size_t, static_cast<std::size_t>(FsOp::count)> calls_{};
};

}  // namespace lumeno::testing
