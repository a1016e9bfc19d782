// Pruna's conversion: one left-to-right pass over a Shift_JIS text that
// removes line comments ("//" to the end of the line), block comments ("/*"
// to "*/") and backslash commands, or keeps only them, and drops the lines
// left without content. Pure functions over byte buffers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumeno::stripper {

// The options of the pass, as the settings file holds them. A kind of
// construct is a target when its value is exactly 1.
struct StripOptions {
  std::int32_t target_line_comments = 1;
  std::int32_t target_block_comments = 1;
  std::int32_t target_commands = 0;
  // 0: drop no line; 1: drop a line on which something was removed and no
  // content is left; 2: drop every line without content. Other values act
  // as 0.
  std::int32_t blank_line_mode = 1;
  // 0: remove the targets, copy the rest; nonzero: keep only the targets.
  std::int32_t strip_mode = 0;
};

// How many constructs of each kind the pass met, whatever it did with them.
// A run sets them to 0 once; every file adds to them.
struct StripCounts {
  std::int64_t line_comments = 0;
  std::int64_t block_comments = 0;
  std::int64_t commands = 0;
};

// Line ends made CR LF: CR LF stays, a lone CR and a lone LF become CR LF. A
// lead byte and the byte after it are copied together (so a CR or LF that
// trails a lead byte stays as it is); a lead byte that ends the text is
// copied alone. No line end is added at the end.
std::string unify_line_breaks(std::string_view text);
// True when unify_line_breaks would leave the text as it is.
bool line_breaks_unified(std::string_view text);

// The pass over a text (normally one whose line ends were unified). The
// result is never longer than the text. Nothing past the end of `text` is
// read: a construct cut off by the end runs to the end, and a lead byte that
// ends the text is an ordinary one-byte character.
std::string strip_text(std::string_view text, const StripOptions& options, StripCounts& counts);

}  // namespace lumeno::stripper
