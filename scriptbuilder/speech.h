// A speech: the line of dialogue that carries a voice and, when the bracket
// its dialogue mark opens does not close on that line, the lines that follow
// up to the one that closes it. Scenario writers continue long speeches over
// several lines; an actor reads them as one, a recording holds them as one,
// and an edit in any of them changes what was recorded. The take book, the
// pick-up scripts, the scripts' frames and the scenario check all take a
// speech from here.
//
// Reading a speech's lines for its bracket, as the engine reads them:
//   - a backslash command is stepped over whole (brackets inside its
//     arguments do not count), within its line;
//   - "//" comments out the rest of its line (a closing bracket behind it,
//     as in a URL, does not close the speech: the engine never sees it);
//   - "/*" comments out up to the next "*/", over lines;
//   - the mark's bracket nests: every further opening bracket of its kind
//     needs its own closing one.
// A speech ends early, without its bracket closed, before a line that
//   - is blank (nothing, or spaces, TABs and full-width spaces only),
//   - is a command line (its first character that is not blank is a backslash),
//   - or is dialogue itself (it begins with a character's name and a mark),
// and at the end of the text. A mark whose last character opens no bracket
// makes a speech of its line alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "scriptbuilder/scanner.h"
#include "shell/dialogue_marks.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

// Where the backslash command at `at` (its backslash) ends, as the scripts
// take commands out: the backslash, an opening "[" (the bracket form),
// spaces and tabs, the command's name (double-byte characters, then ASCII
// letters, digits, "." and "_"), a parenthesised argument list with its
// nested parentheses, and in the bracket form blanks and everything up to
// the next "]" (searched byte by byte). An argument list or bracket that is
// never closed takes the rest of the text; the text's size then.
std::size_t backslash_command_end(std::string_view text, std::size_t at);

// The closing partner of a one-character opening bracket: 」 for 「, 』 for 『,
// ） for （, and the others of their kind (【〔［｛〈《＜ and the ASCII and
// half-width forms); empty for any other text.
std::string_view closing_bracket(std::string_view opening);

// The last character of a text (empty for an empty text).
std::string_view last_character(std::string_view text);

enum class SpeechEnd : std::uint8_t {
  closed,     // its bracket closed on its last line
  no_bracket, // the mark opens no bracket: the line alone
  blank,      // ended early: the next line is blank
  command,    // ... a command line
  dialogue,   // ... the next line of dialogue
  text_end,   // ... the text ends
};

struct Speech {
  std::uint32_t lines = 1;  // its lines, the first included
  std::size_t end = 0;      // the end of its last line (its line end, or the text's size)
  SpeechEnd how = SpeechEnd::no_bracket;
  // Ended without its bracket closed, while a "//" comment on one of its
  // lines held the closing bracket: the comment cut the speech.
  bool cut_by_comment = false;

  bool unclosed() const { return how != SpeechEnd::closed && how != SpeechEnd::no_bracket; }
};

// The speech whose dialogue mark `mark` ends at `mark_end` in `text` (on its
// first line). `is_dialogue(pos)` tells whether the line starting at `pos`
// is a line of dialogue (the run's matcher, or the check's wider view).
// Lines end at CR LF, a lone CR or a lone LF, double-byte characters
// stepped over whole. Linear in the speech's bytes.
template <class IsDialogue>
Speech find_speech(std::string_view text, std::size_t mark_end, std::string_view mark, IsDialogue&& is_dialogue);

// The first of `marks`, in their order, that `text` continues with at `at`;
// empty when none does.
std::string_view mark_at(std::string_view text, std::size_t at, const DialogueMarks& marks);

// The speech of the line of dialogue that begins at `begin` with `match`
// (the run's scan), its mark the first of `marks` after the name, the next
// line of dialogue one that `matcher` matches. Its text (speech_text) begins
// with the mark, at begin + match.name_length.
Speech find_dialogue_speech(std::string_view text, std::size_t begin, const DialogueMatch& match,
                            const DialogueMarks& marks, const DialogueMatcher& matcher);

// The text of a speech as an actor reads it, for the take book and the
// pick-up scripts: from `from` on its first line (the dialogue mark) to its
// end, its lines joined with LF; backslash commands and comments taken out,
// and blanks at the end of each line. CP932.
std::string speech_text(std::string_view text, std::size_t from, const Speech& speech);

namespace speech_detail {

// Walks what the engine reads of line [begin, end) of `text`: backslash
// commands stepped over (within the line), "/*" up to "*/" (over lines,
// `in_block_comment` carried from line to line), "//" to the line's end.
// Calls character(pos, length) for each character read, in order, until it
// answers true (then the walk answers true); comment(pos) for a "//" at pos.
template <class Character, class Comment>
bool walk_read_text(std::string_view text, std::size_t begin, std::size_t end, bool& in_block_comment, Character&& character,
                    Comment&& comment);

// What the bracket scan knows between lines.
struct BracketScan {
  std::string_view open;
  std::string_view close;
  int depth = 1;  // the mark opened one
  bool in_block_comment = false;
  bool cut_by_comment = false;
};
// Scans line [begin, end) of `text`; true when the bracket closed on it.
bool scan_line(std::string_view text, std::size_t begin, std::size_t end, BracketScan& scan);
// The end of the line starting at `pos` (its first CR or LF), and the start
// of the next one (`text.size()` when there is none).
std::size_t line_end(std::string_view text, std::size_t pos);
std::size_t next_line(std::string_view text, std::size_t end);
// Blank, or a command line (see above).
bool blank_line(std::string_view text, std::size_t begin, std::size_t end);
bool command_line(std::string_view text, std::size_t begin, std::size_t end);

template <class Character, class Comment>
bool walk_read_text(std::string_view text, std::size_t begin, std::size_t end, bool& in_block_comment, Character&& character,
                    Comment&& comment) {
  // The line alone, so that nothing (a command left open) runs past it.
  const std::string_view line = text.substr(0, end);
  std::size_t i = begin;
  while (i < end) {
    if (in_block_comment) {
      const std::size_t close = line.find("*/", i);
      if (close == std::string_view::npos) return false;
      in_block_comment = false;
      i = close + 2;
      continue;
    }
    const char c = line[i];
    if (c == '\\') {
      i = backslash_command_end(line, i);
      continue;
    }
    if (c == '/' && i + 1 < end && line[i + 1] == '/') {
      comment(i);
      return false;
    }
    if (c == '/' && i + 1 < end && line[i + 1] == '*') {
      in_block_comment = true;
      i += 2;
      continue;
    }
    const std::size_t length = sjis_char_length(line, i);
    if (character(i, length)) return true;
    i += length;
  }
  return false;
}

}  // namespace speech_detail

template <class IsDialogue>
Speech find_speech(std::string_view text, std::size_t mark_end, std::string_view mark, IsDialogue&& is_dialogue) {
  using namespace speech_detail;
  Speech speech;
  speech.end = line_end(text, mark_end);
  BracketScan scan{last_character(mark), closing_bracket(last_character(mark))};
  if (mark.empty() || scan.close.empty()) return speech;
  if (scan_line(text, mark_end, speech.end, scan)) {
    speech.how = SpeechEnd::closed;
    return speech;
  }
  for (;;) {
    const std::size_t begin = next_line(text, speech.end);
    if (begin >= text.size()) {
      speech.how = SpeechEnd::text_end;
      break;
    }
    const std::size_t end = line_end(text, begin);
    if (blank_line(text, begin, end)) {
      speech.how = SpeechEnd::blank;
      break;
    }
    if (command_line(text, begin, end)) {
      speech.how = SpeechEnd::command;
      break;
    }
    if (is_dialogue(begin)) {
      speech.how = SpeechEnd::dialogue;
      break;
    }
    ++speech.lines;
    speech.end = end;
    if (scan_line(text, begin, end, scan)) {
      speech.how = SpeechEnd::closed;
      return speech;
    }
  }
  speech.cut_by_comment = scan.cut_by_comment;
  return speech;
}

}  // namespace lumeno::scriptbuilder
