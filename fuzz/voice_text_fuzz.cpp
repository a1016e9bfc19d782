// The line scanner, the matcher and the voice-embedded text writer:
// options byte, definitions, marks, file name, scenario text.
#include "fuzz/vocar_fuzz.h"
#include "scriptbuilder/text/voice_text.h"

LUMENO_FUZZ_TARGET(voice_text) {
  using namespace lumeno;
  using namespace lumeno::scriptbuilder;
  fuzz::Parts parts(data, size);
  const unsigned char options = parts.byte();
  const fuzz::VocarCast cast(parts);
  const std::string_view file_name = parts.next();
  const std::string_view text = parts.rest();
  if (!cast.usable()) return 0;
  fuzz::VocarRun run(cast, options);
  const DialogueMatcher& matcher = run.matcher;
  run.voices.prepare_file(file_name, run.settings.reset_per_file);
  std::string out;
  embed_voice_commands(text, matcher, run.voices, VoiceCommand{"\\VO(", ")", run.settings.voice_cr_lf}, out);
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
