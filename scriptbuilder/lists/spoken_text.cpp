#include "scriptbuilder/lists/spoken_text.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace lumeno::scriptbuilder {

namespace {

// What a byte that begins a character means for the count.
enum ByteKind : unsigned char {
  said,       // a single-byte character read aloud
  lead,       // the lead byte of a double-byte character
  blank,      // space or TAB
  backslash,  // a command
  slash,      // a comment, or a slash read aloud
};

constexpr std::array<unsigned char, 256> kByteKinds = [] {
  std::array<unsigned char, 256> kinds{};
  for (int c = 0; c < 256; ++c) kinds[static_cast<std::size_t>(c)] = is_sjis_lead(static_cast<unsigned char>(c)) ? lead : said;
  kinds[' '] = blank;
  kinds['\t'] = blank;
  kinds['\\'] = backslash;
  kinds['/'] = slash;
  return kinds;
}();

// True when the eight bytes at `p` are four double-byte characters, none of
// them the full-width space. Taken as four 16-bit lanes, lead byte low: a
// lead byte XOR 0x20 is one range, A1-DC. On a machine of the other byte
// order, never true: the characters go one by one.
bool four_said_double_bytes(const char* p) {
  if constexpr (std::endian::native != std::endian::little) {
    return false;
  } else {
    constexpr std::uint64_t lanes = 0x0001000100010001u;
    constexpr std::uint64_t high = lanes * 0x8000;
    std::uint64_t w = 0;
    std::memcpy(&w, p, sizeof w);
    // A lane's top bit, after adding 0x8000 - a to its low byte, says
    // whether that byte is a or more; no lane carries into the next.
    const std::uint64_t low = (w ^ lanes * 0x20) & lanes * 0xFF;
    const std::uint64_t leads = (low + lanes * (0x8000 - 0xA1)) & ~(low + lanes * (0x8000 - 0xDD)) & high;
    // A lane that is the full-width space (81 40) is zero after the XOR.
    const std::uint64_t space = w ^ lanes * 0x4081;
    return leads == high && ((space - lanes) & ~space & high) == 0;
  }
}

}  // namespace

std::size_t spoken_characters(std::string_view line, std::size_t mark_end, std::string_view mark) {
  return spoken_characters_closed_by(line, mark_end, mark.empty() ? std::string_view() : closing_bracket(last_character(mark)));
}

// for_each_spoken_character's reading, in one loop that takes a run of
// double-byte characters in a few steps each: most of a line is nothing else.
std::size_t spoken_characters_closed_by(std::string_view line, std::size_t mark_end, std::string_view close) {
  const char* s = line.data();
  const std::size_t n = line.size();
  std::size_t count = 0;
  std::size_t last = 0;  // where the last character counted begins
  std::size_t i = mark_end;
  while (i < n) {
    const std::size_t run = i;
    while (i + 8 <= n && four_said_double_bytes(s + i)) i += 8;
    while (i + 1 < n && kByteKinds[static_cast<unsigned char>(s[i])] == lead && (s[i] != '\x81' || s[i + 1] != '\x40')) i += 2;
    if (i > run) {
      count += (i - run) / 2;
      last = i - 2;
      continue;
    }
    const unsigned char kind = kByteKinds[static_cast<unsigned char>(s[i])];
    if (kind == said || (kind == lead && i + 1 == n)) {  // a lead byte that ends the line stands alone
      ++count;
      last = i;
      ++i;
    } else if (kind == lead || kind == blank) {  // the full-width space, a space or a TAB
      i += kind == lead ? 2 : 1;
    } else if (kind == backslash) {
      i = backslash_command_end(line, i);
    } else if (i + 1 < n && s[i + 1] == '/') {
      break;
    } else if (i + 1 < n && s[i + 1] == '*') {
      const std::size_t comment_end = line.find("*/", i + 2);
      if (comment_end == std::string_view::npos) break;
      i = comment_end + 2;
    } else {
      ++count;
      last = i;
      ++i;
    }
  }
  // The closing bracket is one or two bytes: compared in place.
  if (count > 0 && !close.empty() && sjis_char_length(line, last) == close.size() && s[last] == close[0] &&
      (close.size() == 1 || s[last + 1] == close[1])) {
    --count;
  }
  return count;
}

}  // namespace lumeno::scriptbuilder
