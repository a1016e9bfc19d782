// Writes a run's output files (and removes or makes its output folders) on a
// thread of their own, one after another in the order they are given, while
// the run goes on with its next source file.
//
// Nothing is lost or reported late as success: once a write fails, the
// files queued after it are dropped and every later `submit` answers false,
// so the run stops and names the file that failed (`failed_path`). A run
// calls `finish` before it reports anything as done.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "shell/file_system.h"
#include "shell/host.h"

namespace lumeno {

class WriteBehind {
 public:
  enum class Mode {
    replace,  // FileSystem::write: a temporary file renamed over the old one
    append,   // FileSystem::append
  };

  // At most `max_pending` bytes wait (one file of any size always may); a
  // run that gets further ahead waits for the writes, until half of that
  // room is free.
  explicit WriteBehind(FileSystem& fs, std::size_t max_pending = std::size_t{16} << 20);
  // Writes whatever is still queued, then ends the thread.
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // Queues one file. With `make_folders` its missing folders are made just
  // before it is written. False, with nothing queued, once a write failed.
  bool submit(std::filesystem::path path, std::string bytes, Mode mode = Mode::replace, bool make_folders = true);
  // Queues the removal of an output folder with everything in it (see
  // remove_output_folder), before the files queued after it.
  bool submit_folder_removal(std::filesystem::path folder);
  // Queues the making of one folder; that it exists already is no failure.
  bool submit_folder(std::filesystem::path folder);
  // Waits until every queued file is written; false when one failed.
  bool finish();
  // The file whose write failed; empty while none has.
  std::filesystem::path failed_path() const;
  // An empty buffer for the next file, reusing the memory of one written.
  std::string take_buffer();
  // For a run that found a write failed: shows "%s ファイルを開けませんでした。"
  // with the failed file's path ("%s フォルダを削除できませんでした。" or
  // "%s フォルダを作成できませんでした。" for a folder), once however often it
  // is called, and sets the cancel flag. Always false.
  bool show_failure(Host& host);

 private:
  enum class Kind { replace, append, remove_folder, make_folder };
  struct Job {
    std::filesystem::path path;
    std::string bytes;
    Kind kind;
    bool make_folders;
  };
  bool queue(Job job);
  bool write(const Job& job);
  // Enough is queued to be worth waking the writer for.
  bool batch_ready() const;
  void work();

  FileSystem& fs_;
  const std::size_t max_pending_;
  mutable std::mutex mutex_;
  std::condition_variable work_;   // the writer waits for a batch, a finish or the end
  std::condition_variable space_;  // the run waits for room or for the writes to be done
  std::deque<Job> jobs_;
  std::vector<std::string> spare_buffers_;
  std::size_t pending_bytes_ = 0;
  bool busy_ = false;  // a job is being written
  bool failed_ = false;
  bool flushing_ = false;          // a finish waits: write whatever is queued
  bool waiting_for_room_ = false;  // a submit waits: so must not the writer
  bool stopping_ = false;
  std::filesystem::path failed_path_;
  Kind failed_kind_ = Kind::replace;
  // The folders files were written into since the last removal of a folder
  // (native names), by the writer's thread only.
  std::unordered_set<std::filesystem::path::string_type> known_folders_;
  bool failure_shown_ = false;  // by the run's own thread only
  std::thread thread_;  // last: it starts once everything above is ready
};

}  // namespace lumeno
