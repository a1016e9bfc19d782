#include <gtest/gtest.h>

#include "scriptbuilder/driver/vocar_run.h"
#include "shell/app_state.h"
#include "tests/support.h"

namespace lumeno::scriptbuilder {
namespace {

using namespace lumeno::testing;

// A tool folder with character definitions and a scenario folder "scn".
class VocarRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(home());
    write_file(home() / u8path(u8"キャラ定義.txt"), "// 定義\r\nERI,エリ\r\n,先生\r\n");
  }
  fs::path home() const { return tmp / "home"; }
  fs::path scn() const { return tmp / "scn"; }
  fs::path voice_text_folder() const { return home() / u8path(u8"ボイス命令埋込済テキスト"); }
  fs::path voice_text(std::string_view relative) const { return voice_text_folder() / relative; }

  CliResult run(const std::vector<std::string>& paths) { return vocar_run(home(), tmp.path(), paths); }
  CliResult config(const std::vector<std::string>& pairs) { return vocar_config(home(), tmp.path(), pairs); }

  TempDir tmp;
};

TEST_F(VocarRunTest, WritesTheVoiceEmbeddedTreeFromTheRelativeNames) {
  write_file(scn() / "a.txt", "エリ「おはよう」\r\n（地の文）");
  write_file(scn() / "sub" / "b.TXT", "先生「…」\nエリ「また」\n");
  write_file(scn() / "readme.md", "エリ「…」");
  write_file(tmp / "top.txt", "エリ「…」");
  const CliResult r = run({"scn", "top.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, u8(u8"台本化処理が完了しました。\n"));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(read_file(voice_text("scn/a.txt")), "\\VO(ERI_A1_0001)\r\nエリ「おはよう」\r\n（地の文）");
  EXPECT_EQ(read_file(voice_text("scn/sub/b.TXT")), "先生「…」\r\n\\VO(ERI_A1_0002)\r\nエリ「また」\r\n");
  EXPECT_EQ(read_file(voice_text("top.txt")), "\\VO(ERI_A1_0003)\r\nエリ「…」");
  EXPECT_FALSE(fs::exists(voice_text("scn/readme.md")));
  // The scripts are written.
  EXPECT_TRUE(fs::exists(home() / u8path(u8"声優用台本/[ERI]エリ/scn/sub/b.zd")));

  // The settings file was written with the defaults.
  Settings settings(kIntCount, kStringCount);
  const std::string bytes = read_file(home() / "Vocar.dat");
  ASSERT_EQ(bytes.size(), 2096u);
  settings.deserialize(bytes);
  for (int slot : {1, 2, 3, 4, 5, 6, 7, 9, 10, 13, 14, 15, 91}) EXPECT_EQ(settings.get_int(slot), 1) << slot;
  for (int slot : {0, 8, 11, 12, 90, 92, 127}) EXPECT_EQ(settings.get_int(slot), 0) << slot;
  EXPECT_EQ(settings.get_string(kDialogueMarks), "「/『/（");
  EXPECT_EQ(settings.get_string(kCommandPrefix), "\\VO(");
  EXPECT_EQ(settings.get_string(kStartNumber), "0001");
}

TEST_F(VocarRunTest, StartNumberFileNameMiddleAndResetPerFile) {
  std::string ten;
  for (int k = 0; k < 10; ++k) ten += "エリ「…」\r\n";
  write_file(scn() / "prologue.txt", ten);
  write_file(scn() / "z" / "ch1.txt", "エリ「…」");
  ASSERT_EQ(config({"start_number=8", "second_string_from_file_name=1"}).status, 0);
  ASSERT_EQ(run({"scn"}).status, 0);
  const std::string prologue = read_file(voice_text("scn/prologue.txt"));
  EXPECT_EQ(prologue.substr(0, 20), "\\VO(ERI_PROLOGUE_8)\r");
  EXPECT_NE(prologue.find("\\VO(ERI_PROLOGUE_17)\r\n"), std::string::npos);
  EXPECT_EQ(read_file(voice_text("scn/z/ch1.txt")), "\\VO(ERI_CH1_18)\r\nエリ「…」");

  ASSERT_EQ(config({"reset_per_file=1"}).status, 0);
  ASSERT_EQ(run({"scn"}).status, 0);
  EXPECT_EQ(read_file(voice_text("scn/z/ch1.txt")), "\\VO(ERI_CH1_8)\r\nエリ「…」");
}

TEST_F(VocarRunTest, ConfigChecksTheStartNumberInTheDialogsOrder) {
  const std::string digits = u8(u8"ボイス番号開始値に、0～9の半角数字以外は設定できません。");
  const std::string missing = u8(u8"ボイス番号開始値の指定がありません。");
  const std::string too_long = u8(u8"ボイス番号の桁数が多すぎます。8桁以内に抑えてください。");
  for (const auto& [value, message] : std::vector<std::pair<std::string, std::string>>{
           {"12a", digits}, {"   ", digits}, {"abcdefghi", digits}, {"", missing}, {"000000000", too_long}}) {
    const CliResult r = config({"start_number=" + value});
    EXPECT_EQ(r.status, 2) << value;
    EXPECT_NE(r.err.find(message), std::string::npos) << value << ": " << r.err;
  }
  ASSERT_EQ(config({"start_number=00000000"}).status, 0);
  EXPECT_EQ(config({"start_number"}).out, "00000000\n");
  // The reserved slots are kept but never shown.
  EXPECT_EQ(config({}).out.find("reserved"), std::string::npos);
  EXPECT_EQ(config({"reserved_5"}).status, 2);
}

TEST_F(VocarRunTest, RefusedStartsTouchNothing) {
  write_file(scn() / "a.txt", "エリ「…」");
  fs::create_directories(voice_text("old"));

  ASSERT_EQ(config({u8(u8"dialogue_marks=「/123456789")}).status, 0);
  CliResult r = run({"scn"});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("123456789"), std::string::npos) << r.err;
  ASSERT_EQ(config({"--defaults"}).status, 0);

  // A start number edited into the file by hand.
  std::string bytes = read_file(home() / "Vocar.dat");
  bytes.replace(264 + 4 * kIntCount + 264 * kStartNumber, 4, std::string("12a\0", 4));
  write_file(home() / "Vocar.dat", bytes);
  r = run({"scn"});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find(u8(u8"半角数字以外は設定できません")), std::string::npos) << r.err;

  // Not confirmed.
  ASSERT_EQ(config({"--defaults"}).status, 0);
  r = run_cli({"vocar", "run", "--home", home().string(), "scn"}, tmp.path());
  EXPECT_EQ(r.status, 3);
  EXPECT_TRUE(fs::exists(voice_text("old")));
}

TEST_F(VocarRunTest, WipesTheThreeOutputFoldersWhicheverOutputsRun) {
  write_file(scn() / "a.txt", "エリ「…」");
  for (std::u8string_view folder : {u8"声優用台本", u8"スタッフ用リスト", u8"ボイス命令埋込済テキスト"}) {
    write_file(home() / u8path(folder) / "deep" / "old.txt", "x");
  }
  // A link in place of an output folder goes, what it points to stays.
  fs::remove_all(home() / u8path(u8"声優用台本"));
  write_file(tmp / "keep" / "precious.txt", "x");
  fs::create_directory_symlink(tmp / "keep", home() / u8path(u8"声優用台本"));

  ASSERT_EQ(config({"output_voice_text=0", "output_staff_lists=0"}).status, 0);
  const CliResult r = run({"scn"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::exists(home() / u8path(u8"スタッフ用リスト")));
  EXPECT_FALSE(fs::exists(home() / u8path(u8"ボイス命令埋込済テキスト")));
  EXPECT_TRUE(fs::exists(tmp / "keep" / "precious.txt"));
}

TEST_F(VocarRunTest, FailuresEndTheRunWithoutCompletion) {
  write_file(scn() / "a.txt", "エリ「…」");

  // No definitions: the reader's message, then the loader's; no phase runs.
  fs::remove(home() / u8path(u8"キャラ定義.txt"));
  CliResult r = run({"scn"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, u8(u8"ファイルが存在しません\nキャラ定義.txt が見つかりませんでした。\n"));
  EXPECT_FALSE(fs::exists(voice_text_folder()));

  // Definitions beyond the limits.
  write_file(home() / u8path(u8"キャラ定義.txt"), "ERI,エリ\r\n" + std::string(40, 'P') + ",N\r\n");
  r = run({"scn"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(u8(u8"キャラ定義.txt の 2 行目")), std::string::npos) << r.err;
  write_file(home() / u8path(u8"キャラ定義.txt"), "ERI,エリ\r\n");

  // An output that cannot be written: a file stands where the folder goes.
  write_file(voice_text_folder(), "not a folder");
  r = run({"scn"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(u8(u8"ファイルを開けませんでした。")), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(u8(u8"処理を中断しました。")), std::string::npos) << r.err;
  fs::remove(voice_text_folder());

  // A source one byte over the limit; the one before it, at the limit, is written.
  ASSERT_EQ(config({"output_staff_lists=0", "output_scripts=0"}).status, 0);
  write_file(scn() / "a.txt", std::string(kMaxSourceBytes, 'a'));
  write_file(scn() / "b.txt", std::string(kMaxSourceBytes + 1, 'a'));
  r = run({"scn"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, u8(u8"元ファイルサイズが大きすぎます。\n処理を中断しました。\n"));
  EXPECT_EQ(fs::file_size(voice_text("scn/a.txt")), kMaxSourceBytes);
  EXPECT_FALSE(fs::exists(voice_text("scn/b.txt")));
}

// The run through the shell's worker with a recording host: what the
// progress dialog and the message boxes are shown.
class VocarProgressTest : public VocarRunTest {
 protected:
  std::vector<std::string> run_with(RecordingHost& host) {
    RealFileSystem files;
    auto app = start_tool(vocar_tool(), home(), files);
    EXPECT_TRUE(app.ok());
    app->list.add_dropped_paths(files, app->texts, {scn()});
    auto hooks = make_vocar_run();
    std::string why;
    EXPECT_TRUE(hooks->prepare_run(*app, why));
    RunContext ctx(*app, host, files);
    worker_main(ctx, *hooks);
    return host.events;
  }
};

TEST_F(VocarProgressTest, EachPhaseMovesTheBarByItsShare) {
  write_file(scn() / "a.txt", "エリ「…」");
  // The workbooks are the last step, with a share of their own: each one
  // moves the bar when it is written. The counts' files, made beside the
  // later phases, show their names once the phases are done.
  RecordingHost with_workbooks;
  EXPECT_EQ(run_with(with_workbooks),
            (std::vector<std::string>{
                "range 1024", "count 声優用台本 を生成しています。", "file 声優用台本\\[ERI]エリ\\scn\\a.xls",
                "file 声優用台本\\[全キャラ一括台本]\\scn\\a.xls", "position 256", "pause 20",
                "count スタッフ用リスト を生成しています。", "file スタッフ用リスト\\キャラ別テキストリスト\\CTX_List_ERI.txt",
                "file スタッフ用リスト\\キャラ別ボイス数リスト\\CVO_List_ERI.txt",
                "file スタッフ用リスト\\ファイル別ボイス数リスト\\FVO_List.txt", "position 512", "pause 20",
                "count ボイス命令埋込済テキスト を生成しています。", "file ボイス命令埋込済テキスト\\scn\\a.txt", "position 768",
                "pause 20", "file スタッフ用リスト\\ボイス集計.csv", "file スタッフ用リスト\\ボイス集計.xlsx",
                "count 声優用台本（Excel形式） を生成しています。", "file 声優用台本\\[ERI]エリ.xlsx", "position 896",
                "file 声優用台本\\[全キャラ一括台本].xlsx", "position 1024", "pause 20"}));
  EXPECT_EQ(with_workbooks.completions.size(), 1u);

  // Without them, the three phases share the bar as they always did.
  ASSERT_EQ(config({"script_spreadsheets=0"}).status, 0);
  RecordingHost all;
  EXPECT_EQ(run_with(all), (std::vector<std::string>{
                               "range 1024",
                               "count 声優用台本 を生成しています。", "file 声優用台本\\[ERI]エリ\\scn\\a.xls",
                               "file 声優用台本\\[全キャラ一括台本]\\scn\\a.xls", "position 341", "pause 20",
                               "count スタッフ用リスト を生成しています。",
                               "file スタッフ用リスト\\キャラ別テキストリスト\\CTX_List_ERI.txt",
                               "file スタッフ用リスト\\キャラ別ボイス数リスト\\CVO_List_ERI.txt",
                               "file スタッフ用リスト\\ファイル別ボイス数リスト\\FVO_List.txt", "position 682",
                               "pause 20",
                               "count ボイス命令埋込済テキスト を生成しています。", "file ボイス命令埋込済テキスト\\scn\\a.txt",
                               "position 1024", "pause 20", "file スタッフ用リスト\\ボイス集計.csv",
                               "file スタッフ用リスト\\ボイス集計.xlsx"}));
  EXPECT_EQ(all.completions, std::vector<std::string>{"台本化処理が完了しました。"});
  EXPECT_EQ(all.captions, std::vector<std::string>{"Lumeno Scenify Tool"});

  ASSERT_EQ(config({"output_scripts=0", "output_staff_lists=0", "output_voice_text=0", "script_spreadsheets=1"}).status, 0);
  RecordingHost none;
  EXPECT_EQ(run_with(none), std::vector<std::string>{"range 1024"});
  EXPECT_EQ(none.completions.size(), 1u);
  EXPECT_TRUE(none.messages.empty());
}

}  // namespace
}  // namespace lumeno::scriptbuilder
