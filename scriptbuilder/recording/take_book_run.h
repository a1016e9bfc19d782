// The take book's part of a run (take_book.h), in the order the run takes
// its steps:
//
//   start   before anything else: a book or a script workbook that another
//           program holds open stops the run; the book and the marks typed
//           into the script workbooks are read on a thread of their own;
//   take    once the ledger has scanned the scenario, before anything is
//           deleted: the book as read, or the run stops (its message shown);
//   merge   once the ledger has named the lines: the marks of the script
//           workbooks are carried into the book, the book is merged with the
//           run's voices, and the new book is made on a thread of its own
//           while the outputs are written;
//   finish  after the last output: the book as it was is kept as
//           収録台帳.bak.xlsx, then the new book replaces it, both through
//           the run's writer, so a failed or cancelled run leaves the book
//           as it was.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scriptbuilder/background.h"
#include "scriptbuilder/recording/run_voices.h"
#include "scriptbuilder/recording/take_book.h"
#include "scriptbuilder/run_context.h"
#include "scriptbuilder/workbooks/script_workbooks.h"
#include "scriptbuilder/workbooks/session_marks.h"
#include "shell/cp932_decoder.h"

namespace lumeno::scriptbuilder {

// The message when the book is open in another program.
inline constexpr std::string_view kMsgTakeBookOpen = "収録台帳.xlsx が開かれています。閉じてからやり直してください。";

// The marks typed into the script workbooks below `folder` (声優用台本 and
// the folders in it): every row of every sheet but the contents whose
// column A holds a voice name, with its 収録 (D) and 備考 (E) when either is
// filled. The message (CP932) when a workbook cannot be read.
Result<std::vector<ScriptMark>> read_script_marks(FileSystem& fs, const std::filesystem::path& folder, const std::string& home_name,
                                                  const Cp932Decoder& decoder);

// The run's voices as the take book's merge takes them (UTF-8, a speech cut
// where a cell ends, as a run writes it), in run order: the named lines of
// the run's files (files[k] is named names[k]) with their speeches.
std::vector<RunTake> run_takes(std::span<const FileVoices> files, std::span<const VoiceFileName> names,
                               const Cp932Decoder& decoder);

// The book's sheets as the workbook reader gives them back, or the message
// (CP932) that stops the run.
Result<std::vector<BookSheet>> read_book_sheets(std::string_view bytes, const Cp932Decoder& decoder);

class TakeBookRun {
 public:
  explicit TakeBookRun(RunContext& ctx);
  ~TakeBookRun();
  TakeBookRun(const TakeBookRun&) = delete;
  TakeBookRun& operator=(const TakeBookRun&) = delete;

  // False when the run must stop (its message shown).
  bool start();
  bool take(BuilderRun& run);
  bool merge(BuilderRun& run, const RunVoices& voices);
  // After the scripts (with output_scripts): the pick-up scripts of what is
  // still owed, 声優用台本\[追加収録], their workbooks handed to `workbooks`
  // (when the run makes them). False when the run must stop (its message
  // shown).
  bool write_pickups(BuilderRun& run, ScriptWorkbooks* workbooks);
  // 0, or -1 when the run must stop (its message shown).
  int finish(BuilderRun& run);

  // The marks the script workbooks show (after merge).
  const SessionMarks& session_marks() const { return session_marks_; }
  // The completion message's lines (CP932, each ending in "\n" but the last).
  std::string completion_lines() const;

  const MergedBook& merged() const { return *merged_; }
  const std::vector<RunTake>& voices() const { return voices_; }

 private:
  struct Reading {
    std::string message;  // CP932: why the book or the marks cannot be taken
    bool exists = false;  // a book stood in the tool folder
    std::string bytes;    // the book as read
    std::optional<TakeBook> book;
    std::vector<ScriptMark> marks;
  };
  Reading read() const;

  RunContext& ctx_;
  std::unique_ptr<Cp932Decoder> decoder_;
  std::unique_ptr<Background<Reading>> reading_;
  std::optional<Reading> read_;
  std::vector<RunTake> voices_;
  std::optional<MergedBook> merged_;
  std::vector<std::string> sheet_names_;
  const RunVoices* run_voices_ = nullptr;
  std::size_t carried_ = 0;
  std::deque<SessionMarks> pickup_reasons_;  // the pick-up workbooks' marks, kept while they are made
  SessionMarks session_marks_;
  // The new book's bytes, or the message of its failure.
  struct Made {
    std::string bytes;
    std::string message;
    bool cancelled = false;
  };
  std::unique_ptr<Background<Made>> making_;
};

}  // namespace lumeno::scriptbuilder
