// The workbooks of a run's voice-actor scripts: one a voiced character,
// "声優用台本\[<voice prefix>]<display name>.xlsx", and one of the
// all-character scripts, "声優用台本\[全キャラ一括台本].xlsx", each holding
// the scripts of the run in run order (see script_workbook.h).
//
// The scripts phase hands every script it writes over, bytes as written;
// once the phase is done, the workbooks are made on threads of their own
// (they depend on nothing else) while the later phases go on, and the run
// waits for them at its end. A workbook is made in a scratch file in the
// system's temporary folder (the library writes files itself), read back
// and written to its place through the FileSystem, replacing an old one
// whole; the scratch file is removed. One that cannot be made or written
// (among them: the temporary folder missing) shows
// "%s ファイルを開けませんでした。" with its path and stops the run; so does
// one the temporary folder has not the room for, with a message that says
// so (scratch_room_message); a scratch file that cannot be removed shows
// "%s ファイルを削除できませんでした。" with its path.
//
// The room "workbooks" holds everything that makes a workbook: the sheets of
// a script (script_sheet.h, script_workbook.h), the library's scratch files
// and names (scratch_workbook.h, library_files.h) and the run's workbooks
// (here). It may read the scripts' format (the scripts' room) and the root.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "scriptbuilder/run_context.h"
#include "scriptbuilder/workbooks/script_workbook.h"
#include "scriptbuilder/workbooks/session_marks.h"
#include "shell/app_state.h"
#include "shell/cp932_decoder.h"
#include "shell/file_system.h"
#include "shell/host.h"

namespace lumeno::scriptbuilder {

// The workbook's name below the tool folder: 声優用台本\[voice prefix]display name.xlsx.
std::string workbook_file_name(std::string_view voice_prefix, std::string_view display_name);

inline constexpr std::string_view kWorkbooksProgressText = "声優用台本（Excel形式） を生成しています。";

class ScriptWorkbooks final : public ScriptCopies {
 public:
  ScriptWorkbooks(const AppState& app, FileSystem& fs, Host& host);
  // Stops what is still being made and waits for it.
  ~ScriptWorkbooks();
  ScriptWorkbooks(const ScriptWorkbooks&) = delete;
  ScriptWorkbooks& operator=(const ScriptWorkbooks&) = delete;

  // A copy of one finished script, for the workbook of that name (CP932,
  // below the tool folder), with the further lines of each own line's
  // speech (WorkbookScript); the scripts of a workbook are kept in the order
  // given. Only before `start`.
  void add(std::string_view workbook, std::string_view relative_name, std::string_view script,
           std::span<const std::uint32_t> speech_lines);
  // The same for the script of a character (the workbook named by
  // workbook_file_name).
  // A script of its own kind (the pick-up scripts), for the workbook of that name.
  void add(std::string_view workbook, WorkbookScript script);
  void add_script(std::string_view voice_prefix, std::string_view display_name, std::string_view relative_name,
                  std::string_view script, std::span<const std::uint32_t> speech_lines) override {
    add(workbook_file_name(voice_prefix, display_name), relative_name, script, speech_lines);
  }

  // The session's marks of each voice, shown in the 収録 and 備考 columns
  // (the take book's); they must outlive the workbooks. Only before `start`.
  void show_marks(const SessionMarks* marks) { marks_ = marks; }

  // Starts making the workbooks handed over so far (once; later calls do
  // nothing), the largest first.
  void start();

  // Waits for every workbook, showing each name as it is done and moving
  // the bar from `from` to `to`. False when the run must stop: a workbook
  // that could not be written (its message shown, the cancel flag set), or
  // the run cancelled.
  bool finish(int from, int to);
  // Stops the workbooks not yet made and waits; shows a failure one of them
  // met (and sets the cancel flag). For a run that stops early.
  void stop();

 private:
  enum class State { waiting, working, written, failed, cancelled };
  struct Book {
    std::string name;  // CP932, below the tool folder
    std::filesystem::path path;
    std::vector<WorkbookScript> scripts;
    std::size_t bytes = 0;
    State state = State::waiting;
  };

  void work();
  State make(Book& book, std::size_t number);
  // Takes `bytes` of the scratch folder's free room for a workbook, waiting
  // while the workbooks being made hold what it lacks. False when it has not
  // that much even then (`free`: the room it has), or the run stops.
  bool reserve_scratch(std::uint64_t bytes, std::uint64_t& free);
  // Records the run's first failure, to be shown, and stops the run.
  void fail(std::string message);
  bool stopping() const { return stop_.load(std::memory_order_relaxed) || host_.cancel_requested(); }
  void join();
  void show_failure();

  const AppState& app_;
  const SessionMarks* marks_ = nullptr;
  FileSystem& fs_;
  Host& host_;
  std::vector<std::unique_ptr<Book>> books_;
  std::unordered_map<std::string, std::size_t> index_;
  std::unique_ptr<Cp932Decoder> decoder_;
  std::optional<std::filesystem::path> scratch_folder_;
  std::optional<std::string> scratch_folder_name_;
  std::string scratch_prefix_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::size_t> queue_;  // books by size, largest first
  std::size_t next_ = 0;
  std::uint64_t scratch_reserved_ = 0;
  bool started_ = false;
  std::atomic<bool> stop_{false};
  std::optional<std::string> failed_message_;
  bool failure_shown_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace lumeno::scriptbuilder
