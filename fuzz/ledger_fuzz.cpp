// The voice ledger: reading any bytes as a ledger, and numbering two
// scenario files against what was read. Options byte, definitions, marks,
// ledger, first file, second file.
#include "fuzz/vocar_fuzz.h"
#include "scriptbuilder/recording/run_voices.h"

LUMENO_FUZZ_TARGET(ledger) {
  using namespace lumeno;
  using namespace lumeno::scriptbuilder;
  fuzz::Parts parts(data, size);
  const unsigned char options = parts.byte();
  const fuzz::VocarCast cast(parts);
  Result<Ledger> ledger = parse_ledger(std::string(parts.next()));
  const std::string_view first = parts.next();
  const std::string_view second = parts.rest();
  if (ledger) {
    // What is read is written back the same, and reads again.
    const std::string text = format_ledger(ledger->rows);
    Result<Ledger> again = parse_ledger(text);
    if (!again || format_ledger(again->rows) != text) __builtin_trap();
  }
  if (!cast.usable()) return 0;
  const fuzz::VocarRun run(cast, options);
  std::vector<FileVoices> files(2);
  scan_voice_lines(first, run.matcher, *cast.table, files[0]);
  scan_voice_lines(second, run.matcher, *cast.table, files[1]);
  std::vector<VoiceFileName> names = {{"scn\\a.txt", "C:\\scn\\a.txt"}, {(options & 16) ? "scn\\a.txt.b" : "x\\b.txt", "C:\\x\\b.txt"}};
  const std::vector<LedgerScope> scope = {{"scn", true}};
  Result<RunVoices> voices = name_run_voices(std::move(files), std::move(names), ledger ? std::move(*ledger) : Ledger{},
                                             {*cast.table, run.settings, scope});
  if (!voices) return 0;
  // Every line is named, and the new ledger can be read.
  for (const FileVoices& file : voices->files) {
    for (const VoiceLine& line : file.lines) {
      if (line.voice_name.empty()) __builtin_trap();
    }
  }
  if (!parse_ledger(ledger_text(*voices, *cast.table))) __builtin_trap();
  voice_change_report(*voices, *cast.table);
  return 0;
}
