#include "scriptbuilder/scanner.h"

#include <algorithm>
#include <array>

#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

// What the scan needs to know of a byte.
enum ByteClass : unsigned char { kPlain = 0, kLead = 1, kBreak = 2 };

constexpr std::array<unsigned char, 256> kByteClass = [] {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const auto b = static_cast<unsigned char>(c);
    table[b] = is_sjis_lead(b) ? kLead : kPlain;
  }
  table['\r'] = kBreak;
  table['\n'] = kBreak;
  return table;
}();

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
    for (const auto& [byte, child] : b.children) {
      edge_bytes_.push_back(byte);
      edge_children_.push_back(child);
      if (i == 0) root_edges_[byte] = child;
    }
    node.edge_end = static_cast<std::uint32_t>(edge_bytes_.size());
    node.terminal_begin = static_cast<std::uint32_t>(terminals_.size());
    terminals_.insert(terminals_.end(), b.terminals.begin(), b.terminals.end());
    node.terminal_end = static_cast<std::uint32_t>(terminals_.size());
  }
}

template <class F>
void DialogueMatcher::walk(std::string_view text, std::size_t pos, F&& f) const {
  if (nodes_.empty()) return;
  int b = byte_at(text, pos);
  if (b < 0) return;
  std::uint32_t node = root_edges_[static_cast<std::size_t>(b)];
  while (node != 0) {
    f(nodes_[node]);
    b = byte_at(text, ++pos);
    if (b < 0) return;
    const Node& here = nodes_[node];
    const unsigned char* first = edge_bytes_.data() + here.edge_begin;
    const unsigned char* last = edge_bytes_.data() + here.edge_end;
    const unsigned char* it = std::lower_bound(first, last, static_cast<unsigned char>(b));
    node = (it != last && *it == b) ? edge_children_[static_cast<std::size_t>(it - edge_bytes_.data())] : 0;
  }
}

std::optional<DialogueMatch> DialogueMatcher::match(std::string_view text, std::size_t pos) const {
  const Terminal* best = nullptr;
  walk(text, pos, [&](const Node& node) {
    if (node.terminal_begin == node.terminal_end) return;
    const Terminal& t = terminals_[node.terminal_begin];  // its lowest character
    if (!best || t.character < best->character || (t.character == best->character && t.rank < best->rank)) best = &t;
  });
  if (!best) return std::nullopt;
  return DialogueMatch{best->character, best->name_length};
}

void DialogueMatcher::match_all(std::string_view text, std::size_t pos, std::vector<DialogueMatch>& out) const {
  out.clear();
  std::vector<const Terminal*> found;
  walk(text, pos, [&](const Node& node) {
    for (std::uint32_t k = node.terminal_begin; k < node.terminal_end; ++k) found.push_back(&terminals_[k]);
  });
  std::sort(found.begin(), found.end(), [](const Terminal* a, const Terminal* b) {
    return a->character != b->character ? a->character < b->character : a->rank < b->rank;
  });
  for (const Terminal* t : found) {
    if (out.empty() || out.back().character != t->character) out.push_back({t->character, t->name_length});
  }
}

std::size_t find_line_end(std::string_view text, std::size_t pos) {
  const std::size_t n = text.size();
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = pos;
  while (i < n) {
    const unsigned char cls = kByteClass[data[i]];
    if (cls == kBreak) return i;
    i += cls == kLead ? 2 : 1;
  }
  return n;  // also for a lead byte that ends the text: it stands alone
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

void VoiceNumbering::prepare_file(std::string_view file_name, bool reset_counters) {
  if (reset_counters) reset_voice_counters();
  if (middle_from_file_) name_middle_ = name_middle_from_file(file_name);
}

void VoiceNumbering::append_voice_name(std::string& out, int character, std::int64_t number) const {
  out += table_.characters[static_cast<std::size_t>(character)].voice_prefix;
  out += name_middle_;
  char digits[24];
  int n = 0;
  auto value = static_cast<std::uint64_t>(number);
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int pad = n; pad < digits_; ++pad) out += '0';
  while (n > 0) out += digits[--n];
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
