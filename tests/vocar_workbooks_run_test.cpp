// The script workbooks end to end: `lumeno vocar run`, then the workbooks
// read back with openpyxl and rendered with LibreOffice
// (tests/workbooks/workbook_check.py), as a voice director would open and
// print them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "scriptbuilder/workbooks/script_sheet.h"
#include "scriptbuilder/workbooks/script_workbook.h"
#include "tests/support.h"

namespace lumeno::scriptbuilder {
namespace {

using namespace lumeno::testing;

std::string quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// Runs the checker; its output goes to `output`. True when it passed.
bool workbook_check(const std::vector<std::string>& args, std::string& output) {
  std::string command = quoted(LUMENO_PYTHON) + " " + quoted(std::string(LUMENO_SOURCE_DIR) + "/tests/workbooks/workbook_check.py");
  for (const std::string& a : args) command += " " + quoted(a);
  command += " 2>&1";
  output.clear();
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  return pclose(pipe) == 0;
}

// Every file below `folder` by its path relative to it.
std::map<std::string, std::string> files_below(const fs::path& folder) {
  std::map<std::string, std::string> out;
  if (!fs::exists(folder)) return out;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) out[fs::relative(entry.path(), folder).string()] = read_file(entry.path());
  }
  return out;
}

std::string lines(std::string_view line, int count) {
  std::string out;
  for (int k = 0; k < count; ++k) out += std::string(line) + "\r\n";
  return out;
}

class VocarWorkbooksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(home() / u8path(u8"キャラ定義.txt"), "ERI,エリ\r\nYUU,ユウ\r\nMINA,ミナ\r\n,先生\r\n");
  }
  fs::path home() const { return tmp / "home"; }
  fs::path scripts() const { return home() / u8path(u8"声優用台本"); }
  CliResult vocar(const std::vector<std::string>& args, const fs::path& tool_home) {
    std::vector<std::string> all = {"vocar", args[0], "--home", tool_home.string()};
    if (args[0] == "run") all.insert(all.end(), {"--yes", "--no-progress"});
    all.insert(all.end(), args.begin() + 1, args.end());
    return run_cli(all, tmp.path());
  }
  CliResult run() { return vocar({"run", "scn"}, home()); }

  // Several files and characters: own lines that wrap (a frame round
  // several rows), a long file of many pages with blocks moved at page
  // ends, names that clash, that are too long or that Excel refuses, and
  // text that looks like the format's escapes.
  void write_scenario() {
    std::string wraps = "エリ「ながいながいながいながいながいながいながいながいながいながいながいながい」\r\n";
    write_file(tmp / "scn" / "01_prologue.txt",
               "// 冒頭\r\n\\bg(school)春の朝。\r\nエリ「おはよう」\r\nユウ「やあ」\r\n" + wraps + "先生「席について」\r\n\r\n" +
                   "ミナ「" + std::string(40, 'a') + "」\r\nエリ「_x0041_ と \x01 の文字」\r\n");
    std::string many;
    for (int k = 0; k < 60; ++k) {
      many += "エリ「" + std::to_string(k) + "番目のセリフ。ながいながいながいながいながいながいながいながい」\r\n";
      many += "ユウ「返事」\r\n地の文が続く。\r\n\r\n";
      if (k % 7 == 0) many += lines("エリ「かたまり」", 1) + lines("　ト書き", 3);
    }
    write_file(tmp / "scn" / "02_long.txt", many);
    // Speeches over several lines: one a command line ends early, one whose
    // closing bracket a comment hides, one that a command swallows a line of.
    write_file(tmp / "scn" / "03_speeches.txt",
               "エリ「長い話になるけど、\r\n聞いてくれる？\r\n\\wait(500)\r\nあのね」\r\n"
               "ユウ「うん、\r\n聞くよ」\r\n"
               "エリ「ありがとう。// 」はコメントの中\r\nそれでね、\r\n\\se(kane,\r\n1)ここまで。」\r\n地の文。\r\n\r\n"
               "エリ「一行」\r\n（ト書き）\r\nエリ「閉じない\r\n\r\nエリ「");
    write_file(tmp / "scn" / "a" / u8path(u8"第1話.txt"), "エリ「一」\r\n");
    write_file(tmp / "scn" / "b" / u8path(u8"第1話.txt"), "エリ「二」\r\nユウ「二」\r\n");
    write_file(tmp / "scn" / u8path(u8"目次.txt"), "エリ「目次という名のファイル」\r\n");
    write_file(tmp / "scn" / "History.txt", "エリ「履歴」\r\n");
    write_file(tmp / "scn" / "'quote'.txt", "ユウ「引用」\r\n");
    write_file(tmp / "scn" / "x[1]*?.txt", "ユウ「記号」\r\n");
    write_file(tmp / "scn" / "AB.txt", "ミナ「大文字」\r\n");
    write_file(tmp / "scn" / "c" / "ab.txt", "ミナ「小文字」\r\n");
    write_file(tmp / "scn" / u8path(u8"とても長いシナリオファイルの名前がここに続いていて三十一文字を超える.txt"), "ミナ「長い」\r\n");
    write_file(tmp / "scn" / u8path(u8"とても長いシナリオファイルの名前がここに続いていて三十一文字を超えた.txt"), "ミナ「長い」\r\n");
    write_file(tmp / "scn" / "silent.txt", "先生「声なし」\r\n地の文\r\n");
    // A relative name too long for the printed header (at most 255
    // characters): its end is shown.
    write_file(tmp / "scn" / std::string(80, 'd') / std::string(80, 'e') / std::string(80, 'f') / "R&D.txt", "エリ「深い」\r\n");
  }

  TempDir tmp;
};

TEST_F(VocarWorkbooksTest, EveryWorkbookReadsBackAsItsScripts) {
  write_scenario();
  const CliResult r = run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (std::u8string_view book : {u8"[ERI]エリ.xlsx", u8"[YUU]ユウ.xlsx", u8"[MINA]ミナ.xlsx", u8"[全キャラ一括台本].xlsx"}) {
    EXPECT_TRUE(fs::exists(scripts() / u8path(book))) << u8(book);
  }
  // A character without a voice has no workbook, and no script at all none.
  EXPECT_EQ(std::distance(fs::directory_iterator(scripts()), fs::directory_iterator()), 8);
  std::string output;
  EXPECT_TRUE(workbook_check({"check", home().string()}, output)) << output;

  // Without frames, and an all-character script of the dialogue only.
  ASSERT_EQ(vocar({"config", "script_frame_dialogue=0", "all_characters_dialogue_only=1"}, home()).status, 0);
  ASSERT_EQ(run().status, 0);
  EXPECT_TRUE(workbook_check({"check", home().string()}, output)) << output;

  // The same scripts make the same workbooks, run after run, whichever
  // thread makes which.
  TempDir other;
  fs::create_directories(other / "home");
  fs::copy(home() / u8path(u8"キャラ定義.txt"), other / "home" / u8path(u8"キャラ定義.txt"));
  fs::copy(home() / "Vocar.dat", other / "home" / "Vocar.dat");
  ASSERT_EQ(vocar({"run", (tmp / "scn").string()}, other / "home").status, 0);
  EXPECT_TRUE(workbook_check({"same", scripts().string(), (other / "home" / u8path(u8"声優用台本")).string()}, output)) << output;

  // No all-character scripts, no all-character workbook.
  ASSERT_EQ(vocar({"config", "script_all_characters=0"}, home()).status, 0);
  ASSERT_EQ(run().status, 0);
  EXPECT_FALSE(fs::exists(scripts() / u8path(u8"[全キャラ一括台本].xlsx")));
  EXPECT_TRUE(workbook_check({"check", home().string()}, output)) << output;
}

TEST_F(VocarWorkbooksTest, OffEveryOutputIsAsItWas) {
  write_scenario();
  TempDir off;
  fs::create_directories(off / "home");
  fs::copy(home() / u8path(u8"キャラ定義.txt"), off / "home" / u8path(u8"キャラ定義.txt"));
  ASSERT_EQ(vocar({"config", "script_spreadsheets=0"}, off / "home").status, 0);
  ASSERT_EQ(vocar({"run", (tmp / "scn").string()}, off / "home").status, 0);
  ASSERT_EQ(run().status, 0);
  std::map<std::string, std::string> with = files_below(home());
  std::map<std::string, std::string> without = files_below(off / "home");
  std::size_t books = 0;
  for (auto it = with.begin(); it != with.end();) {
    if (it->first.ends_with(".xlsx")) {
      if (it->first.starts_with(u8(u8"声優用台本"))) ++books;
      it = with.erase(it);
    } else {
      ++it;
    }
  }
  EXPECT_EQ(books, 4u);
  // The counts' workbook is made either way (it holds the time it was made).
  EXPECT_EQ(without.erase(u8(u8"スタッフ用リスト/ボイス集計.xlsx")), 1u);
  // Vocar.dat differs in slot 15 alone.
  std::string settings_with = with.at("Vocar.dat");
  std::string settings_without = without.at("Vocar.dat");
  EXPECT_NE(settings_with, settings_without);
  with.erase("Vocar.dat");
  std::map<std::string, std::string> rest = without;
  rest.erase("Vocar.dat");
  EXPECT_EQ(with, rest);
  EXPECT_GT(rest.size(), 30u);
}

TEST_F(VocarWorkbooksTest, FramesHoldWholeSpeeches) {
  write_scenario();
  ASSERT_EQ(run().status, 0);
  std::string output;
  // Each own line with the further lines of its speech, and the empty rows
  // between; lines after the speech's end stand outside.
  EXPECT_TRUE(workbook_check({"frames", (scripts() / u8path(u8"[ERI]エリ.xlsx")).string(), "03_speeches"}, output));
  EXPECT_EQ(output, u8(u8"-.\t\t\n"
                       u8"^x\tERI_A1_0073\t「長い話になるけど、\n"
                       u8"|.\t\t\n"
                       u8"v.\t\t聞いてくれる？\n"
                       u8"-.\t\t\n"
                       u8"-.\t\tあのね」\n"
                       u8"-.\t\t\n"
                       u8"-.\t\t「うん、\n"
                       u8"-.\t\t聞くよ」\n"
                       u8"-.\t\t\n"
                       u8"^x\tERI_A1_0074\t「ありがとう。// 」はコメントの中\n"
                       u8"|.\t\t\n"
                       u8"v.\t\tそれでね、\n"
                       u8"-.\t\tここまで。」\n"
                       u8"-.\t\t地の文。\n"
                       u8"-.\t\t\n"
                       u8"ox\tERI_A1_0075\t「一行」\n"
                       u8"-.\t\t\n"
                       u8"-.\t\t（ト書き）\n"
                       u8"-.\t\t\n"
                       u8"ox\tERI_A1_0076\t「閉じない\n"
                       u8"-.\t\t\n"
                       u8"ox\tERI_A1_0077\t「\n"))
      << output;
  // The all-character script frames every voiced line's speech.
  EXPECT_TRUE(workbook_check({"frames", (scripts() / u8path(u8"[全キャラ一括台本].xlsx")).string(), "03_speeches"}, output));
  EXPECT_NE(output.find(u8(u8"^x\tYUU_A1_0063\t「うん、\n|.\t\t\nv.\t\t聞くよ」\n")), std::string::npos) << output;
  EXPECT_TRUE(workbook_check({"check", home().string()}, output)) << output;

  // Without frames, every voice row keeps its box for 収録.
  ASSERT_EQ(vocar({"config", "script_frame_dialogue=0"}, home()).status, 0);
  ASSERT_EQ(run().status, 0);
  EXPECT_TRUE(workbook_check({"frames", (scripts() / u8path(u8"[ERI]エリ.xlsx")).string(), "03_speeches"}, output));
  EXPECT_NE(output.find(u8(u8"-x\tERI_A1_0073\t「長い話になるけど、\n-.\t\t\n-.\t\t聞いてくれる？\n")), std::string::npos)
      << output;
  EXPECT_EQ(output.find("^"), std::string::npos) << output;
  EXPECT_TRUE(workbook_check({"check", home().string()}, output)) << output;
}

// Prints workbooks with LibreOffice where MS Gothic is missing and only one
// set of Japanese fonts is installed, with no alias from one font to
// another, as on a user's machine: the pages are the scripts' pages and
// each holds the voice names beside their text.
TEST_F(VocarWorkbooksTest, LibreOfficePrintsTheScriptsPagesWhateverJapaneseFontsThereAre) {
  write_scenario();
  ASSERT_EQ(run().status, 0);
  // The real scenario, copied: ステラ's script of 19 pages.
  const fs::path real = fs::path(LUMENO_SOURCE_DIR) / "tests" / "corpus" / "real";
  fs::create_directories(tmp / "real");
  fs::copy(real / "scenario", tmp / "real" / "scenario", fs::copy_options::recursive);
  fs::copy(real / "home", tmp / "real" / "home", fs::copy_options::recursive);
  ASSERT_EQ(vocar({"run", (tmp / "real" / "scenario").string()}, tmp / "real" / "home").status, 0);
  const fs::path stella = tmp / "real" / "home" / u8path(u8"声優用台本") / u8path(u8"[STE]ステラ.xlsx");

  const fs::path out = fs::path(LUMENO_BUILD_DIR) / "workbook-pages";
  std::string output;
  for (const char* fonts : {"ipa", "noto"}) {
    EXPECT_TRUE(workbook_check({"render", fonts, out.string(), (scripts() / u8path(u8"[ERI]エリ.xlsx")).string(),
                                stella.string()},
                               output))
        << output;
    EXPECT_NE(output.find(u8(u8"[STE]ステラ-") + fonts + ".pdf: 20 pages"), std::string::npos) << output;
  }
}

TEST_F(VocarWorkbooksTest, AScriptOfMorePagesThanASheetGoesOnOverFurtherSheets) {
  // A script of 300 rows with sheets of at most 100 rows: pages 1 and 2 on
  // the first sheet, two pages on each after it.
  std::string script = "ERI\r\nエリ\r\n1\r\n";
  for (int k = 0; k < 100; ++k) script += "ERI_A1_" + std::to_string(1000 + k) + "\tエリ\t「あ」\r\n\t\t続き\r\n\r\n";
  const fs::path folder = scripts() / u8path(u8"[ERI]エリ") / "scn";
  write_file(folder / "long.zd", script);
  const std::vector<WorkbookScript> scripts_of_book = {{"scn\\long.txt", script}};
  const Cp932Decoder decoder;
  const fs::path target = scripts() / u8path(u8"[ERI]エリ.xlsx");
  const WorkbookStatus status = write_script_workbook({target.string(), tmp.path().string()}, scripts_of_book, decoder,
                                                      [] { return false; }, 100);
  ASSERT_EQ(status, WorkbookStatus::written);
  std::string output;
  EXPECT_TRUE(workbook_check({"check", home().string(), "100"}, output)) << output;
  EXPECT_TRUE(workbook_check({"sheets", target.string()}, output));
  EXPECT_NE(output.find(u8(u8"== long(続4)\n")), std::string::npos) << output;

  // Asked to stop, it stops.
  const fs::path stopped = tmp / "stopped.xlsx";
  EXPECT_EQ(write_script_workbook({stopped.string(), tmp.path().string()}, scripts_of_book, decoder, [] { return true; }),
            WorkbookStatus::cancelled);
}

// Writes of the workbook of エリ fail.
class NoEriWorkbook : public RealFileSystem {
 public:
  bool write(const fs::path& path, std::string_view bytes) override {
    if (path.filename() == u8path(u8"[ERI]エリ.xlsx")) return false;
    return RealFileSystem::write(path, bytes);
  }
};

TEST_F(VocarWorkbooksTest, AWorkbookThatCannotBeWrittenStopsTheRun) {
  write_scenario();
  // The scratch files go to a folder of the test's own.
  const fs::path scratch = tmp / "scratch";
  const ScratchTmpdir tmpdir;
  tmpdir.use(scratch);

  NoEriWorkbook files;
  const CliResult r = run_cli({"vocar", "run", "--home", home().string(), "--yes", "--no-progress", "scn"}, tmp.path(), files);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(u8(u8"[ERI]エリ.xlsx ファイルを開けませんでした。\n")), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(u8(u8"処理を中断しました。")), std::string::npos) << r.err;
  // Nothing half-written in its place, and no scratch file left.
  EXPECT_FALSE(fs::exists(scripts() / u8path(u8"[ERI]エリ.xlsx")));
  EXPECT_EQ(scratch_files_below(home()), std::vector<std::string>{});
  EXPECT_TRUE(fs::is_empty(scratch));

  // No temporary folder to make the workbooks in: the same, and the rest
  // of the run's outputs are whole.
  setenv("TMPDIR", (tmp / "missing").c_str(), 1);
  const CliResult missing = run();
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find(u8(u8".xlsx ファイルを開けませんでした。")), std::string::npos) << missing.err;
}

// A temporary folder with `free` bytes of room, whatever the disk has.
class RoomInTemp : public RealFileSystem {
 public:
  explicit RoomInTemp(std::uint64_t free) : free_(free) {}
  std::optional<std::uint64_t> free_space(const fs::path&) override { return free_; }

 private:
  std::uint64_t free_;
};

TEST_F(VocarWorkbooksTest, ATemporaryFolderWithoutRoomIsNamedWithTheRoomNeededAndFree) {
  write_scenario();
  // Named as TMPDIR names it, with a separator at the end: the message
  // shows the folder without it.
  const fs::path scratch = tmp / "scratch";
  const ScratchTmpdir tmpdir;
  tmpdir.use(scratch / "");
  const std::string says = u8(u8"の空き容量が足りません（必要 約 ");
  const std::string moves = u8(u8" MB、空き 12 MB）。一時フォルダは環境変数 TMPDIR で空きのある場所に移せます。\n");

  // 12 MB free: no workbook of the scripts can be made. The message names
  // one of them, the folder and the room; nothing is left half-made.
  ASSERT_EQ(vocar({"config", "output_staff_lists=0"}, home()).status, 0);
  RoomInTemp small(std::uint64_t{12} << 20);
  const CliResult r = run_cli({"vocar", "run", "--home", home().string(), "--yes", "--no-progress", "scn"}, tmp.path(), small);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  const std::size_t at = r.err.find(u8(u8".xlsx ファイルを作成できませんでした。一時フォルダ ") + scratch.string() + " " + says);
  ASSERT_NE(at, std::string::npos) << r.err;
  EXPECT_EQ(r.err.rfind((scripts() / "").string(), at), 0u) << r.err;
  const std::size_t number = at + r.err.substr(at).find(says) + says.size();
  EXPECT_GE(std::stoi(r.err.substr(number)), 64) << r.err;
  EXPECT_EQ(r.err.find(moves, number), r.err.find(' ', number)) << r.err;
  EXPECT_EQ(r.err.find(u8(u8"ファイルを開けませんでした")), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(u8(u8"処理を中断しました。")), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(scripts() / u8path(u8"[全キャラ一括台本].xlsx")));
  EXPECT_TRUE(fs::is_empty(scratch));

  // Without the scripts, the counts workbook of the staff lists says the same.
  ASSERT_EQ(vocar({"config", "output_scripts=0", "output_staff_lists=1"}, home()).status, 0);
  const CliResult counts = run_cli({"vocar", "run", "--home", home().string(), "--yes", "--no-progress", "scn"}, tmp.path(), small);
  EXPECT_EQ(counts.status, 1);
  EXPECT_NE(counts.err.find(u8(u8"スタッフ用リスト/ボイス集計.xlsx ファイルを作成できませんでした。一時フォルダ ") + scratch.string() + " " + says),
            std::string::npos)
      << counts.err;
  EXPECT_NE(counts.err.find(moves), std::string::npos) << counts.err;
  EXPECT_TRUE(fs::is_empty(scratch));
}

TEST_F(VocarWorkbooksTest, RoomForOneWorkbookAtATimeMakesThemOneAfterAnother) {
  // Each workbook asks for its own room; one that has not room beside those
  // being made waits for them rather than stopping the run.
  write_scenario();
  const fs::path scratch = tmp / "scratch";
  const ScratchTmpdir tmpdir;
  tmpdir.use(scratch);
  RoomInTemp room(std::uint64_t{80} << 20);
  const CliResult r = run_cli({"vocar", "run", "--home", home().string(), "--yes", "--no-progress", "scn"}, tmp.path(), room);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (std::u8string_view book : {u8"[ERI]エリ.xlsx", u8"[YUU]ユウ.xlsx", u8"[MINA]ミナ.xlsx", u8"[全キャラ一括台本].xlsx"}) {
    EXPECT_TRUE(fs::exists(scripts() / u8path(book))) << u8(book);
  }
  EXPECT_TRUE(fs::exists(home() / u8path(u8"スタッフ用リスト/ボイス集計.xlsx")));
  EXPECT_TRUE(fs::is_empty(scratch));
}

}  // namespace
}  // namespace lumeno::scriptbuilder
