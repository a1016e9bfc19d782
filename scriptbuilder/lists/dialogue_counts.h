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
// a comma, a quote or a line end are quoted ("" for a quote). The workbook
// holds the same table on one sheet, numbers as numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scriptbuilder/characters.h"
#include "scriptbuilder/workbooks/script_workbook.h"
#include "shell/cp932_decoder.h"

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

// The table's rows: by character (one a character of `table`, `counts`
// matching it one for one), then by character and file; `file_names` are
// the relative names of the run's files in run order.
std::vector<CountsRow> counts_rows(const CharacterTable& table, std::span<const CharacterCounts> counts,
                                   std::span<const std::string> file_names);

// The name a character is shown by: its display name, or for a character
// without voice prefix, the name of its definition line.
std::string_view shown_name(const Character& character);

std::string counts_csv(std::span<const CountsRow> rows, const Cp932Decoder& decoder);

// Writes the table as a workbook at `target` (the library's names).
WorkbookStatus write_counts_workbook(const WorkbookTarget& target, std::span<const CountsRow> rows, const Cp932Decoder& decoder);

}  // namespace lumeno::scriptbuilder
