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

// The length of the name an unknown speaker's line begins with (see the
// header); 0 when the line is no such line.
std::size_t unknown_speaker_name(std::string_view line, const DialogueMarks& marks, const MarkStarts& starts) {
  if (line.empty() || is_blank_at(line, 0) || line[0] == '\\' || line.starts_with("//") || line.starts_with("/*")) return 0;
  std::size_t i = 0;
  int characters = 0;
  std::string_view mark;
  for (;;) {
    if (i >= line.size() || characters > kMaxUnknownName) return 0;
    if (starts[static_cast<unsigned char>(line[i])]) {
      mark = mark_at(line, i, marks);
      if (!mark.empty()) break;
    }
    const std::size_t length = sjis_char_length(line, i);
    if (breaks_name(line, i, length)) return 0;
    ++characters;
    i += length;
  }
  if (characters == 0) return 0;
  const std::string_view close = closing_bracket(last_character(mark));
  if (close.empty()) return i;
  bool closed_somewhere = false;
  std::string_view last;
  for_each_spoken_character(line, i + mark.size(), [&](std::size_t pos, std::size_t length) {
    last = line.substr(pos, length);
    closed_somewhere = closed_somewhere || last == close;
  });
  return last == close || !closed_somewhere ? i : 0;
}

// The first bracket fault of a line of dialogue from `from` (after the
// name): the message, or empty when the brackets balance.
std::string bracket_fault(std::string_view line, std::size_t from) {
  std::vector<const Pair*> open;
  std::string fault;
  for_each_spoken_character(line, from, [&](std::size_t pos, std::size_t length) {
    if (length != 2 || line[pos] != '\x81' || !fault.empty()) return;
    const auto c = static_cast<unsigned char>(line[pos + 1]);
    for (const Pair& pair : kBalanced) {
      if (c == pair.open) {
        open.push_back(&pair);
        return;
      }
      if (c != pair.close) continue;
      const std::string_view text = line.substr(pos, 2);
      if (open.empty()) {
        fault = "開いていない閉じ括弧: " + std::string(text);
      } else if (open.back()->close != c) {
        fault = "括弧の対応が違います: " + std::string(open.back()->open_text) + " … " + std::string(text);
      } else {
        open.pop_back();
      }
      return;
    }
  });
  if (fault.empty() && !open.empty()) fault = "閉じていない括弧: " + std::string(open.front()->open_text);
  return fault;
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
  bool in_block = false;
  std::size_t number = 1;
  for (std::size_t i = 0; i < n; ++number) {
    const std::size_t end = find_line_end(text, i);
    const std::string_view line = text.substr(i, end - i);
    const bool inside = in_block;
    in_block = block_comment_after(line, in_block);
    if (!line.empty()) {
      std::size_t name_end = 0;
      if (const std::optional<DialogueMatch> match = matcher.match(text, i)) {
        const auto c = static_cast<std::size_t>(match->character);
        if (!speaks[c]) out.speakers.push_back(static_cast<std::uint32_t>(c));
        speaks[c] = true;
        name_end = std::min(match->name_length, line.size());
      } else if (!inside && (name_end = unknown_speaker_name(line, marks, mark_starts)) > 0) {
        out.unknown.emplace_back(line.substr(0, name_end));
        append_finding(out.findings, relative_name, number, "定義にない話者: ", out.unknown.back());
      }
      if (name_end > 0 && !inside) {
        const std::string fault = bracket_fault(line, name_end);
        if (!fault.empty()) {
          append_finding(out.findings, relative_name, number, fault);
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
