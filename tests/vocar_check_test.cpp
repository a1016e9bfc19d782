// `lumeno vocar check`: unknown speakers, brackets that do not balance, and
// the definitions that break the numbering or the outputs' file names.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support.h"

namespace lumeno::scriptbuilder {
namespace {

using namespace lumeno::testing;

class VocarCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { write_file(home() / u8path(u8"キャラ定義.txt"), "ERI,エリ\r\nYUU,ユウ\r\n,先生\r\n"); }
  fs::path home() const { return tmp / "home"; }
  fs::path scn() const { return tmp / "scn"; }
  CliResult check(const std::vector<std::string>& paths = {"scn"}) {
    std::vector<std::string> args = {"vocar", "check", "--home", home().string()};
    args.insert(args.end(), paths.begin(), paths.end());
    return run_cli(args, tmp.path());
  }

  TempDir tmp;
};

TEST_F(VocarCheckTest, UnknownSpeakersAndTheLinesThatOnlyLookLikeThem) {
  write_file(scn() / u8path(u8"第1話.txt"),
             "エリ「おはよう」\r\n"
             "ミキ「だれ？」\r\n"                      // 2: unknown
             "？？？「……」\r\n"                       // 3: unknown
             "彼女は「うん」と言った。\r\n"            // a quotation in narration
             "　ミキ「…」\r\n"                          // a blank before the name
             "//ミキ「…」\r\n"                          // a comment
             "\\se(ミキ「」)\r\n"                       // a command
             "長い長い長い長い長い長い名前「…」\r\n"  // more than ten characters before the mark
             "そして、ミキ「…」\r\n"                   // a comma before the mark
             "「名前のない声」\r\n"                    // no name
             "/*\r\nミキ「注の中」\r\n*/\r\n"           // 11-13: within a block comment
             "ミキ「まだ」// メモ\r\n"                 // 14: unknown, a comment after the line
             "ミキ（独り言\r\n");                       // 15: unknown, never closed
  write_file(scn() / "a.txt", "ERIKA「あ」\n");
  const CliResult r = check();
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.out, u8(u8"■シナリオ (6)\n"
                      u8"scn\\a.txt(1): 定義にない話者: ERIKA\n"
                      u8"scn\\第1話.txt(2): 定義にない話者: ミキ\n"
                      u8"scn\\第1話.txt(3): 定義にない話者: ？？？\n"
                      u8"scn\\第1話.txt(14): 定義にない話者: ミキ\n"
                      u8"scn\\第1話.txt(15): 定義にない話者: ミキ\n"
                      u8"scn\\第1話.txt(15): 閉じていない括弧: （\n"
                      u8"■定義にない話者 (3)\n"
                      u8"ミキ: 3 行\n"
                      u8"ERIKA: 1 行\n"
                      u8"？？？: 1 行\n"
                      u8"■キャラ定義 (2)\n"
                      u8"キャラ定義.txt(2): セリフのないキャラ: ユウ\n"
                      u8"キャラ定義.txt(3): セリフのないキャラ: 先生\n"
                      u8"ファイル 2 / 定義にない話者 5 行 / 括弧 1 行 / キャラ定義 2 件\n"));
}

TEST_F(VocarCheckTest, BracketsThatDoNotBalanceOnTheirLine) {
  write_file(scn() / "a.txt",
             "エリ「開いたまま\r\n"
             "ユウ「閉じすぎ」」\r\n"
             "エリ「違う『括弧」』\r\n"
             "ユウ「入れ子『も』（良い）」\r\n"
             "先生「\\wait(「)コマンドの中」\r\n"
             "エリ「コメントの中」// 」」\r\n"
             "地の文で「は」」と書いた\r\n"  // narration is not looked at
             "/*\r\nエリ「注の中\r\n*/ \r\n"
             "エリ（あ）」\r\n");
  const CliResult r = check();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, u8(u8"■シナリオ (4)\n"
                      u8"scn\\a.txt(1): 閉じていない括弧: 「\n"
                      u8"scn\\a.txt(2): 開いていない閉じ括弧: 」\n"
                      u8"scn\\a.txt(3): 括弧の対応が違います: 『 … 」\n"
                      u8"scn\\a.txt(11): 開いていない閉じ括弧: 」\n"
                      u8"ファイル 1 / 定義にない話者 0 行 / 括弧 4 行 / キャラ定義 0 件\n"))
      << r.out;
}

// A speech goes on over the lines up to its closing bracket; one that ends
// before it (a blank line, a command, the next dialogue, the end of the
// file) is named where it ends, with the line it began on.
TEST_F(VocarCheckTest, SpeechesOverSeveralLines) {
  write_file(scn() / "a.txt",
             "エリ「長い話だけど\r\n"
             "聞いてくれる？」\r\n"                  // closes: nothing to say
             "ユウ「一行目\r\n"
             "二行目\r\n"                            // 4: a blank line follows
             "\r\n"
             "エリ「あ\r\n"                          // 6: a command follows
             "\\wait(10)\r\n"
             "ユウ「い\r\n"
             "続き\r\n"                              // 9: the next dialogue follows
             "エリ「う」\r\n"
             "先生「https://example.org/ を見てね」\r\n"
             "と言った。\r\n"                        // 12: the URL's "//" hid the bracket
             "\r\n"
             "エリ「あ』\r\n"                        // 14: the fault's own line
             "い」\r\n"
             "ユウ「『あ\r\n"
             "い」』\r\n"                            // 17
             "エリ「注は/* 」\r\n"
             "」 */行をまたぐ」\r\n"                 // a block comment over lines
             "エリ「\\se(」)続く\r\n"
             "（小声で）ね」\r\n"                    // a command's bracket counts not
             "ユウ「また\r\n"                        // 22: an unknown speaker follows
             "ミキ「だれ？」\r\n"
             "ミキ「知らない人の\r\n"
             "長い話」\r\n"                          // an unknown speaker's speech closes
             "ミキ（知らない人の独り言\r\n"
             "終わらない");                          // 27: the end of the file
  const CliResult r = check();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, u8(u8"■シナリオ (11)\n"
                      u8"scn\\a.txt(4): 閉じていない括弧（3 行目からのセリフ）: 「\n"
                      u8"scn\\a.txt(6): 閉じていない括弧: 「\n"
                      u8"scn\\a.txt(9): 閉じていない括弧（8 行目からのセリフ）: 「\n"
                      u8"scn\\a.txt(12): 閉じていない括弧（11 行目からのセリフ。閉じ括弧が // 以降のコメントに入っています）: 「\n"
                      u8"scn\\a.txt(14): 括弧の対応が違います: 「 … 』\n"
                      u8"scn\\a.txt(17): 括弧の対応が違います: 『 … 」\n"
                      u8"scn\\a.txt(22): 閉じていない括弧: 「\n"
                      u8"scn\\a.txt(23): 定義にない話者: ミキ\n"
                      u8"scn\\a.txt(24): 定義にない話者: ミキ\n"
                      u8"scn\\a.txt(26): 定義にない話者: ミキ\n"
                      u8"scn\\a.txt(27): 閉じていない括弧（26 行目からのセリフ）: （\n"
                      u8"■定義にない話者 (1)\n"
                      u8"ミキ: 3 行\n"
                      u8"ファイル 1 / 定義にない話者 3 行 / 括弧 8 行 / キャラ定義 0 件\n"))
      << r.out;
  // A URL on a line of its own: the speech is cut there and ends unclosed.
  write_file(scn() / "a.txt", "エリ「ここ http://example.org/」\r\nユウ「先生「（ね）」」\r\n先生「了解」");
  EXPECT_EQ(check().out, u8(u8"■シナリオ (1)\n"
                            u8"scn\\a.txt(1): 閉じていない括弧（閉じ括弧が // 以降のコメントに入っています）: 「\n"
                            u8"ファイル 1 / 定義にない話者 0 行 / 括弧 1 行 / キャラ定義 0 件\n"));
}

// The real scenario, copied: of the speeches that go on over further lines
// (known and unknown speakers' alike), the one whose closing bracket a URL's
// "//" comments out is the only bracket finding.
TEST_F(VocarCheckTest, OnTheRealScenario) {
  const fs::path real = fs::path(LUMENO_SOURCE_DIR) / "tests" / "corpus" / "real";
  fs::copy(real / "home", home(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::copy(real / "scenario", scn(), fs::copy_options::recursive);
  const CliResult r = check();
  EXPECT_EQ(r.status, 1);
  std::vector<std::string> brackets;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.find(u8(u8"括弧")) != std::string::npos) brackets.push_back(line);
  }
  EXPECT_EQ(brackets, (std::vector<std::string>{
                          u8(u8"scn\\01_tutorial_チュートリアル\\01_playing_遊び方.txt(31): 閉じていない括弧（閉じ括弧が // "
                             u8"以降のコメントに入っています）: 「"),
                          u8(u8"ファイル 23 / 定義にない話者 12 行 / 括弧 1 行 / キャラ定義 0 件"),
                      }))
      << r.out;
}

TEST_F(VocarCheckTest, DefinitionsThatBreakTheNumberingOrTheFileNames) {
  // A prefix another character has (letter case aside), characters that
  // no Windows file name holds, and a trailing dot or space; "ソ" and "表"
  // end in the byte of "\" and are sound.
  write_file(home() / u8path(u8"キャラ定義.txt"),
             "// 接頭辞,名前\r\nERI,エリ\r\neri,えり\r\nA:B,ソ表\r\nTAB\t,タブ\r\nMIO,ミオ.\r\nNOB ,ノブ\r\nSUE,スー,\"S\"\r\n");
  write_file(scn() / "a.txt", "エリ「あ」\r\nえり「い」\r\nソ表「う」\r\nタブ「え」\r\nミオ.「お」\r\nノブ「か」\r\n\"S\"「き」\r\n");
  const CliResult r = check();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, u8(u8"■キャラ定義 (5)\n"
                      u8"キャラ定義.txt(3): ボイス接頭辞 eri は 2 行目のキャラと同じです（ボイス名が重なります）\n"
                      u8"キャラ定義.txt(4): ボイス接頭辞 A:B は Windows のファイル名に使えません（: を含みます）\n"
                      u8"キャラ定義.txt(5): ボイス接頭辞 TAB\t は Windows のファイル名に使えません（制御文字を含みます）\n"
                      u8"キャラ定義.txt(6): キャラ名 ミオ. は Windows のファイル名に使えません（末尾がピリオドです）\n"
                      u8"キャラ定義.txt(7): ボイス接頭辞 NOB  は Windows のファイル名に使えません（末尾が空白です）\n"
                      u8"ファイル 1 / 定義にない話者 0 行 / 括弧 0 行 / キャラ定義 5 件\n"));
}

TEST_F(VocarCheckTest, ASoundScenarioGivesTheSummaryAloneAndNothingIsWritten) {
  write_file(scn() / u8path(u8"序章") / "a.txt", "エリ「おはよう」\r\nユウ『やあ（笑）』\r\n先生（独り言）\r\n地の文。\r\n");
  const CliResult r = check();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, u8(u8"ファイル 1 / 定義にない話者 0 行 / 括弧 0 行 / キャラ定義 0 件\n"));
  EXPECT_EQ(r.err, "");
  std::vector<fs::path> in_home;
  for (const auto& entry : fs::recursive_directory_iterator(home())) in_home.push_back(entry.path().filename());
  EXPECT_EQ(in_home, std::vector<fs::path>{u8path(u8"キャラ定義.txt")});
  // The same with the bundled example, which a run takes as it stands.
  const fs::path example_home = tmp / "example";
  fs::copy(fs::path(LUMENO_SOURCE_DIR) / "example" / "home", example_home);
  const CliResult example = run_cli({"vocar", "check", "--home", example_home.string(), std::string(LUMENO_SOURCE_DIR) + "/example/scenario"}, tmp.path());
  EXPECT_EQ(example.status, 0) << example.out;
}

TEST_F(VocarCheckTest, UsageErrors) {
  EXPECT_EQ(check({}).status, 2);
  EXPECT_EQ(check({"missing"}).status, 2);
  EXPECT_EQ(run_cli({"vocar", "check", "--home", "nohome", "scn"}, tmp.path()).status, 2);
  EXPECT_EQ(run_cli({"vocar", "check", "--voices", "x", "scn"}, tmp.path()).status, 2);
}

}  // namespace
}  // namespace lumeno::scriptbuilder
