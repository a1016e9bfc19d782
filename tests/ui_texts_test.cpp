#include "shell/ui_texts.h"

#include <gtest/gtest.h>

#include "divider/divide.h"
#include "packer/pack.h"
#include "shell/app_state.h"
#include "tests/support.h"

namespace lumeno {
namespace {

using testing::TempDir;
using testing::write_file;

const ToolInfo& tool() { return divider::splix_tool(); }

TEST(UiTexts, BuiltInTextsIncludeTheToolsOwnSlots) {
  UiTexts texts(tool());
  EXPECT_EQ(texts[0], "ファイル(&F)");
  EXPECT_EQ(texts[30], "処理を中断しました。");
  EXPECT_EQ(texts[38], "個のファイルを変換しました。");
  EXPECT_EQ(texts[45], "置換処理");
  EXPECT_EQ(texts[46], "バージョン情報");
  EXPECT_EQ(texts[25], "上記の設定で変換を開始します。\r\nよろしいですか？");
}

TEST(UiTexts, EscapesBecomeLineBreaks) {
  UiTexts texts(tool());
  std::string file;
  for (int i = 0; i < 25; ++i) file += "t" + std::to_string(i) + "\r\n";
  file += "上記の設定で変換を開始します。\\nよろしいですか？\r\n";
  file += "a\\n\\nb\n";
  parse_language_file(file, texts);
  EXPECT_EQ(texts[24], "t24");
  EXPECT_EQ(texts[25], "上記の設定で変換を開始します。\r\nよろしいですか？");
  EXPECT_EQ(texts[26], "a\r\n\r\nb");
  // The file ended: slot 27 keeps its text.
  EXPECT_EQ(texts[27], "ファイルが作成できませんでした。");
}

TEST(UiTexts, BlankLinesAreSkippedAndOnlyAnEmptyFirstLineMakesAnEmptySlot) {
  UiTexts with_blanks(tool());
  UiTexts without(tool());
  parse_language_file("one\r\n\r\n\ntwo\r\r\nthree", with_blanks);
  parse_language_file("one\ntwo\nthree", without);
  for (int i = 0; i < kUiTextCount; ++i) EXPECT_EQ(with_blanks[i], without[i]) << i;
  EXPECT_EQ(with_blanks[2], "three");
  UiTexts empty_first(tool());
  parse_language_file("\r\nsecond", empty_first);
  EXPECT_EQ(empty_first[0], "");
  EXPECT_EQ(empty_first[1], "second");
}

TEST(UiTexts, LongLinesSplitAt263Bytes) {
  UiTexts texts(tool());
  parse_language_file(std::string(300, 'x') + "\r\nnext", texts);
  EXPECT_EQ(texts[0], std::string(263, 'x'));
  EXPECT_EQ(texts[1], std::string(37, 'x'));
  EXPECT_EQ(texts[2], "next");
  // An escape at the limit makes the text 264 bytes.
  UiTexts limit(tool());
  parse_language_file(std::string(262, 'y') + "\\nz", limit);
  EXPECT_EQ(limit[0], std::string(262, 'y') + "\r\n");
  EXPECT_EQ(limit[1], "z");
}

TEST(UiTexts, TextsBeyondThe47thAreIgnoredAndTenLinesChangeTenSlots) {
  UiTexts texts(tool());
  std::string ten;
  for (int i = 0; i < 10; ++i) ten += "L" + std::to_string(i) + "\n";
  parse_language_file(ten, texts);
  EXPECT_EQ(texts[9], "L9");
  EXPECT_EQ(texts[10], "リストを全部クリアする(&C)");
  UiTexts many(tool());
  std::string fifty;
  for (int i = 0; i < 50; ++i) fifty += "M" + std::to_string(i) + "\n";
  parse_language_file(fifty, many);
  EXPECT_EQ(many[46], "M46");
}

TEST(UiTexts, StatusFormatsAreUsedOnlyWithOneIntegerConversion) {
  EXPECT_TRUE(is_single_int_format("%d 個のオブジェクト"));
  EXPECT_TRUE(is_single_int_format("%5d objects (100%%)"));
  EXPECT_FALSE(is_single_int_format("%s objects"));
  EXPECT_FALSE(is_single_int_format("%d of %d"));
  EXPECT_FALSE(is_single_int_format("no number"));
  EXPECT_FALSE(is_single_int_format("%n"));
  UiTexts texts(tool());
  texts[kUiStatusCount] = "%d objects";
  EXPECT_EQ(format_status(tool(), texts, kUiStatusCount, 3), "3 objects");
  texts[kUiStatusCount] = "%s%s%s";
  EXPECT_EQ(format_status(tool(), texts, kUiStatusCount, 3), "3 個のオブジェクト");
}

TEST(LoadLanguage, ReadsFromTheLanguagesFolderOrFallsBackToBuiltInTexts) {
  TempDir dir;
  RealFileSystem fs;
  write_file(dir / "languages" / "Test.lng", "File(&F)\r\nEdit(&E)\r\n");
  auto app = start_tool(packer::bindo_tool(), dir.path(), fs);
  ASSERT_TRUE(app);
  // No Japanese.lng: built-in texts and an empty name.
  EXPECT_EQ(app->settings.language_name(), "");
  EXPECT_EQ(app->texts[0], "ファイル(&F)");
  load_language(*app, fs, "Test.lng");
  EXPECT_EQ(app->settings.language_name(), "Test.lng");
  EXPECT_EQ(app->texts[0], "File(&F)");
  EXPECT_EQ(app->texts[2], "表示(&V)");
  load_language(*app, fs, "Missing.lng");
  EXPECT_EQ(app->texts[0], "ファイル(&F)");
  EXPECT_EQ(app->settings.language_name(), "");
}

TEST(LoadLanguage, WithoutALanguagesFolderTheNextSaveWritesAnEmptyName) {
  TempDir dir;
  RealFileSystem fs;
  auto app = start_tool(packer::bindo_tool(), dir.path(), fs);
  ASSERT_TRUE(app);
  // Created at start-up, before the language load.
  EXPECT_EQ(testing::read_file(dir / "Bindo.dat").substr(0, 12), "Japanese.lng");
  save_settings(fs, app->settings_path(), app->settings);
  EXPECT_EQ(testing::read_file(dir / "Bindo.dat")[0], '\0');
  // With the language file present, the name stays.
  write_file(dir / "languages" / "Japanese.lng", "ファイル(&F)\r\n");
  app->settings.set_language_name("Japanese.lng");
  save_settings(fs, app->settings_path(), app->settings);
  auto again = start_tool(packer::bindo_tool(), dir.path(), fs);
  ASSERT_TRUE(again);
  save_settings(fs, again->settings_path(), again->settings);
  EXPECT_EQ(testing::read_file(dir / "Bindo.dat").substr(0, 13), std::string("Japanese.lng\0", 13));
}

}  // namespace
}  // namespace lumeno
