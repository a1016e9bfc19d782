#include "shell/write_behind.h"

#include <exception>
#include <utility>

#include "shell/files.h"
#include "shell/names.h"

namespace lumeno {

namespace {
constexpr std::size_t kMaxSpareBuffers = 4;
// The writer is woken for this many files or bytes at once, not for each
// file: waking a thread costs about as much as writing a small file.
constexpr std::size_t kBatchFiles = 64;
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;
}  // namespace

WriteBehind::WriteBehind(FileSystem& fs, std::size_t max_pending)
    : fs_(fs), max_pending_(max_pending), thread_([this] { work(); }) {}

WriteBehind::~WriteBehind() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_.notify_one();
  thread_.join();
}

bool WriteBehind::batch_ready() const { return jobs_.size() >= kBatchFiles || pending_bytes_ >= kBatchBytes; }

bool WriteBehind::submit(std::filesystem::path path, std::string bytes, Mode mode, bool make_folders) {
  const Kind kind = mode == Mode::append ? Kind::append : Kind::replace;
  return queue(Job{std::move(path), std::move(bytes), kind, make_folders});
}

bool WriteBehind::submit_folder_removal(std::filesystem::path folder) {
  return queue(Job{std::move(folder), {}, Kind::remove_folder, false});
}

bool WriteBehind::submit_folder(std::filesystem::path folder) {
  return queue(Job{std::move(folder), {}, Kind::make_folder, false});
}

bool WriteBehind::queue(Job job) {
  std::unique_lock lock(mutex_);
  const std::size_t size = job.bytes.size();
  auto room = [&] { return failed_ || pending_bytes_ == 0 || pending_bytes_ + size <= max_pending_; };
  if (!room()) {
    // The writer may be waiting for a larger batch: it must make room now.
    // The run goes on once half the room is free, not at each file written:
    // waking it for every file would cost both threads more than the files.
    waiting_for_room_ = true;
    work_.notify_one();
    space_.wait(lock, [&] { return failed_ || pending_bytes_ == 0 || pending_bytes_ + size <= max_pending_ / 2; });
    waiting_for_room_ = false;
  }
  if (failed_) return false;
  pending_bytes_ += size;
  // Folders are dealt with at once: the removal of a large tree is the
  // longest job of all.
  const bool folder = job.kind == Kind::remove_folder || job.kind == Kind::make_folder;
  jobs_.push_back(std::move(job));
  const bool wake = folder || batch_ready();
  lock.unlock();
  if (wake) work_.notify_one();
  return true;
}

bool WriteBehind::finish() {
  std::unique_lock lock(mutex_);
  flushing_ = true;
  work_.notify_one();
  space_.wait(lock, [&] { return jobs_.empty() && !busy_; });
  flushing_ = false;
  return !failed_;
}

std::filesystem::path WriteBehind::failed_path() const {
  const std::lock_guard lock(mutex_);
  return failed_path_;
}

std::string WriteBehind::take_buffer() {
  const std::lock_guard lock(mutex_);
  if (spare_buffers_.empty()) return {};
  std::string buffer = std::move(spare_buffers_.back());
  spare_buffers_.pop_back();
  return buffer;
}

bool WriteBehind::show_failure(Host& host) {
  if (!failure_shown_) {
    failure_shown_ = true;
    Kind kind = Kind::replace;
    std::filesystem::path path;
    {
      const std::lock_guard lock(mutex_);
      kind = failed_kind_;
      path = failed_path_;
    }
    const std::string name = names::display_name(path);
    host.message(kind == Kind::remove_folder ? cannot_delete_folder_message(name)
                 : kind == Kind::make_folder ? cannot_create_folder_message(name)
                                             : cannot_open_message(name));
  }
  host.request_cancel();
  return false;
}

bool WriteBehind::write(const Job& job) {
  try {
    switch (job.kind) {
      case Kind::remove_folder:
        // Folders known to be there may be among those removed.
        known_folders_.clear();
        return remove_output_folder(fs_, job.path);
      case Kind::make_folder:
        return fs_.create_directory(job.path) || fs_.kind(job.path) == EntryKind::directory;
      case Kind::replace:
      case Kind::append:
        break;
    }
    auto put = [&] { return job.kind == Kind::append ? fs_.append(job.path, job.bytes) : fs_.write(job.path, job.bytes); };
    if (!job.make_folders) return put();
    // A folder that a file was written into is not looked for again for the
    // next files. Should a write into it fail because it went meanwhile
    // (another program removed it), it is made again and the file written
    // once more; any other failure stands.
    const std::filesystem::path parent = job.path.parent_path();
    const bool known = known_folders_.contains(parent.native());
    if (!known) create_parent_directories(fs_, job.path);
    bool written = put();
    if (!written && known && fs_.kind(parent) != EntryKind::directory) {
      create_parent_directories(fs_, job.path);
      written = put();
    }
    if (written) {
      known_folders_.insert(parent.native());
    } else {
      known_folders_.erase(parent.native());
    }
    return written;
  } catch (const std::exception&) {
    return false;  // no memory for a path: nothing is written
  }
}

void WriteBehind::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [&] { return stopping_ || (!jobs_.empty() && (flushing_ || waiting_for_room_ || batch_ready())); });
    if (jobs_.empty()) return;  // stopping, with everything written
    // Once awake, write until nothing is queued.
    while (!jobs_.empty()) {
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      busy_ = true;
      lock.unlock();
      const bool ok = write(job);
      lock.lock();
      busy_ = false;
      pending_bytes_ -= job.bytes.size();
      if (!ok) {
        failed_ = true;
        failed_path_ = job.path;
        failed_kind_ = job.kind;
        // What came after the failed file is not written, as if the run had
        // stopped there.
        jobs_.clear();
        pending_bytes_ = 0;
      }
      if (spare_buffers_.size() < kMaxSpareBuffers) {
        job.bytes.clear();
        spare_buffers_.push_back(std::move(job.bytes));
      }
      // A finish waits for the queue to be empty, a submit for half the room.
      if (jobs_.empty() || (waiting_for_room_ && pending_bytes_ <= max_pending_ / 2)) space_.notify_all();
    }
  }
}

}  // namespace lumeno
