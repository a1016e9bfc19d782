// Shift_JIS (code page 932) byte-string helpers.
//
// Every walk steps over a double-byte character whole: a lead byte
// (0x81-0x9F, 0xE0-0xFC) and the byte after it. Only single-byte characters
// are compared or changed, so the trail byte of a character such as ソ
// (0x83 0x5C) is never taken for a backslash. A lead byte that is the last
// byte of a string is stepped over alone; nothing is read past the end.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumeno {

constexpr bool is_sjis_lead(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// 1 for every lead byte, 0 for every other byte.
inline constexpr std::array<unsigned char, 256> sjis_lead = [] {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) table[static_cast<std::size_t>(c)] = is_sjis_lead(static_cast<unsigned char>(c)) ? 1 : 0;
  return table;
}();

// Length in bytes of the character that starts at `i` (1 or 2; 1 for a lead
// byte that ends the text).
inline std::size_t sjis_char_length(std::string_view s, std::size_t i) {
  return (is_sjis_lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

// The first byte in [from, n) that equals one of `Stops`, or `n`, whether it
// starts a character or not: sixteen bytes at a time (SSE2, or else the
// compiler's portable vectors).
template <unsigned char... Stops>
std::size_t find_byte_of(const unsigned char* s, std::size_t from, std::size_t n) {
  std::size_t i = from;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    // One bit for every byte that is one of the stops.
    const auto hits = static_cast<unsigned>(_mm_movemask_epi8((_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(Stops))) | ...)));
    if (hits != 0) return i + static_cast<std::size_t>(std::countr_zero(hits));
  }
#else
  if constexpr (std::endian::native == std::endian::little) {
    using Bytes = unsigned char __attribute__((vector_size(16)));
    using Words = std::uint64_t __attribute__((vector_size(16)));
    for (; i + 16 <= n; i += 16) {
      Bytes v;
      std::memcpy(&v, s + i, 16);
      // 0xFF in every byte that is one of the stops, 0 elsewhere.
      const auto hits = reinterpret_cast<Words>(((v == Stops) | ...));
      if (hits[0] != 0) return i + static_cast<std::size_t>(std::countr_zero(hits[0])) / 8;
      if (hits[1] != 0) return i + 8 + static_cast<std::size_t>(std::countr_zero(hits[1])) / 8;
    }
  }
#endif
  while (i < n && !((s[i] == Stops) || ...)) ++i;
  return i;
}

// The first single-byte character in [from, n) that is one of `Stops`, or
// `n`; `from` must be a character boundary. The characters in between are not
// walked one by one: a byte that cannot be a lead byte always ends a
// character, so the run of possible lead bytes just before a hit pairs up
// from its first byte, and an odd run makes the hit a trail byte.
template <unsigned char... Stops>
std::size_t find_char_of(const unsigned char* s, std::size_t from, std::size_t n) {
  while (from < n) {
    const std::size_t at = find_byte_of<Stops...>(s, from, n);
    if (at == n) return n;
    std::size_t run = 0;
    while (at - run > from && is_sjis_lead(s[at - run - 1])) ++run;
    if (run % 2 == 0) return at;
    from = at + 1;
  }
  return n;
}

// Every single-byte "A"-"Z" becomes "a"-"z".
void lower_ascii_sjis(std::string& s);
// Every single-byte "a"-"z" becomes "A"-"Z".
void upper_ascii_sjis(std::string& s);
// Every single-byte character equal to `from` becomes `to`.
void replace_byte_sjis(std::string& s, char from, char to);
// True when the last character of `s` is the single-byte character `c`.
bool ends_with_byte_sjis(std::string_view s, char c);

// The part of `path` after its last single-byte "\" or "/" (the whole path
// when there is none). Returns false, with `out` empty, when that part is
// empty.
bool file_name_part(std::string_view path, std::string& out);
std::string file_name_part(std::string_view path);
// Everything up to and including the last single-byte "\" or "/"; empty when
// there is none.
std::string_view folder_part(std::string_view path);
// The text after the last single-byte "\" or "/" of a folder path given
// without its trailing separator. Returns false, with `out` empty, when there
// is no separator or nothing after the last one.
bool folder_name_of(std::string_view folder, std::string& out);

// The extension of the file-name part: from its last "." to the end, the dot
// included; empty when the name holds no dot.
std::string_view extension_part(std::string_view path);
// The file-name part without its extension.
std::string_view base_name_part(std::string_view path);
// True when the extension is ".txt" in any letter case.
bool has_txt_extension(std::string_view path);

// Byte-wise comparison with the bytes of "A"-"Z" taken as "a"-"z" (every
// byte, trail bytes included); a prefix sorts first. <0, 0 or >0.
int compare_folded(std::string_view a, std::string_view b);
// ASCII "A"-"Z" folded on every byte.
std::string fold_ascii(std::string_view s);

// printf-style formatting into a std::string (the formats are the program's
// own, never taken from data).
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace lumeno
