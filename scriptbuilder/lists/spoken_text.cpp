#include "scriptbuilder/lists/spoken_text.h"

namespace lumeno::scriptbuilder {

std::size_t spoken_characters(std::string_view line, std::size_t mark_end, std::string_view mark) {
  const std::string_view close = mark.empty() ? std::string_view() : closing_bracket(last_character(mark));
  std::size_t count = 0;
  std::size_t last = line.size();
  for_each_spoken_character(line, mark_end, [&](std::size_t pos, std::size_t) {
    ++count;
    last = pos;
  });
  if (count > 0 && !close.empty() && line.substr(last, sjis_char_length(line, last)) == close) --count;
  return count;
}

}  // namespace lumeno::scriptbuilder
