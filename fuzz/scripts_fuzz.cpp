// The voice-actor script passes: normalising, rows, blank rows and pages,
// for every character of a definitions file and the all-character script:
// options byte, definitions, marks, scenario text. The further lines of each
// own line's speech that a script hands its workbook follow its voice row in
// the script, each a direction row, only empty rows before it.
#include <cstdint>
#include <vector>

#include "fuzz/vocar_fuzz.h"
#include "scriptbuilder/scripts/voice_scripts.h"
#include "scriptbuilder/workbooks/script_sheet.h"

namespace {

// True when every voice row of `sheet` is followed by its further lines.
bool speech_lines_follow(const lumeno::scriptbuilder::ScriptSheet& sheet, const std::vector<std::uint32_t>& lines) {
  const auto& rows = sheet.rows;
  auto continued = [&](std::size_t end) {
    while (end < rows.size() && rows[end].continuation()) ++end;
    return end;
  };
  std::size_t voice = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (!rows[r].own()) continue;
    std::size_t end = continued(r + 1);
    for (std::uint32_t k = lines[voice++]; k > 0; --k) {
      while (end < rows.size() && rows[end].bytes.empty()) ++end;
      if (end == rows.size() || !rows[end].direction()) return false;
      end = continued(end + 1);
    }
  }
  return true;
}

}  // namespace

LUMENO_FUZZ_TARGET(scripts) {
  using namespace lumeno;
  using namespace lumeno::scriptbuilder;
  fuzz::Parts parts(data, size);
  const unsigned char options = parts.byte();
  const fuzz::VocarCast cast(parts);
  const std::string_view text = parts.rest();
  const PageOptions pages{(options & 1) != 0, (options & 2) != 0, (options & 4) != 0};
  // The page layout alone, over any bytes.
  lay_out_script_rows(text, pages);
  if (!cast.usable()) return 0;
  fuzz::VocarRun run(cast, options);
  ScriptSource file;
  file.source = std::string(text);
  prepare_script_source(file, (options & 16) != 0, run.matcher);
  count_speech_rows(file, *cast.marks, run.matcher);
  const int count = static_cast<int>(cast.table->characters.size());
  bool odd_voice_names = run.voices.name_middle().find_first_of("\t\r\n") != std::string::npos;
  for (const Character& character : cast.table->characters) {
    if (character.voice_prefix.find_first_of("\t\r\n") != std::string::npos) odd_voice_names = true;
  }
  for (int c = -1; c < count && c < 8; ++c) {
    if (c >= 0 && run.voices.counter(c) < 0) continue;
    std::string out = "P\r\nN\r\n1\r\n";
    ScriptBody body(out, pages);
    std::vector<std::uint32_t> lines;
    write_script_rows(file, c < 0 ? kAllCharacters : c, (options & 32) != 0, run.voices, body, &lines);
    // A voice name with a TAB or a line end makes voice rows the sheet does
    // not see as such; any other script is read back as written.
    if (odd_voice_names) continue;
    const ScriptSheet sheet = read_script_sheet(out);
    if (sheet.own_lines != lines.size() || !speech_lines_follow(sheet, lines)) __builtin_trap();
    if (speech_frames(sheet, lines).size() != sheet.rows.size()) __builtin_trap();
  }
  return 0;
}
