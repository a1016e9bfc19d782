// The counts' two files, "スタッフ用リスト\ボイス集計.csv" and
// "スタッフ用リスト\ボイス集計.xlsx" (dialogue_counts.h), made on a thread of
// their own off the run's critical path.
//
// The staff-list scan gathers the counts as it reads the files; once it has
// read the last one, the phase hands them over here and goes on with the
// lists while the table, its CSV and its workbook are made (the workbook in
// a scratch file, as every workbook is: scratch_workbook.h). Nothing is
// written before the phase has written its lists and released the files:
// a phase that stops early leaves the counts out, as it always did. Then
// both files are written through the FileSystem, each replacing an old one
// whole, while the later phases go on; the run waits for them at its end.
//
// A file that cannot be made or written shows "%s ファイルを開けませんでした。"
// with its path (a scratch file that cannot be removed,
// "%s ファイルを削除できませんでした。" with the scratch file's) and stops the
// run: at the end of the staff lists when the failure came before they were
// done, else at the next test of the cancel flag. A cancelled run writes no
// file it has not written yet.
#pragma once

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "scriptbuilder/characters.h"
#include "scriptbuilder/lists/dialogue_counts.h"
#include "scriptbuilder/run_context.h"
#include "shell/file_system.h"
#include "shell/host.h"

namespace lumeno::scriptbuilder {

class CountsFiles final : public BackgroundOutput {
 public:
  // Starts making the files from `counts` (the scan's: one a character of
  // the run's table, files by their place in the run order). Takes copies
  // of what it needs from `run`, which may go before it does.
  CountsFiles(const BuilderRun& run, std::vector<CharacterCounts> counts);
  ~CountsFiles() override;
  CountsFiles(const CountsFiles&) = delete;
  CountsFiles& operator=(const CountsFiles&) = delete;

  // The staff lists are written: the files may go to their places. False
  // when making them failed already (its message shown, the cancel flag
  // set): the phase ends there.
  bool release();
  // Waits for both files, then shows their names as the progress file text.
  bool finish() override;
  void stop() override;

 private:
  void work();
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
  std::vector<std::string> file_names_;  // relative names, in run order
  const std::vector<CharacterCounts> counts_;
  const std::string csv_name_;       // below the tool folder, CP932
  const std::string workbook_name_;
  const std::filesystem::path csv_path_;
  const std::filesystem::path workbook_path_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
  bool stop_ = false;
  bool written_ = false;
  std::optional<std::string> failure_;  // the message to show
  bool failure_shown_ = false;
  std::thread thread_;  // last: it starts once the rest is ready
};

}  // namespace lumeno::scriptbuilder
