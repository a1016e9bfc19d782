#include "shell/cp932_decoder.h"

#include <vector>

#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno {

namespace {

constexpr std::uint32_t kReplacement = 0xEF | 0xBF << 8 | 0xBD << 16 | 3u << 24;  // U+FFFD

bool is_trail(unsigned t) { return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC); }

// The table entry of one converted character: its UTF-8 bytes when they are
// exactly one code point of one to three bytes, else 0.
std::uint32_t entry_of(std::string_view utf8) {
  const std::size_t n = utf8.size();
  if (n == 0 || n > 3) return 0;
  const auto lead = static_cast<unsigned char>(utf8[0]);
  const std::size_t expected = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : 0;
  if (expected != n) return 0;
  std::uint32_t e = static_cast<std::uint32_t>(n) << 24;
  for (std::size_t k = 0; k < n; ++k) e |= static_cast<std::uint32_t>(static_cast<unsigned char>(utf8[k])) << (8 * k);
  return e;
}

std::uint32_t convert_one(std::string_view code) {
  const Result<std::string> utf8 = names::utf8_from_cp932(code);
  return utf8 ? entry_of(*utf8) : 0;
}

void append_entry(std::uint32_t e, std::string& out) {
  const char bytes[3] = {static_cast<char>(e & 0xFF), static_cast<char>((e >> 8) & 0xFF), static_cast<char>((e >> 16) & 0xFF)};
  out.append(bytes, e >> 24);
}

}  // namespace

Cp932Decoder::Cp932Decoder() : pairs_(std::make_unique<std::array<Entry, 65536>>()) {
  std::array<Entry, 65536>& pairs = *pairs_;
  pairs.fill(0);
  // Single bytes: ASCII and the half-width katakana. The other single bytes
  // are no character, whatever a platform's table makes of them.
  for (unsigned c = 0; c < 0x80; ++c) single_[c] = static_cast<Entry>(c) | 1u << 24;
  for (unsigned c = 0xA1; c <= 0xDF; ++c) single_[c] = convert_one(std::string(1, static_cast<char>(c)));

  // Double bytes, a lead byte at a time: its characters converted in one
  // call, separated by line ends (no trail byte is a line end); a lead byte
  // with an undefined code among them is done a character at a time.
  std::string batch;
  std::vector<unsigned> trails;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!is_sjis_lead(static_cast<unsigned char>(lead))) continue;
    batch.clear();
    trails.clear();
    for (unsigned t = 0x40; t <= 0xFC; ++t) {
      if (!is_trail(t)) continue;
      trails.push_back(t);
      batch += static_cast<char>(lead);
      batch += static_cast<char>(t);
      batch += '\n';
    }
    const Result<std::string> whole = names::utf8_from_cp932(batch);
    bool done = false;
    if (whole) {
      std::vector<Entry> entries;
      std::string_view rest = *whole;
      for (std::size_t k = 0; k < trails.size(); ++k) {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos) break;
        entries.push_back(entry_of(rest.substr(0, end)));
        rest.remove_prefix(end + 1);
      }
      if (entries.size() == trails.size() && rest.empty()) {
        for (std::size_t k = 0; k < trails.size(); ++k) pairs[lead << 8 | trails[k]] = entries[k];
        done = true;
      }
    }
    if (!done) {
      for (unsigned t : trails) {
        const char code[2] = {static_cast<char>(lead), static_cast<char>(t)};
        pairs[lead << 8 | t] = convert_one(std::string_view(code, 2));
      }
    }
  }
}

void Cp932Decoder::append_utf8(std::string_view s, std::string& out) const {
  const std::array<Entry, 65536>& pairs = *pairs_;
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n) {
    // ASCII runs are copied whole.
    std::size_t j = i;
    while (j < n && static_cast<unsigned char>(s[j]) < 0x80) ++j;
    out.append(s.data() + i, j - i);
    i = j;
    if (i == n) break;
    const auto c = static_cast<unsigned char>(s[i]);
    Entry e = 0;
    if (is_sjis_lead(c)) {
      if (i + 1 < n) e = pairs[static_cast<unsigned>(c) << 8 | static_cast<unsigned char>(s[i + 1])];
      if (e != 0) {
        append_entry(e, out);
        i += 2;
        continue;
      }
    } else {
      e = single_[c];
    }
    append_entry(e != 0 ? e : kReplacement, out);
    ++i;
  }
}

std::string Cp932Decoder::utf8(std::string_view cp932) const {
  std::string out;
  out.reserve(cp932.size() * 3 / 2);
  append_utf8(cp932, out);
  return out;
}

std::size_t Cp932Decoder::defined_characters() const {
  std::size_t count = 0;
  for (Entry e : single_) count += e != 0 ? 1 : 0;
  for (Entry e : *pairs_) count += e != 0 ? 1 : 0;
  return count;
}

}  // namespace lumeno
