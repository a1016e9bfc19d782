#include "shell/dialogue_marks.h"

#include "shell/names.h"

namespace lumeno {

namespace {

// Calls f(mark) for every mark of the text, stopping when f returns false.
template <class F>
void for_each_mark(std::string_view text, F&& f) {
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '/') {
      if (i > start && !f(text.substr(start, i - start))) return;
      start = i + 1;
    }
  }
}

}  // namespace

std::optional<DialogueMarks> parse_dialogue_marks(std::string_view text) {
  DialogueMarks marks;
  bool too_long = false;
  for_each_mark(text, [&](std::string_view mark) {
    if (mark.size() > kMaxMarkLength) {
      too_long = true;
      return false;
    }
    marks.emplace_back(mark);
    return true;
  });
  if (too_long) return std::nullopt;
  return marks;
}

std::string dialogue_marks_refusal(std::string_view text) {
  std::string reason;
  for_each_mark(text, [&](std::string_view mark) {
    if (mark.size() <= kMaxMarkLength) return true;
    reason = "the dialogue mark \"" + names::utf8_from_cp932_lossy(mark) + "\" is longer than 8 bytes";
    return false;
  });
  return reason;
}

}  // namespace lumeno
