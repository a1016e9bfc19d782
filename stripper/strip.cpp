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
      if (content) {
        // Nothing more to learn from blanks: go straight to the next byte
        // where another rule may apply.
        i = find_char_of<kCr, kLf, '/', '\\'>(s, i, n);
        if (i == n || s[i] != '/' || (i + 1 < n && (s[i + 1] == '/' || s[i + 1] == '*'))) break;
        ++i;  // a "/" that opens no comment
        continue;
      }
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
// a two-byte character; `at` returns false to stop the walk.
template <class At>
void for_each_line_break(std::string_view text, At&& at) {
  const auto* const s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t from = 0;;) {  // a character starts at `from`
    const std::size_t q = find_char_of<kCr, kLf>(s, from, n);
    if (q == n) return;
    if (!at(q)) return;
    from = q + ((s[q] == kCr && q + 1 < n && s[q + 1] == kLf) ? 2 : 1);
  }
}

}  // namespace

bool line_breaks_unified(std::string_view text) {
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
