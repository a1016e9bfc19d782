// Dialogue marks: the marks that open a line of dialogue right after a
// speaker's name ("「/『/（" by default), shared by Vocar and Namex.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumeno {

using DialogueMarks = std::vector<std::string>;

inline constexpr std::size_t kMaxMarkLength = 8;

// Splits a marks text at its "/" bytes (safe in Shift_JIS: no trail byte is
// "/"); runs of "/" and "/" at either end give no empty mark. Nothing when a
// mark is longer than 8 bytes: the start command is refused then.
std::optional<DialogueMarks> parse_dialogue_marks(std::string_view text);

// The reason a marks text is refused, for a terminal (UTF-8).
std::string dialogue_marks_refusal(std::string_view text);

}  // namespace lumeno
