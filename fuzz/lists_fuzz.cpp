// The staff-list scan and writers: definitions, marks, then scenario files
// separated by "\0\0".
#include "fuzz/fuzz_target.h"
#include "scriptbuilder/characters.h"
#include "scriptbuilder/staff_list_scan.h"
#include "shell/dialogue_marks.h"

LUMENO_FUZZ_TARGET(lists) {
  using namespace lumeno;
  using namespace lumeno::scriptbuilder;
  fuzz::Parts parts(data, size);
  const unsigned char options = parts.byte();
  auto table = parse_character_definitions(parts.next());
  auto marks = parse_dialogue_marks(parts.next());
  if (!table || !marks) return 0;
  BuilderSettings settings;
  settings.start_number = "0001";
  settings.second_string = "A1_";
  settings.reset_per_file = options & 1;
  settings.second_string_from_file_name = options & 2;
  const DialogueMatcher matcher(*table, *marks);
  VoiceNumbering voices(*table, settings);
  voices.reset_voice_counters();
  StaffListScan scan(*table, matcher);
  std::vector<std::string> names;
  for (int k = 0; k < 16 && !parts.rest().empty(); ++k) {
    names.push_back("scn\\f" + std::to_string(k) + ".txt");
    voices.prepare_file(names.back(), settings.reset_per_file);
    scan.scan_file(parts.next(), names.back(), voices);
  }
  std::string out;
  for (const CharacterLists& lists : scan.characters()) {
    const Character& character = table->characters[static_cast<std::size_t>(lists.character)];
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
    append_file_voice_block(out, names[k], *table, scan.characters(), counts);
  }
  append_file_voice_tail(out, *table, scan.characters(), totals);
  return 0;
}
