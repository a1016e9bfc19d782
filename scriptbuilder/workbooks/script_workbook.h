// One workbook of voice-actor scripts (.xlsx), ready to print: a contents
// sheet "目次", then one sheet a script, each the script's rows and pages.
//
// Contents: for each script in the order given, its relative name (a link to
// its sheet), the number of own lines, the first and last voice name, the
// page count; then their sums.
//
// A script sheet: column A the voice name, B the speaker, C the text, D
// "収録" and E "備考" left empty for the session; on every voice row D is a
// box to tick by pen. The script's header lines become the printed header
// (character and voice prefix, file, the labels of D and E); the footer is
// "<page> / <pages>". A4 portrait at a fixed scale, one page wide, a manual
// page break wherever the script's layout begins a page (after row 44, then
// every 45 rows), and margins that hold 45 rows a page. With the header's
// framing flag, each own line's whole speech is boxed across A to E: its
// voice row and continuation rows and the rows of the further lines of its
// speech (speech_frames in script_sheet.h), a box a page.
//
// The font is MS Gothic, fixed pitch, so that the 52- and 68-byte wraps
// stand as laid out; it is the workbook's own default font (its Normal
// style), in whose digits the column widths are counted. A program on a
// machine without it counts them in the digits of the font it takes
// instead, and the columns grow with them: the scale leaves room for digits
// a quarter wider than MS Gothic's, which with MS Gothic itself keeps more
// than a tenth of the page's width spare.
//
// A script of more pages than a sheet's page breaks can make (1024) goes
// on over further sheets, "<name>(続2)", ..., each beginning on a page
// boundary; the contents names the first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scriptbuilder/workbooks/session_marks.h"
#include "shell/cp932_decoder.h"

namespace lumeno::scriptbuilder {

struct WorkbookScript {
  std::string relative_name;  // CP932, "\" separators
  std::string script;         // the script file's bytes: header and body
  // For each voice row of the script, in order: the further lines of its
  // speech that follow it (ScriptCopies in run_context.h). Missing ones
  // count as none.
  std::vector<std::uint32_t> speech_lines;
  // For scripts that are not one file's (the pick-up scripts): the page
  // header's middle (CP932) in place of the file's name; other characters'
  // dialogue in grey (the cues); the marks of its voices, in place of the
  // workbook's.
  std::string heading;
  bool grey_cues = false;
  const SessionMarks* marks = nullptr;
};

inline constexpr std::string_view kContentsSheet = "目次";
// The rows a sheet takes: 1024 pages, the most a sheet's manual page breaks
// can make (the format keeps 1023 breaks; far fewer rows than the format's
// limit of 1048576).
inline constexpr std::size_t kMaxPageBreaks = 1023;
inline constexpr std::size_t kSheetRows = 44 + 45 * kMaxPageBreaks;
// Where each sheet of a script of `rows` rows begins when a sheet takes at
// most `limit` rows (at least one page's): whole pages each, the first
// sheet from row 0.
std::vector<std::size_t> sheet_starts(std::size_t rows, std::size_t limit);

// Up to this many sheets a workbook is made with the library's streaming
// mode (rows go to a temporary file as they are written, one file open per
// sheet); a workbook with more sheets is held in memory until it is written.
// The same on every platform, so that every platform writes the same sheets.
inline constexpr std::size_t kStreamedSheets = 400;

struct WorkbookTarget {
  std::string file;          // where the library writes the workbook (its own file name form)
  std::string temp_folder;   // where it keeps its temporary files (the same form)
};

enum class WorkbookStatus { written, failed, cancelled };

// Writes the workbook of `scripts` (at least one). `cancelled` is asked now
// and then; on `cancelled` or `failed` whatever stands at `target.file` is
// not a workbook to keep. `sheet_rows` is the most rows a sheet takes (tests
// make it small).
// With `marks`, a voice row shows its voice's mark: the status in 収録 (D),
// the notes in 備考 (E), and the same again in the hidden columns G and H
// (what the row showed, for telling what is typed in later).
inline constexpr std::uint16_t kShownStatusColumn = 6;
WorkbookStatus write_script_workbook(const WorkbookTarget& target, std::span<const WorkbookScript> scripts,
                                     const Cp932Decoder& decoder, const std::function<bool()>& cancelled,
                                     std::size_t sheet_rows = kSheetRows, const SessionMarks* marks = nullptr);

// Cell text as the format stores it: "_xHHHH_" in the text would be read as
// an escaped character, so its "_" is escaped itself ("_x005F_").
void escape_cell_text(std::string& utf8);

}  // namespace lumeno::scriptbuilder
