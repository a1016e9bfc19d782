// The take book "収録台帳.xlsx" in Vocar's tool folder (track_takes): the
// recording status of every voice, kept across scenario edits, so that the
// voice director's marks outlive every run and no recording stands as done
// on a line that was rewritten after it was recorded.
//
// The book, as Vocar writes it:
//   集計       per voiced character its voices in use and how many are OK,
//              NG, 保留, 要再収録, not yet recorded (未収録) and marked with a
//              studio's own word (その他), the share recorded (OK), a total
//              row, and a stacked bar chart of the same;
//   <name>     a sheet a voiced character (its display name), a row a voice,
//              in run order, the header frozen and filtered:
//                ボイス名 ファイル 行 本文 状態 テイク 収録日 備考 収録時の本文 今回の変更
//              then the director's own columns;
//   欠番       the rows of voices that left the scenario, every column as it
//              was, with the date they left (除外日).
// 本文 is the whole speech (speech.h) as an actor reads it. 状態 is the
// director's: empty (not recorded), OK, NG or 保留, offered as a drop-down
// list; Vocar writes 要再収録 itself. テイク, 収録日, 備考 and every column
// Vocar does not know are the director's and go with their row wherever it
// goes. Columns are found by their header text, so a director may insert,
// move and add columns; a value in a column without header is kept under
// the header "列<letter>".
//
// Merging (a run, voice by voice; rows are found by voice name on whatever
// sheet they stand):
//   - a new voice gets a row with empty status (今回の変更 新規);
//   - a row of a voice in the scenario takes the voice's file, line and
//     speech (今回の変更 本文変更 when the speech differs from the row's 本文,
//     移動 when only the file does);
//   - an OK refers to the text the row showed when the director marked it:
//     when the book holds an OK whose 収録時の本文 is empty or differs from
//     the row's 本文 (a fresh OK: Vocar never leaves an OK on a row whose
//     recorded text differs), 収録時の本文 becomes that 本文; then an OK whose
//     収録時の本文 differs from the speech as it now reads becomes 要再収録,
//     keeping its take, date, notes and recorded text; and a 要再収録 whose
//     speech reads as recorded again (the edit undone) is OK again;
//   - a row of a file the run read whose voice is gone moves to 欠番 with
//     today's date; a row of a file the run did not read (a run over part of
//     the scenario) stays as it is;
//   - a row on 欠番 whose voice is back in the scenario leaves 欠番.
//
// A book that cannot be taken (not a workbook, no sheet with a ボイス名
// header, one voice name on two rows) stops the run before anything is
// deleted, naming the sheet and cell. What Vocar does not carry over (sheets
// without voices, formulas, merged cells, comments ...) is named in the
// completion message; it stays in the copy "収録台帳.bak.xlsx".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "scriptbuilder/characters.h"
#include "scriptbuilder/workbooks/table_workbook.h"
#include "shell/result.h"

namespace lumeno::scriptbuilder {

inline constexpr std::string_view kTakeBookFile = "収録台帳.xlsx";
inline constexpr std::string_view kTakeBookBackup = "収録台帳.bak.xlsx";

// Texts in the book are UTF-8; these are its own words.
namespace takes {

// Vocar's columns, in the order it writes them.
enum Column : std::uint8_t {
  kVoice,
  kFile,
  kLine,
  kText,
  kStatus,
  kTake,
  kDate,
  kNotes,
  kRecordedText,
  kChange,
  kColumnCount,
};

std::string_view header(Column column);
// The 欠番 sheet's column after Vocar's, and the sheets' names.
std::string_view left_header();
std::string_view summary_sheet();
std::string_view retired_sheet();

// The statuses (UTF-8).
std::string_view status_ok();
std::string_view status_ng();
std::string_view status_hold();
std::string_view status_redo();

// 今回の変更.
std::string_view change_new();
std::string_view change_text();
std::string_view change_moved();

}  // namespace takes

// One voice's row.
struct TakeRow {
  std::array<CellValue, takes::kColumnCount> own;
  std::vector<CellValue> extra;  // by index into TakeBook::extra_headers; may be shorter
  CellValue left_on;             // 除外日, on 欠番
  bool retired = false;          // stands on 欠番
  std::string sheet;             // the sheet it was read from (UTF-8); empty for a new row
  std::uint32_t sheet_row = 0;   // its row there (0-based), for messages

  const std::string& voice() const { return own[takes::kVoice].text; }
};

struct TakeBook {
  std::vector<TakeRow> rows;
  std::vector<std::string> extra_headers;  // the director's columns, in the order first met
  // By sheet name: the extra columns its header row held (indices into
  // extra_headers), so that a sheet keeps its columns even while empty.
  std::unordered_map<std::string, std::vector<std::uint32_t>> sheet_extras;
  // What the book held that Vocar does not carry over, in words for the
  // completion message (UTF-8), e.g. "シート「メモ」".
  std::vector<std::string> not_carried;
};

// The book as a workbook reader gives it back (sheets in order, cells by
// position): its rows, or the message (CP932) that stops the run.
struct BookSheet {
  std::string name;
  // Row-major, each cell with its position.
  struct Cell {
    std::uint32_t row = 0;
    std::uint32_t column = 0;
    CellValue value;
  };
  std::vector<Cell> cells;
  std::vector<std::string> not_kept;  // what the reader dropped of it (formulas, merged cells ...), UTF-8
  // A sheet the reader passed over (a chart sheet ...): not_kept holds its
  // kind. A sheet without a name holds what the book lost beyond its sheets.
  bool skipped = false;
};
Result<TakeBook> take_book_from_sheets(std::vector<BookSheet> sheets);

// A voice of the run: what its row shows of the scenario.
struct RunTake {
  std::string voice;  // UTF-8
  std::int32_t character = -1;
  std::string file;   // its file's relative name (UTF-8)
  std::uint32_t line = 0;
  std::string text;   // the speech as an actor reads it (UTF-8)
  std::uint32_t file_position = 0;  // its file's position in the run order
};

// The run's view for the merge: its voices in run order, the list entries
// that took part (UTF-8, as the ledger's scope), and today's date serial.
struct TakeScopeEntry {
  std::string name;
  bool folder = false;
};
struct TakeMerge {
  std::span<const RunTake> voices;
  std::span<const TakeScopeEntry> scope;
  double today = 0;
};

struct TakeCounts {
  std::size_t in_use = 0;
  std::size_t ok = 0;
  std::size_t ng = 0;
  std::size_t hold = 0;
  std::size_t redo = 0;
  std::size_t open = 0;   // empty status
  std::size_t other = 0;  // any other word
};

// The merged book: the rows of the run's voices in run order, then the rows
// left alone, then the retired rows (in the order they were retired).
// `row_of_voice[k]` is the row of voices[k].
struct MergedBook {
  TakeBook book;
  std::vector<std::uint32_t> row_of_voice;
  TakeCounts counts;  // over the rows in use
};
MergedBook merge_take_book(TakeBook book, const TakeMerge& merge);

// Marks typed into the script workbooks: a voice's 収録 and 備考 as the
// director left them there (UTF-8).
struct ScriptMark {
  std::string voice;
  CellValue status;
  CellValue notes;
  // What the row showed when Vocar made it (the take book's marks then):
  // a value the director left as shown was not typed there.
  CellValue shown_status;
  CellValue shown_notes;
};
// Carries the marks typed into the scripts into the book (before the
// merge). A status typed over what the row showed: an empty status in the
// book takes it; a different one stays, and the typed one is added to 備考.
// A note typed over what the row showed (what was added to it, when the
// director wrote after the shown notes) is added to 備考 when they lack it.
// Returns how many values were carried.
std::size_t carry_script_marks(TakeBook& book, std::span<const ScriptMark> marks);

// The sheets of the merged book, for write_table_workbook: 集計, one a
// voiced character in table order (named by `sheet_names`, one a character,
// empty for a character without voice), sheets of rows whose character has
// no sheet any more, 欠番. The cells point into `merged` and into `cells`.
struct TakeBookTables {
  std::deque<CellValue> cells;  // those the rows do not hold (集計's)
  std::vector<TableSheet> sheets;
};
TakeBookTables take_book_sheets(const MergedBook& merged, const CharacterTable& characters,
                                std::span<const std::string> sheet_names, std::span<const RunTake> voices);

// The completion message's line: "収録済 N / M（xx.x%）　要再収録 K　未収録 L" (CP932).
std::string take_counts_line(const TakeCounts& counts);

// A cell's value as text: texts as they are, numbers as a person reads them.
std::string cell_text(const CellValue& value);

// UTF-8 as CP932 for a message; what CP932 lacks becomes "?".
std::string cp932_lossy(std::string_view utf8);

// A status's counter in `counts`.
void count_status(TakeCounts& counts, const CellValue& status);

}  // namespace lumeno::scriptbuilder
