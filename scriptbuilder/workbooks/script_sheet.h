// A finished voice-actor script (".zd" bytes: header and body) read back as
// the rows and pages of a workbook sheet, and the names of a workbook's
// sheets.
//
// Rows are the body's rows as the page layout counted them: every line end
// (CR LF, lone CR, lone LF, found character by character) ends one. A row's
// cells are its text up to the first TAB (column A, the voice name), up to
// the second (B, the speaker) and the rest (C, the text). Empty rows at the
// end hold nothing and are left out; the pages are the layout's: 44 rows on
// the first, 45 on every later one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "scriptbuilder/scripts/voice_script_layout.h"

namespace lumeno::scriptbuilder {

struct SheetRow {
  std::string_view bytes;  // the whole row, without its line end
  std::string_view voice;
  std::string_view speaker;
  std::string_view text;

  // A row of the script's own dialogue: its voice row (the voice name in
  // column A) and the continuation rows after it make one block.
  bool own() const { return !bytes.empty() && bytes[0] != '\t'; }
  bool continuation() const { return bytes.size() >= 2 && bytes[0] == '\t' && bytes[1] == '\t'; }
  // A row of a line that is not dialogue ("TAB space TAB text").
  bool direction() const { return bytes.size() >= 3 && bytes[0] == '\t' && bytes[1] == ' ' && bytes[2] == '\t'; }
};

struct ScriptSheet {
  // The header's three lines.
  std::string_view voice_prefix;
  std::string_view display_name;
  bool framed = false;  // the third line is "1"
  std::vector<SheetRow> rows;
  std::size_t own_lines = 0;  // rows with a voice name
  std::string_view first_voice;
  std::string_view last_voice;
  int pages = 1;
};

// Reads a script. Views point into `script`.
ScriptSheet read_script_sheet(std::string_view script);

// A row's part in a frame: inside one (the frame's left side on column A,
// its right side on E), and whether the frame's top or bottom edge runs
// along it.
struct RowFrame {
  bool inside = false;
  bool top = false;
  bool bottom = false;
};

// The frames round each own line's whole speech, a row each: the voice row
// and its continuation rows, then the rows of the speech's further lines,
// `speech_lines[k]` for the k-th voice row (none past its end): each the
// next direction row with its continuation rows, empty rows before it
// passed over (the page layout puts them in). Rows of the speech on one page
// make one frame, the empty rows among them inside it; a frame ends at the
// page's end and begins again on the next page with the speech's next row.
// A speech whose rows do not follow as told keeps the rows that do.
std::vector<RowFrame> speech_frames(const ScriptSheet& sheet, std::span<const std::uint32_t> speech_lines);

// The page of a row (0-based).
int page_of_row(std::size_t row);
// The number of rows before page `page` (1-based) begins.
std::size_t rows_before_page(int page);

// The sheet names of one workbook, given in order: each the base name of a
// file (UTF-8) made a valid sheet name. At most 31 characters; "[", "]",
// ":", "*", "?", "/", "\" and control characters become "_", and so does an
// apostrophe at either end; unique (letters of either case, full-width and
// half-width forms taken as equal), numbered "(2)", "(3)", ... where needed
// and shortened to make room for the number.
class SheetNames {
 public:
  static constexpr std::size_t kMaxLength = 31;

  // A name no later sheet may take (the contents sheet's).
  void reserve(std::string_view name);
  // The sheet name for `base`, now taken.
  std::string add(std::string_view base);

 private:
  bool taken(std::string_view name) const;
  std::unordered_set<std::string> keys_{"history"};  // folded; Excel keeps "History" for itself
  std::unordered_map<std::string, int> next_number_;  // by folded name
};

// True for a sheet name the workbook library would leave unquoted in a
// formula although it reads as a cell reference there ("ch1", "R2C3",
// "1st"): a formula naming such a sheet (a print area) would be broken.
bool reference_like_sheet_name(std::string_view name);

// A name's form for comparison: ASCII, full-width Latin, Greek and
// Cyrillic letters folded to one case, full-width ASCII to ASCII.
std::string fold_sheet_name(std::string_view utf8);

}  // namespace lumeno::scriptbuilder
