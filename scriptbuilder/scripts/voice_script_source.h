// A scenario file as the voice-actor scripts see it, prepared once for all
// of a file's scripts: line ends made CR LF, tabs made four spaces, the
// backslash commands taken out (when the setting asks for it), cut into the
// rows of the scripts, each row with its speaker.
//
// The speaker of a row is decided on the source line the row begins with,
// by the same scan as every other output, so that a line has one voice
// number everywhere. A row that begins with what remains of a line after a
// command was taken out is therefore not dialogue ("\wait(100)エリ「…」"
// is not dialogue in the other outputs either). Lines that a command swallows
// whole (inside a parenthesis or bracket that spans lines) make no row, but a
// line of dialogue among them keeps its voice number: the scripts skip it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scriptbuilder/scanner.h"

namespace lumeno::scriptbuilder {

// A row reaching this many bytes of text is continued on the next row: the
// script's own dialogue, and every other row.
inline constexpr std::uint32_t kOwnRowWidth = 52;
inline constexpr std::uint32_t kOtherRowWidth = 68;

struct ScriptRow {
  // The row's bytes in ScriptSource::text: [begin, end). `end` is the row's
  // CR LF, or the end of the text for a last row without a line end.
  std::uint32_t begin = 0;
  std::uint32_t end = 0;
  // Where the text cell begins: after the name on a dialogue row, else `begin`.
  std::uint32_t text_begin = 0;
  // The speaker (index into the character table), or -1 when the row is not dialogue.
  std::int32_t speaker = -1;
  // Where the row's line begins in ScriptSource::source (a row always
  // begins a line: lines a command swallows make none).
  std::uint32_t source_begin = 0;
  // The name that matched, in ScriptSource::source.
  std::uint32_t name_at = 0;
  std::uint32_t name_length = 0;
  // On a dialogue row, once count_speech_rows ran: how many rows after it
  // hold the further lines of its speech (speech.h), one a line that makes
  // a row.
  std::uint32_t speech_rows = 0;
  bool line_end = false;
  // Where the text wraps (offsets in `text`, after the byte that reached the
  // width): at kOwnRowWidth, then at kOtherRowWidth, in ScriptSource::wraps.
  // A row that is not dialogue has no own-width wraps.
  std::uint32_t own_wraps = 0;  // index of the first own-width wrap
  std::uint32_t other_wraps = 0;  // index of the first other-width wrap (the end of the own ones)
  std::uint32_t wraps_end = 0;
  // Speakers of the dialogue lines that commands swallowed after this row
  // began, in order, in ScriptSource::swallowed.
  std::uint32_t swallowed_begin = 0;
  std::uint32_t swallowed_end = 0;

  bool empty() const { return begin == end; }
};

struct ScriptSource {
  std::string source;  // the file as read
  std::string text;    // normalised
  std::vector<ScriptRow> rows;
  std::vector<std::uint32_t> wraps;
  std::vector<std::int32_t> swallowed;
};

// Prepares `file.source` (already filled): normalises it into `file.text`
// and cuts the rows. Line ends (CR LF, lone CR, lone LF) become CR LF; a TAB
// becomes four spaces; with `strip_commands`, every backslash command goes:
// the backslash, an opening "[" (the bracket form), spaces and tabs, the
// command's name (double-byte characters, then ASCII letters, digits, "."
// and "_"), a parenthesised argument list with its nested parentheses, and
// in the bracket form blanks and everything up to the next "]" (searched
// byte by byte). An argument list or bracket that is never closed takes the
// rest of the file. Double-byte characters are stepped over whole.
void prepare_script_source(ScriptSource& file, bool strip_commands, const DialogueMatcher& matcher);

// Sets speech_rows on every dialogue row of a prepared file: its speech
// (find_dialogue_speech, with the marks and matcher the file was prepared
// with) read on the source, and the rows that begin on the speech's further
// lines counted. A line a command swallowed makes no row and is not counted,
// nor is a row left empty (a speech ends before a blank line, so there is
// none but by accident). Linear: the speeches of two lines of dialogue never
// share a line.
void count_speech_rows(ScriptSource& file, const DialogueMarks& marks, const DialogueMatcher& matcher);

}  // namespace lumeno::scriptbuilder
