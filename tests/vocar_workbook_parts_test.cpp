// The pure parts of the script workbooks: CP932 to UTF-8, a script read
// back as rows and pages, the sheets a long script takes, sheet names.
#include <gtest/gtest.h>

#include "scriptbuilder/workbooks/script_sheet.h"
#include "scriptbuilder/workbooks/script_workbook.h"
#include "shell/cp932_decoder.h"
#include "tests/support.h"

namespace lumeno::scriptbuilder {
namespace {

using testing::u8;

TEST(Cp932Decoder, EveryCharacterOfTheCodePageTheExtensionsIncluded) {
  const Cp932Decoder decoder;
  // ASCII, 63 half-width katakana, and the code page's double-byte
  // characters (JIS X 0208, the NEC row 13, the NEC-selected and the IBM
  // extensions, the user-defined area).
  EXPECT_EQ(decoder.defined_characters(), 9795u);
  const std::pair<std::string, std::u8string> pairs[] = {
      {"\\~", u8"\\~"},            // single bytes stay ASCII
      {"\xB1\xDF", u8"ｱﾟ"},        // half-width katakana
      {"\x81\x5F", u8"＼"},        // U+FF3C
      {"\x81\x60", u8"～"},        // U+FF5E, not the wave dash
      {"\x81\x61", u8"∥"},         // U+2225
      {"\x81\x7C", u8"－"},        // U+FF0D
      {"\x81\x91\x81\x92\x81\xCA", u8"￠￡￢"},
      {"\x87\x40\x87\x82\x87\x9A", u8"①№∵"},  // NEC row 13
      {"\xED\x40\xEE\xEC\xEE\xEF", u8"纊黑ⅰ"},  // NEC-selected IBM extensions
      {"\xFA\x40\xFA\x5C\xFC\x4B", u8"ⅰ纊黑"},  // IBM extensions
      {"\xF0\x40\xF9\xFC", u8"\uE000\uE757"},  // user-defined characters
      {"エリ「おはよう」", u8"エリ「おはよう」"},
  };
  for (const auto& [cp932, utf8] : pairs) EXPECT_EQ(decoder.utf8(cp932), u8(utf8)) << u8(utf8);
}

TEST(Cp932Decoder, WhatIsNoCharacterBecomesOneReplacementAByte) {
  const Cp932Decoder decoder;
  const std::string r = u8(u8"\uFFFD");
  EXPECT_EQ(decoder.utf8("\x80|\xA0|\xFD|\xFE|\xFF"), r + "|" + r + "|" + r + "|" + r + "|" + r);
  // A lead byte with no trail byte, at the end or before one that cannot
  // follow it, and an undefined code: the next byte is read afresh.
  EXPECT_EQ(decoder.utf8("a\x81"), "a" + r);
  EXPECT_EQ(decoder.utf8("\x81 b"), r + " b");
  EXPECT_EQ(decoder.utf8("\x85\x40"), r + "@");
  EXPECT_EQ(decoder.utf8("\x81\x7F"), r + "\x7F");
  EXPECT_EQ(decoder.utf8(""), "");
}

TEST(ScriptSheet, RowsCellsAndTheHeaderOfAScript) {
  const std::string script =
      "ERI\r\nエリ\r\n1\r\n"
      "\r\nERI_A1_0001\tエリ\t「あ」\r\n\t\t続き\r\n\r\n\t \t地の文\r\n\tユウ\t「い」\r\n\r\nERI_A1_0002\tエリ\t「う」\r\n\r\n\r\n";
  const ScriptSheet sheet = read_script_sheet(script);
  EXPECT_EQ(sheet.voice_prefix, "ERI");
  EXPECT_EQ(sheet.display_name, "エリ");
  EXPECT_TRUE(sheet.framed);
  // The empty rows at the end hold nothing.
  ASSERT_EQ(sheet.rows.size(), 8u);
  EXPECT_TRUE(sheet.rows[0].bytes.empty());
  EXPECT_EQ(sheet.rows[1].voice, "ERI_A1_0001");
  EXPECT_EQ(sheet.rows[1].speaker, "エリ");
  EXPECT_EQ(sheet.rows[1].text, "「あ」");
  EXPECT_TRUE(sheet.rows[1].own());
  EXPECT_TRUE(sheet.rows[2].continuation());
  EXPECT_EQ(sheet.rows[2].text, "続き");
  EXPECT_EQ(sheet.rows[4].speaker, " ");
  EXPECT_EQ(sheet.rows[4].text, "地の文");
  EXPECT_FALSE(sheet.rows[5].own());
  EXPECT_FALSE(sheet.rows[5].continuation());
  EXPECT_EQ(sheet.own_lines, 2u);
  EXPECT_EQ(sheet.first_voice, "ERI_A1_0001");
  EXPECT_EQ(sheet.last_voice, "ERI_A1_0002");
  EXPECT_EQ(sheet.pages, 1);

  EXPECT_FALSE(read_script_sheet("全キャラ\r\n全キャラ\r\n0\r\nX\tY\tZ").framed);
  EXPECT_EQ(read_script_sheet("全キャラ\r\n全キャラ\r\n0\r\nX\tY\tZ").rows.size(), 1u);
}

TEST(ScriptSheet, LineEndsAndTabsAreFoundCharacterByCharacter) {
  // Lone CR and lone LF end a row each, as the layout counted them; a CR or
  // TAB that follows a lead byte belongs to its character.
  const ScriptSheet sheet = read_script_sheet("P\r\nN\r\n0\r\na\rb\nc\r\n\x81\rd\tS\t\x83\tT\r\n");
  ASSERT_EQ(sheet.rows.size(), 4u);
  EXPECT_EQ(sheet.rows[0].voice, "a");
  EXPECT_EQ(sheet.rows[1].voice, "b");
  EXPECT_EQ(sheet.rows[2].voice, "c");
  EXPECT_EQ(sheet.rows[3].voice, "\x81\rd");
  EXPECT_EQ(sheet.rows[3].speaker, "S");
  EXPECT_EQ(sheet.rows[3].text, "\x83\tT");
  // A row with one TAB has no text; one with none is all voice.
  const ScriptSheet short_rows = read_script_sheet("P\r\nN\r\n0\r\nA\tB\r\nC");
  EXPECT_EQ(short_rows.rows[0].speaker, "B");
  EXPECT_EQ(short_rows.rows[0].text, "");
  EXPECT_EQ(short_rows.rows[1].voice, "C");
}

TEST(ScriptSheet, PagesOf44RowsThen45) {
  EXPECT_EQ(page_of_row(0), 1);
  EXPECT_EQ(page_of_row(43), 1);
  EXPECT_EQ(page_of_row(44), 2);
  EXPECT_EQ(page_of_row(88), 2);
  EXPECT_EQ(page_of_row(89), 3);
  EXPECT_EQ(rows_before_page(1), 0u);
  EXPECT_EQ(rows_before_page(2), 44u);
  EXPECT_EQ(rows_before_page(3), 89u);
  for (std::size_t rows : {1u, 44u, 45u, 89u, 90u}) {
    std::string script = "P\r\nN\r\n0\r\n";
    for (std::size_t k = 0; k < rows; ++k) script += "\t \tx\r\n";
    EXPECT_EQ(read_script_sheet(script).pages, page_of_row(rows - 1)) << rows;
  }
  // Empty rows at the end make no page.
  EXPECT_EQ(read_script_sheet("P\r\nN\r\n0\r\n" + std::string(40, 'x') + std::string(200, '\n')).pages, 1);
}

// The frames of a script's rows, a character a row: "-" none, "^" a
// frame's top, "|" inside, "v" its bottom, "o" both.
std::string frames_of(const std::vector<std::string>& rows, std::vector<std::uint32_t> speech_lines) {
  std::string script = "P\r\nN\r\n1\r\n";
  for (const std::string& row : rows) script += row + "\r\n";
  const ScriptSheet sheet = read_script_sheet(script);
  std::string out;
  for (const RowFrame& f : speech_frames(sheet, speech_lines)) {
    out += !f.inside ? '-' : f.top && f.bottom ? 'o' : f.top ? '^' : f.bottom ? 'v' : '|';
  }
  return out;
}

std::vector<std::string> rows_of(std::initializer_list<std::pair<int, const char*>> runs) {
  std::vector<std::string> rows;
  for (const auto& [count, row] : runs) rows.insert(rows.end(), static_cast<std::size_t>(count), row);
  return rows;
}

TEST(ScriptSheet, FramesHoldAnOwnLineWithTheFurtherLinesOfItsSpeech) {
  const std::vector<std::string> rows = {
      "",         "V1\tN\t「a", "\t\tb", "",  // the voice row, wrapped; the layout's empty row
      "\t \tc", "\t\td",      "\t \te",       // two further lines, the first wrapped
      "",         "\tO\t「x」", "",               // another character
      "V2\tN\t「y」", "",        "\t \tz",       // a line that is not of the speech
  };
  EXPECT_EQ(frames_of(rows, {2, 0}), "-^||||v---o--");
  EXPECT_EQ(frames_of(rows, {1, 0}), "-^|||v----o--");
  // Counts missing, or more lines than follow: the rows that do.
  EXPECT_EQ(frames_of(rows, {}), "-^v-------o--");
  EXPECT_EQ(frames_of(rows, {5, 5}), "-^||||v---^|v");
}

TEST(ScriptSheet, AFrameEndsWithItsPage) {
  // A speech's further line moved to page 2 by the layout (rows 42 and 43
  // empty), the voice row on row 41 of page 1.
  std::vector<std::string> rows = rows_of({{40, "\t \tx"}, {1, ""}, {1, "V\tN\t「a"}, {2, ""}, {2, "\t \tb"}, {1, "\t\tc"}});
  EXPECT_EQ(frames_of(rows, {2}), std::string(41, '-') + "o--^|v");
  // An own line too long for a page crosses it: a frame on each page.
  rows = rows_of({{42, "\t \tx"}, {1, "V\tN\t「a"}, {3, "\t\tb"}, {1, ""}, {1, "\t \tc"}});
  EXPECT_EQ(frames_of(rows, {1}), std::string(42, '-') + "^v^||v");
}

TEST(ScriptWorkbook, ALongScriptTakesWholePagesASheet) {
  EXPECT_EQ(sheet_starts(100, kSheetRows), std::vector<std::size_t>{0});
  EXPECT_EQ(sheet_starts(kSheetRows, kSheetRows), std::vector<std::size_t>{0});
  EXPECT_EQ(sheet_starts(kSheetRows + 1, kSheetRows), (std::vector<std::size_t>{0, kSheetRows}));
  // 1024 pages on the first sheet, 1023 on each after it: 1023 breaks at most.
  EXPECT_EQ(page_of_row(kSheetRows - 1), 1024);
  // A sheet of 100 rows takes pages 1 and 2 (89 rows), then two pages (90).
  const std::vector<std::size_t> starts = sheet_starts(300, 100);
  EXPECT_EQ(starts, (std::vector<std::size_t>{0, 89, 179, 269}));
  for (std::size_t k = 1; k < starts.size(); ++k) EXPECT_NE(page_of_row(starts[k]), page_of_row(starts[k] - 1));
}

TEST(ScriptWorkbook, TextThatReadsAsAnEscapeIsEscaped) {
  std::string s = "a_x0041_b_x12g4__xABCD__x00";
  escape_cell_text(s);
  EXPECT_EQ(s, "a_x005F_x0041_b_x12g4__x005F_xABCD__x00");
}

TEST(SheetNames, ValidForExcelAndUnique) {
  SheetNames names;
  names.reserve(u8(u8"目次"));
  EXPECT_EQ(names.add("a[1]:b*?/\\c"), "a_1__b____c");
  EXPECT_EQ(names.add("tab\there\x01"), "tab_here_");
  EXPECT_EQ(names.add(""), "_");
  EXPECT_EQ(names.add("'quoted'"), "_quoted_");
  EXPECT_EQ(names.add(u8(u8"目次")), u8(u8"目次(2)"));
  EXPECT_EQ(names.add("history"), "history(2)");  // Excel keeps "History"

  // 31 characters (not bytes), and room made for the number.
  const std::string long_name = u8(u8"とても長いシナリオファイルの名前がここに続いていて三十一文字を超える");
  const std::string first = names.add(long_name);
  EXPECT_EQ(first, u8(u8"とても長いシナリオファイルの名前がここに続いていて三十一文字を"));
  EXPECT_EQ(names.add(long_name), u8(u8"とても長いシナリオファイルの名前がここに続いていて三十一(2)"));
  EXPECT_EQ(names.add(long_name), u8(u8"とても長いシナリオファイルの名前がここに続いていて三十一(3)"));
  // An apostrophe the cut leaves last.
  EXPECT_EQ(names.add(std::string(30, 'q') + "'tail"), std::string(30, 'q') + "_");

  // Letters of either case and full-width forms are the same name.
  EXPECT_EQ(names.add("Ch1"), "Ch1");
  EXPECT_EQ(names.add("cH1"), "cH1(2)");
  EXPECT_EQ(names.add(u8(u8"ＣＨ１")), u8(u8"ＣＨ１(3)"));
  EXPECT_EQ(names.add(u8(u8"Ωmega")), u8(u8"Ωmega"));
  EXPECT_EQ(names.add(u8(u8"ωMEGA")), u8(u8"ωMEGA(2)"));
  // A name that looks numbered, and the numbers after it.
  EXPECT_EQ(names.add("x"), "x");
  EXPECT_EQ(names.add("x(2)"), "x(2)");
  EXPECT_EQ(names.add("x"), "x(3)");
}

TEST(SheetNames, NamesThatReadAsCellReferences) {
  for (const char* name : {"ch1", "A1", "XFD1048576", "R", "c", "R2C3", "r10", "C5", "1st", "RC"}) {
    EXPECT_TRUE(reference_like_sheet_name(name)) << name;
  }
  for (const char* name : {"ch1_01", "prologue", "ABCD1", "a1b", "x(2)", "R2C3x", "CH", "s.1"}) {
    EXPECT_FALSE(reference_like_sheet_name(name)) << name;
  }
  EXPECT_FALSE(reference_like_sheet_name(u8(u8"第1話")));
}

TEST(SheetNames, ManyFilesOfOneNameAreNumberedInOnePass) {
  SheetNames names;
  std::string last;
  for (int k = 0; k < 20000; ++k) last = names.add("scene");
  EXPECT_EQ(last, "scene(20000)");
}

}  // namespace
}  // namespace lumeno::scriptbuilder
