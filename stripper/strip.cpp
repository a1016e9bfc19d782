#include "stripper/strip.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "shell/sjis.h"

namespace lumeno::stripper {

namespace {

constexpr unsigned char kCr = '\r';
constexpr unsigned char kLf = '\n';

// What a byte is to the pass when it stands at the start of a character.
enum ByteKind : unsigned char {
  kText,   // an ordinary one-byte character with content
  kBlank,  // space, tab
  kLead,   // the lead byte of a two-byte character
  kStop,   // CR, LF, "/" and "\": a rule other than ordinary text may apply
};

constexpr std::array<unsigned char, 256> kByteKind = [] {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    unsigned char kind = kText;
    if (c == ' ' || c == '\t') kind = kBlank;
    if (is_sjis_lead(static_cast<unsigned char>(c))) kind = kLead;
    if (c == '\r' || c == '\n' || c == '/' || c == '\\') kind = kStop;
    table[static_cast<std::size_t>(c)] = kind;
  }
  return table;
}();

// The one-byte characters of a command name.
constexpr std::array<bool, 256> kNameByte = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) {
    table[static_cast<std::size_t>(c)] = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' || c == '_';
  }
  return table;
}();

bool is_target(std::int32_t option) { return option == 1; }

class Pass {
 public:
  Pass(std::string_view text, const StripOptions& options, StripCounts& counts)
      : s_(reinterpret_cast<const unsigned char*>(text.data())),
        n_(text.size()),
        options_(options),
        counts_(counts),
        keep_targets_(options.strip_mode != 0) {}

  std::string run() {
    // Every byte written was read from the text at least once before.
    out_.resize(n_);
    while (i_ < n_) {
      const unsigned char c = s_[i_];
      if (c == kCr || c == kLf) {
        line_break();
      } else if (c == '/' && at(i_ + 1) == '/') {
        ++counts_.line_comments;
        construct(line_comment_end(), is_target(options_.target_line_comments));
      } else if (c == '/' && at(i_ + 1) == '*') {
        ++counts_.block_comments;
        construct(block_comment_end(), is_target(options_.target_block_comments));
      } else if (c == '\\') {
        ++counts_.commands;
        const bool target = is_target(options_.target_commands);
        construct(command_end(copies(target)), target);
      } else {
        ordinary_text();
      }
    }
    out_.resize(o_);
    return std::move(out_);
  }

 private:
  // The byte at `p`, or 0 past the end.
  unsigned char at(std::size_t p) const { return p < n_ ? s_[p] : 0; }
  // The length of the character at `p` (`p` < n): 2 for a lead byte with a
  // byte after it, else 1.
  std::size_t unit(std::size_t p) const { return (is_sjis_lead(s_[p]) && p + 1 < n_) ? 2 : 1; }
  // Whether a construct of a kind is copied (else removed).
  bool copies(bool target) const { return target == keep_targets_; }

  void copy(std::size_t from, std::size_t to) {
    std::memcpy(out_.data() + o_, s_ + from, to - from);
    o_ += to - from;
  }

  // Rule A: the end of a line; the line is dropped or kept as a whole.
  void line_break() {
    const std::size_t len = (s_[i_] == kCr && at(i_ + 1) == kLf) ? 2 : 1;
    const std::int32_t mode = options_.blank_line_mode;
    const bool drop = (mode == 1 && had_removal_ && !has_content_) || (mode == 2 && !has_content_);
    if (drop) {
      o_ = line_start_;
    } else {
      copy(i_, i_ + len);
    }
    i_ += len;
    line_start_ = o_;
    has_content_ = false;
    had_removal_ = false;
  }

  // A construct from i_ to `end`, of a kind that is a target or not.
  void construct(std::size_t end, bool target) {
    if (copies(target)) {
      copy(i_, end);
      has_content_ = true;
    } else {
      had_removal_ = true;
    }
    i_ = end;
  }

  // "//" up to the line break (which stays for rule A) or the end.
  std::size_t line_comment_end() const {
    std::size_t p = i_ + 2;
    while (p < n_ && s_[p] != kCr && s_[p] != kLf) p += unit(p);
    return p;
  }

  // "/*" up to and including the first "*/", or to the end.
  std::size_t block_comment_end() const {
    std::size_t p = i_ + 2;
    while (p < n_ && !(s_[p] == '*' && at(p + 1) == '/')) p += unit(p);
    return p < n_ ? p + 2 : n_;
  }

  // A command: "\", "[" in the bracket form, blanks, the name, an argument
  // list, and in the bracket form everything up to and including "]". A
  // copied argument list ends at a line break, and then no bracket tail is
  // looked for.
  std::size_t command_end(bool copied) const {
    std::size_t p = i_ + 1;
    const bool bracket = at(p) == '[';
    if (bracket) ++p;
    while (p < n_ && (s_[p] == ' ' || s_[p] == '\t')) ++p;
    // Two-byte characters may only open the name.
    while (p < n_ && is_sjis_lead(s_[p])) p += unit(p);
    while (p < n_ && kNameByte[s_[p]]) ++p;
    if (p < n_ && s_[p] == '(') {
      int depth = 0;
      while (p < n_) {
        const unsigned char b = s_[p];
        if (copied && (b == kCr || b == kLf)) return p;
        if (b == '(') ++depth;
        if (b == ')') --depth;
        p += unit(p);
        if (depth == 0) break;
      }
    }
    if (bracket) {
      // Single bytes: this search does not step over two-byte characters.
      while (p < n_ && s_[p] != ']') ++p;
      if (p < n_) ++p;
    }
    return p;
  }

  // Rule E, for a run of ordinary characters up to the next byte where
  // another rule may apply.
  void ordinary_text() {
    const unsigned char* const s = s_;
    const std::size_t n = n_;
    const std::size_t start = i_;
    std::size_t i = i_;
    bool content = false;
    while (i < n) {
      const unsigned char kind = kByteKind[s[i]];
      if (kind == kText) {
        content = true;
        ++i;
      } else if (kind == kBlank) {
        ++i;
      } else if (kind == kLead) {
        if (i + 1 < n) {
          if (!(s[i] == 0x81 && s[i + 1] == 0x40)) content = true;  // "　" is blank
          i += 2;
        } else {
          content = true;  // a lead byte that ends the text stands alone
          ++i;
        }
      } else if (s[i] == '/' && !(i + 1 < n && (s[i + 1] == '/' || s[i + 1] == '*'))) {
        content = true;  // a "/" that opens no comment
        ++i;
      } else {
        break;
      }
    }
    i_ = i;
    if (keep_targets_) {
      // Ordinary text goes; only the line's flags remember it.
      had_removal_ = true;
      return;
    }
    copy(start, i);
    if (content) has_content_ = true;
  }

  const unsigned char* s_;
  const std::size_t n_;
  const StripOptions& options_;
  StripCounts& counts_;
  const bool keep_targets_;

  std::string out_;
  std::size_t i_ = 0;
  std::size_t o_ = 0;
  std::size_t line_start_ = 0;
  bool has_content_ = false;
  bool had_removal_ = false;
};

// Walks the line breaks of a text that start a character, in order: calls
// `at(q)` with the position of each CR or LF that is not the trail byte of
// a two-byte character; `at` returns false to stop the walk. The character
// boundaries are not followed byte by byte: a character always starts after
// a byte that cannot be a lead byte, so only the run of possible lead bytes
// just before a CR or LF decides, by its length, whether it is a trail byte.
template <class At>
void for_each_line_break(std::string_view text, At&& at) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  auto find = [end](const char* from, char c) {
    const void* hit = std::memchr(from, c, static_cast<std::size_t>(end - from));
    return hit ? static_cast<const char*>(hit) : end;
  };
  const char* boundary = begin;  // a character starts here
  const char* next_lf = find(begin, '\n');
  const char* next_cr = find(begin, '\r');
  for (;;) {
    const char* q = next_cr < next_lf ? next_cr : next_lf;
    if (q == end) return;
    const char* r = q;
    while (r > boundary && is_sjis_lead(static_cast<unsigned char>(r[-1]))) --r;
    std::size_t len = 1;
    if ((q - r) % 2 == 0) {
      if (*q == '\r' && q + 1 < end && q[1] == '\n') len = 2;
      if (!at(static_cast<std::size_t>(q - begin))) return;
    }
    boundary = q + len;
    if (next_lf < boundary) next_lf = find(boundary, '\n');
    if (next_cr < boundary) next_cr = find(boundary, '\r');
  }
}

}  // namespace

bool line_breaks_unified(std::string_view text) {
  if (text.empty()) return true;
  // The usual text answers quickly: each LF follows a CR that follows no
  // possible lead byte (so both start characters), and there is no other CR.
  const char* const s = text.data();
  const std::size_t n = text.size();
  std::size_t pairs = 0;
  bool plain = true;
  for (const void* hit = std::memchr(s, '\n', n); hit; ++pairs) {
    const std::size_t q = static_cast<std::size_t>(static_cast<const char*>(hit) - s);
    if (q == 0 || s[q - 1] != '\r' || (q >= 2 && is_sjis_lead(static_cast<unsigned char>(s[q - 2])))) {
      plain = false;
      break;
    }
    hit = std::memchr(s + q + 1, '\n', n - q - 1);
  }
  if (plain && static_cast<std::size_t>(std::count(s, s + n, '\r')) == pairs) return true;
  bool unified = true;
  for_each_line_break(text, [&](std::size_t q) {
    unified = text[q] == '\r' && q + 1 < text.size() && text[q + 1] == '\n';
    return unified;
  });
  return unified;
}

std::string unify_line_breaks(std::string_view text) {
  if (text.empty()) return {};
  std::string out;
  out.reserve(text.size() + text.size() / 16 + 16);
  std::size_t copied = 0;  // bytes before this one are written
  for_each_line_break(text, [&](std::size_t q) {
    out.append(text.substr(copied, q - copied));
    out += "\r\n";
    copied = q + ((text[q] == '\r' && q + 1 < text.size() && text[q + 1] == '\n') ? 2 : 1);
    return true;
  });
  out.append(text.substr(copied));
  return out;
}

std::string strip_text(std::string_view text, const StripOptions& options, StripCounts& counts) {
  return Pass(text, options, counts).run();
}

}  // namespace lumeno::stripper
