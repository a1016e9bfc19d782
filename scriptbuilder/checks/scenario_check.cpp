#include "scriptbuilder/checks/scenario_check.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <new>
#include <unordered_map>

#include "scriptbuilder/check_run.h"
#include "scriptbuilder/file_workers.h"
#include "scriptbuilder/lists/dialogue_counts.h"
#include "scriptbuilder/lists/spoken_text.h"
#include "scriptbuilder/run_context.h"
#include "scriptbuilder/run_order.h"
#include "scriptbuilder/speech.h"
#include "shell/files.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

// The longest name, in characters, that an unknown speaker's may be.
constexpr int kMaxUnknownName = 10;

// The brackets whose balance is checked, by their second byte (all have
// the first byte 0x81): 「」, 『』, （）.
struct Pair {
  unsigned char open;
  unsigned char close;
  std::string_view open_text;
};
constexpr Pair kBalanced[] = {{0x75, 0x76, "「"}, {0x77, 0x78, "『"}, {0x69, 0x6A, "（"}};

// True for a character that no speaker's name holds: a blank, a backslash,
// "/", "、", "。", "，", "．", or a bracket (「」『』（）【】〔〕［］｛｝〈〉《》＜＞
// and the half-width corner brackets).
bool breaks_name(std::string_view s, std::size_t i, std::size_t length) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (length == 1) return c == ' ' || c == '\t' || c == '\\' || c == '/' || c == 0xA2 || c == 0xA3;
  if (c != 0x81) return false;
  const auto t = static_cast<unsigned char>(s[i + 1]);
  return (t >= 0x40 && t <= 0x44) || (t >= 0x69 && t <= 0x7A) || t == 0x83 || t == 0x84;
}

bool is_blank_at(std::string_view s, std::size_t i) {
  return s[i] == ' ' || s[i] == '\t' || (i + 1 < s.size() && s[i] == '\x81' && s[i + 1] == '\x40');
}

void append_number(std::string& out, std::size_t n) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
}

// "name(line): message\r\n".
void append_finding(std::string& out, std::string_view file, std::size_t line, std::string_view message,
                    std::string_view detail = {}) {
  append_parts(out, {file, "("});
  append_number(out, line);
  append_parts(out, {"): ", message, detail, "\r\n"});
}

// The block-comment state after a line: `open` on entry, then every "/*"
// and "*/" of the line in turn; "//" outside a block comment ends the look.
// No second byte of a double-byte character is a "/" or a "*", so the bytes
// are searched as they stand.
bool block_comment_after(std::string_view line, bool open) {
  for (std::size_t i = 0; i < line.size();) {
    if (open) {
      const std::size_t close = line.find("*/", i);
      if (close == std::string_view::npos) return true;
      open = false;
      i = close + 2;
      continue;
    }
    const std::size_t slash = line.find('/', i);
    if (slash == std::string_view::npos || slash + 1 >= line.size()) return false;
    if (line[slash + 1] == '/') return false;
    if (line[slash + 1] == '*') open = true;
    i = slash + (open ? 2 : 1);
  }
  return open;
}

// The first bytes of the dialogue marks.
using MarkStarts = std::array<bool, 256>;

// The name an unknown speaker's line begins with (see the header) and the
// mark after it; a name length of 0 when the line is no such line.
struct UnknownSpeaker {
  std::size_t name_length = 0;
  std::string_view mark;
};
UnknownSpeaker unknown_speaker(std::string_view line, const DialogueMarks& marks, const MarkStarts& starts) {
  if (line.empty() || is_blank_at(line, 0) || line[0] == '\\' || line.starts_with("//") || line.starts_with("/*")) return {};
  std::size_t i = 0;
  int characters = 0;
  std::string_view mark;
  for (;;) {
    if (i >= line.size() || characters > kMaxUnknownName) return {};
    if (starts[static_cast<unsigned char>(line[i])]) {
      mark = mark_at(line, i, marks);
      if (!mark.empty()) break;
    }
    const std::size_t length = sjis_char_length(line, i);
    if (breaks_name(line, i, length)) return {};
    ++characters;
    i += length;
  }
  if (characters == 0) return {};
  const std::string_view close = closing_bracket(last_character(mark));
  if (close.empty()) return {i, mark};
  bool closed_somewhere = false;
  std::string_view last;
  for_each_spoken_character(line, i + mark.size(), [&](std::size_t pos, std::size_t length) {
    last = line.substr(pos, length);
    closed_somewhere = closed_somewhere || last == close;
  });
  if (last == close || !closed_somewhere) return {i, mark};
  return {};
}

// The first bracket fault of a speech: what it is, the brackets concerned,
// and the index of the speech's line it stands on (an unclosed bracket's is
// the last line); an empty `what` when the brackets balance.
struct BracketFault {
  std::string_view what;
  std::string brackets;
  std::uint32_t line = 0;
  bool unclosed = false;       // a bracket never closed
  bool unclosed_mark = false;  // ... the one the mark opened
};

// Balances the brackets of a speech character by character, as its reading
// hands them over; a LF between two of its lines moves on to the next line.
class BracketBalance {
 public:
  // `bracket`: the one the speech's mark opens.
  explicit BracketBalance(std::string_view bracket) : bracket_(bracket) {}

  // The character at `pos` of `text`, `length` bytes; false once a fault
  // is found (the rest no longer counts).
  bool add(std::string_view text, std::size_t pos, std::size_t length) {
    // Every bracket balanced here begins with 0x81.
    if (length == 2 && text[pos] == '\x81') return add_bracket(text, pos);
    if (text[pos] == '\n') ++fault_.line;
    return fault_.what.empty();
  }

  // The first fault, once the speech's last character is in.
  BracketFault finish() {
    if (fault_.what.empty() && !open_.empty()) {
      fault_.what = "閉じていない括弧";
      fault_.brackets = open_.front()->open_text;
      fault_.unclosed = true;
      fault_.unclosed_mark = open_.front()->open_text == bracket_;
    }
    return std::move(fault_);
  }

 private:
  bool add_bracket(std::string_view text, std::size_t pos) {
    if (!fault_.what.empty()) return false;
    const auto c = static_cast<unsigned char>(text[pos + 1]);
    for (const Pair& pair : kBalanced) {
      if (c == pair.open) {
        open_.push_back(&pair);
        return true;
      }
      if (c != pair.close) continue;
      if (open_.empty()) {
        fault_.what = "開いていない閉じ括弧";
        fault_.brackets = text.substr(pos, 2);
        return false;
      }
      if (open_.back()->close != c) {
        fault_.what = "括弧の対応が違います";
        fault_.brackets = std::string(open_.back()->open_text) + " … " + std::string(text.substr(pos, 2));
        return false;
      }
      open_.pop_back();
      return true;
    }
    return true;
  }

  std::string_view bracket_;
  std::vector<const Pair*> open_;
  BracketFault fault_;
};

// Appends the bracket finding of the speech whose mark `mark` begins at
// `from` in `text`, on the file's line `number`; false when its brackets
// balance. `is_dialogue` is the check's view of a line of dialogue, which
// ends the speech early.
template <class IsDialogue>
bool check_speech(std::string_view text, std::size_t from, std::string_view mark, std::size_t number,
                  std::string_view relative_name, IsDialogue&& is_dialogue, std::string& findings) {
  const Speech speech = find_speech(text, from + mark.size(), mark, is_dialogue);
  BracketBalance balance(last_character(mark));
  if (speech.lines == 1) {
    // A speech of one line: spoken_text.h reads a line as speech_text
    // does (but for blanks, and no blank is a bracket), without the copy
    // that joins a speech's lines, which most speeches do not need.
    const std::string_view line = text.substr(0, speech.end);
    for_each_spoken_character(line, from, [&](std::size_t pos, std::size_t length) { balance.add(line, pos, length); });
  } else {
    const std::string spoken = speech_text(text, from, speech);
    for (std::size_t i = 0; i < spoken.size();) {
      const std::size_t length = sjis_char_length(spoken, i);
      if (!balance.add(spoken, i, length)) break;
      i += length;
    }
  }
  const BracketFault fault = balance.finish();
  if (fault.what.empty()) return false;
  // An unclosed bracket is named where the speech ends: the note says where
  // it began when that is another line, and when a "//" comment held the
  // closing bracket (the engine never reads it).
  std::string note;
  if (fault.unclosed && fault.line > 0) note = std::to_string(number) + " 行目からのセリフ";
  if (fault.unclosed_mark && speech.cut_by_comment) {
    if (!note.empty()) note += "。";
    note += "閉じ括弧が // 以降のコメントに入っています";
  }
  if (!note.empty()) note = "（" + note + "）";
  append_parts(findings, {relative_name, "("});
  append_number(findings, number + fault.line);
  append_parts(findings, {"): ", fault.what, note, ": ", fault.brackets, "\r\n"});
  return true;
}

// Why a voice prefix or display name can stand in no Windows file name;
// empty when it can.
std::string file_name_fault(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); i += sjis_char_length(text, i)) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (sjis_char_length(text, i) == 1 && (c < 0x20 || c == 0x7F || std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)) {
      if (c < 0x20 || c == 0x7F) return "制御文字を含みます";
      return std::string(1, static_cast<char>(c)) + " を含みます";
    }
  }
  // No second byte of a double-byte character is a dot or a space.
  if (!text.empty() && (text.back() == '.' || text.back() == ' ')) return text.back() == '.' ? "末尾がピリオドです" : "末尾が空白です";
  return {};
}

// The check of one file (on a worker thread: it reads only what it is given).
FileFindings check_file_lines(std::string_view text, std::string_view relative_name, const DialogueMatcher& matcher,
                        const DialogueMarks& marks, const MarkStarts& mark_starts, std::size_t characters) {
  FileFindings out;
  std::vector<bool> speaks(characters, false);
  const std::size_t n = text.size();
  // A line the check takes for dialogue, given whether a block comment that
  // an earlier line opened holds it: a definition's name and mark begin it,
  // or it is an unknown speaker's (never within a block comment).
  const auto dialogue_at = [&](std::size_t begin, bool inside) {
    return matcher.match(text, begin).has_value() ||
           (!inside && unknown_speaker(text.substr(begin, find_line_end(text, begin) - begin), marks, mark_starts).name_length > 0);
  };
  bool in_block = false;
  std::size_t number = 1;
  for (std::size_t i = 0; i < n; ++number) {
    const std::size_t end = find_line_end(text, i);
    const std::string_view line = text.substr(i, end - i);
    const bool inside = in_block;
    in_block = block_comment_after(line, in_block);
    if (!line.empty()) {
      std::size_t name_end = 0;
      std::string_view mark;
      if (const std::optional<DialogueMatch> match = matcher.match(text, i)) {
        const auto c = static_cast<std::size_t>(match->character);
        if (!speaks[c]) out.speakers.push_back(static_cast<std::uint32_t>(c));
        speaks[c] = true;
        name_end = std::min(match->name_length, line.size());
        mark = mark_at(line, name_end, marks);
      } else if (!inside) {
        const UnknownSpeaker unknown = unknown_speaker(line, marks, mark_starts);
        name_end = unknown.name_length;
        mark = unknown.mark;
        if (name_end > 0) {
          out.unknown.emplace_back(line.substr(0, name_end));
          append_finding(out.findings, relative_name, number, "定義にない話者: ", out.unknown.back());
        }
      }
      if (name_end > 0 && !inside) {
        // The speech runs on while no line the check takes for dialogue
        // comes: the block-comment state is followed over its lines, which
        // the speech hands over in order (each line once).
        std::size_t next = end >= n ? n : end + line_break_length(text, end);
        bool next_inside = in_block;
        const auto is_dialogue = [&](std::size_t begin) {
          while (next < begin) {
            const std::size_t next_end = find_line_end(text, next);
            next_inside = block_comment_after(text.substr(next, next_end - next), next_inside);
            next = next_end >= n ? n : next_end + line_break_length(text, next_end);
          }
          return dialogue_at(begin, next_inside);
        };
        if (check_speech(text, i + name_end, mark, number, relative_name, is_dialogue, out.findings)) {
          ++out.bracket_lines;
        }
      }
    }
    if (end >= n) break;
    i = end + line_break_length(text, end);
  }
  return out;
}

class ScenarioCheckRun final : public VocarCheckRun {
 public:
  int check(RunContext& ctx) override;

 private:
  std::string check_definitions() const;

  std::vector<bool> speaks_;
};

int ScenarioCheckRun::check(RunContext& ctx) {
  Host& host = ctx.host;
  host.progress_set_range(1024);
  if (!start(ctx)) return -1;
  const std::size_t characters_count = characters().characters.size();
  speaks_.assign(characters_count, false);
  MarkStarts mark_starts{};
  for (const std::string& mark : marks()) {
    if (!mark.empty()) mark_starts[static_cast<unsigned char>(mark[0])] = true;
  }
  host.progress_set_count_text("シナリオ を確認しています。");
  const std::size_t count = ctx.order.size();
  FileWorkers<FileFindings> files(ctx, [&](std::size_t k, const std::string& text) {
    return check_file_lines(text, ctx.files[ctx.order[k]].relative_name, matcher(), marks(), mark_starts, characters_count);
  });
  std::string findings;
  std::size_t unknown_lines = 0;
  std::size_t bracket_lines = 0;
  struct Unknown {
    std::size_t lines = 0;
    std::size_t first = 0;  // the order of its first line
  };
  std::unordered_map<std::string, Unknown> unknown;
  for (std::size_t k = 0; k < count; ++k) {
    std::optional<FileFindings> file = files.next();
    if (!file) return -1;
    findings += file->findings;
    for (std::string& name : file->unknown) {
      ++unknown_lines;
      Unknown& seen = unknown[std::move(name)];
      if (seen.lines++ == 0) seen.first = unknown_lines;
    }
    bracket_lines += file->bracket_lines;
    for (std::uint32_t c : file->speakers) speaks_[c] = true;
    host.progress_set_file_text(ctx.files[ctx.order[k]].relative_name);
    host.progress_set_position(static_cast<int>((k + 1) * 1024 / count));
  }

  std::string body;
  if (!findings.empty()) {
    append_parts(body, {"■シナリオ ("});
    append_number(body, unknown_lines + bracket_lines);
    append_parts(body, {")\r\n", findings});
  }
  if (!unknown.empty()) {
    std::vector<std::pair<std::string_view, Unknown>> names(unknown.begin(), unknown.end());
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) {
      return a.second.lines != b.second.lines ? a.second.lines > b.second.lines : a.second.first < b.second.first;
    });
    append_parts(body, {"■定義にない話者 ("});
    append_number(body, names.size());
    body += ")\r\n";
    for (const auto& [name, seen] : names) {
      append_parts(body, {name, ": "});
      append_number(body, seen.lines);
      body += " 行\r\n";
    }
  }
  const std::string definitions = check_definitions();
  std::size_t definition_count = 0;
  for (char c : definitions) definition_count += c == '\n' ? 1 : 0;
  if (!definitions.empty()) {
    append_parts(body, {"■キャラ定義 ("});
    append_number(body, definition_count);
    append_parts(body, {")\r\n", definitions});
  }
  const auto n = [](std::size_t v) { return std::to_string(v); };
  const std::string summary = "ファイル " + n(count) + " / 定義にない話者 " + n(unknown_lines) + " 行 / 括弧 " + n(bracket_lines) +
                              " 行 / キャラ定義 " + n(definition_count) + " 件";
  set_report(std::move(body), summary, unknown_lines + bracket_lines + definition_count > 0);
  return ctx.cancelled() ? -1 : 0;
}

std::string ScenarioCheckRun::check_definitions() const {
  std::string out;
  const std::vector<Character>& table = characters().characters;
  std::unordered_map<std::string, const Character*> prefixes;
  for (std::size_t c = 0; c < table.size(); ++c) {
    const Character& character = table[c];
    const std::string_view name = shown_name(character);
    if (!speaks_[c]) append_finding(out, kCharacterFile, static_cast<std::size_t>(character.line), "セリフのないキャラ: ", name);
    if (!character.voiced()) continue;
    const auto [it, fresh] = prefixes.try_emplace(fold_ascii(character.voice_prefix), &character);
    if (!fresh) {
      append_finding(out, kCharacterFile, static_cast<std::size_t>(character.line),
                     "ボイス接頭辞 " + character.voice_prefix + " は " + std::to_string(it->second->line) +
                         " 行目のキャラと同じです（ボイス名が重なります）");
    }
    for (const auto& [what, text] : {std::pair<std::string_view, std::string_view>{"ボイス接頭辞 ", character.voice_prefix},
                                     {"キャラ名 ", character.display_name}}) {
      const std::string fault = file_name_fault(text);
      if (!fault.empty()) {
        append_finding(out, kCharacterFile, static_cast<std::size_t>(character.line),
                       std::string(what) + std::string(text) + " は Windows のファイル名に使えません（" + fault + "）");
      }
    }
  }
  return out;
}

}  // namespace

FileFindings check_scenario_file(std::string_view text, std::string_view relative_name, const DialogueMatcher& matcher,
                                 const DialogueMarks& marks, std::size_t characters) {
  MarkStarts mark_starts{};
  for (const std::string& mark : marks) {
    if (!mark.empty()) mark_starts[static_cast<unsigned char>(mark[0])] = true;
  }
  return check_file_lines(text, relative_name, matcher, marks, mark_starts, characters);
}

std::unique_ptr<ReportRun> make_scenario_check() { return std::make_unique<ScenarioCheckRun>(); }

}  // namespace lumeno::scriptbuilder
