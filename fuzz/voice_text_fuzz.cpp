// The line scanner, the matcher and the voice-embedded text writer:
// options byte, definitions, marks, file name, scenario text.
#include "fuzz/fuzz_target.h"
#include "scriptbuilder/builder_settings.h"
#include "scriptbuilder/characters.h"
#include "scriptbuilder/scanner.h"
#include "scriptbuilder/voice_text.h"
#include "shell/dialogue_marks.h"

LUMENO_FUZZ_TARGET(voice_text) {
  using namespace lumeno;
  using namespace lumeno::scriptbuilder;
  fuzz::Parts parts(data, size);
  const unsigned char options = parts.byte();
  auto table = parse_character_definitions(parts.next());
  auto marks = parse_dialogue_marks(parts.next());
  const std::string_view file_name = parts.next();
  const std::string_view text = parts.rest();
  if (!table || !marks) return 0;
  BuilderSettings settings;
  settings.reset_per_file = options & 1;
  settings.second_string_from_file_name = options & 2;
  settings.voice_cr_lf = options & 4;
  settings.start_number = (options & 8) ? "8" : "0001";
  settings.second_string = "A1_";
  const DialogueMatcher matcher(*table, *marks);
  VoiceNumbering voices(*table, settings);
  voices.reset_voice_counters();
  voices.prepare_file(file_name, settings.reset_per_file);
  std::string out;
  embed_voice_commands(text, matcher, voices, VoiceCommand{"\\VO(", ")", settings.voice_cr_lf}, out);
  // Nothing is lost: every source byte that is not a line end is in the output.
  std::size_t kept = 0;
  for (char c : text) kept += (c != '\r' && c != '\n');
  std::size_t out_kept = 0;
  for (char c : out) out_kept += (c != '\r' && c != '\n');
  if (out_kept < kept) __builtin_trap();
  // The first match in table order, checked against every position of a line start.
  std::vector<DialogueMatch> all;
  for (std::size_t pos = 0; pos < text.size(); pos = find_line_end(text, pos) + 1) {
    matcher.match(text, pos);
    matcher.match_all(text, pos, all);
    if (pos >= text.size()) break;
  }
  return 0;
}
