#include "namefinder/scan.h"

#include <algorithm>
#include <cstring>

#include "shell/sjis.h"

namespace lumeno::namefinder {

namespace {

enum : unsigned char { kLineEnd = 1, kMarkStart = 2 };

bool starts_with_at(std::string_view text, std::size_t pos, std::string_view what) {
  return pos <= text.size() && text.size() - pos >= what.size() && text.compare(pos, what.size(), what) == 0;
}

// The first CR or LF at or after `from`, or the text's size. Keeps the last
// hit of each byte, so that a text with only one kind of line end is still
// searched once.
class LineEndFinder {
 public:
  explicit LineEndFinder(std::string_view text) : text_(text) {}

  std::size_t next(std::size_t from) {
    refresh(cr_, '\r', from);
    refresh(lf_, '\n', from);
    return std::min(cr_, lf_);
  }

 private:
  void refresh(std::size_t& hit, char byte, std::size_t from) {
    if (hit != kUnknown && hit >= from) return;
    if (from >= text_.size()) {
      hit = text_.size();
      return;
    }
    const void* p = std::memchr(text_.data() + from, byte, text_.size() - from);
    hit = p ? static_cast<std::size_t>(static_cast<const char*>(p) - text_.data()) : text_.size();
  }

  static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
  std::string_view text_;
  std::size_t cr_ = kUnknown;
  std::size_t lf_ = kUnknown;
};

// Number of lead bytes right before `end`, not looking below `floor`. A walk
// by characters that stands at `floor` reaches `end` exactly when this is
// even: after any other byte the walk is always at a character's start.
std::size_t lead_run_before(std::string_view text, std::size_t floor, std::size_t end) {
  std::size_t p = end;
  while (p > floor && is_sjis_lead(static_cast<unsigned char>(text[p - 1]))) --p;
  return end - p;
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

CandidateScanner::CandidateScanner(ScanOptions options, std::function<void(std::string_view)> found)
    : options_(std::move(options)), found_(std::move(found)) {
  byte_class_[static_cast<unsigned char>('\r')] = kLineEnd;
  byte_class_[static_cast<unsigned char>('\n')] = kLineEnd;
  for (const std::string& mark : options_.marks) {
    if (mark.empty()) continue;
    byte_class_[static_cast<unsigned char>(mark[0])] |= kMarkStart;
    lookahead_ = std::max(lookahead_, mark.size());
  }
  limit_ = 2 * static_cast<std::int64_t>(options_.max_name_length);
}

std::size_t CandidateScanner::match_mark(std::string_view text, std::size_t i) const {
  for (const std::string& mark : options_.marks) {
    if (!mark.empty() && starts_with_at(text, i, mark)) return mark.size();
  }
  return 0;
}

// A line is scanned in two phases. Up to its first dialogue mark every
// character is looked at: a line end starts the next line; a mark decides
// the line (its candidate, when the tests pass, is taken at once: a line has
// at most one). Once the text in front of any mark would be too long, or a
// mark has decided, the rest of the line is passed over to the next line
// end that a walk by characters reaches: no later mark could pass the tests
// the first one met, since the length only grows and the line's start stays.
std::size_t CandidateScanner::run(std::string_view text, bool last) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  LineEndFinder line_ends(text);
  std::size_t i = pos_;
  std::size_t line_start = line_start_;
  bool settled = settled_;
  std::size_t keep = size;

  for (;;) {
    if (!settled) {
      for (;;) {
        if (i >= size) break;
        const unsigned char c = bytes[i];
        const unsigned char kind = byte_class_[c];
        if (kind & kLineEnd) {
          line_start = ++i;
          continue;
        }
        if (static_cast<std::int64_t>(i - line_start) - 1 > limit_) {
          settled = true;
          break;
        }
        if (kind & kMarkStart) {
          // A decision at a mark reads a few bytes on, and the line's start.
          if (!last && (i + lookahead_ > size || line_start + options_.name_start_mark.size() > size)) break;
          const std::size_t mark_length = match_mark(text, i);
          if (mark_length > 0) {
            settled = true;
            if (options_.name_start_mark.empty() || starts_with_at(text, line_start, options_.name_start_mark)) {
              if (accept_candidate(text, line_start, i)) found_(text.substr(line_start, i - line_start));
              i += mark_length;
            } else {
              i += is_sjis_lead(c) ? 2 : 1;
            }
            break;
          }
        }
        i += is_sjis_lead(c) ? 2 : 1;
      }
      if (!settled) {
        keep = std::min(line_start, size);
        break;
      }
    }
    // Skip to the line end that the walk from i reaches.
    bool line_ended = false;
    while (i < size) {
      const std::size_t q = line_ends.next(i);
      if (q >= size) break;
      const bool reached = lead_run_before(text, i, q) % 2 == 0;
      i = q + 1;
      if (reached) {
        line_ended = true;
        break;
      }
    }
    if (line_ended) {
      line_start = i;
      settled = false;
      continue;
    }
    // The text ends inside the line; the walk stands one byte beyond the end
    // when the text's last character is an unfinished double-byte one.
    if (i < size) i = size + lead_run_before(text, i, size) % 2;
    keep = size;
    break;
  }
  pos_ = i;
  line_start_ = line_start;
  settled_ = settled;
  return keep;
}

void CandidateScanner::feed(std::string_view piece) {
  std::size_t keep = 0;
  if (held_.empty()) {
    keep = run(piece, false);
    held_.assign(piece.substr(keep));
  } else {
    held_.append(piece);
    keep = run(held_, false);
    // Drop the bytes no longer needed once they are at least as many as those
    // kept, so that every byte is moved a bounded number of times.
    if (keep < held_.size() - keep) return;
    held_.erase(0, keep);
  }
  pos_ -= keep;
  line_start_ = line_start_ >= keep ? line_start_ - keep : 0;
}

void CandidateScanner::finish() {
  run(held_, true);
  held_.clear();
  pos_ = 0;
  line_start_ = 0;
  settled_ = false;
}

void scan_candidates(std::string_view text, const ScanOptions& options, const std::function<void(std::string_view)>& found) {
  CandidateScanner scanner(options, found);
  scanner.feed(text);
  scanner.finish();
}

}  // namespace lumeno::namefinder
