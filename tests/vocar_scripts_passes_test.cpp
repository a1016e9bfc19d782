#include <gtest/gtest.h>

#include <random>

#include "scriptbuilder/scripts/voice_scripts.h"
#include "scriptbuilder/text/voice_text.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {
namespace {

// エリ and ユウ have voices, 先生 has none.
struct Scripts {
  ScriptSource& prepare(std::string_view text, bool strip = true) {
    file.source = text;
    prepare_script_source(file, strip, matcher);
    return file;
  }
  // The rows of a script as written, before blank rows go and pages are laid out.
  std::string rows(std::string_view text, int character, bool dialogue_only = false) {
    std::string out;
    ScriptBody body(out, {}, ScriptBody::Stages::rows_only);
    write_script_rows(prepare(text), character, dialogue_only, voices, body);
    return out;
  }
  std::string body(std::string_view text, int character, PageOptions pages = {}) {
    std::string out;
    ScriptBody body(out, pages);
    write_script_rows(prepare(text), character, false, voices, body);
    return out;
  }
  BuilderSettings settings{.second_string = "A1_", .start_number = "0001"};
  CharacterTable table{{{"ERI", "エリ", {"エリ"}}, {"YUU", "ユウ", {"ユウ"}}, {"", "", {"先生"}}}};
  DialogueMatcher matcher{table, {"「", "『", "（"}};
  VoiceNumbering voices{table, settings};
  ScriptSource file;
};

TEST(VocarScriptPasses, NormaliseLineEndsTabsAndCommands) {
  Scripts s;
  EXPECT_EQ(s.prepare("a\rb\nc\r\n\td").text, "a\r\nb\r\nc\r\n    d");
  EXPECT_EQ(s.prepare("x\\wait(100)y\\se(a(b)「c」)z").text, "xyz");  // nested parentheses
  EXPECT_EQ(s.prepare("\\[chara eri show]x\\[ bg](1)y").text, "x(1)y");  // bracket form: up to the next "]"
  EXPECT_EQ(s.prepare("\\表示(1)x\\x表示").text, "x表示");  // a double-byte name only at its start
  EXPECT_EQ(s.prepare("ソ\\n").text, "ソ");  // ソ ends in the byte of "\": not a command
  EXPECT_EQ(s.prepare("a\\bg(1\r\nb\r\n").text, "a");  // never closed: the rest of the file goes
  EXPECT_EQ(s.prepare("a\\[x\r\nb").text, "a");
  EXPECT_EQ(s.prepare("\\wait(1)\t\\[x]", false).text, "\\wait(1)    \\[x]");
}

TEST(VocarScriptPasses, RowsOwnOtherAndDirections) {
  Scripts s;
  // Own lines stand between empty rows; another character's line comes after
  // an empty row, a direction after it does not; a row that only held a
  // command is empty; the last line keeps its missing line end.
  EXPECT_EQ(s.rows("エリ「a」\r\nエリ「b」\r\nユウ（c）\r\n（d）\r\n\\bg(1)\r\n\r\n先生『e』", 0),
            "\r\nERI_A1_0001\tエリ\t「a」\r\n\r\n\r\nERI_A1_0002\tエリ\t「b」\r\n\r\n\r\n\tユウ\t（c）\r\n"
            "\t \t（d）\r\n\r\n\r\n\r\n\t先生\t『e』");
  // A line whose source begins with a command is a direction; a line inside
  // a command's argument list keeps its number, as in the other outputs.
  EXPECT_EQ(s.rows("\\cmd(a,\r\nエリ「x」)\r\nエリ「y」\r\n\\wait(9)エリ「z」", 0),
            "\r\n\r\nERI_A1_0004\tエリ\t「y」\r\n\r\n\t \tエリ「z」");
  EXPECT_EQ(s.voices.counter(0), 5);
}

TEST(VocarScriptPasses, RowsWrapAt52OwnAnd68OtherBytes) {
  Scripts s;
  const std::string x48(48, 'x');
  // 52 bytes of own text: the wrap comes after the byte that reaches the
  // width, so an empty continuation row precedes the line end.
  EXPECT_EQ(s.rows("エリ「" + x48 + "」\r\n", 0), "\r\nERI_A1_0001\tエリ\t「" + x48 + "」\r\n\t\t\r\n\r\n");
  // A double-byte character from byte 52 on makes that row 53 bytes wide.
  EXPECT_EQ(s.rows("エリ「" + x48 + "xあy", 0), "\r\nERI_A1_0002\tエリ\t「" + x48 + "xあ\r\n\t\ty");
  // Another character's line and a direction wrap at 68 (the name cells do not count).
  const std::string x66(66, 'x');
  EXPECT_EQ(s.rows("ユウ「" + x66 + "\r\n" + x66 + "abcd", 0),
            "\r\n\tユウ\t「" + x66 + "\r\n\t\t\r\n\t \t" + x66 + "ab\r\n\t\tcd");
}

TEST(VocarScriptPasses, AllCharactersAndDialogueOnly) {
  Scripts s;
  const std::string text = "エリ「a」\r\n（d）\r\n先生「t」\r\nユウ「b」\r\n\r\nエリ「c」";
  EXPECT_EQ(s.rows(text, kAllCharacters),
            "\r\nERI_A1_0001\tエリ\t「a」\r\n\r\n\t \t（d）\r\n\r\n\t先生\t「t」\r\n\r\nYUU_A1_0001\tユウ\t「b」\r\n\r\n"
            "\r\n\r\nERI_A1_0002\tエリ\t「c」");
  // Only the numbered lines, one empty row between them once blank rows are cut.
  std::string out;
  ScriptBody body(out, {});
  EXPECT_EQ(write_script_rows(s.prepare(text), kAllCharacters, true, s.voices, body), 3u);
  EXPECT_EQ(out, "\r\nERI_A1_0003\tエリ\t「a」\r\n\r\nYUU_A1_0002\tユウ\t「b」\r\n\r\nERI_A1_0004\tエリ\t「c」");

  out.clear();
  append_script_header(out, "ERI", "エリ", 1);
  append_script_header(out, kAllCharactersHeading, kAllCharactersHeading, 0);
  EXPECT_EQ(out, "ERI\r\nエリ\r\n1\r\n全キャラ\r\n全キャラ\r\n0\r\n");
  EXPECT_EQ(script_file_name("ERI", "エリ", "scn\\sub\\b.TXT", ".zd"), "声優用台本\\[ERI]エリ\\scn\\sub\\b.zd");
  EXPECT_EQ(script_file_name(kAllCharactersFolder, "", "top.txt", ".xls"), "声優用台本\\[全キャラ一括台本]\\top.xls");
}

TEST(VocarScriptPasses, SpeechRowsAreTheRowsOfASpeechsFurtherLines) {
  Scripts s;
  const DialogueMarks marks{"「", "『", "（"};
  auto speech_rows = [&](std::string_view text, bool strip = true) {
    s.prepare(text, strip);
    count_speech_rows(s.file, marks, s.matcher);
    std::vector<std::uint32_t> out;
    for (const ScriptRow& row : s.file.rows) out.push_back(row.speech_rows);
    return out;
  };
  using Rows = std::vector<std::uint32_t>;
  // Closed on its third line; ended early by a blank line, a command line, the
  // next dialogue, the end of the text; closed on its own line.
  EXPECT_EQ(speech_rows("エリ「a\r\nb\r\nc」\r\nd\r\n"), (Rows{2, 0, 0, 0}));
  EXPECT_EQ(speech_rows("エリ「a\r\nb\r\n\r\nc」"), (Rows{1, 0, 0, 0}));
  EXPECT_EQ(speech_rows("エリ「a\r\nb\r\n　\\wait(1)\r\nc」", false), (Rows{1, 0, 0, 0}));
  EXPECT_EQ(speech_rows("エリ（a\nb\rユウ「c\r\n」d」"), (Rows{1, 0, 1, 0}));
  EXPECT_EQ(speech_rows("先生『a\r\nb"), (Rows{1, 0}));  // a character without voice has speeches too
  EXPECT_EQ(speech_rows("エリ「a」\r\nb」"), (Rows{0, 0}));
  // A comment's bracket does not close it; the comment's line is one of its lines.
  EXPECT_EQ(speech_rows("エリ「a // 」\r\n// x\r\nb」\r\nc"), (Rows{2, 0, 0, 0}));
  // A command that runs over a line break swallows it: the rest of that line
  // joins the voice row, no row is counted for it.
  EXPECT_EQ(speech_rows("エリ「a\\w(\r\n1)b\r\nc」\r\nd"), (Rows{1, 0, 0}));
  EXPECT_EQ(s.file.text, "エリ「ab\r\nc」\r\nd");
  EXPECT_EQ(speech_rows("エリ「a\\w(\r\n1)b\r\nc」\r\nd", false), (Rows{2, 0, 0, 0}));

  // The scripts hand the counts over for their own lines, in order; where
  // only the numbered lines are written, none.
  const std::string text = "エリ「a\r\nb」\r\nユウ「c\r\nd\r\ne」\r\nエリ「f」\r\nエリ「g\r\n\r\n";
  std::vector<std::uint32_t> lines;
  std::string out;
  ScriptBody body(out, {});
  speech_rows(text);
  write_script_rows(s.file, 0, false, s.voices, body, &lines);
  EXPECT_EQ(lines, (Rows{1, 0, 0}));
  lines.clear();
  write_script_rows(s.file, kAllCharacters, false, s.voices, body, &lines);
  EXPECT_EQ(lines, (Rows{1, 2, 0, 0}));
  lines.clear();
  write_script_rows(s.file, kAllCharacters, true, s.voices, body, &lines);
  EXPECT_EQ(lines, (Rows{0, 0, 0, 0}));
}

std::string repeat(std::string_view s, int n) {
  std::string out;
  for (int k = 0; k < n; ++k) out += s;
  return out;
}

TEST(VocarScriptPasses, BlankRowsAtMostOneInARow) {
  const PageOptions off{false, false, false};
  EXPECT_EQ(lay_out_script_rows("a\r\n\r\n\r\n\r\nb\n\r\r\nc", off), "a\r\n\r\nb\n\rc");
  EXPECT_EQ(lay_out_script_rows("\r\n\r\n\r\nx\r\n", off), "\r\n\r\nx\r\n");
}

TEST(VocarScriptPasses, PagesMoveBlocksThatWouldCrossABreak) {
  const std::string direction = "\t \tx\r\n";
  // A three-row own block on row 43 of page 1 goes to row 2 of page 2.
  const std::string own3 = "V\tN\ta\r\n\t\tb\r\n\t\tc\r\n\r\n";
  EXPECT_EQ(lay_out_script_rows(repeat(direction, 41) + "\r\n" + own3, {}),
            repeat(direction, 41) + "\r\n" + "\r\n\r\n\r\n" + own3);
  EXPECT_EQ(lay_out_script_rows(repeat(direction, 41) + "\r\n" + own3, {false, true, true}),
            repeat(direction, 41) + "\r\n" + own3);
  // A direction block from row 40 goes to row 1 of page 2.
  const std::string rows = repeat(direction, 38) + "\r\n" + repeat(direction, 10);
  EXPECT_EQ(lay_out_script_rows(rows, {}), repeat(direction, 38) + "\r\n" + repeat("\r\n", 5) + repeat(direction, 10));
  EXPECT_EQ(lay_out_script_rows(rows, {true, false, true}), rows);
  // Own dialogue never begins on row 1.
  EXPECT_EQ(lay_out_script_rows(repeat(direction, 43) + "\r\nV\tN\ta\r\n", {}),
            repeat(direction, 43) + "\r\n\r\nV\tN\ta\r\n");
  // The first row is a block start only after an empty first row.
  const std::string own43 = "V\tN\ta\r\n" + repeat("\t\tb\r\n", 42);
  EXPECT_EQ(lay_out_script_rows("\r\n" + own43, {}), "\r\n" + own43);
  EXPECT_EQ(lay_out_script_rows("\r\n\r\n" + own43, {}), "\r\n\r\n" + repeat("\r\n", 43) + own43);
  // Too long for any page: moved to row 2 of page 2, then left there.
  const std::string own45 = own43 + "\t\tb\r\n\t\tb\r\n";
  EXPECT_EQ(lay_out_script_rows("\r\n\r\n" + own45 + "\r\n" + own3, {}),
            "\r\n\r\n" + repeat("\r\n", 43) + own45 + "\r\n" + own3);
}

// Blank rows then pages, step by step: every block is moved one empty row
// at a time from its start, as long as it does not fit.
std::string literal_layout(std::string_view rows, PageOptions options) {
  std::string in;
  int run = 0;
  for (std::size_t i = 0; i < rows.size();) {
    const bool end = rows[i] == '\r' || rows[i] == '\n';
    const std::size_t len = !end ? sjis_char_length(rows, i) : (rows.compare(i, 2, "\r\n") == 0 ? 2 : 1);
    run = end ? run + 1 : 0;
    if (run <= 2) in.append(rows.substr(i, len));
    i += len;
  }
  enum Kind { own, other, direction };
  struct Saved {
    int row, page;
    std::size_t in, out;
    Kind kind;
  } saved{};
  std::string out;
  int page = 1, row = 1, ends = 0;
  bool kept = false, restart = false;
  auto next_row = [&] {
    if (++row > (page == 1 ? 44 : 45)) ++page, row = 1;
  };
  auto at = [&](std::size_t k) { return k < in.size() ? in[k] : '\0'; };
  for (std::size_t i = 0; i < in.size();) {
    if (in[i] == '\r' || in[i] == '\n') {
      const std::size_t len = in.compare(i, 2, "\r\n") == 0 ? 2 : 1;
      out.append(in.substr(i, len));
      i += len;
      ++ends;
      next_row();
      continue;
    }
    if (ends >= 2 || restart) {
      auto keep = [&](Kind kind) { kept = true, saved = {row, page, i, out.size(), kind}; };
      if (at(i) == '\t' && at(i + 1) == ' ') {
        if (at(i + 2) == '\t' && options.keep_direction) keep(direction); else kept = false;
      } else if (at(i) == '\t') {
        if (options.keep_other_dialogue) keep(other);
      } else if (options.keep_dialogue) {
        keep(own);
      }
    }
    ends = 0;
    restart = false;
    const int last = page == 1 ? 44 : 45;
    if (kept && (row < saved.row || (saved.kind == own && (row == 1 || (row == last && saved.row > 1))))) {
      kept = false;
      if (saved.kind != own || saved.row != 2) {  // from row 2 it would come back without end
        out.resize(saved.out);
        page = saved.page, row = saved.row;
        out += "\r\n";
        next_row();
        i = saved.in;
        restart = true;
        continue;
      }
    }
    const std::size_t len = sjis_char_length(in, i);
    out.append(in.substr(i, len));
    i += len;
  }
  return out;
}

TEST(VocarScriptPasses, LayoutAgreesWithTheStepByStepProcedure) {
  std::mt19937 gen(6);
  auto pick = [&](int hi) { return std::uniform_int_distribution<int>(0, hi)(gen); };
  const char* starts[] = {"V1\tエリ\t", "\tユウ\t", "\t \t", "\t x", "\t\t", "あ"};
  const char* ends[] = {"\r\n", "\r\n", "\r\n", "\n", "\r"};
  for (int round = 0; round < 3000; ++round) {
    std::string rows;
    for (int block = pick(12); block > 0; --block) {
      rows += repeat("\r\n", pick(3));
      rows += starts[pick(5)];
      for (int k = pick(3) == 0 ? pick(60) : pick(4); k >= 0; --k) rows += std::string("\t\tx") + ends[pick(4)];
    }
    const PageOptions options{pick(3) != 0, pick(3) != 0, pick(3) != 0};
    ASSERT_EQ(lay_out_script_rows(rows, options), literal_layout(rows, options)) << "round " << round;
  }
}

TEST(VocarScriptPasses, ScriptsOfRandomScenarios) {
  std::mt19937 gen(7);
  auto pick = [&](std::size_t hi) { return std::uniform_int_distribution<std::size_t>(0, hi)(gen); };
  const std::vector<std::string> heads = {"エリ「", "ユウ（", "先生『", "エリ", "　", "\\wait(1)エリ「", "\\bg(", "\\[x", ""};
  const std::vector<std::string> units = {"あ", "xyz", "\t", "ソ", "\\se(a(b)c)", ")", "]", "\\[c d]", std::string(70, 'w')};
  const std::vector<std::string> ends = {"\r\n", "\r\n", "\n", "\r", "\r\n\r\n"};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (std::size_t line = pick(200); line > 0; --line) {
      text += heads[pick(heads.size() - 1)];
      for (std::size_t k = pick(5); k > 0; --k) text += units[pick(units.size() - 1)];
      text += ends[pick(ends.size() - 1)];
    }
    Scripts s;
    const PageOptions pages{pick(3) != 0, pick(3) != 0, pick(3) != 0};
    const bool strip = pick(3) != 0;
    for (int c : {0, 1, kAllCharacters}) {
      VoiceNumbering before = s.voices;
      std::string rows;
      ScriptBody raw(rows, pages, ScriptBody::Stages::rows_only);
      write_script_rows(s.prepare(text, strip), c, false, before, raw);
      std::string body;
      ScriptBody laid(body, pages);
      write_script_rows(s.file, c, false, s.voices, laid);
      ASSERT_EQ(body, literal_layout(rows, pages)) << "round " << round << " character " << c;
    }
    // One line, one number: the scripts used the numbers the voice-embedded text gives.
    VoiceNumbering embedded(s.table, s.settings);
    std::string unused;
    embed_voice_commands(text, s.matcher, embedded, {}, unused);
    embed_voice_commands(text, s.matcher, embedded, {}, unused);
    ASSERT_EQ(s.voices.counters(), embedded.counters()) << "round " << round;
  }
}

TEST(VocarScriptPasses, LongScenarioKeepsOwnDialogueOffPageEdges) {
  Scripts s;
  const std::string lines[] = {"エリ「あ」", "ユウ「い」", "（う）", "エリ「" + std::string(120, 'e') + "」", "（う）"};
  std::string text;
  for (int k = 0; k < 400; ++k) text += lines[k % 5] + "\r\n";
  std::vector<std::string> rows;
  const std::string body = s.body(text, 0);
  for (std::size_t at = 0, end; (end = body.find("\r\n", at)) != std::string::npos; at = end + 2) {
    rows.push_back(body.substr(at, end - at));
  }
  int page = 1, row = 1, own_blocks = 0;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    if (rows[k].starts_with("ERI_")) {
      ++own_blocks;
      std::size_t size = 1;
      while (k + size < rows.size() && rows[k + size].starts_with("\t\t")) ++size;
      EXPECT_GT(row, 1) << "page " << page;
      EXPECT_LT(row + static_cast<int>(size) - 1, page == 1 ? 44 : 45) << "page " << page;
    }
    if (++row > (page == 1 ? 44 : 45)) ++page, row = 1;
  }
  EXPECT_EQ(own_blocks, 160);
  EXPECT_GT(page, 10);
}

}  // namespace
}  // namespace lumeno::scriptbuilder
