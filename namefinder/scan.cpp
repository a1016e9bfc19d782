#include "namefinder/scan.h"

#include <array>

#include "shell/sjis.h"

namespace lumeno::namefinder {

namespace {

// Byte classes of the scan's inner loops.
enum : unsigned char { kLineEnd = 1, kMarkStart = 2 };

bool starts_with_at(std::string_view text, std::size_t pos, std::string_view what) {
  return pos <= text.size() && text.size() - pos >= what.size() && text.compare(pos, what.size(), what) == 0;
}

}  // namespace

bool accept_candidate(std::string_view text, std::size_t line_start, std::size_t mark_pos) {
  if (mark_pos <= line_start) return false;
  const std::string_view name = text.substr(line_start, mark_pos - line_start);
  if (name.starts_with("//") || name.starts_with("#") || name.starts_with("\x81\x40")) return false;
  // "、" and "。" are never part of a name; the mark's first character counts too.
  for (std::size_t p = line_start; p <= mark_pos && p < text.size(); p += sjis_char_length(text, p)) {
    if (text[p] == '\x81' && p + 1 < text.size() && (text[p + 1] == '\x41' || text[p + 1] == '\x42')) return false;
  }
  return true;
}

void scan_candidates(std::string_view text, const ScanOptions& options, const std::function<void(std::string_view)>& found) {
  std::array<unsigned char, 256> byte_class{};
  std::array<unsigned char, 256> step{};
  for (int c = 0; c < 256; ++c) step[static_cast<std::size_t>(c)] = sjis_lead[static_cast<std::size_t>(c)] ? 2 : 1;
  byte_class['\r'] = kLineEnd;
  byte_class['\n'] = kLineEnd;
  for (const std::string& mark : options.marks) {
    if (!mark.empty()) byte_class[static_cast<unsigned char>(mark[0])] |= kMarkStart;
  }
  // Bytes allowed in front of a mark, beyond the first.
  const std::int64_t limit = 2 * static_cast<std::int64_t>(options.max_name_length);

  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  std::size_t line_start = 0;
  bool pending = false;
  std::size_t mark_pos = 0;
  // Once a line has met its first mark (or grown too long for one), the rest
  // of it is only stepped over to its end: no later mark can pass the tests
  // the first one met, since the length only grows and the start stays.
  bool settled = false;

  while (i < size) {
    const unsigned char stop = settled ? kLineEnd : (kLineEnd | kMarkStart);
    while (i < size && !(byte_class[bytes[i]] & stop)) i += step[bytes[i]];
    if (i >= size) break;
    if (byte_class[bytes[i]] & kLineEnd) {
      if (pending && accept_candidate(text, line_start, mark_pos)) found(text.substr(line_start, mark_pos - line_start));
      pending = false;
      settled = false;
      ++i;
      line_start = i;
      continue;
    }
    // A byte that may start a mark, on a line still open.
    if (static_cast<std::int64_t>(i - line_start) - 1 > limit) {
      settled = true;
      continue;
    }
    std::size_t mark_length = 0;
    for (const std::string& mark : options.marks) {
      if (!mark.empty() && starts_with_at(text, i, mark)) {
        mark_length = mark.size();
        break;
      }
    }
    if (mark_length == 0) {
      i += step[bytes[i]];
      continue;
    }
    const bool starts = options.name_start_mark.empty() || starts_with_at(text, line_start, options.name_start_mark);
    settled = true;
    if (starts) {
      pending = true;
      mark_pos = i;
      i += mark_length;
    } else {
      i += step[bytes[i]];
    }
  }
  if (pending && accept_candidate(text, line_start, mark_pos)) found(text.substr(line_start, mark_pos - line_start));
}

}  // namespace lumeno::namefinder
