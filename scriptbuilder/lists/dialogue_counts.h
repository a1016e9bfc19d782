// The counts for the budget, "スタッフ用リスト\ボイス集計.csv" and
// "スタッフ用リスト\ボイス集計.xlsx", written with the staff lists: per
// character in table order its voiced lines, its dialogue lines without voice
// and the characters spoken in them; then the same per character and file.
//
// What is counted:
//   - a character's lines are those its own names begin (name + mark at the
//     line's start), as its voice count list (CVO) counts them: a line that
//     two characters' names begin counts for both;
//   - voiced lines: the lines its text and voice count lists give a voice
//     (for a character with a voice prefix, all of them; with the ledger, a
//     line that an earlier character without voice speaks stays out of a
//     later one's lists, and counts here as a line without voice);
//   - dialogue lines without voice: the character's other lines (all the
//     lines of a character without voice prefix);
//   - characters spoken: over all of those lines, the characters after the
//     name and its mark that are read aloud (spoken_text.h: no commands,
//     comments or blanks), without the bracket that closes the mark at the
//     line's end; a character counts one whether it takes one byte or two.
//
// The CSV is UTF-8 with a byte-order mark, CR LF, one header row:
//   ボイス接頭辞,キャラ名,ファイル,ボイスあり行数,ボイスなし行数,文字数
// A character's own row has an empty file; its rows per file follow all of
// those, for the files that hold any of its lines, in run order. Fields with
// a comma, a quote or a line end are quoted ("" for a quote).
//
// The workbook holds the same two tables, numbers as numbers, each under
// its header row (frozen, with a filter): the sheet "キャラ別", a row a
// character without the file column; then a sheet a character in table
// order, named by its shown name, with its rows per file in run order (the
// file and its three counts; the sheet of a character without a line is
// hidden). A sheet a character lets the rows be written as the files are
// scanned (counts_files.h). A table of more than kCharacterSheetsAtMost
// characters (or a run of more files than a sheet has rows) has one sheet
// for those rows instead, "キャラ・ファイル別"
// with every column, in the order the files are read: file after file in
// run order, within a file its characters in table order. A table longer
// than a sheet goes on over further sheets ("(2)", ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scriptbuilder/characters.h"
#include "scriptbuilder/workbooks/script_workbook.h"
#include "shell/cp932_decoder.h"
#include "shell/dialogue_marks.h"

namespace lumeno::scriptbuilder {

inline constexpr std::string_view kCountsCsv = "ボイス集計.csv";
inline constexpr std::string_view kCountsWorkbook = "ボイス集計.xlsx";

struct DialogueCounts {
  std::int64_t voiced = 0;
  std::int64_t unvoiced = 0;
  std::int64_t characters = 0;

  void add(const DialogueCounts& other) {
    voiced += other.voiced;
    unvoiced += other.unvoiced;
    characters += other.characters;
  }
  bool operator==(const DialogueCounts&) const = default;
};

struct CharacterCounts {
  DialogueCounts total;
  struct File {
    std::size_t file = 0;  // position in run order
    DialogueCounts counts;
  };
  std::vector<File> files;  // the files holding any of its lines, in run order
};

// One row of the table, CP932 texts.
struct CountsRow {
  std::string_view voice_prefix;
  std::string_view name;
  std::string_view file;  // empty on a character's own row
  DialogueCounts counts;
};

// A line the staff-list scan found for the counts, as its file's text holds
// it: the line from the speaker's name to its end.
struct CountedLine {
  std::uint32_t character = 0;  // index into the character table
  std::uint32_t name_length = 0;
  std::size_t begin = 0;
  std::size_t length = 0;
  bool voiced = false;  // one of the character's voiced lines (see above)
};

// Counts the lines of one file after another.
class DialogueCounter {
 public:
  struct FileCount {
    std::uint32_t character = 0;  // index into the character table
    DialogueCounts counts;
  };

  // `marks`, the dialogue marks, in the order a line's mark is looked for.
  DialogueCounter(std::size_t characters, const DialogueMarks& marks);

  // The counts of the lines of one file (in `text`), for the characters
  // with any line there, in table order; valid until the next call.
  std::span<const FileCount> count_file(std::string_view text, std::span<const CountedLine> lines);

 private:
  std::vector<std::pair<std::string, std::string>> mark_closes_;  // each mark with its line's closing bracket
  std::vector<DialogueCounts> by_character_;
  std::vector<std::uint32_t> touched_;
  std::vector<FileCount> file_;
};

// Adds one file's counts (`file`: its position in run order) to `counts`
// (one a character of the table).
void add_file_counts(std::vector<CharacterCounts>& counts, std::size_t file, std::span<const DialogueCounter::FileCount> file_counts);

// The name a character is shown by: its display name, or for a character
// without voice prefix, the name of its definition line.
std::string_view shown_name(const Character& character);

// The CSV: its head (byte-order mark and header row), then a line a row.
std::string counts_csv(std::span<const CountsRow> rows, const Cp932Decoder& decoder);
void append_counts_csv_head(std::string& out, const Cp932Decoder& decoder);
void append_counts_csv_row(std::string& out, const CountsRow& row, const Cp932Decoder& decoder);
// The same from the texts made fields once (a character's for each of its
// rows, a file's for each of its characters).
std::string counts_csv_field(std::string_view cp932, const Cp932Decoder& decoder);
void append_counts_csv_line(std::string& out, std::string_view prefix_field, std::string_view name_field, std::string_view file_field,
                            const DialogueCounts& counts);

// The workbook, written as the rows come: the rows per character and file
// first, in their order, then the characters' own rows. Made in the library's
// constant-memory mode: each row goes to its sheet's temporary file as it
// is added, so that little is left to do once the last one is.
class CountsWorkbook {
 public:
  // The library keeps a temporary file open for each sheet as it is made.
  static constexpr std::size_t kCharacterSheetsAtMost = 200;

  // `characters`: a row a character of the table (its counts unused);
  // `files`: the files of the run.
  CountsWorkbook(const WorkbookTarget& target, const Cp932Decoder& decoder, std::span<const CountsRow> characters,
                 std::size_t files);
  ~CountsWorkbook();
  CountsWorkbook(const CountsWorkbook&) = delete;
  CountsWorkbook& operator=(const CountsWorkbook&) = delete;

  // False once anything failed: the workbook is then not to be used.
  bool ok() const;
  // A row per character and file, of character `character` of the table.
  void add_file_row(std::uint32_t character, std::string_view file, const DialogueCounts& counts);
  // The characters' own rows (their totals, in table order), the sheets'
  // layout, and the file closed. Without it (a run that stopped early),
  // nothing is left at the target.
  WorkbookStatus close(std::span<const DialogueCounts> totals);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace lumeno::scriptbuilder
