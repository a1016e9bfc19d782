#include "scriptbuilder/lists/staff_list_scan.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "scriptbuilder/run_context.h"

namespace lumeno::scriptbuilder {

namespace {

std::string list_name(std::string_view folder, std::string_view file_prefix, std::string_view voice_prefix) {
  std::string name;
  append_parts(name, {kStaffListFolder, "\\", folder, "\\", file_prefix, voice_prefix, ".txt"});
  return name;
}

// The number in decimal, right-aligned with spaces in `width` columns (a
// wider number in full).
void append_padded(std::string& out, std::int64_t number, std::size_t width) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  const auto length = static_cast<std::size_t>(end - digits);
  if (length < width) out.append(width - length, ' ');
  out.append(digits, length);
}

// "        [%5d] [%s]%s\r\n": a character's line in the file voice list.
void append_character_count(std::string& out, std::int64_t count, const Character& character) {
  out += "        [";
  append_padded(out, count, 5);
  append_parts(out, {"] [", character.voice_prefix, "]", character.display_name, "\r\n"});
}

// "      計[%5d]\r\n".
void append_file_voice_sum(std::string& out, std::int64_t sum) {
  out += "      計[";
  append_padded(out, sum, 5);
  out += "]\r\n";
}

void bump(std::vector<std::int64_t>& counts, std::vector<std::uint32_t>& touched, int index) {
  const auto k = static_cast<std::size_t>(index);
  if (counts[k]++ == 0) touched.push_back(static_cast<std::uint32_t>(index));
}

// True when a name of one character begins (or is) a name of another. Two
// characters' name + mark can only begin the same line then, as both names
// begin it.
bool names_overlap(const CharacterTable& table) {
  std::vector<std::pair<std::string_view, std::size_t>> names;
  for (std::size_t c = 0; c < table.characters.size(); ++c) {
    for (const std::string& name : table.characters[c].names) names.emplace_back(name, c);
  }
  std::sort(names.begin(), names.end());
  // The names a name begins follow it at once: a run of names that all
  // begin with it. Within a run, a character has at most its few own names.
  for (std::size_t i = 0; i < names.size(); ++i) {
    for (std::size_t j = i + 1; j < names.size() && names[j].first.starts_with(names[i].first); ++j) {
      if (names[j].second != names[i].second) return true;
    }
  }
  return false;
}

}  // namespace

std::string text_list_name(std::string_view voice_prefix) { return list_name(kTextListFolder, "CTX_List_", voice_prefix); }
std::string voice_count_list_name(std::string_view voice_prefix) {
  return list_name(kVoiceCountFolder, "CVO_List_", voice_prefix);
}
std::string file_voice_list_name() {
  std::string name;
  append_parts(name, {kStaffListFolder, "\\", kFileVoiceFolder, "\\", kFileVoiceList});
  return name;
}

StaffListScan::StaffListScan(const CharacterTable& table, const DialogueMatcher& matcher, bool count)
    : matcher_(matcher), names_overlap_(names_overlap(table)), voiced_index_(table.characters.size(), -1), count_(count) {
  for (std::size_t c = 0; c < table.characters.size(); ++c) {
    if (!table.characters[c].voiced()) continue;
    voiced_index_[c] = static_cast<int>(lists_.size());
    lists_.push_back({static_cast<int>(c), {}, 0, {}});
  }
  own_counts_.assign(lists_.size(), 0);
  first_match_counts_.assign(lists_.size(), 0);
}

void StaffListScan::add_entry(int voiced, std::string_view relative_name, std::int64_t line, std::string_view line_text,
                              const Voice& voice) {
  CharacterLists& list = lists_[static_cast<std::size_t>(voiced)];
  char line_digits[24];
  const auto line_end = std::to_chars(line_digits, line_digits + sizeof line_digits, line).ptr;
  // "%s(%d): %s%s" + the number's format + TAB, then the line from the name on.
  append_parts(list.text_list, {relative_name, "(", std::string_view(line_digits, static_cast<std::size_t>(line_end - line_digits)),
                                "): ", voice.name[0], voice.name[1], voice.name[2], "\t", line_text, "\r\n"});
  bump(own_counts_, own_touched_, voiced);
}

void StaffListScan::scan_file(std::string_view text, std::string_view relative_name, VoiceNumbering& voices) {
  const std::size_t file = file_begin_.size();
  file_begin_.push_back(first_counts_.size());
  const std::size_t n = text.size();
  const bool one_name_a_line = voices.uses_run_voices();
  counted_lines_.clear();
  const auto scan_line = [&](std::uint32_t line, std::size_t i, const DialogueMatch& first, std::size_t end) {
    if (voiced_index_[static_cast<std::size_t>(first.character)] >= 0) {
      bump(first_match_counts_, first_touched_, voiced_index_[static_cast<std::size_t>(first.character)]);
    }
    // Every character whose own names the line begins with lists it (in
    // claims_ already where names overlap).
    if (!names_overlap_) claims_.assign(1, first);
    char digits[32];
    Voice first_voice;
    for (const DialogueMatch& claim : claims_) {
      const int voiced = voiced_index_[static_cast<std::size_t>(claim.character)];
      const std::size_t claim_end =
          claim.name_length == first.name_length ? end : find_line_end(text, i + std::min(claim.name_length, n - i));
      const std::string_view claimed = text.substr(i, claim_end - i);
      bool listed = false;
      if (voiced >= 0) {
        Voice voice;
        if (claim.character == first.character || !one_name_a_line) {
          voice = voices.take_voice(claim.character, digits);
          if (claim.character == first.character) first_voice = voice;
          listed = true;
        } else if (first_voice) {
          // The ledger gives a line one name: a later character's lists show
          // the line under the name of the character who speaks it, and leave
          // it out when that one has no voice.
          voice = first_voice;
          listed = true;
        }
        if (listed) add_entry(voiced, relative_name, line, claimed, voice);
      }
      if (count_) {
        counted_lines_.push_back({static_cast<std::uint32_t>(claim.character),
                                  static_cast<std::uint32_t>(std::min(claim.name_length, claimed.size())), i, claimed.size(), listed});
      }
    }
  };
  if (names_overlap_) {
    // One walk down the names for each line: the first of all who claim it
    // is its speaker.
    for_each_line_matched(
        text,
        [&](std::size_t i) -> std::optional<DialogueMatch> {
          matcher_.match_all(text, i, claims_);
          if (claims_.empty()) return std::nullopt;
          return claims_.front();
        },
        scan_line);
  } else {
    for_each_dialogue_line(text, matcher_, scan_line);
  }

  // Close the file: what each character that has lines in it got.
  for (std::uint32_t v : own_touched_) {
    CharacterLists& list = lists_[v];
    list.files.push_back({file, own_counts_[v], list.text_size()});
    own_counts_[v] = 0;
  }
  own_touched_.clear();
  for (std::uint32_t v : first_touched_) {
    first_counts_.push_back({v, first_match_counts_[v]});
    first_match_counts_[v] = 0;
  }
  first_touched_.clear();
}

std::span<const FileVoiceCount> StaffListScan::file_counts(std::size_t k) const {
  const std::size_t begin = file_begin_[k];
  const std::size_t end = k + 1 < file_begin_.size() ? file_begin_[k + 1] : first_counts_.size();
  return {first_counts_.data() + begin, end - begin};
}

void append_voice_count_head(std::string& out, const Character& character) {
  const std::string rule(70, '-');
  append_parts(out, {rule, "\r\n[", character.voice_prefix, "] ", character.display_name, "\r\n", rule,
                     "\r\n\r\n■ボイス数\r\n\r\n"});
}

void append_voice_count_line(std::string& out, std::int64_t count, std::string_view relative_name) {
  out += "    [";
  append_padded(out, count, 5);
  append_parts(out, {"] ", relative_name, "\r\n"});
}

void append_voice_count_tail(std::string& out, const VoiceSums& sums) {
  out += "  計[";
  append_padded(out, sums.voices, 5);
  out += "]\r\n\r\n■ファイル数\r\n\r\n  ボイス存在ファイル数 / 全ファイル数 = ";
  append_padded(out, sums.files_with_voice, 3);
  out += " / ";
  append_padded(out, sums.files, 3);
  out += "\r\n";
}

void append_file_voice_head(std::string& out, std::size_t file_count) {
  out += "■ファイル数\r\n\r\n    ファイル数 = ";
  append_padded(out, static_cast<std::int64_t>(file_count), 3);
  out += "\r\n\r\n■ボイス数\r\n";
}

void append_file_voice_block(std::string& out, std::string_view relative_name, const CharacterTable& table,
                             std::span<const CharacterLists> voiced, std::span<const std::int64_t> counts) {
  append_parts(out, {"\r\n    [", relative_name, "]\r\n"});
  std::int64_t sum = 0;
  for (std::size_t v = 0; v < voiced.size(); ++v) {
    append_character_count(out, counts[v], table.characters[static_cast<std::size_t>(voiced[v].character)]);
    sum += counts[v];
  }
  append_file_voice_sum(out, sum);
}

void append_file_voice_tail(std::string& out, const CharacterTable& table, std::span<const CharacterLists> voiced,
                            std::span<const std::int64_t> totals) {
  out += "\r\n  ";
  out.append(58, '-');
  out += "\r\n    <合計>\r\n";
  std::int64_t sum = 0;
  for (std::size_t v = 0; v < voiced.size(); ++v) {
    append_character_count(out, totals[v], table.characters[static_cast<std::size_t>(voiced[v].character)]);
    sum += totals[v];
  }
  append_file_voice_sum(out, sum);
}

}  // namespace lumeno::scriptbuilder
