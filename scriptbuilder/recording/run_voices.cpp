#include "scriptbuilder/recording/run_voices.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "scriptbuilder/recording/voice_diff.h"
#include "scriptbuilder/run_order.h"
#include "scriptbuilder/speech.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

// A voice name in a file (file, or nothing when names count for every file), as a key.
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
// digits, the form the run's settings give its file; otherwise the run of
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

constexpr std::uint32_t kNoFile = 0xFFFFFFFFu;

// One file's part of a space: its lines, its rows in use, and the hunks
// between the pairs of the alignment (indices into `rows` and `lines`).
struct FilePart {
  std::uint32_t file = 0;  // position in the run order
  std::vector<std::uint32_t> lines;  // indices into the file's lines
  std::vector<std::uint32_t> rows;   // indices into the ledger's rows
  struct Hunk {
    std::uint32_t rows_begin, rows_end, lines_begin, lines_end;
  };
  std::vector<Hunk> hunks;
};

struct Space {
  std::string_view prefix;
  std::int64_t highest = -1;
  std::vector<LineRef> lines;       // in run order
  std::vector<std::uint32_t> rows;  // its rows in use within the run's scope, by file and line
  std::vector<FilePart> parts;      // by file, in run order
  std::vector<LineRef> loose;       // the lines steps 1 and 2 left, in run order
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
    // The ledger's files first, so that their ids follow the ledger's order.
    gather_rows();
    if (Result<bool> lines = gather_lines(); !lines) return lines;
    note_names_if_prefixes_nest();
    // Steps 1 and 2 file by file, so that a file's lines and rows are at
    // hand for all its spaces at once; the rest space by space, over what
    // they left.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> order;  // run position, space
    for (std::size_t k = 0; k < spaces_.size(); ++k) {
      split_into_parts(spaces_[k]);
      for (const FilePart& part : spaces_[k].parts) order.emplace_back(part.file, static_cast<std::uint32_t>(k));
    }
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::size_t> next_part(spaces_.size(), 0);
    for (const auto& [file, k] : order) align_part(spaces_[k], spaces_[k].parts[next_part[k]++]);
    for (Space& space : spaces_) {
      move_lines(space);
      change_lines(space);
      if (Result<bool> added = add_lines(space); !added) return added;
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
  // What is known of a file the ledger or the run names.
  struct FileInfo {
    std::string_view name;
    bool in_scope = false;
    bool has_middle = false;
    std::string middle;
  };

  std::uint32_t file_id(std::string_view name) {
    // The rows of one file follow each other in the ledger.
    if (last_file_ != kNoFile && files_[last_file_].name == name) return last_file_;
    const auto [it, fresh] = file_ids_.try_emplace(name, static_cast<std::uint32_t>(files_.size()));
    if (fresh) {
      FileInfo& info = files_.emplace_back();
      info.name = name;
      info.in_scope = in_scope(name);
    }
    return last_file_ = it->second;
  }

  bool in_scope(std::string_view file) const {
    for (const LedgerScope& entry : numbering_.scope) {
      if (within_entry(file, entry.name, entry.folder)) return true;
    }
    return false;
  }

  std::string_view middle_of(std::uint32_t file) {
    if (!numbering_.settings.second_string_from_file_name) return fixed_middle_;
    FileInfo& info = files_[file];
    if (!info.has_middle) {
      info.middle = name_middle_from_file(info.name);
      info.has_middle = true;
    }
    return info.middle;
  }

  Space& space_of(std::string_view prefix, std::uint32_t file) {
    // A file's rows and lines go to a few spaces only: those found for the
    // file so far are tried first.
    if (file != recent_file_) {
      recent_file_ = file;
      recent_spaces_.clear();
    }
    for (const auto& [known, index] : recent_spaces_) {
      if (known == prefix) return spaces_[index];
    }
    const auto [prefix_at, unused] = prefix_ids_.try_emplace(prefix, static_cast<std::uint32_t>(prefix_ids_.size()));
    const std::uint64_t key = (std::uint64_t{prefix_at->second} << 32) | (reset_ ? file : kNoFile);
    const auto [it, fresh] = space_ids_.try_emplace(key, static_cast<std::uint32_t>(spaces_.size()));
    if (fresh) {
      Space& space = spaces_.emplace_back();
      space.prefix = prefix;
      space.highest = formatter_.start_value() - 1;
    }
    recent_spaces_.emplace_back(prefix, it->second);
    return spaces_[it->second];
  }

  void gather_rows() {
    const std::vector<LedgerRow>& rows = out_.previous.rows;
    in_space_.assign(rows.size(), false);
    row_file_.resize(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const LedgerRow& row = rows[r];
      const std::uint32_t file = row_file_[r] = file_id(row.file);
      if (file >= rows_of_file_.size()) rows_of_file_.resize(file + 1);
      rows_of_file_[file].push_back(static_cast<std::uint32_t>(r));
      // Every row counts for the highest number of its space, whatever its
      // state, in the run's scope or not.
      Space& space = space_of(row.voice_prefix, file);
      space.highest = std::max(space.highest, number_of(row.voice_name, row.voice_prefix, middle_of(file)).value);
      if (row.in_use && files_[file].in_scope) {
        space.rows.push_back(static_cast<std::uint32_t>(r));
        in_space_[r] = true;
      }
    }
  }

  Result<bool> gather_lines() {
    const std::vector<Character>& characters = numbering_.characters.characters;
    run_file_ids_.assign(out_.files.size(), kNoFile);
    for (std::size_t k = 0; k < out_.files.size(); ++k) {
      const std::vector<VoiceLine>& lines = out_.files[k].lines;
      if (lines.empty()) continue;
      const std::string& relative = out_.names[k].relative_name;
      if (!fits_ledger_field(relative)) {
        return Error{format("%s: タブや改行を含むファイル名はボイス番号台帳に書けません。", relative.c_str())};
      }
      const std::uint32_t file = run_file_ids_[k] = file_id(relative);
      for (std::size_t j = 0; j < lines.size(); ++j) {
        const std::string& prefix = characters[static_cast<std::size_t>(lines[j].character)].voice_prefix;
        space_of(prefix, file).lines.push_back({static_cast<std::uint32_t>(k), static_cast<std::uint32_t>(j)});
      }
    }
    return true;
  }

  // A new name stands above every number of its space, so it can equal a
  // name given before only when one voice prefix begins another (ER and
  // ERI): only then are the names given kept to be looked up.
  void note_names_if_prefixes_nest() {
    std::vector<std::string_view> prefixes;
    for (const auto& [prefix, unused] : prefix_ids_) prefixes.push_back(prefix);
    std::sort(prefixes.begin(), prefixes.end());
    bool nest = false;
    for (std::size_t k = 1; k < prefixes.size(); ++k) nest = nest || prefixes[k].starts_with(prefixes[k - 1]);
    if (!nest) return;
    check_taken_ = true;
    for (std::size_t r = 0; r < out_.previous.rows.size(); ++r) {
      const LedgerRow& row = out_.previous.rows[r];
      taken_.insert({reset_ ? row.file : std::string_view(), row.voice_name});
    }
  }

  std::uint32_t text_id(std::string_view text) {
    return ids_.try_emplace(text, static_cast<std::uint32_t>(ids_.size())).first->second;
  }
  VoiceLine& line_at(std::uint32_t file, std::uint32_t index) { return out_.files[file].lines[index]; }
  std::string_view text_of(std::uint32_t file, std::uint32_t index) const {
    const FileVoices& voices = out_.files[file];
    return voices.text(voices.lines[index]);
  }

  void keep(VoiceLine& line, std::uint32_t row, VoiceChange change) {
    const LedgerRow& r = out_.previous.rows[row];
    line.row = static_cast<std::int32_t>(row);
    line.change = change;
    line.voice_name.assign(r.voice_name);
    const NameNumber number = number_of(r.voice_name, r.voice_prefix, middle_of(row_file_[row]));
    line.number = number.exact ? number.value : 0;
    row_taken_[row] = true;
    if (change == VoiceChange::changed) ++out_.counts.changed;
    if (change == VoiceChange::moved) ++out_.counts.moved;
  }

  // The space's rows in file and line order, and its parts, one a file.
  void split_into_parts(Space& space) {
    const std::vector<LedgerRow>& rows = out_.previous.rows;
    auto by_place = [&](std::uint32_t a, std::uint32_t b) {
      if (row_file_[a] != row_file_[b]) return row_file_[a] < row_file_[b];
      return rows[a].line != rows[b].line ? rows[a].line < rows[b].line : a < b;
    };
    if (!std::is_sorted(space.rows.begin(), space.rows.end(), by_place)) std::sort(space.rows.begin(), space.rows.end(), by_place);
    for (const LineRef& ref : space.lines) {
      if (space.parts.empty() || space.parts.back().file != ref.file) space.parts.push_back({ref.file, {}, {}, {}});
      space.parts.back().lines.push_back(ref.index);
    }
    for (FilePart& part : space.parts) {
      // The file's rows: a run of the space's rows, which go by file.
      const std::uint32_t file = run_file_ids_[part.file];
      const auto first = std::partition_point(space.rows.begin(), space.rows.end(),
                                              [&](std::uint32_t r) { return row_file_[r] < file; });
      const auto last = std::partition_point(first, space.rows.end(), [&](std::uint32_t r) { return row_file_[r] == file; });
      part.rows.assign(first, last);
    }
  }

  // Steps 1 and 2 for one file of a space; the lines they leave go to the
  // space's loose ones.
  void align_part(Space& space, FilePart& part) {
    const std::vector<LedgerRow>& rows = out_.previous.rows;
    const auto row_count = static_cast<std::uint32_t>(part.rows.size());
    const auto line_count = static_cast<std::uint32_t>(part.lines.size());
    auto same = [&](std::uint32_t i, std::uint32_t j) { return rows[part.rows[i]].text == text_of(part.file, part.lines[j]); };

    // The common head and tail are compared as they are; only what lies
    // between goes through the alignment.
    std::uint32_t head = 0;
    while (head < row_count && head < line_count && same(head, head)) ++head;
    std::uint32_t tail = 0;
    while (tail < row_count - head && tail < line_count - head && same(row_count - 1 - tail, line_count - 1 - tail)) ++tail;
    pairs_.clear();
    for (std::uint32_t k = 0; k < head; ++k) pairs_.emplace_back(k, k);
    middle_rows_.clear();
    middle_lines_.clear();
    for (std::uint32_t i = head; i < row_count - tail; ++i) middle_rows_.push_back(text_id(rows[part.rows[i]].text));
    for (std::uint32_t j = head; j < line_count - tail; ++j) middle_lines_.push_back(text_id(text_of(part.file, part.lines[j])));
    if (!middle_rows_.empty() && !middle_lines_.empty()) {
      for (const auto& [i, j] : align_lines(middle_rows_, middle_lines_)) pairs_.emplace_back(head + i, head + j);
    }
    for (std::uint32_t k = tail; k > 0; --k) pairs_.emplace_back(row_count - k, line_count - k);

    std::uint32_t row_at = 0;
    std::uint32_t line_at_ = 0;
    for (const auto& [i, j] : pairs_) {
      keep(line_at(part.file, part.lines[j]), part.rows[i], VoiceChange::kept);
      if (i > row_at || j > line_at_) part.hunks.push_back({row_at, i, line_at_, j});
      row_at = i + 1;
      line_at_ = j + 1;
    }
    if (row_at < row_count || line_at_ < line_count) part.hunks.push_back({row_at, row_count, line_at_, line_count});

    // Equal texts the alignment left apart, in order.
    if (!middle_rows_.empty() && !middle_lines_.empty()) {
      std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> free_rows;
      for (std::size_t i = middle_rows_.size(); i-- > 0;) {
        const std::uint32_t r = part.rows[head + i];
        if (!row_taken_[r]) free_rows[middle_rows_[i]].push_back(r);
      }
      for (std::size_t j = 0; j < middle_lines_.size(); ++j) {
        VoiceLine& line = line_at(part.file, part.lines[head + j]);
        if (line.row >= 0) continue;
        auto it = free_rows.find(middle_lines_[j]);
        if (it == free_rows.end() || it->second.empty()) continue;
        keep(line, it->second.back(), VoiceChange::kept);
        it->second.pop_back();
      }
    }
    for (std::uint32_t j = head; j < line_count - tail; ++j) {
      if (line_at(part.file, part.lines[j]).row < 0) space.loose.push_back({part.file, part.lines[j]});
    }
  }

  // Step 3: lines that take the name of an equal row of another file, the
  // rows in the ledger's order of files and lines.
  void move_lines(const Space& space) {
    if (space.loose.empty()) return;
    const std::vector<LedgerRow>& rows = out_.previous.rows;
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> free_rows;
    for (std::size_t i = space.rows.size(); i-- > 0;) {
      const std::uint32_t r = space.rows[i];
      if (!row_taken_[r]) free_rows[text_id(rows[r].text)].push_back(r);
    }
    if (free_rows.empty()) return;
    for (const LineRef& ref : space.loose) {
      VoiceLine& line = line_at(ref.file, ref.index);
      auto it = free_rows.find(text_id(text_of(ref.file, ref.index)));
      if (line.row >= 0 || it == free_rows.end()) continue;
      // A name the file holds already (a row of another state or prefix,
      // left by settings that changed) cannot come in twice.
      std::unordered_set<std::string_view>& names = names_in_file(run_file_ids_[ref.file]);
      std::vector<std::uint32_t>& candidates = it->second;
      for (std::size_t c = candidates.size(); c-- > 0;) {
        const std::string_view name = rows[candidates[c]].voice_name;
        if (names.contains(name)) continue;
        keep(line, candidates[c], VoiceChange::moved);
        names.insert(name);
        candidates.erase(candidates.begin() + static_cast<long>(c));
        break;
      }
    }
  }

  std::unordered_set<std::string_view>& names_in_file(std::uint32_t file) {
    const auto [it, fresh] = names_in_file_.try_emplace(file);
    if (fresh && file < rows_of_file_.size()) {
      for (std::uint32_t r : rows_of_file_[file]) it->second.insert(out_.previous.rows[r].voice_name);
    }
    return it->second;
  }

  // Step 4: the lines that stand one for one in the place of rows.
  void change_lines(const Space& space) {
    std::vector<std::uint32_t> free_rows;
    std::vector<std::uint32_t> free_lines;
    for (const FilePart& part : space.parts) {
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
  Result<bool> add_lines(Space& space) {
    std::uint32_t prepared = kNoFile;
    for (const LineRef& ref : space.loose) {
      VoiceLine& line = line_at(ref.file, ref.index);
      if (line.row >= 0) continue;
      const VoiceFileName& name = out_.names[ref.file];
      if (prepared != ref.file) {
        formatter_.prepare_file(name.full_name, false);
        prepared = ref.file;
      }
      const std::string_view in_file = reset_ ? std::string_view(name.relative_name) : std::string_view();
      std::int64_t number = space.highest;
      do {
        ++number;
        line.voice_name = formatter_.format_voice_name(line.character, number);
      } while (check_taken_ && taken_.count({in_file, line.voice_name}) != 0);
      if (!fits_ledger_field(line.voice_name)) {
        return Error{format("%s: タブや改行を含むボイス名はボイス番号台帳に書けません。", line.voice_name.c_str())};
      }
      space.highest = number;
      line.number = number;
      line.change = VoiceChange::added;
      // The line's storage stays where it is from here on.
      if (check_taken_) taken_.insert({in_file, line.voice_name});
      ++out_.counts.added;
    }
    return true;
  }

  RunVoices& out_;
  const LedgerNumbering& numbering_;
  const bool reset_;
  VoiceNumbering formatter_;
  const std::string fixed_middle_;
  std::vector<FileInfo> files_;
  std::unordered_map<std::string_view, std::uint32_t> file_ids_;
  std::uint32_t last_file_ = kNoFile;
  std::vector<std::uint32_t> row_file_;      // by row: its file's id
  std::vector<std::vector<std::uint32_t>> rows_of_file_;  // by file id: every row of the file
  std::unordered_map<std::uint32_t, std::unordered_set<std::string_view>> names_in_file_;  // the names a file holds
  std::vector<std::uint32_t> run_file_ids_;  // by position in the run order
  std::unordered_map<std::string_view, std::uint32_t> prefix_ids_;
  std::unordered_map<std::uint64_t, std::uint32_t> space_ids_;  // prefix id, file id with reset_per_file
  std::vector<Space> spaces_;
  std::uint32_t recent_file_ = kNoFile;
  std::vector<std::pair<std::string_view, std::uint32_t>> recent_spaces_;  // of recent_file_
  bool check_taken_ = false;
  std::unordered_set<TextPair, TextPairHash> taken_;  // (file with reset_per_file, else nothing; name)
  std::unordered_map<std::string_view, std::uint32_t> ids_;  // texts as numbers, equal texts equal numbers
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs_;  // the part being aligned: its pairs
  std::vector<std::uint32_t> middle_rows_;                     // ... and the text numbers between head and tail
  std::vector<std::uint32_t> middle_lines_;
  std::vector<bool> row_taken_;
  std::vector<bool> in_space_;  // in use and in the run's scope
};

}  // namespace

void scan_voice_lines(std::string_view text, const DialogueMatcher& matcher, const CharacterTable& table, FileVoices& out,
                      const DialogueMarks* speech_marks) {
  out.texts.clear();
  out.lines.clear();
  out.speeches.clear();
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
    if (speech_marks != nullptr) {
      const Speech speech = find_dialogue_speech(text, begin, match, *speech_marks, matcher);
      out.speeches.push_back(speech_text(text, begin + match.name_length, speech));
    }
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
  return format_ledger(rows, ledger_order(rows));
}

}  // namespace lumeno::scriptbuilder
