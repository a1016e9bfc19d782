// The staff-list scan and writers: definitions, marks, then scenario files
// separated by "\0\0".
#include "fuzz/vocar_fuzz.h"
#include "scriptbuilder/lists/staff_list_scan.h"

LUMENO_FUZZ_TARGET(lists) {
  using namespace lumeno;
  using namespace lumeno::scriptbuilder;
  fuzz::Parts parts(data, size);
  const unsigned char options = parts.byte();
  const fuzz::VocarCast cast(parts);
  if (!cast.usable()) return 0;
  fuzz::VocarRun run(cast, options);
  const CharacterTable& table = *cast.table;
  StaffListScan scan(table, run.matcher, true);
  DialogueCounter counter(table.characters.size(), *cast.marks);
  std::vector<CharacterCounts> budget(table.characters.size());
  std::vector<std::string> names;
  for (int k = 0; k < 16 && !parts.rest().empty(); ++k) {
    names.push_back("scn\\f" + std::to_string(k) + ".txt");
    run.voices.prepare_file(names.back(), run.settings.reset_per_file);
    const std::string_view text = parts.next();
    scan.scan_file(text, names.back(), run.voices);
    for (const CountedLine& line : scan.counted_lines()) {
      if (line.character >= budget.size() || line.begin + line.length > text.size() || line.name_length > line.length) __builtin_trap();
    }
    add_file_counts(budget, names.size() - 1, counter.count_file(text, scan.counted_lines()));
  }
  std::string out;
  for (const CharacterLists& lists : scan.characters()) {
    const Character& character = table.characters[static_cast<std::size_t>(lists.character)];
    append_voice_count_head(out, character);
    VoiceSums sums;
    for (const auto& file : lists.files) {
      if (file.file >= names.size() || file.text_end > lists.text_size()) __builtin_trap();
      append_voice_count_line(out, file.count, names[file.file]);
      sums.add(file.count);
    }
    append_voice_count_tail(out, sums);
    text_list_name(character.voice_prefix);
  }
  append_file_voice_head(out, names.size());
  std::vector<std::int64_t> totals(scan.characters().size());
  for (std::size_t k = 0; k < names.size(); ++k) {
    std::vector<std::int64_t> counts(scan.characters().size());
    for (const FileVoiceCount& count : scan.file_counts(k)) {
      if (count.voiced >= counts.size()) __builtin_trap();
      counts[count.voiced] = count.count;
      totals[count.voiced] += count.count;
    }
    append_file_voice_block(out, names[k], table, scan.characters(), counts);
  }
  append_file_voice_tail(out, table, scan.characters(), totals);
  // The counts for the budget: a character's files add up to its total, and
  // its voiced lines in a file are those of its voice count list.
  for (const CharacterLists& lists : scan.characters()) {
    const CharacterCounts& c = budget[static_cast<std::size_t>(lists.character)];
    std::size_t next = 0;
    for (const auto& file : lists.files) {
      while (next < c.files.size() && c.files[next].file < file.file) ++next;
      if (next == c.files.size() || c.files[next].file != file.file || c.files[next].counts.voiced != file.count) __builtin_trap();
    }
  }
  for (const CharacterCounts& c : budget) {
    DialogueCounts sum;
    for (const auto& file : c.files) sum.add(file.counts);
    if (!(sum == c.total)) __builtin_trap();
  }
  return 0;
}
