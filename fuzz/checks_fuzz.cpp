// The scenario check of one file, and the characters spoken in its lines:
// definitions, marks, then the scenario text.
#include <charconv>

#include "fuzz/vocar_fuzz.h"
#include "scriptbuilder/checks/scenario_check.h"
#include "scriptbuilder/lists/spoken_text.h"

LUMENO_FUZZ_TARGET(checks) {
  using namespace lumeno;
  using namespace lumeno::scriptbuilder;
  fuzz::Parts parts(data, size);
  const fuzz::VocarCast cast(parts);
  if (!cast.usable()) return 0;
  const DialogueMatcher matcher(*cast.table, *cast.marks);
  const std::string_view text = parts.rest();
  const FileFindings found = check_scenario_file(text, "scn\\a.txt", matcher, *cast.marks, cast.table->characters.size());
  // The file's lines, counted as the check counts them.
  std::size_t file_lines = 0;
  for (std::size_t i = 0; i < text.size(); ++file_lines) {
    const std::size_t end = find_line_end(text, i);
    if (end >= text.size()) {
      ++file_lines;
      break;
    }
    i = end + line_break_length(text, end);
  }
  // Every line of the report is a finding of the file, on one of its lines,
  // in line order; one a bracket fault or an unknown speaker, whose name is
  // in the text.
  std::size_t lines = 0;
  std::size_t last_line = 1;
  for (std::size_t at = 0; at < found.findings.size(); ++lines) {
    if (found.findings.compare(at, 10, "scn\\a.txt(") != 0) __builtin_trap();
    const std::size_t end = found.findings.find("\r\n", at);
    if (end == std::string::npos) __builtin_trap();
    std::size_t line = 0;
    const char* digits = found.findings.data() + at + 10;
    const auto [past, error] = std::from_chars(digits, found.findings.data() + end, line);
    if (error != std::errc() || past == digits || *past != ')') __builtin_trap();
    if (line < last_line || line > file_lines) __builtin_trap();
    last_line = line;
    at = end + 2;
  }
  if (lines != found.unknown.size() + found.bracket_lines) __builtin_trap();
  for (const std::string& name : found.unknown) {
    if (name.empty() || text.find(name) == std::string_view::npos) __builtin_trap();
  }
  for (std::uint32_t c : found.speakers) {
    if (c >= cast.table->characters.size()) __builtin_trap();
  }
  // What a line says aloud never counts more characters than it has bytes,
  // and the counts' own loop reads it as the check does, one character at a
  // time.
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t end = find_line_end(text, i);
    const std::string_view line = text.substr(i, end - i);
    for (const std::string& mark : *cast.marks) {
      const std::size_t spoken = spoken_characters(line, 0, mark);
      if (spoken > line.size()) __builtin_trap();
      std::size_t said = 0;
      std::string_view last;
      for_each_spoken_character(line, 0, [&](std::size_t pos, std::size_t length) {
        ++said;
        last = line.substr(pos, length);
      });
      const std::string_view close = mark.empty() ? std::string_view() : closing_bracket(last_character(mark));
      if (said > 0 && !close.empty() && last == close) --said;
      if (spoken != said) __builtin_trap();
    }
    if (end >= text.size()) break;
    i = end + line_break_length(text, end);
  }
  return 0;
}
