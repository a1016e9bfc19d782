// The counts for the budget: what a line says aloud, and the table Vocar
// writes with its staff lists (ボイス集計.csv / .xlsx), against its CVO lists.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <regex>

#include "scriptbuilder/lists/dialogue_counts.h"
#include "scriptbuilder/lists/spoken_text.h"
#include "tests/support.h"

namespace lumeno::scriptbuilder {
namespace {

using namespace lumeno::testing;

std::size_t spoken(std::string_view line, std::string_view mark = "「") {
  const std::size_t name_end = line.find(mark);
  return spoken_characters(line, name_end + mark.size(), mark);
}

TEST(SpokenText, CountsCharactersLeavingOutCommandsCommentsBlanksAndTheEnclosingBracket) {
  EXPECT_EQ(spoken("エリ「おはよう」"), 4u);
  // Half-width characters count one each, like full-width ones.
  EXPECT_EQ(spoken("エリ「ABCｱｲ」"), 5u);
  // Blanks of every kind, and a command with its arguments, say nothing.
  EXPECT_EQ(spoken("エリ「や　あ \t\\wait(10)ね」"), 3u);
  EXPECT_EQ(spoken("エリ「\\[chara eri show]あ」"), 1u);
  // A comment to the line's end; a block comment within the line.
  EXPECT_EQ(spoken("エリ「あい」// メモ"), 2u);
  EXPECT_EQ(spoken("エリ「あ/* 注 */い」"), 2u);
  EXPECT_EQ(spoken("エリ「あ/* 閉じない"), 1u);
  // Brackets inside the line are said as written; only the one that
  // closes the mark at the end is left out, and only the mark's partner.
  EXPECT_EQ(spoken("エリ「静かに（小声）」"), 7u);
  EXPECT_EQ(spoken("エリ「閉じない"), 4u);
  EXPECT_EQ(spoken("エリ「あ」と言った"), 6u);
  EXPECT_EQ(spoken("エリ『あ』", "『"), 1u);
  EXPECT_EQ(spoken("エリ（心の声）", "（"), 3u);
  EXPECT_EQ(spoken("エリ「あ』"), 2u);
  EXPECT_EQ(spoken("エリ「」"), 0u);
  // A mark of several characters is closed by its last one's partner; a
  // mark without a partner closes nothing.
  EXPECT_EQ(spoken("エリ：「あ」", "：「"), 1u);
  EXPECT_EQ(spoken("エリ：あ。", "："), 2u);
  // A second byte that reads as a backslash or a slash is half of its
  // character ("ソ" is 83 5C, "表" is 95 5C).
  EXPECT_EQ(spoken("エリ「ソ表/」"), 3u);
}

// The characters spoken as the scenario check reads them, one at a time:
// what the scan's own loop must agree with.
std::size_t spoken_one_by_one(std::string_view line, std::size_t from, std::string_view close) {
  std::size_t count = 0;
  std::string_view last;
  for_each_spoken_character(line, from, [&](std::size_t pos, std::size_t length) {
    ++count;
    last = line.substr(pos, length);
  });
  return count > 0 && !close.empty() && last == close ? count - 1 : count;
}

TEST(SpokenText, TheScanAgreesWithTheReadingOneCharacterAtATime) {
  // Runs of double-byte characters broken by everything that ends one: the
  // full-width space (81 40) and its neighbours (81 41 、), blanks, commands
  // and comments, second bytes that read as a backslash or a slash ("ソ",
  // "表"), single-byte and half-width characters, brackets, the bytes at
  // both ends of the lead bytes' ranges and just outside them, and a lead
  // byte that ends the line.
  const std::vector<std::string> pieces = {"あいう", "漢字", "　", "、", "。", " ", "\t", "\\wait(10)", "\\[chara a]",
                                           "\\", "//", "/*", "*/", "/", "A", "ｱ", "ソ", "表", "」", "「", "\xA3",
                                           "\x81", "\x82", "\x81\x40\x81\x40", "\x80", "\x9F\x40", "\xA0",
                                           "\xDF", "\xE0\x40", "\xFC\xFC", "\xFD", "\xFF"};
  const std::string_view closes[] = {"」", "\xA3", ""};
  std::mt19937 random(24);
  for (int k = 0; k < 20000; ++k) {
    std::string line;
    for (std::size_t parts = random() % 12; parts > 0; --parts) line += pieces[random() % pieces.size()];
    // From every character boundary, as after names and marks of any length.
    for (std::size_t from = 0; from <= line.size(); from += sjis_char_length(line, from)) {
      for (std::string_view close : closes) {
        ASSERT_EQ(spoken_characters_closed_by(line, from, close), spoken_one_by_one(line, from, close))
            << utf8(line) << " from " << from << " closed by " << utf8(close);
      }
      if (from == line.size()) break;
    }
  }
}

TEST(SpokenText, FindsTheMarkThatFollowsTheName) {
  const DialogueMarks marks = {"『", "「", "「「"};
  EXPECT_EQ(mark_at("エリ「「あ」", 4, marks), "「");
  EXPECT_EQ(mark_at("エリ『あ』", 4, marks), "『");
  EXPECT_EQ(mark_at("エリあ", 4, marks), "");
  EXPECT_EQ(mark_at("エリ", 4, marks), "");
  EXPECT_EQ(closing_bracket("【"), "】");
  EXPECT_EQ(closing_bracket("\xA2"), "\xA3");
  EXPECT_EQ(closing_bracket("あ"), "");
}

TEST(DialogueCounts, TheCsvQuotesWhatNeedsItAndStartsWithAByteOrderMark) {
  const Cp932Decoder decoder;
  const std::vector<CountsRow> rows = {{"ERI", "エリ", {}, {3, 0, 11}}, {"A,B", "say \"hi\"", "scn\\a b.txt", {1, 2, 3}}};
  EXPECT_EQ(counts_csv(rows, decoder), u8(u8"\uFEFFボイス接頭辞,キャラ名,ファイル,ボイスあり行数,ボイスなし行数,文字数\r\n"
                                          u8"ERI,エリ,,3,0,11\r\n"
                                          u8"\"A,B\",\"say \"\"hi\"\"\",scn\\a b.txt,1,2,3\r\n"));
}

// A run's counts: a name two characters share (エリ is also YUU's), a
// character without voice, and one who never speaks.
class VocarCountsRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(home() / u8path(u8"キャラ定義.txt"), "ERI,エリ\r\nYUU,ユウ,エリ\r\n,先生\r\nNOB,ノブ\r\n");
    write_file(scn() / "a.txt",
               "エリ「おはよう」\r\nユウ「やあ　\\wait(10)ね」// メモ\r\n先生「静かに（小声）」\r\n//エリ「コメント」\r\n");
    write_file(scn() / u8path(u8"第2話") / "b.txt", "エリ『ABC』\nエリ「閉じない\n");
  }
  fs::path home() const { return tmp / "home"; }
  fs::path scn() const { return tmp / "scn"; }
  fs::path lists() const { return home() / u8path(u8"スタッフ用リスト"); }
  std::string csv() const { return read_file(lists() / u8path(u8"ボイス集計.csv")); }

  TempDir tmp;
};

const std::u8string kHeader = u8"\uFEFFボイス接頭辞,キャラ名,ファイル,ボイスあり行数,ボイスなし行数,文字数\r\n";

TEST_F(VocarCountsRunTest, EveryCharacterThenEveryCharacterAndFile) {
  const CliResult r = vocar_run(home(), tmp.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(csv(), u8(kHeader + u8"ERI,エリ,,3,0,11\r\n"
                                u8"YUU,ユウ,,4,0,14\r\n"
                                u8",先生,,0,1,7\r\n"
                                u8"NOB,ノブ,,0,0,0\r\n"
                                u8"ERI,エリ,scn\\a.txt,1,0,4\r\n"
                                u8"ERI,エリ,scn\\第2話\\b.txt,2,0,7\r\n"
                                u8"YUU,ユウ,scn\\a.txt,2,0,7\r\n"
                                u8"YUU,ユウ,scn\\第2話\\b.txt,2,0,7\r\n"
                                u8",先生,scn\\a.txt,0,1,7\r\n"));
  // The voiced lines are those of the voice count lists, file by file.
  const std::regex line(R"( {4}\[ *(\d+)\] (.+)\r)");
  for (const auto& [prefix, want] : std::map<std::string, std::vector<std::string>>{
           {"ERI", {"1 scn\\a.txt", "2 scn\\第2話\\b.txt"}}, {"YUU", {"2 scn\\a.txt", "2 scn\\第2話\\b.txt"}}}) {
    const std::string list = read_file(lists() / u8path(u8"キャラ別ボイス数リスト") / ("CVO_List_" + prefix + ".txt"));
    std::vector<std::string> got;
    for (std::sregex_iterator it(list.begin(), list.end(), line), end; it != end; ++it) got.push_back((*it)[1].str() + " " + (*it)[2].str());
    EXPECT_EQ(got, want) << prefix;
  }
}

TEST_F(VocarCountsRunTest, WithTheLedgerALineOfACharacterWithoutVoiceHasNoneForALaterOne) {
  // 先生 is also TEA's name: the voice count list of TEA holds the line
  // without the ledger; with it, the line has the one voice of its speaker,
  // 先生, that is none.
  write_file(home() / u8path(u8"キャラ定義.txt"), ",先生\r\nTEA,ティーチャー,先生\r\n");
  write_file(scn() / "a.txt", "先生「あ」\r\n");
  fs::remove_all(scn() / u8path(u8"第2話"));
  ASSERT_EQ(vocar_run(home(), tmp.path()).status, 0);
  EXPECT_EQ(csv(), u8(kHeader + u8",先生,,0,1,1\r\nTEA,ティーチャー,,1,0,1\r\n,先生,scn\\a.txt,0,1,1\r\nTEA,ティーチャー,scn\\a.txt,1,0,1\r\n"));
  ASSERT_EQ(vocar_config(home(), tmp.path(), {"keep_voice_numbers=1"}).status, 0);
  ASSERT_EQ(vocar_run(home(), tmp.path()).status, 0);
  EXPECT_EQ(csv(), u8(kHeader + u8",先生,,0,1,1\r\nTEA,ティーチャー,,0,1,1\r\n,先生,scn\\a.txt,0,1,1\r\nTEA,ティーチャー,scn\\a.txt,0,1,1\r\n"));
  EXPECT_EQ(read_file(lists() / u8path(u8"キャラ別ボイス数リスト") / "CVO_List_TEA.txt").find("    [    1]"), std::string::npos);
}

// Writes of one file fail.
class FailingWrites : public RealFileSystem {
 public:
  explicit FailingWrites(std::u8string_view name) : name_(u8path(name)) {}
  bool write(const fs::path& path, std::string_view bytes) override {
    return path.filename() != name_ && RealFileSystem::write(path, bytes);
  }

 private:
  fs::path name_;
};

TEST_F(VocarCountsRunTest, AFileThatCannotBeWrittenStopsTheRunAndNoneIsHalfWritten) {
  const ScratchTmpdir tmpdir;
  tmpdir.use(tmp / "scratch");
  ASSERT_EQ(vocar_run(home(), tmp.path()).status, 0);
  const std::string whole = csv();
  // The CSV goes first: when it fails, neither is written; when the
  // workbook fails, the CSV is there whole. The files are written while the
  // later phases run; the run stops either way, naming the file.
  for (const std::u8string_view name : {u8"ボイス集計.csv", u8"ボイス集計.xlsx"}) {
    FailingWrites files(name);
    const CliResult r = run_cli({"vocar", "run", "--home", home().string(), "--yes", "--no-progress", "scn"}, tmp.path(), files);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(u8(std::u8string(name) + u8" ファイルを開けませんでした。\n")), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(u8(u8"処理を中断しました。")), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(lists() / u8path(name)));
    if (name.ends_with(u8".xlsx")) {
      EXPECT_EQ(csv(), whole);
    }
    EXPECT_FALSE(fs::exists(lists() / u8path(u8"ボイス集計.xlsx")));
    EXPECT_TRUE(fs::is_empty(tmp / "scratch"));
  }
}

TEST_F(VocarCountsRunTest, NoTemporaryFolderForTheWorkbookStopsTheRun) {
  ASSERT_EQ(vocar_config(home(), tmp.path(), {"script_spreadsheets=0"}).status, 0);
  const ScratchTmpdir tmpdir;
  setenv("TMPDIR", (tmp / "missing").c_str(), 1);
  const CliResult r = vocar_run(home(), tmp.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(u8(u8"ボイス集計.xlsx ファイルを開けませんでした。\n")), std::string::npos) << r.err;
  // The lists are whole; of the counts, nothing is written.
  EXPECT_TRUE(fs::exists(lists() / u8path(u8"ファイル別ボイス数リスト") / "FVO_List.txt"));
  EXPECT_FALSE(fs::exists(lists() / u8path(u8"ボイス集計.csv")));
  EXPECT_FALSE(fs::exists(lists() / u8path(u8"ボイス集計.xlsx")));
}

TEST_F(VocarCountsRunTest, OnlyWithTheStaffLists) {
  ASSERT_EQ(vocar_config(home(), tmp.path(), {"output_staff_lists=0"}).status, 0);
  ASSERT_EQ(vocar_run(home(), tmp.path()).status, 0);
  EXPECT_FALSE(fs::exists(lists()));
}

}  // namespace
}  // namespace lumeno::scriptbuilder
