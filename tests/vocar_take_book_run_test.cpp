// The take book through `lumeno vocar run`: the setting, a book that stops
// the run before anything is deleted, a run over part of the scenario, and
// the completion message.
#include <gtest/gtest.h>

#include "scriptbuilder/recording/take_book.h"
#include "scriptbuilder/recording/take_book_run.h"
#include "shell/cp932_decoder.h"
#include "tests/support.h"

namespace lumeno::scriptbuilder {
namespace {

using namespace lumeno::testing;

class VocarTakeBookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(home() / u8path(u8"キャラ定義.txt"), "ERI,エリ\r\nYUU,ユウ\r\n");
    ASSERT_EQ(config({"track_takes=1", "script_spreadsheets=0"}).status, 0);
    write_file(tmp / "scn" / "a.txt", "エリ「おはよう」\r\nユウ「長い話だけど\r\n聞いて」\r\n");
    write_file(tmp / "scn" / "sub" / "b.txt", "エリ「ただいま」\r\n");
  }
  fs::path home() const { return tmp / "home"; }
  fs::path book_path() const { return home() / u8path(u8"収録台帳.xlsx"); }
  CliResult run(const std::vector<std::string>& paths = {"scn"}) { return vocar_run(home(), tmp.path(), paths); }
  CliResult config(const std::vector<std::string>& pairs) { return vocar_config(home(), tmp.path(), pairs); }

  TakeBook book() const {
    Result<std::vector<BookSheet>> sheets = read_book_sheets(read_file(book_path()), decoder);
    EXPECT_TRUE(sheets.ok());
    Result<TakeBook> book = take_book_from_sheets(std::move(*sheets));
    EXPECT_TRUE(book.ok());
    return book ? std::move(*book) : TakeBook{};
  }

  TempDir tmp;
  Cp932Decoder decoder;
};

std::string u(std::u8string_view text) { return {reinterpret_cast<const char*>(text.data()), text.size()}; }

TEST_F(VocarTakeBookTest, TheSettingNumbersWithTheLedgerAndKeepsTheBook) {
  // Both settings as stored; the ledger's own stays off.
  EXPECT_EQ(config({"track_takes"}).out, "1\n");
  EXPECT_EQ(config({"keep_voice_numbers"}).out, "0\n");
  EXPECT_NE(run_cli({"vocar", "--help"}, tmp.path()).out.find(u8(u8"track_takes=0 (0..1)")), std::string::npos);
  const CliResult r = run();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, u8(u8"台本化処理が完了しました。\nボイス番号台帳: 新規 3 / 変更 0 / 移動 0 / 欠番 0\n"
                      u8"収録済 0 / 3（0.0%）　要再収録 0　未収録 3\n"));
  EXPECT_TRUE(fs::exists(home() / u8path(u8"ボイス番号台帳.txt")));
  const TakeBook taken = book();
  ASSERT_EQ(taken.rows.size(), 3u);
  // Sheet after sheet: エリ's two, then ユウ's with the whole speech, over its two lines.
  EXPECT_EQ(taken.rows[2].voice(), "YUU_A1_0001");
  EXPECT_EQ(cell_text(taken.rows[2].own[takes::kText]), u(u8"「長い話だけど\n聞いて」"));
  EXPECT_EQ(taken.rows[2].sheet, u(u8"ユウ"));
  EXPECT_FALSE(fs::exists(home() / u8path(u8"収録台帳.bak.xlsx")));
  ASSERT_EQ(run().status, 0);
  EXPECT_TRUE(fs::exists(home() / u8path(u8"収録台帳.bak.xlsx")));
}

TEST_F(VocarTakeBookTest, ABookThatCannotBeTakenStopsTheRunBeforeAnythingGoes) {
  ASSERT_EQ(run().status, 0);
  const std::string script = read_file(home() / u8path(u8"声優用台本/[ERI]エリ/scn/a.zd"));
  struct Case {
    std::string bytes;        // the book, or empty for a lock file beside a good one
    std::u8string_view said;  // part of the message
  };
  const std::string good = read_file(book_path());
  const Case cases[] = {
      {"not a workbook", u8"収録台帳.xlsx を読み込めませんでした"},
      {good.substr(0, good.size() / 2), u8"収録台帳.xlsx を読み込めませんでした"},
      {"", u8"収録台帳.xlsx が開かれています。閉じてからやり直してください。"},
  };
  for (const Case& c : cases) {
    write_file(book_path(), c.bytes.empty() ? good : c.bytes);
    const fs::path lock = home() / u8path(u8".~lock.収録台帳.xlsx#");
    if (c.bytes.empty()) write_file(lock, "x");
    const CliResult r = run();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(u8(c.said)), std::string::npos) << r.err;
    // Nothing was deleted, nothing written.
    EXPECT_EQ(read_file(home() / u8path(u8"声優用台本/[ERI]エリ/scn/a.zd")), script);
    EXPECT_EQ(read_file(book_path()), c.bytes.empty() ? good : c.bytes);
    fs::remove(lock);
  }
}

TEST_F(VocarTakeBookTest, APartialRunLeavesTheRowsOfOtherFilesAlone) {
  // Two chapters dropped as two entries; then only the second, its line gone:
  // its voice leaves, the first chapter's rows stay as they were.
  write_file(tmp / "ch1" / "a.txt", "エリ「おはよう」\r\nユウ「うん」\r\n");
  write_file(tmp / "ch2" / "b.txt", "エリ「ただいま」\r\n");
  ASSERT_EQ(run({"ch1", "ch2"}).status, 0);
  write_file(tmp / "ch2" / "b.txt", "（誰もいない）\r\n");
  const CliResult r = run({"ch2"});
  ASSERT_EQ(r.status, 0) << r.err;
  const TakeBook taken = book();
  ASSERT_EQ(taken.rows.size(), 3u);
  for (const TakeRow& row : taken.rows) {
    EXPECT_EQ(row.retired, cell_text(row.own[takes::kFile]) == "ch2\\b.txt") << row.voice();
  }
  EXPECT_EQ(r.out.find(u8(u8"収録済 0 / 2（0.0%）")) != std::string::npos, true) << r.out;
}

}  // namespace
}  // namespace lumeno::scriptbuilder
