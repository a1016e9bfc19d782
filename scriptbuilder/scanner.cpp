#include "scriptbuilder/scanner.h"

#include <algorithm>
#include <array>
#include <span>

#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

// A byte of the text, or of the guard behind it: CR, LF, then nothing (-1).
int byte_at(std::string_view text, std::size_t i) {
  if (i < text.size()) return static_cast<unsigned char>(text[i]);
  if (i == text.size()) return '\r';
  if (i == text.size() + 1) return '\n';
  return -1;
}

}  // namespace

DialogueMatcher::DialogueMatcher(const CharacterTable& table, const DialogueMarks& marks) {
  // Build with plain child lists, then lay the edges out flat and sorted.
  struct BuildNode {
    std::vector<std::pair<unsigned char, std::uint32_t>> children;
    std::vector<Terminal> terminals;
  };
  std::vector<BuildNode> build(1);
  const auto mark_count = static_cast<std::uint32_t>(marks.size());
  for (std::size_t c = 0; c < table.characters.size(); ++c) {
    const std::vector<std::string>& names = table.characters[c].names;
    for (std::size_t n = 0; n < names.size(); ++n) {
      for (std::uint32_t m = 0; m < mark_count; ++m) {
        std::uint32_t node = 0;
        max_depth_ = std::max(max_depth_, names[n].size() + marks[m].size());
        for (const std::string* part : {&names[n], &marks[m]}) {
          for (char ch : *part) {
            const auto b = static_cast<unsigned char>(ch);
            auto& kids = build[node].children;
            auto it = std::find_if(kids.begin(), kids.end(), [b](const auto& e) { return e.first == b; });
            if (it != kids.end()) {
              node = it->second;
            } else {
              const auto child = static_cast<std::uint32_t>(build.size());
              kids.emplace_back(b, child);
              build.emplace_back();
              node = child;
            }
          }
        }
        // Characters, names and marks come in the order they are tried, so
        // the first terminal a character leaves on a node is its best there.
        auto& terms = build[node].terminals;
        if (terms.empty() || terms.back().character != static_cast<int>(c)) {
          terms.push_back({static_cast<int>(c), static_cast<std::uint32_t>(n) * mark_count + m,
                           static_cast<std::uint32_t>(names[n].size())});
        }
      }
    }
  }

  nodes_.resize(build.size());
  root_edges_.assign(256, 0);
  for (std::size_t i = 0; i < build.size(); ++i) {
    BuildNode& b = build[i];
    std::sort(b.children.begin(), b.children.end());
    Node& node = nodes_[i];
    node.edge_begin = static_cast<std::uint32_t>(edge_bytes_.size());
    node.edge_count = static_cast<std::uint32_t>(b.children.size());
    for (const auto& [byte, child] : b.children) {
      edge_bytes_.push_back(byte);
      edge_children_.push_back(child);
      if (i == 0) root_edges_[byte] = child;
      node.only_byte = byte;
      node.only_child = child;
    }
    node.terminal_begin = static_cast<std::uint32_t>(terminals_.size());
    terminals_.insert(terminals_.end(), b.terminals.begin(), b.terminals.end());
    node.terminal_end = static_cast<std::uint32_t>(terminals_.size());
  }
  // Every key is a name and a mark, so none ends one byte down: the first
  // two bytes of a line can be looked up at once.
  bool one_byte_key = false;
  for (std::uint32_t k = 0; k < nodes_[0].edge_count; ++k) {
    const Node& first = nodes_[edge_children_[nodes_[0].edge_begin + k]];
    one_byte_key = one_byte_key || first.terminal_begin != first.terminal_end;
  }
  if (nodes_[0].edge_count > 0 && !one_byte_key) {
    two_byte_nodes_.assign(256 * 256, 0);
    for (std::uint32_t k = 0; k < nodes_[0].edge_count; ++k) {
      const std::size_t b0 = edge_bytes_[nodes_[0].edge_begin + k];
      const Node& first = nodes_[edge_children_[nodes_[0].edge_begin + k]];
      for (std::uint32_t j = first.edge_begin; j < first.edge_begin + first.edge_count; ++j) {
        two_byte_nodes_[b0 * 256 + edge_bytes_[j]] = edge_children_[j];
      }
    }
  }
  // Children come after their parents, so one pass in index order carries
  // every path's first terminal down.
  auto earlier = [&](std::uint32_t a, std::uint32_t b) {
    if (a == kNoTerminal) return false;
    if (b == kNoTerminal) return true;
    const Terminal& x = terminals_[a];
    const Terminal& y = terminals_[b];
    return x.character != y.character ? x.character < y.character : x.rank < y.rank;
  };
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    Node& node = nodes_[i];
    if (node.terminal_begin != node.terminal_end && earlier(node.terminal_begin, node.path_best)) {
      node.path_best = node.terminal_begin;  // its lowest character
    }
    for (std::uint32_t k = node.edge_begin; k < node.edge_begin + node.edge_count; ++k) {
      nodes_[edge_children_[k]].path_best = node.path_best;
    }
  }
}

std::uint32_t DialogueMatcher::child_of_wide_branch(const Node& node, unsigned char b) const {
  const unsigned char* first = edge_bytes_.data() + node.edge_begin;
  const std::uint32_t count = node.edge_count;
  const unsigned char* it = std::lower_bound(first, first + count, b);
  return (it != first + count && *it == b) ? edge_children_[static_cast<std::size_t>(it - edge_bytes_.data())] : 0;
}

template <class F>
std::uint32_t DialogueMatcher::walk(std::string_view text, std::size_t pos, F&& f) const {
  // No name starts with a line end, so nothing matches at the end of the text.
  if (nodes_.empty() || pos >= text.size()) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  std::uint32_t node = root_edges_[p[0]];
  std::uint32_t last = node;
  if (text.size() - pos > max_depth_) {
    // No key is long enough to reach the end: read the text directly.
    std::size_t d = 1;
    if (!two_byte_nodes_.empty()) {
      // The node one byte down holds no key: only the walk from two down
      // can reach one.
      last = node = two_byte_nodes_[static_cast<std::size_t>(p[0]) * 256 + p[1]];
      d = 2;
    }
    for (; node != 0; ++d) {
      const Node& here = nodes_[node];
      f(here);
      last = node;
      node = child(here, p[d]);
    }
    return last;
  }
  for (std::size_t d = 1; node != 0; ++d) {
    const Node& here = nodes_[node];
    f(here);
    last = node;
    const int b = byte_at(text, pos + d);
    if (b < 0) break;
    node = child(here, static_cast<unsigned char>(b));
  }
  return last;
}

std::optional<DialogueMatch> DialogueMatcher::match(std::string_view text, std::size_t pos) const {
  const std::uint32_t last = walk(text, pos, [](const Node&) {});
  if (last == 0 || nodes_[last].path_best == kNoTerminal) return std::nullopt;
  const Terminal& best = terminals_[nodes_[last].path_best];
  return DialogueMatch{best.character, best.name_length};
}

void DialogueMatcher::match_all(std::string_view text, std::size_t pos, std::vector<DialogueMatch>& out) const {
  out.clear();
  // The names found along one walk are few: they are kept on the stack, and
  // only a table with more of them than that at one place takes the heap.
  // The staff lists ask this of every dialogue line.
  constexpr std::size_t kOnStack = 16;
  std::array<const Terminal*, kOnStack> on_stack;
  std::vector<const Terminal*> spilled;
  std::size_t count = 0;
  walk(text, pos, [&](const Node& node) {
    for (std::uint32_t k = node.terminal_begin; k < node.terminal_end; ++k, ++count) {
      if (count < kOnStack) {
        on_stack[count] = &terminals_[k];
        continue;
      }
      if (spilled.empty()) spilled.assign(on_stack.begin(), on_stack.end());
      spilled.push_back(&terminals_[k]);
    }
  });
  const std::span<const Terminal*> found =
      count <= kOnStack ? std::span<const Terminal*>(on_stack.data(), count) : std::span<const Terminal*>(spilled);
  std::sort(found.begin(), found.end(), [](const Terminal* a, const Terminal* b) {
    return a->character != b->character ? a->character < b->character : a->rank < b->rank;
  });
  for (const Terminal* t : found) {
    if (out.empty() || out.back().character != t->character) out.push_back({t->character, t->name_length});
  }
}

std::size_t line_break_length(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  if (text[pos] == '\r') return (pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
  return text[pos] == '\n' ? 1 : 0;
}

std::string name_middle_from_file(std::string_view file_name) {
  std::string middle = "_";
  middle += base_name_part(file_name);
  middle += "_";
  upper_ascii_sjis(middle);
  return middle;
}

VoiceNumbering::VoiceNumbering(const CharacterTable& table, const BuilderSettings& settings)
    : table_(table), middle_from_file_(settings.second_string_from_file_name) {
  // The start number is 1 to 8 digits (the run refuses any other); its
  // length is the width of every number.
  for (char c : settings.start_number) {
    if (c < '0' || c > '9') break;
    start_value_ = start_value_ * 10 + (c - '0');
  }
  digits_ = static_cast<int>(settings.start_number.size());
  name_middle_ = "_" + settings.second_string;
  counters_.assign(table.characters.size(), -1);
  reset_voice_counters();
}

void VoiceNumbering::reset_voice_counters() {
  for (std::size_t c = 0; c < counters_.size(); ++c) counters_[c] = table_.characters[c].voiced() ? start_value_ : -1;
}

void VoiceNumbering::prepare_file(std::string_view file_name, bool reset_counters, std::size_t run_position) {
  if (reset_counters) reset_voice_counters();
  if (middle_from_file_) name_middle_ = name_middle_from_file(file_name);
  if (run_voices_ == nullptr) return;
  for (std::int32_t c : speakers_) next_line_[static_cast<std::size_t>(c)] = -1;
  speakers_.clear();
  file_voices_ = run_position < run_voices_->size() ? &(*run_voices_)[run_position] : nullptr;
  if (file_voices_ == nullptr) return;
  next_line_.resize(counters_.size(), -1);
  // From the last line up, so that each speaker ends at its first.
  const std::vector<VoiceLine>& lines = file_voices_->lines;
  for (std::size_t k = lines.size(); k-- > 0;) {
    const auto c = static_cast<std::size_t>(lines[k].character);
    if (next_line_[c] < 0) speakers_.push_back(lines[k].character);
    next_line_[c] = static_cast<std::int32_t>(k);
  }
}

Voice VoiceNumbering::next_kept_voice(int character) {
  // A pass finds the lines the numbering found, in the same order; a file
  // that changed in between may hold more, which then go without a voice.
  if (file_voices_ == nullptr || static_cast<std::size_t>(character) >= next_line_.size()) return {};
  std::int32_t& next = next_line_[static_cast<std::size_t>(character)];
  if (next < 0) return {};
  const VoiceLine& line = file_voices_->lines[static_cast<std::size_t>(next)];
  next = line.next_of_speaker;
  return {line.number, {line.voice_name, {}, {}}};
}

namespace {

// "00" to "99".
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int k = 0; k < 100; ++k) {
    pairs[static_cast<std::size_t>(2 * k)] = static_cast<char>('0' + k / 10);
    pairs[static_cast<std::size_t>(2 * k + 1)] = static_cast<char>('0' + k % 10);
  }
  return pairs;
}();

}  // namespace

std::string_view VoiceNumbering::format_number(std::int64_t number, char (&digits)[32]) const {
  // Written from the last digits, two at a time, then zero-padded to the
  // width (at most 8).
  char* const end = digits + sizeof digits;
  char* p = end;
  auto value = static_cast<std::uint64_t>(number);
  while (value >= 100) {
    const std::size_t pair = 2 * static_cast<std::size_t>(value % 100);
    value /= 100;
    *--p = kDigitPairs[pair + 1];
    *--p = kDigitPairs[pair];
  }
  if (value >= 10) {
    *--p = kDigitPairs[2 * value + 1];
    *--p = kDigitPairs[2 * value];
  } else {
    *--p = static_cast<char>('0' + value);
  }
  while (end - p < digits_) *--p = '0';
  return {p, static_cast<std::size_t>(end - p)};
}

void VoiceNumbering::append_voice_name(std::string& out, int character, std::int64_t number) const {
  char digits[32];
  append_parts(out, {voice_prefix(character), name_middle_, format_number(number, digits)});
}

std::string VoiceNumbering::format_voice_name(int character, std::int64_t number) const {
  std::string name;
  append_voice_name(name, character, number);
  return name;
}

bool VoiceNumbering::exceeds_digits(std::int64_t number) const {
  std::uint64_t limit = 1;
  for (int k = 0; k < digits_; ++k) limit *= 10;
  return static_cast<std::uint64_t>(number) >= limit;
}

}  // namespace lumeno::scriptbuilder
