// The counts' two files, "スタッフ用リスト\ボイス集計.csv" and
// "スタッフ用リスト\ボイス集計.xlsx" (dialogue_counts.h), made on a thread of
// their own off the run's critical path.
//
// The thread starts with the staff-list scan. The scan hands over each file
// it has scanned, its text and the lines that count; the thread counts
// them, adds the file's rows to the CSV's parts and to the workbook (made in
// a scratch file, as every workbook is: scratch_workbook.h) and gives the
// buffers back for later files. Once the last file is scanned, it adds the
// characters' own rows and closes the workbook while the phase writes its
// lists. Nothing is written before the phase has written them and released
// the files: a phase that stops early leaves the counts out, as it always
// did. Then both files are written through the FileSystem, each replacing
// an old one whole, while the later phases go on; the run waits for them at
// its end.
//
// A file that cannot be made or written shows "%s ファイルを開けませんでした。"
// with its path (a temporary folder without room, what it needs and has; a
// scratch file that cannot be removed, "%s ファイルを削除できませんでした。"
// with the scratch file's) and stops the run: at the end of the staff lists
// when the failure came before they were done, else at the next test of the
// cancel flag. A cancelled run writes no file it has not written yet.
#pragma once

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "scriptbuilder/characters.h"
#include "scriptbuilder/lists/dialogue_counts.h"
#include "scriptbuilder/run_context.h"
#include "shell/dialogue_marks.h"
#include "shell/file_system.h"
#include "shell/host.h"

namespace lumeno::scriptbuilder {

class CountsFiles final : public BackgroundOutput {
 public:
  // Starts the thread. Takes copies of what it needs from `run`, which may
  // go before it does.
  explicit CountsFiles(const BuilderRun& run);
  ~CountsFiles() override;
  CountsFiles(const CountsFiles&) = delete;
  CountsFiles& operator=(const CountsFiles&) = delete;

  // The file at `file` in run order is scanned: its text and the lines the
  // scan found there go to the thread; `text` comes back as an earlier
  // file's text, for the next read, and `lines` empty. Waits while the thread has
  // much text in hand, so that a slow machine does not hold the whole
  // scenario in memory.
  void add_file(std::size_t file, std::string& text, std::vector<CountedLine>& lines);
  // Every file is scanned: the thread finishes the tables.
  void scanned();
  // The staff lists are written: the files may go to their places. False
  // when making them failed already (its message shown, the cancel flag
  // set): the phase ends there.
  bool release();
  // Waits for both files, then shows their names as the progress file text.
  bool finish() override;
  void stop() override;

 private:
  struct Job {
    std::size_t file = 0;
    std::string text;
    std::vector<CountedLine> lines;
  };

  void work();
  // The next file, or nullopt once every file is taken (false) or on a stop.
  std::optional<Job> next_job(bool& stopped);
  void recycle(Job job);
  // Waits for `release` (true) or a stop (false).
  bool wait_for_release();
  bool write(const std::filesystem::path& path, const std::string& bytes);
  // Keeps the first failure's message; it stops the run once released.
  void fail(std::string message);
  bool stopping() const;
  void join();
  void show_failure();

  FileSystem& fs_;
  Host& host_;
  const CharacterTable table_;
  const DialogueMarks marks_;
  std::vector<std::string> file_names_;  // relative names, in run order
  const std::string csv_name_;       // below the tool folder, CP932
  const std::string workbook_name_;
  const std::filesystem::path csv_path_;
  const std::filesystem::path workbook_path_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;
  std::size_t text_in_hand_ = 0;  // bytes of the texts in jobs_ and in the thread's hands
  std::size_t unannounced_ = 0;   // of those, the bytes added since the thread was last woken
  std::vector<Job> spare_;        // buffers given back
  std::size_t spare_bytes_ = 0;   // their texts' room
  bool accepting_ = true;         // false once the thread needs no more files
  bool scanned_ = false;
  bool released_ = false;
  bool stop_ = false;
  bool written_ = false;
  std::optional<std::string> failure_;  // the message to show
  bool failure_shown_ = false;
  std::thread thread_;  // last: it starts once the rest is ready
};

}  // namespace lumeno::scriptbuilder
