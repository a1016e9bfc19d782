#include "scriptbuilder/run_voices.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <new>
#include <unordered_map>
#include <unordered_set>

#include "scriptbuilder/voice_diff.h"
#include "shell/files.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

// Two texts as one key: a space (voice prefix, file or nothing), or a voice
// name in a file (file or nothing, name).
struct TextPair {
  std::string_view first;
  std::string_view second;
  bool operator==(const TextPair&) const = default;
};
struct TextPairHash {
  std::size_t operator()(const TextPair& key) const {
    const std::size_t h = std::hash<std::string_view>()(key.first);
    return h ^ (std::hash<std::string_view>()(key.second) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2));
  }
};

constexpr std::size_t kMaxNumberDigits = 18;

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::int64_t decimal(std::string_view digits) {
  std::int64_t value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return value;
}

// The number of a ledger name. Exact when the name is prefix + `middle` +
// digits, the form today's settings give its file; otherwise the run of
// digits that ends the name, which is never below the number the name was
// given with (a middle that ends in digits reads as part of it). -1 when
// the name ends in no digit.
struct NameNumber {
  std::int64_t value = -1;
  bool exact = false;
};
NameNumber number_of(std::string_view name, std::string_view prefix, std::string_view middle) {
  const std::string_view rest = name.substr(prefix.size());
  if (rest.size() > middle.size() && rest.starts_with(middle)) {
    const std::string_view digits = rest.substr(middle.size());
    if (digits.size() <= kMaxNumberDigits && all_digits(digits)) return {decimal(digits), true};
  }
  std::size_t begin = rest.size();
  while (begin > 0 && rest[begin - 1] >= '0' && rest[begin - 1] <= '9') --begin;
  const std::string_view digits = rest.substr(begin);
  if (digits.empty() || digits.size() > kMaxNumberDigits) return {};
  return {decimal(digits), false};
}

// A line of the run: its file (position in the run order) and its index there.
struct LineRef {
  std::uint32_t file;
  std::uint32_t index;
};

// One file's part of a space: its lines, its rows in use, and the hunks
// between the pairs of the alignment.
struct FilePart {
  std::uint32_t file = 0;
  std::vector<std::uint32_t> lines;  // indices into the file's lines
  std::vector<std::uint32_t> rows;   // indices into the ledger's rows
  struct Hunk {
    std::uint32_t rows_begin, rows_end, lines_begin, lines_end;  // into `rows` and `lines`
  };
  std::vector<Hunk> hunks;
};

struct Space {
  std::string_view prefix;
  std::string_view file;  // with reset_per_file
  std::int64_t highest = -1;
  std::vector<LineRef> lines;       // in run order
  std::vector<std::uint32_t> rows;  // its rows in use within the run's scope
};

class Namer {
 public:
  Namer(RunVoices& out, const LedgerNumbering& numbering)
      : out_(out),
        numbering_(numbering),
        reset_(numbering.settings.reset_per_file),
        formatter_(numbering.characters, numbering.settings),
        fixed_middle_("_" + numbering.settings.second_string) {}

  Result<bool> run() {
    const std::vector<LedgerRow>& rows = out_.previous.rows;
    out_.retired_now.assign(rows.size(), false);
    row_taken_.assign(rows.size(), false);
    if (Result<bool> lines = gather_lines(); !lines) return lines;
    gather_rows();
    for (Space& space : spaces_) {
      if (Result<bool> named = name_space(space); !named) return named;
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (in_space_[r] && !row_taken_[r]) {
        out_.retired_now[r] = true;
        ++out_.counts.retired;
      }
    }
    return true;
  }

 private:
  Space& space_of(std::string_view prefix, std::string_view file) {
    const TextPair key{prefix, reset_ ? file : std::string_view()};
    const auto [it, fresh] = space_ids_.try_emplace(key, static_cast<std::uint32_t>(spaces_.size()));
    if (fresh) {
      Space& space = spaces_.emplace_back();
      space.prefix = key.first;
      space.file = key.second;
      space.highest = formatter_.start_value() - 1;
    }
    return spaces_[it->second];
  }

  Result<bool> gather_lines() {
    const std::vector<Character>& characters = numbering_.characters.characters;
    for (std::size_t k = 0; k < out_.files.size(); ++k) {
      const std::vector<VoiceLine>& lines = out_.files[k].lines;
      if (lines.empty()) continue;
      const std::string& relative = out_.names[k].relative_name;
      if (!fits_ledger_field(relative)) {
        return Error{format("%s: タブや改行を含むファイル名はボイス番号台帳に書けません。", relative.c_str())};
      }
      for (std::size_t j = 0; j < lines.size(); ++j) {
        const std::string& prefix = characters[static_cast<std::size_t>(lines[j].character)].voice_prefix;
        space_of(prefix, relative).lines.push_back({static_cast<std::uint32_t>(k), static_cast<std::uint32_t>(j)});
      }
    }
    return true;
  }

  bool in_scope(std::string_view file) {
    const auto [it, fresh] = scope_cache_.try_emplace(file, false);
    if (!fresh) return it->second;
    for (const LedgerScope& entry : numbering_.scope) {
      const std::string_view name = entry.name;
      const bool inside = entry.folder ? file.size() > name.size() && file[name.size()] == '\\' &&
                                             compare_folded(file.substr(0, name.size()), name) == 0
                                       : compare_folded(file, name) == 0;
      if (inside) return it->second = true;
    }
    return false;
  }

  std::string_view middle_of(std::string_view file) {
    if (!numbering_.settings.second_string_from_file_name) return fixed_middle_;
    auto it = middles_.find(file);
    if (it == middles_.end()) it = middles_.emplace(file, name_middle_from_file(file)).first;
    return it->second;
  }

  void gather_rows() {
    const std::vector<LedgerRow>& rows = out_.previous.rows;
    in_space_.assign(rows.size(), false);
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const LedgerRow& row = rows[r];
      taken_.insert({reset_ ? row.file : std::string_view(), row.voice_name});
      // Every row counts for the highest number of its space, whatever its
      // state, in the run's scope or not.
      Space& space = space_of(row.voice_prefix, row.file);
      const NameNumber number = number_of(row.voice_name, row.voice_prefix, middle_of(row.file));
      space.highest = std::max(space.highest, number.value);
      if (row.in_use && in_scope(row.file)) {
        space.rows.push_back(static_cast<std::uint32_t>(r));
        in_space_[r] = true;
      }
    }
  }

  std::uint32_t text_id(std::string_view text) {
    return ids_.try_emplace(text, static_cast<std::uint32_t>(ids_.size())).first->second;
  }
  VoiceLine& line_at(std::uint32_t file, std::uint32_t index) { return out_.files[file].lines[index]; }

  void keep(VoiceLine& line, std::uint32_t row, VoiceChange change) {
    const LedgerRow& r = out_.previous.rows[row];
    line.row = static_cast<std::int32_t>(row);
    line.change = change;
    line.voice_name.assign(r.voice_name);
    const NameNumber number = number_of(r.voice_name, r.voice_prefix, middle_of(r.file));
    line.number = number.exact ? number.value : 0;
    row_taken_[row] = true;
    if (change == VoiceChange::changed) ++out_.counts.changed;
    if (change == VoiceChange::moved) ++out_.counts.moved;
  }

  // The space's lines and rows, file by file: steps 1 and 2.
  std::vector<FilePart> align_files(const Space& space) {
    const std::vector<LedgerRow>& rows = out_.previous.rows;
    // The rows of each file, in line order.
    std::unordered_map<std::string_view, std::vector<std::uint32_t>> rows_of_file;
    for (std::uint32_t r : space.rows) rows_of_file[rows[r].file].push_back(r);
    for (auto& [file, list] : rows_of_file) {
      std::stable_sort(list.begin(), list.end(), [&](std::uint32_t a, std::uint32_t b) { return rows[a].line < rows[b].line; });
    }
    std::vector<FilePart> parts;
    for (const LineRef& ref : space.lines) {
      if (parts.empty() || parts.back().file != ref.file) parts.push_back({ref.file, {}, {}, {}});
      parts.back().lines.push_back(ref.index);
    }
    std::vector<std::uint32_t> a;
    std::vector<std::uint32_t> b;
    for (FilePart& part : parts) {
      const FileVoices& file = out_.files[part.file];
      if (auto it = rows_of_file.find(out_.names[part.file].relative_name); it != rows_of_file.end()) {
        part.rows = std::move(it->second);
        rows_of_file.erase(it);
      }
      a.clear();
      b.clear();
      for (std::uint32_t r : part.rows) a.push_back(text_id(rows[r].text));
      for (std::uint32_t j : part.lines) b.push_back(text_id(file.text(file.lines[j])));
      std::uint32_t row_at = 0;
      std::uint32_t line_at_ = 0;
      for (const auto& [i, j] : align_lines(a, b)) {
        keep(line_at(part.file, part.lines[j]), part.rows[i], VoiceChange::kept);
        if (i > row_at || j > line_at_) part.hunks.push_back({row_at, i, line_at_, j});
        row_at = i + 1;
        line_at_ = j + 1;
      }
      const auto row_count = static_cast<std::uint32_t>(part.rows.size());
      const auto line_count = static_cast<std::uint32_t>(part.lines.size());
      if (row_at < row_count || line_at_ < line_count) part.hunks.push_back({row_at, row_count, line_at_, line_count});

      // Equal texts the alignment left apart, in order.
      std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> free_rows;
      for (std::size_t i = part.rows.size(); i-- > 0;) {
        if (!row_taken_[part.rows[i]]) free_rows[a[i]].push_back(part.rows[i]);
      }
      if (free_rows.empty()) continue;
      for (std::size_t j = 0; j < part.lines.size(); ++j) {
        VoiceLine& line = line_at(part.file, part.lines[j]);
        if (line.row >= 0) continue;
        auto it = free_rows.find(b[j]);
        if (it == free_rows.end() || it->second.empty()) continue;
        keep(line, it->second.back(), VoiceChange::kept);
        it->second.pop_back();
      }
    }
    return parts;
  }

  // Step 3: lines that take the name of an equal row of another file.
  void move_lines(const Space& space, const std::vector<FilePart>& parts) {
    const std::vector<LedgerRow>& rows = out_.previous.rows;
    std::vector<std::uint32_t> order;
    for (std::uint32_t r : space.rows) {
      if (!row_taken_[r]) order.push_back(r);
    }
    if (order.empty()) return;
    // Ledger order: by file, then line.
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
      const int folded = compare_folded(rows[a].file, rows[b].file);
      if (folded != 0) return folded < 0;
      if (rows[a].file != rows[b].file) return rows[a].file < rows[b].file;
      return rows[a].line < rows[b].line;
    });
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> free_rows;
    for (std::size_t i = order.size(); i-- > 0;) free_rows[text_id(rows[order[i]].text)].push_back(order[i]);
    for (const FilePart& part : parts) {
      const FileVoices& file = out_.files[part.file];
      for (std::uint32_t j : part.lines) {
        VoiceLine& line = line_at(part.file, j);
        if (line.row >= 0) continue;
        auto it = free_rows.find(text_id(file.text(line)));
        if (it == free_rows.end() || it->second.empty()) continue;
        keep(line, it->second.back(), VoiceChange::moved);
        it->second.pop_back();
      }
    }
  }

  // Step 4: the lines that stand one for one in the place of rows.
  void change_lines(const std::vector<FilePart>& parts) {
    std::vector<std::uint32_t> free_rows;
    std::vector<std::uint32_t> free_lines;
    for (const FilePart& part : parts) {
      for (const FilePart::Hunk& hunk : part.hunks) {
        free_rows.clear();
        free_lines.clear();
        for (std::uint32_t i = hunk.rows_begin; i < hunk.rows_end; ++i) {
          if (!row_taken_[part.rows[i]]) free_rows.push_back(part.rows[i]);
        }
        for (std::uint32_t j = hunk.lines_begin; j < hunk.lines_end; ++j) {
          if (line_at(part.file, part.lines[j]).row < 0) free_lines.push_back(part.lines[j]);
        }
        if (free_rows.empty() || free_rows.size() != free_lines.size()) continue;
        for (std::size_t k = 0; k < free_rows.size(); ++k) {
          keep(line_at(part.file, free_lines[k]), free_rows[k], VoiceChange::changed);
        }
      }
    }
  }

  // Step 5: a new number for every line left.
  Result<bool> add_lines(Space& space, const std::vector<FilePart>& parts) {
    for (const FilePart& part : parts) {
      const VoiceFileName& name = out_.names[part.file];
      bool prepared = false;
      for (std::uint32_t j : part.lines) {
        VoiceLine& line = line_at(part.file, j);
        if (line.row >= 0) continue;
        if (!prepared) {
          formatter_.prepare_file(name.full_name, false);
          prepared = true;
        }
        const std::string_view in_file = reset_ ? std::string_view(name.relative_name) : std::string_view();
        std::int64_t number = space.highest;
        do {
          ++number;
          line.voice_name = formatter_.format_voice_name(line.character, number);
        } while (taken_.count({in_file, line.voice_name}) != 0);
        if (!fits_ledger_field(line.voice_name)) {
          return Error{format("%s: タブや改行を含むボイス名はボイス番号台帳に書けません。", line.voice_name.c_str())};
        }
        space.highest = number;
        line.number = number;
        line.change = VoiceChange::added;
        // The line's storage stays where it is from here on.
        taken_.insert({in_file, line.voice_name});
        ++out_.counts.added;
      }
    }
    return true;
  }

  Result<bool> name_space(Space& space) {
    ids_.clear();
    const std::vector<FilePart> parts = align_files(space);
    move_lines(space, parts);
    change_lines(parts);
    return add_lines(space, parts);
  }

  RunVoices& out_;
  const LedgerNumbering& numbering_;
  const bool reset_;
  VoiceNumbering formatter_;
  const std::string fixed_middle_;
  std::vector<Space> spaces_;
  std::unordered_map<TextPair, std::uint32_t, TextPairHash> space_ids_;
  std::unordered_set<TextPair, TextPairHash> taken_;  // (file with reset_per_file, else nothing; name)
  std::unordered_map<std::string_view, bool> scope_cache_;
  std::unordered_map<std::string_view, std::string> middles_;
  std::unordered_map<std::string_view, std::uint32_t> ids_;  // the texts of the space being named
  std::vector<bool> row_taken_;
  std::vector<bool> in_space_;  // in use and in the run's scope
};

}  // namespace

void scan_voice_lines(std::string_view text, const DialogueMatcher& matcher, const CharacterTable& table, FileVoices& out) {
  out.texts.clear();
  out.lines.clear();
  std::vector<std::int32_t> last(table.characters.size(), -1);
  for_each_dialogue_line(text, matcher, [&](std::uint32_t line, std::size_t begin, const DialogueMatch& match, std::size_t end) {
    const auto c = static_cast<std::size_t>(match.character);
    if (!table.characters[c].voiced()) return;
    const auto index = static_cast<std::int32_t>(out.lines.size());
    VoiceLine& voice = out.lines.emplace_back();
    voice.line = line;
    voice.character = match.character;
    voice.text_at = static_cast<std::uint32_t>(out.texts.size());
    append_ledger_text(out.texts, text.substr(begin, end - begin));
    voice.text_size = static_cast<std::uint32_t>(out.texts.size() - voice.text_at);
    if (last[c] >= 0) out.lines[static_cast<std::size_t>(last[c])].next_of_speaker = index;
    last[c] = index;
  });
}

Result<RunVoices> name_run_voices(std::vector<FileVoices> files, std::vector<VoiceFileName> names, Ledger previous,
                                  const LedgerNumbering& numbering) {
  RunVoices out;
  out.files = std::move(files);
  out.names = std::move(names);
  out.previous = std::move(previous);
  Namer namer(out, numbering);
  if (Result<bool> named = namer.run(); !named) return Error{named.error()};
  return out;
}

std::string ledger_text(const RunVoices& voices, const CharacterTable& table) {
  const std::vector<LedgerRow>& previous = voices.previous.rows;
  std::vector<LedgerRow> rows;
  rows.reserve(previous.size());
  std::vector<bool> kept(previous.size(), false);
  for (std::size_t k = 0; k < voices.files.size(); ++k) {
    const FileVoices& file = voices.files[k];
    for (const VoiceLine& line : file.lines) {
      LedgerRow row;
      if (line.row >= 0) {
        const LedgerRow& was = previous[static_cast<std::size_t>(line.row)];
        kept[static_cast<std::size_t>(line.row)] = true;
        row.voice_name = was.voice_name;
        row.voice_prefix = was.voice_prefix;
      } else {
        row.voice_name = line.voice_name;
        row.voice_prefix = table.characters[static_cast<std::size_t>(line.character)].voice_prefix;
      }
      row.in_use = true;
      row.file = voices.names[k].relative_name;
      row.line = line.line;
      row.text = file.text(line);
      rows.push_back(row);
    }
  }
  for (std::size_t r = 0; r < previous.size(); ++r) {
    if (kept[r]) continue;
    LedgerRow row = previous[r];
    if (voices.retired_now[r]) row.in_use = false;
    rows.push_back(row);
  }
  sort_ledger_rows(rows);
  return format_ledger(rows);
}

}  // namespace lumeno::scriptbuilder
