// CP932 text as UTF-8, for outputs that hold Unicode (the workbooks).
//
// The table is made once from the platform's own converter (iconv's CP932,
// or code page 932 on Windows), one character at a time, so that every
// character of the code page converts as the platform converts it, the NEC
// and IBM extensions included; then text converts by table look-up, the same
// way on every platform. Bytes that are no CP932 character (an undefined
// code, a lead byte without its trail byte, the single bytes 0x80, 0xA0 and
// 0xFD to 0xFF) become U+FFFD each, one byte at a time, and the text goes on.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lumeno {

class Cp932Decoder {
 public:
  // Builds the table (some thousand conversions: a few milliseconds).
  Cp932Decoder();

  // Appends the UTF-8 form of `cp932` to `out`.
  void append_utf8(std::string_view cp932, std::string& out) const;
  std::string utf8(std::string_view cp932) const;

  // Characters of the code page the table holds (for tests).
  std::size_t defined_characters() const;

 private:
  // A character's UTF-8 bytes (at most three: CP932 is within the BMP) in
  // the low 24 bits, first byte lowest, and their count in the top 8; 0
  // when the code is no character.
  using Entry = std::uint32_t;
  std::array<Entry, 256> single_{};
  std::unique_ptr<std::array<Entry, 65536>> pairs_;  // lead << 8 | trail
};

}  // namespace lumeno
