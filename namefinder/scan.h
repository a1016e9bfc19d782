// The name candidate scan: on every line, the text in front of the first
// dialogue mark, when it may be a speaker's name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "shell/dialogue_marks.h"

namespace lumeno::namefinder {

struct ScanOptions {
  DialogueMarks marks;
  // A line must begin with this text to yield a candidate (empty: any line).
  std::string name_start_mark;
  // The longest name in characters (a one-byte character counts half): up
  // to 2 x max_name_length + 1 bytes may stand in front of the mark.
  std::int32_t max_name_length = 16;
};

// Walks the text once, line by line (CR, LF and CR LF all end a line), and
// calls `found` with every accepted candidate in text order: the bytes from
// the line's start up to its first dialogue mark, nothing trimmed. Only the
// first mark of a line counts: when the text in front of it is too long or
// does not begin with the name start mark, the line yields nothing. After a
// mark the scan moves on by the mark's own length. Marks are found at
// character boundaries only.
void scan_candidates(std::string_view text, const ScanOptions& options, const std::function<void(std::string_view)>& found);

// The same scan over a text that comes in pieces (the run's files, joined
// with nothing between them): `found` is called exactly as scan_candidates
// would call it for the joined text. Holds back only the unfinished line.
class CandidateScanner {
 public:
  CandidateScanner(ScanOptions options, std::function<void(std::string_view)> found);

  // The next piece of the text.
  void feed(std::string_view piece);
  // The end of the text; the scanner is then ready for a new text.
  void finish();

 private:
  // Scans `text` from the saved position. Without `last`, stops where a
  // decision needs bytes beyond the text. Returns the offset from which the
  // bytes are still needed.
  std::size_t run(std::string_view text, bool last);
  std::size_t match_mark(std::string_view text, std::size_t i) const;

  ScanOptions options_;
  std::function<void(std::string_view)> found_;
  unsigned char byte_class_[256] = {};
  std::int64_t limit_ = 0;      // bytes allowed in front of a mark, beyond the first
  std::size_t lookahead_ = 2;   // bytes a decision at a mark may read
  std::string held_;            // bytes of earlier pieces still needed
  std::size_t line_start_ = 0;  // offsets into held_ (or the piece)
  std::size_t pos_ = 0;
  bool settled_ = false;        // the line's first mark is past: skip to its end
};

// The content tests of a candidate: the text from `line_start` up to the mark
// at `mark_pos`. False when it is empty, begins with "//", "#" or an
// ideographic space, or when a "、" or "。" stands anywhere from the line's
// start up to and including the mark's first character.
bool accept_candidate(std::string_view text, std::size_t line_start, std::size_t mark_pos);

}  // namespace lumeno::namefinder
