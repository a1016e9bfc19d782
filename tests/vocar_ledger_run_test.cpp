// The voice ledger through `lumeno vocar run`: a scenario run, edited and
// run again; the ledger's failures, which stop a run before it deletes
// anything; and what the outputs show with it.
#include <gtest/gtest.h>

#include "scriptbuilder/driver/vocar_run.h"
#include "shell/app_state.h"
#include "tests/support.h"

namespace lumeno::scriptbuilder {
namespace {

using namespace lumeno::testing;

class VocarLedgerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(home() / u8path(u8"キャラ定義.txt"), "ERI,エリ\r\nYUU,ユウ\r\n,先生\r\n");
    ASSERT_EQ(config({"keep_voice_numbers=1"}).status, 0);
  }
  fs::path home() const { return tmp / "home"; }
  fs::path ledger_path() const { return home() / u8path(u8"ボイス番号台帳.txt"); }
  fs::path report_path() const { return home() / u8path(u8"スタッフ用リスト/ボイス番号変更リスト.txt"); }
  std::string voice_text(std::string_view relative) const {
    return read_file(home() / u8path(u8"ボイス命令埋込済テキスト") / relative);
  }

  CliResult run(const std::vector<std::string>& paths = {"scn"}) { return vocar_run(home(), tmp.path(), paths); }
  CliResult config(const std::vector<std::string>& pairs) { return vocar_config(home(), tmp.path(), pairs); }

  TempDir tmp;
};

TEST_F(VocarLedgerTest, AnEditedScenarioKeepsItsVoiceNames) {
  write_file(tmp / "scn" / "a.txt",
             "（朝）\r\n"
             "エリ「おはよう」\r\n"
             "ユウ「おはよ」\r\n"
             "エリ「今日は晴れだね」\r\n"
             "ユウ「そうだね」\r\n"
             "エリ「行こうか」\r\n");
  write_file(tmp / "scn" / "b.txt", "ユウ「ただいま」\r\nエリ「おかえり」\r\n");
  CliResult r = run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, u8(u8"台本化処理が完了しました。\nボイス番号台帳: 新規 7 / 変更 0 / 移動 0 / 欠番 0\n"));
  EXPECT_EQ(voice_text("scn/b.txt"), "\\VO(YUU_A1_0003)\r\nユウ「ただいま」\r\n\\VO(ERI_A1_0004)\r\nエリ「おかえり」\r\n");
  EXPECT_EQ(read_file(ledger_path()),
            "ボイス名\tボイス接頭辞\t状態\tファイル\t行\t本文\r\n"
            "ERI_A1_0001\tERI\t使用中\tscn\\a.txt\t2\tエリ「おはよう」\r\n"
            "YUU_A1_0001\tYUU\t使用中\tscn\\a.txt\t3\tユウ「おはよ」\r\n"
            "ERI_A1_0002\tERI\t使用中\tscn\\a.txt\t4\tエリ「今日は晴れだね」\r\n"
            "YUU_A1_0002\tYUU\t使用中\tscn\\a.txt\t5\tユウ「そうだね」\r\n"
            "ERI_A1_0003\tERI\t使用中\tscn\\a.txt\t6\tエリ「行こうか」\r\n"
            "YUU_A1_0003\tYUU\t使用中\tscn\\b.txt\t1\tユウ「ただいま」\r\n"
            "ERI_A1_0004\tERI\t使用中\tscn\\b.txt\t2\tエリ「おかえり」\r\n");

  // A line before ERI's first, a typo fixed, YUU's second line moved to b.
  write_file(tmp / "scn" / "a.txt",
             "（朝）\r\n"
             "エリ「ねえ」\r\n"
             "エリ「おはよう」\r\n"
             "ユウ「おはよ」\r\n"
             "エリ「今日は晴れだね！」\r\n"
             "エリ「行こうか」\r\n");
  write_file(tmp / "scn" / "b.txt", "ユウ「ただいま」\r\nエリ「おかえり」\r\nユウ「そうだね」\r\n");
  r = run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, u8(u8"台本化処理が完了しました。\nボイス番号台帳: 新規 1 / 変更 1 / 移動 1 / 欠番 0\n"));
  EXPECT_EQ(voice_text("scn/a.txt"),
            "（朝）\r\n"
            "\\VO(ERI_A1_0005)\r\nエリ「ねえ」\r\n"
            "\\VO(ERI_A1_0001)\r\nエリ「おはよう」\r\n"
            "\\VO(YUU_A1_0001)\r\nユウ「おはよ」\r\n"
            "\\VO(ERI_A1_0002)\r\nエリ「今日は晴れだね！」\r\n"
            "\\VO(ERI_A1_0003)\r\nエリ「行こうか」\r\n");
  EXPECT_EQ(voice_text("scn/b.txt"),
            "\\VO(YUU_A1_0003)\r\nユウ「ただいま」\r\n\\VO(ERI_A1_0004)\r\nエリ「おかえり」\r\n"
            "\\VO(YUU_A1_0002)\r\nユウ「そうだね」\r\n");
  EXPECT_EQ(read_file(report_path()),
            "ボイス番号変更リスト\r\n新規 1 / 変更 1 / 移動 1 / 欠番 0\r\n"
            "\r\n[ERI] エリ\r\n"
            "新規\tERI_A1_0005\tscn\\a.txt(2)\tエリ「ねえ」\r\n"
            "変更\tERI_A1_0002\tscn\\a.txt(5)\tエリ「今日は晴れだね！」\r\n"
            "\t変更前\tscn\\a.txt(4)\tエリ「今日は晴れだね」\r\n"
            "\r\n[YUU] ユウ\r\n"
            "移動\tYUU_A1_0002\tscn\\b.txt(3)\tユウ「そうだね」\r\n"
            "\t移動前\tscn\\a.txt(5)\r\n");
  // The scripts and lists carry the same names.
  EXPECT_NE(read_file(home() / u8path(u8"声優用台本/[YUU]ユウ/scn/b.zd")).find("YUU_A1_0002\tユウ\t「そうだね」"), std::string::npos);
  EXPECT_NE(read_file(home() / u8path(u8"スタッフ用リスト/キャラ別テキストリスト/CTX_List_ERI.txt"))
                .find("scn\\a.txt(2): ERI_A1_0005\tエリ「ねえ」\r\nscn\\a.txt(3): ERI_A1_0001\t"),
            std::string::npos);

  // A line deleted: its number is retired and never given again.
  write_file(tmp / "scn" / "b.txt", "ユウ「ただいま」\r\nユウ「そうだね」\r\nエリ「また明日」\r\n");
  r = run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(voice_text("scn/b.txt"),
            "\\VO(YUU_A1_0003)\r\nユウ「ただいま」\r\n\\VO(YUU_A1_0002)\r\nユウ「そうだね」\r\n"
            "\\VO(ERI_A1_0004)\r\nエリ「また明日」\r\n");
  // ... unless the place makes it a change: one line for one.
  EXPECT_NE(read_file(report_path()).find("変更\tERI_A1_0004\tscn\\b.txt(3)\tエリ「また明日」"), std::string::npos);
  write_file(tmp / "scn" / "b.txt", "ユウ「ただいま」\r\nユウ「そうだね」\r\n");
  r = run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(read_file(ledger_path()).find("ERI_A1_0004\tERI\t欠番\tscn\\b.txt\t3\tエリ「また明日」\r\n"), std::string::npos);
  write_file(tmp / "scn" / "b.txt", "ユウ「ただいま」\r\nユウ「そうだね」\r\nエリ「また明日」\r\n");
  r = run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(voice_text("scn/b.txt").find("\\VO(ERI_A1_0006)\r\nエリ「また明日」"), std::string::npos);
}

TEST_F(VocarLedgerTest, ALedgerThatCannotBeReadStopsTheRunBeforeAnythingIsDeleted) {
  write_file(tmp / "scn" / "a.txt", "エリ「…」\r\n");
  const fs::path old_output = home() / u8path(u8"ボイス命令埋込済テキスト/old.txt");
  write_file(old_output, "an earlier run's output");
  const std::string broken = "ボイス名\tボイス接頭辞\t状態\tファイル\t行\t本文\r\nERI_A1_0001\tERI\t使用中\tscn\\a.txt\t1\tエリ「…」\r\nERI_A1_0002\tERI\t済\tscn\\a.txt\t2\tx\r\n";
  write_file(ledger_path(), broken);
  CliResult r = run();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, u8(u8"ボイス番号台帳.txt の 3 行目: 状態は「使用中」か「欠番」です。\n"));
  EXPECT_TRUE(fs::exists(old_output));
  EXPECT_EQ(read_file(ledger_path()), broken);

  // A folder in its place cannot be read.
  fs::remove(ledger_path());
  fs::create_directories(ledger_path());
  r = run();
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(u8(u8"ボイス番号台帳.txt を読み込めませんでした。")), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(old_output));
  fs::remove(ledger_path());

  // Two files of one relative name (two dropped folders of one name): the
  // ledger could not tell them apart.
  write_file(tmp / "x" / "scn" / "a.txt", "エリ「…」");
  r = run({"scn", "x/scn"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(u8(u8"scn\\a.txt: 同じ名前のファイルが２つあります。")), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(old_output));
  EXPECT_FALSE(fs::exists(ledger_path()));
}

TEST_F(VocarLedgerTest, AFailedRunLeavesTheLedgerAsItWas) {
  write_file(tmp / "scn" / "a.txt", "エリ「…」\r\n");
  ASSERT_EQ(run().status, 0);
  const std::string ledger = read_file(ledger_path());
  write_file(tmp / "scn" / "a.txt", "エリ「…」\r\nエリ「新しい」\r\n");
  fs::remove_all(home() / u8path(u8"ボイス命令埋込済テキスト"));
  write_file(home() / u8path(u8"ボイス命令埋込済テキスト"), "a file where the folder goes");
  const CliResult r = run();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(read_file(ledger_path()), ledger);
}

TEST_F(VocarLedgerTest, TheReportStandsWhereverTheStaffListsAreOffAndTheLedgerIsNoScenario) {
  ASSERT_EQ(config({"output_staff_lists=0", "output_scripts=0"}).status, 0);
  write_file(tmp / "scn" / "a.txt", "エリ「…」\r\n");
  // The tool folder inside the dropped folder: its ledger is not a scenario file.
  ASSERT_EQ(run().status, 0);
  fs::rename(home(), tmp / "scn" / "home");
  const CliResult r = vocar_run(tmp / "scn" / "home", tmp.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const fs::path moved = tmp / "scn" / "home";
  EXPECT_EQ(read_file(moved / u8path(u8"スタッフ用リスト/ボイス番号変更リスト.txt")),
            "ボイス番号変更リスト\r\n新規 0 / 変更 0 / 移動 0 / 欠番 0\r\n");
  EXPECT_FALSE(fs::exists(moved / u8path(u8"スタッフ用リスト/キャラ別テキストリスト")));
  EXPECT_FALSE(fs::exists(moved / u8path(u8"ボイス命令埋込済テキスト/scn/home/ボイス番号台帳.txt")));
  EXPECT_FALSE(fs::exists(moved / u8path(u8"ボイス命令埋込済テキスト/scn/home/キャラ定義.txt")));
}

TEST_F(VocarLedgerTest, ARunOverPartOfTheScenarioRetiresNothingOfTheRest) {
  write_file(tmp / "scn" / "a.txt", "エリ「一」\r\n");
  write_file(tmp / "extra" / "b.txt", "エリ「二」\r\n");
  ASSERT_EQ(run({"scn", "extra"}).status, 0);
  write_file(tmp / "scn" / "a.txt", "エリ「一」\r\nエリ「三」\r\n");
  const CliResult r = run({"scn"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, u8(u8"台本化処理が完了しました。\nボイス番号台帳: 新規 1 / 変更 0 / 移動 0 / 欠番 0\n"));
  const std::string ledger = read_file(ledger_path());
  EXPECT_NE(ledger.find("ERI_A1_0001\tERI\t使用中\textra\\b.txt\t1\tエリ「二」\r\n"), std::string::npos) << ledger;
  EXPECT_NE(ledger.find("ERI_A1_0003\tERI\t使用中\tscn\\a.txt\t2\tエリ「三」\r\n"), std::string::npos) << ledger;
}

TEST_F(VocarLedgerTest, ALineTwoCharactersClaimCarriesOneNameInEveryList) {
  write_file(home() / u8path(u8"キャラ定義.txt"), "ERI,エリ,先輩\r\nRIN,リン,先輩\r\n,先生\r\nKAN,カン,先生\r\n");
  write_file(tmp / "scn" / "a.txt", "先輩「a」\r\nリン「b」\r\n先生「c」\r\nカン「d」\r\n");
  ASSERT_EQ(run().status, 0);
  const fs::path lists = home() / u8path(u8"スタッフ用リスト");
  // The later character's list shows the line under the name it carries;
  // a line of a character without voice is not listed for a later one.
  EXPECT_EQ(read_file(lists / u8path(u8"キャラ別テキストリスト/CTX_List_RIN.txt")),
            "scn\\a.txt(1): ERI_A1_0001\t先輩「a」\r\nscn\\a.txt(2): RIN_A1_0001\tリン「b」\r\n");
  EXPECT_EQ(read_file(lists / u8path(u8"キャラ別テキストリスト/CTX_List_KAN.txt")), "scn\\a.txt(4): KAN_A1_0001\tカン「d」\r\n");
  EXPECT_NE(read_file(lists / u8path(u8"キャラ別ボイス数リスト/CVO_List_RIN.txt")).find("    [    2] scn\\a.txt\r\n"), std::string::npos);

  // Without the ledger, as before: each list counts on its own.
  ASSERT_EQ(config({"keep_voice_numbers=0"}).status, 0);
  ASSERT_EQ(run().status, 0);
  EXPECT_EQ(read_file(lists / u8path(u8"キャラ別テキストリスト/CTX_List_RIN.txt")),
            "scn\\a.txt(1): RIN_A1_0001\t先輩「a」\r\nscn\\a.txt(2): RIN_A1_0002\tリン「b」\r\n");
  EXPECT_EQ(read_file(lists / u8path(u8"キャラ別テキストリスト/CTX_List_KAN.txt")),
            "scn\\a.txt(3): KAN_A1_0001\t先生「c」\r\nscn\\a.txt(4): KAN_A1_0002\tカン「d」\r\n");
}

TEST_F(VocarLedgerTest, LedgerNumbersOverflowTooAndTheSettingIsListed) {
  ASSERT_EQ(config({"start_number=9"}).status, 0);
  write_file(tmp / "scn" / "a.txt", "エリ「a」\r\nエリ「b」\r\n");
  CliResult r = run();
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.err.find(u8(u8"ボイス番号の桁あふれが発生しました。")), std::string::npos);
  // Kept wide numbers still overflow.
  r = run();
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.err.find(u8(u8"ボイス番号の桁あふれが発生しました。")), std::string::npos);
  EXPECT_EQ(voice_text("scn/a.txt"), "\\VO(ERI_A1_9)\r\nエリ「a」\r\n\\VO(ERI_A1_10)\r\nエリ「b」\r\n");

  EXPECT_EQ(config({"keep_voice_numbers"}).out, "1\n");
  EXPECT_NE(run_cli({"vocar", "--help"}, tmp.path()).out.find(u8(u8"  keep_voice_numbers=0 (0..1)             ボイス番号を台帳で固定する\n")),
            std::string::npos);
}

// A run cancelled after the ledger was read and the outputs begun.
class CancellingHost : public RecordingHost {
 public:
  void progress_set_count_text(std::string_view text) override {
    RecordingHost::progress_set_count_text(text);
    if (text == "ボイス命令埋込済テキスト を生成しています。") request_cancel();
  }
};

TEST_F(VocarLedgerTest, ACancelledRunLeavesTheLedgerAsItWas) {
  write_file(tmp / "scn" / "a.txt", "エリ「…」\r\n");
  ASSERT_EQ(run().status, 0);
  const std::string ledger = read_file(ledger_path());
  write_file(tmp / "scn" / "a.txt", "エリ「…」\r\nエリ「新しい」\r\n");

  RealFileSystem files;
  auto app = start_tool(vocar_tool(), home(), files);
  ASSERT_TRUE(app.ok());
  app->list.add_dropped_paths(files, app->texts, {tmp / "scn"});
  auto hooks = make_vocar_run();
  std::string why;
  ASSERT_TRUE(hooks->prepare_run(*app, why));
  CancellingHost host;
  RunContext ctx(*app, host, files);
  const RunOutcome outcome = worker_main(ctx, *hooks);
  EXPECT_FALSE(outcome.completed);
  EXPECT_TRUE(outcome.aborted);
  EXPECT_EQ(read_file(ledger_path()), ledger);
  EXPECT_FALSE(fs::exists(report_path()));
}

}  // namespace
}  // namespace lumeno::scriptbuilder
