// The dialogue marks of a settings text.
#include "fuzz/fuzz_target.h"
#include "shell/dialogue_marks.h"

LUMENO_FUZZ_TARGET(marks) {
  using namespace lumeno;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto marks = parse_dialogue_marks(text);
  if (marks) {
    for (const std::string& mark : *marks) {
      if (mark.empty() || mark.size() > kMaxMarkLength || mark.find('/') != std::string::npos) __builtin_trap();
    }
  } else if (dialogue_marks_refusal(text).empty()) {
    __builtin_trap();
  }
  return 0;
}
