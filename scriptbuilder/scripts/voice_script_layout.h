// The last two steps of a voice-actor script's body, done as its rows are
// written: at most one empty row in a row, and pages of rows on which a
// block of rows is kept whole.
//
// Pages: page 1 has 44 rows, every later page 45; every line end counts one
// row. A block is a run of rows that follows an empty row; its kind comes
// from its first bytes:
//   TAB space TAB       a direction (anything that is not dialogue)
//   TAB space ...       nothing kept: protection ends
//   TAB ...             another character's dialogue
//   anything else       the script's own dialogue
// A kept ("protected") block that would cross a page break moves down, one
// empty row at a time, until it fits: a direction or another character's
// dialogue then begins on row 1 of the next page. The script's own dialogue
// never stands on row 1 or on the last row of a page and never crosses one,
// so it begins on row 2 below an empty row 1. A kind whose keep setting is
// off leaves the protection in force as it is (another character's dialogue,
// own dialogue) or ends it (directions).
//
// An own-dialogue block that begins on row 2 of a page and still does not
// fit is too long for any page: it is left where it is, crossing the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

inline constexpr int kFirstPageRows = 44;
inline constexpr int kPageRows = 45;

struct PageOptions {
  bool keep_dialogue = true;        // the script's own dialogue
  bool keep_direction = true;       // directions
  bool keep_other_dialogue = true;  // other characters' dialogue
};

// Writes a script's body into a string (after what it already holds). The
// writer appends the text of a row straight to `out()`, and calls
// `line_end()` between rows and `finish()` at the end; blank rows are
// dropped and blocks moved on the way.
class ScriptBody {
 public:
  enum class Stages {
    rows_only,  // line ends are copied as they come: the rows as written
    full,
  };

  ScriptBody(std::string& out, PageOptions options, Stages stages = Stages::full)
      : out_(out), options_(options), full_(stages == Stages::full), row_begin_(out.size()) {}

  std::string& out() { return out_; }
  void append(std::string_view bytes) { out_.append(bytes); }
  // A line end: CR LF as the rows are written; the form is kept.
  void line_end(std::string_view bytes = "\r\n");
  // Text that may hold line ends (CR LF, lone CR, lone LF; double-byte
  // characters stepped over whole).
  void write(std::string_view bytes);
  void finish() { text_row_done(); }

 private:
  enum class Kind { own, other, direction };
  struct Block {
    int page = 1;
    int row = 1;
    std::size_t at = 0;  // its first byte in out_
    Kind kind = Kind::own;
    int rows_after = 0;  // line ends written since its first byte
  };

  void text_row_done();
  bool must_move() const;
  void move_block();

  static int rows_on_page(int page) { return page == 1 ? kFirstPageRows : kPageRows; }
  static void advance(int& page, int& row, int count);

  std::string& out_;
  PageOptions options_;
  bool full_;
  std::size_t row_begin_;     // where the text of the current row begins in out_
  int line_ends_in_a_row_ = 0;  // before the blank-row cut
  int line_ends_since_text_ = 0;  // after it
  int page_ = 1;
  int row_ = 1;
  bool protected_ = false;
  Block block_;
};

// Hands the text between line ends to `text` and each line end (CR LF, a
// lone CR, a lone LF, found character by character) to `line_end`, in order;
// `text` is called once more for what follows the last line end. How the
// layout counts rows, and how a finished script is read back as rows.
template <class Text, class LineEnd>
void split_at_line_ends(std::string_view bytes, Text&& text, LineEnd&& line_end) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    const char c = bytes[i];
    if (c != '\r' && c != '\n') {
      i += sjis_char_length(bytes, i);
      continue;
    }
    text(bytes.substr(run, i - run));
    const std::size_t len = (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
    line_end(bytes.substr(i, len));
    i += len;
    run = i;
  }
  text(bytes.substr(run));
}

// The rows of a script's body as written (text bytes and line ends, which
// may be CR LF, lone CR or lone LF), through the blank-row cut and the page
// layout. Double-byte characters are stepped over whole.
std::string lay_out_script_rows(std::string_view rows, PageOptions options);

}  // namespace lumeno::scriptbuilder
