// What a line of dialogue says aloud, for the counts and the scenario check:
// the text after the speaker's name without what no actor reads.
//
// Left out, within the line:
//   - backslash commands, as the scripts take them out (a command's argument
//     list or bracket that is not closed on the line takes the rest of it);
//   - "//" and everything after it; "/*" up to the next "*/" on the line, or
//     to its end (a block comment is only seen where it begins: a line of
//     dialogue inside one that an earlier line opened is dialogue, numbered
//     like any other, and counts whole);
//   - blanks: space, TAB and the full-width space.
// Every other character counts one, whether it takes one byte or two.
#pragma once

#include <cstddef>
#include <string_view>

#include "scriptbuilder/speech.h"
#include "shell/dialogue_marks.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

// Calls f(pos, length) for each character of `line` (one line, without its
// line end) from `from` on that is read aloud (see above), in order.
template <class F>
void for_each_spoken_character(std::string_view line, std::size_t from, F&& f) {
  const std::size_t n = line.size();
  std::size_t i = from;
  while (i < n) {
    const char c = line[i];
    if (c == '\\') {
      i = backslash_command_end(line, i);
      continue;
    }
    if (c == '/' && i + 1 < n && line[i + 1] == '/') return;
    if (c == '/' && i + 1 < n && line[i + 1] == '*') {
      const std::size_t close = line.find("*/", i + 2);
      if (close == std::string_view::npos) return;
      i = close + 2;
      continue;
    }
    const std::size_t length = sjis_char_length(line, i);
    const bool blank = c == ' ' || c == '\t' || (length == 2 && c == '\x81' && line[i + 1] == '\x40');
    if (!blank) f(i, length);
    i += length;
  }
}

// The characters spoken in a line of dialogue whose mark `mark` ends at
// `mark_end`: those after the mark (see above), less the closing partner of
// the mark's last character when it is the last of them (the bracket that
// encloses the line).
std::size_t spoken_characters(std::string_view line, std::size_t mark_end, std::string_view mark);

// The same with the bracket that encloses the line given: `close` is
// closing_bracket(last_character(mark)), empty for none. One walk over the
// line, for the scan that counts every line of a run.
std::size_t spoken_characters_closed_by(std::string_view line, std::size_t mark_end, std::string_view close);

}  // namespace lumeno::scriptbuilder
