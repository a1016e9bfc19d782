// The line scanner every output shares: which line is dialogue, who speaks
// it, and the voice number it gets.
//
// A line is dialogue when it begins with a character's name followed at once
// by a dialogue mark. Only the first bytes of a line count: leading blanks,
// comments and commands make a line not dialogue.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scriptbuilder/builder_settings.h"
#include "scriptbuilder/characters.h"
#include "scriptbuilder/voice_lines.h"
#include "shell/dialogue_marks.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

struct DialogueMatch {
  int character = -1;           // index into the character table
  std::size_t name_length = 0;  // bytes of the name that matched; the mark follows it
  bool operator==(const DialogueMatch&) const = default;
};

// Every name + mark of a character table, built once per run. A line is
// matched in one walk down a trie of those byte strings, however many
// characters, names and marks there are.
class DialogueMatcher {
 public:
  DialogueMatcher() = default;
  DialogueMatcher(const CharacterTable& table, const DialogueMarks& marks);

  // The line starting at `pos` of `text`: the first character in table order,
  // with the first of its names in their order, followed by the first mark in
  // marks order, whose name + mark the line begins with. Bytes past the end
  // of the text read as CR LF (a line end), then as nothing that matches.
  std::optional<DialogueMatch> match(std::string_view text, std::size_t pos) const;

  // Every character whose own names match the line, each with its first
  // matching name (its names in order, each with the marks in order), in
  // table order. For outputs that try one character's names at a time. The
  // first of them is what `match` finds.
  void match_all(std::string_view text, std::size_t pos, std::vector<DialogueMatch>& out) const;

 private:
  struct Terminal {
    int character;
    std::uint32_t rank;  // name index x mark count + mark index: lower is tried first
    std::uint32_t name_length;
  };
  struct Node {
    std::uint32_t edge_begin = 0;  // into edge_bytes_ / edge_children_
    std::uint32_t edge_count = 0;
    std::uint32_t only_child = 0;  // the child when there is exactly one edge
    unsigned char only_byte = 0;   // ... along this byte
    std::uint32_t terminal_begin = 0;  // this node's terminals, one a character, by character
    std::uint32_t terminal_end = 0;
    // The first terminal in table order on the way from the root to here
    // (this node included): what a line that leads here matches.
    std::uint32_t path_best = kNoTerminal;
  };
  static constexpr std::uint32_t kNoTerminal = 0xFFFFFFFFu;

  // The child of a node along byte b, or 0.
  std::uint32_t child(const Node& node, unsigned char b) const {
    if (node.edge_count == 1) return node.only_byte == b ? node.only_child : 0;
    if (node.edge_count > 8) return child_of_wide_branch(node, b);
    for (std::uint32_t k = node.edge_begin; k < node.edge_begin + node.edge_count; ++k) {
      if (edge_bytes_[k] == b) return edge_children_[k];
    }
    return 0;
  }
  std::uint32_t child_of_wide_branch(const Node& node, unsigned char b) const;
  // Calls f(node) for every node on the path the text spells from pos;
  // returns the last one (0 when the text leaves the root at once).
  template <class F>
  std::uint32_t walk(std::string_view text, std::size_t pos, F&& f) const;

  std::vector<Node> nodes_;                  // node 0 is the root
  std::vector<std::uint32_t> root_edges_;    // child of the root by byte, 0 for none
  // The node two bytes down, by those two bytes (first byte x 256 + second),
  // 0 for none; empty when a one-byte key makes the first level count.
  std::vector<std::uint32_t> two_byte_nodes_;
  std::vector<unsigned char> edge_bytes_;    // edges of a node are sorted by byte
  std::vector<std::uint32_t> edge_children_;
  std::vector<Terminal> terminals_;
  std::size_t max_depth_ = 0;  // the longest name + mark
};

// The end of the line starting at `pos`: its first CR or LF, double-byte
// characters stepped over whole (so a lead byte followed by CR or LF takes
// it along); the text's size when the line has no end. `pos` must be a
// character boundary.
inline std::size_t find_line_end(std::string_view text, std::size_t pos) {
  // A lead byte that ends the text stands alone: the text's size.
  return find_char_of<'\r', '\n'>(reinterpret_cast<const unsigned char*>(text.data()), pos, text.size());
}

// The line scan every output shares: calls f(line, begin, match, end) for
// every line of dialogue of `text`, in order, with its line number (from 1),
// where it begins, who speaks it, and where it ends: its first CR or LF
// after the name, or the size of the text. CR LF, a lone CR and a lone LF
// each end a line.
//
// `match(begin)` says who speaks the line that begins there, if anybody:
// for_each_dialogue_line asks the matcher's `match`.
template <class Match, class F>
void for_each_line_matched(std::string_view text, Match&& match_at, F&& f) {
  const char* data = text.data();
  const std::size_t n = text.size();
  std::uint32_t line = 1;
  std::size_t i = 0;  // a line start
  while (i < n) {
    std::size_t end = i;  // the line's end: its first CR or LF, or n
    if (data[i] != '\r' && data[i] != '\n') {
      const std::optional<DialogueMatch> match = match_at(i);
      if (!match) {
        end = find_line_end(text, i);
      } else {
        end = find_line_end(text, i + std::min(match->name_length, n - i));
        f(line, i, *match, end);
      }
    }
    if (end >= n) break;
    end += (data[end] == '\r' && end + 1 < n && data[end + 1] == '\n') ? 2 : 1;
    i = end;
    ++line;
  }
}

template <class F>
void for_each_dialogue_line(std::string_view text, const DialogueMatcher& matcher, F&& f) {
  for_each_line_matched(text, [&](std::size_t i) { return matcher.match(text, i); }, f);
}

// Appends every part in one step.
inline void append_parts(std::string& out, std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (std::string_view part : parts) total += part.size();
  std::size_t at = out.size();
  out.resize(at + total);
  for (std::string_view part : parts) {
    if (part.empty()) continue;  // its data may be null
    std::memcpy(out.data() + at, part.data(), part.size());
    at += part.size();
  }
}

// The length of the line end at `pos`: 2 for CR LF, 1 for a lone CR or LF.
std::size_t line_break_length(std::string_view text, std::size_t pos);

// "_" + the file's base name (no folder, no extension), ASCII letters upper-cased, + "_".
std::string name_middle_from_file(std::string_view file_name);

// A line's voice: its number and its name, written as its parts one after
// the other (a name the run's voice names give comes whole in the first).
struct Voice {
  std::int64_t number = -1;  // -1: the line gets no voice
  std::array<std::string_view, 3> name;  // voice prefix, name middle, digits
  explicit operator bool() const { return number >= 0; }
};

// Voice numbers: one counter a character, and the voice names built from
// them; or, once `use_run_voices` is called, the names the voice ledger gave
// the run's lines (the counters then only count).
class VoiceNumbering {
 public:
  VoiceNumbering(const CharacterTable& table, const BuilderSettings& settings);

  // Every voiced character's counter back to the start value.
  void reset_voice_counters();

  // At the start of every file of a pass: the counters start again when
  // `reset_counters` (the passes that number lines, with reset_per_file on),
  // and the middle of the voice names comes from the file's name when
  // second_string_from_file_name is on. With the run's voice names, the
  // file's position in the run order tells whose names the lines take.
  void prepare_file(std::string_view file_name, bool reset_counters, std::size_t run_position);
  void prepare_file(std::string_view file_name, bool reset_counters) {
    prepare_file(file_name, reset_counters, static_cast<std::size_t>(-1));
  }

  // From here on the lines take their names from `files` (by position in
  // the run order), which must outlive this numbering and its copies.
  void use_run_voices(const std::vector<FileVoices>* files) { run_voices_ = files; }
  bool uses_run_voices() const { return run_voices_ != nullptr; }

  // The character's next voice, which is then used up; none for a character
  // without voice prefix. A counted number is written into `digits`. With
  // the run's voice names: the name of the character's next line in the file.
  Voice take_voice(int character, char (&digits)[32]) {
    std::int64_t& counter = counters_[static_cast<std::size_t>(character)];
    if (counter < 0) return {};
    if (run_voices_ != nullptr) {
      ++counter;
      return next_kept_voice(character);
    }
    const std::int64_t number = counter++;
    return {number, {voice_prefix(character), name_middle_, format_number(number, digits)}};
  }
  // The number alone, from the counter.
  std::int64_t take_voice_number(int character) {
    std::int64_t& counter = counters_[static_cast<std::size_t>(character)];
    return counter < 0 ? -1 : counter++;
  }
  std::int64_t counter(int character) const { return counters_[static_cast<std::size_t>(character)]; }
  const std::vector<std::int64_t>& counters() const { return counters_; }

  // voice prefix + name middle + the number with at least number_digits
  // digits (zero-padded; a wider number is written in full).
  std::string format_voice_name(int character, std::int64_t number) const;
  void append_voice_name(std::string& out, int character, std::int64_t number) const;
  // The parts of a voice name, for writers that put more around it: the
  // number is written into `digits`.
  std::string_view voice_prefix(int character) const {
    return table_.characters[static_cast<std::size_t>(character)].voice_prefix;
  }
  std::string_view format_number(std::int64_t number, char (&digits)[32]) const;

  // True when the number needs more than number_digits digits.
  bool exceeds_digits(std::int64_t number) const;

  std::int64_t start_value() const { return start_value_; }
  int number_digits() const { return digits_; }
  const std::string& name_middle() const { return name_middle_; }

  // Set by the outputs that test the numbers' width; reported at the end of the run.
  bool overflow = false;

 private:
  Voice next_kept_voice(int character);

  const CharacterTable& table_;
  bool middle_from_file_;
  std::int64_t start_value_ = 0;
  int digits_ = 0;
  std::string name_middle_;
  std::vector<std::int64_t> counters_;
  // With the run's voice names: the file being numbered, and by character
  // its next line there (-1 for none); `speakers_` lists the characters set.
  const std::vector<FileVoices>* run_voices_ = nullptr;
  const FileVoices* file_voices_ = nullptr;
  std::vector<std::int32_t> next_line_;
  std::vector<std::int32_t> speakers_;
};

}  // namespace lumeno::scriptbuilder
