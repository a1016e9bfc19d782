// The counts for the budget: what a line says aloud, and the table Vocar
// writes with its staff lists (ボイス集計.csv / .xlsx), against its CVO lists.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <regex>

#include "scriptbuilder/lists/dialogue_counts.h"
#include "scriptbuilder/lists/spoken_text.h"
#include "scriptbuilder/workbooks/library_files.h"
#include "scriptbuilder/workbooks/xlsx_package.h"
#include "scriptbuilder/workbooks/xlsx_reader.h"
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

// A sheet read back: a row of cell texts a row (numbers as integers),
// from the header on.
std::vector<std::vector<std::string>> sheet_rows(const xlsx::Sheet& sheet) {
  std::vector<std::vector<std::string>> rows;
  for (const xlsx::Cell& cell : sheet.cells) {
    rows.resize(std::max<std::size_t>(rows.size(), cell.row + 1));
    std::vector<std::string>& row = rows[cell.row];
    row.resize(std::max<std::size_t>(row.size(), cell.column + 1));
    row[cell.column] = cell.kind == xlsx::CellKind::number ? std::to_string(static_cast<long long>(cell.number)) : cell.text;
  }
  return rows;
}

xlsx::Book read_book(const fs::path& path) {
  xlsx::ReadResult read = xlsx::read_xlsx(read_file(path));
  EXPECT_TRUE(read.ok()) << xlsx::failure_text(read.failure());
  return read.ok() ? std::move(read).value() : xlsx::Book{};
}

std::vector<std::string> sheet_names(const xlsx::Book& book) {
  std::vector<std::string> names;
  for (const xlsx::Sheet& sheet : book.sheets) names.push_back(sheet.name);
  return names;
}

// The workbook made straight, as the counts' thread makes it.
class CountsWorkbookTest : public ::testing::Test {
 protected:
  fs::path book() const { return tmp / "book.xlsx"; }
  fs::path scratch() const { return tmp / "scratch"; }
  CountsWorkbook make(std::span<const CountsRow> characters, std::size_t files) {
    fs::create_directories(scratch());
    return CountsWorkbook({*library_files::library_name(book()), *library_files::library_name(scratch())}, decoder, characters,
                          files);
  }

  TempDir tmp;
  const Cp932Decoder decoder;
};

TEST_F(CountsWorkbookTest, ASheetACharacterInTableOrderEvenForNamesThatClashOrReadAsReferences) {
  const std::vector<CountsRow> characters = {
      {"ERI", "エリ", {}, {}}, {"R2", "R2", {}, {}}, {"ER2", "エリ", {}, {}}, {"", "先生", {}, {}}, {"NOB", "ノブ", {}, {}}};
  {
    CountsWorkbook workbook = make(characters, 2);
    workbook.add_file_row(0, "scn\\a.txt", {1, 0, 4});
    workbook.add_file_row(1, "scn\\a.txt", {2, 0, 7});
    workbook.add_file_row(3, "scn\\a.txt", {0, 1, 7});
    workbook.add_file_row(0, "scn\\b & c.txt", {2, 0, 7});
    workbook.add_file_row(2, "scn\\b & c.txt", {5, 0, 9});
    const std::vector<DialogueCounts> totals = {{3, 0, 11}, {2, 0, 7}, {5, 0, 9}, {0, 1, 7}, {}};
    ASSERT_EQ(workbook.close(totals), WorkbookStatus::written);
  }
  const xlsx::Book book = read_book(this->book());
  EXPECT_EQ(sheet_names(book), (std::vector<std::string>{u8(u8"キャラ別"), u8(u8"エリ"), "R2", u8(u8"エリ(2)"), u8(u8"先生"),
                                                         u8(u8"ノブ")}));
  ASSERT_EQ(book.sheets.size(), 6u);
  using Rows = std::vector<std::vector<std::string>>;
  const std::vector<std::string> file_header = {u8(u8"ファイル"), u8(u8"ボイスあり行数"), u8(u8"ボイスなし行数"), u8(u8"文字数")};
  EXPECT_EQ(sheet_rows(book.sheets[0]),
            (Rows{{u8(u8"ボイス接頭辞"), u8(u8"キャラ名"), u8(u8"ボイスあり行数"), u8(u8"ボイスなし行数"), u8(u8"文字数")},
                  {"ERI", u8(u8"エリ"), "3", "0", "11"},
                  {"R2", "R2", "2", "0", "7"},
                  {"ER2", u8(u8"エリ"), "5", "0", "9"},
                  {"", u8(u8"先生"), "0", "1", "7"},
                  {"NOB", u8(u8"ノブ"), "0", "0", "0"}}));
  EXPECT_EQ(sheet_rows(book.sheets[1]), (Rows{file_header, {"scn\\a.txt", "1", "0", "4"}, {"scn\\b & c.txt", "2", "0", "7"}}));
  EXPECT_EQ(sheet_rows(book.sheets[2]), (Rows{file_header, {"scn\\a.txt", "2", "0", "7"}}));
  EXPECT_EQ(sheet_rows(book.sheets[3]), (Rows{file_header, {"scn\\b & c.txt", "5", "0", "9"}}));
  EXPECT_EQ(sheet_rows(book.sheets[5]), (Rows{file_header}));
  // Nothing of the library's is left in its temporary folder.
  EXPECT_TRUE(fs::is_empty(scratch()));
}

// The widths a sheet gives its columns, from its XML.
class ColumnWidths : public xlsx::PartHandler {
 public:
  void start(std::string_view local, const xlsx::XmlAttributes& attributes) override {
    if (local == "col") widths.push_back(std::stod(std::string(attributes.get("width").value_or("0"))));
  }
  void end(std::string_view) override {}
  std::vector<double> widths;
};

TEST_F(CountsWorkbookTest, TheFileColumnIsAsWideAsItsLongestNameSoThatNoneIsCutOnPaper) {
  const std::vector<CountsRow> characters = {{"ERI", "エリ", {}, {}}, {"YUU", "ユウ", {}, {}}};
  // 74 bytes print 74 columns wide (第 takes two, as it takes two bytes).
  const std::string long_name = "scn\\" + std::string("第") + std::string(64, 'x') + ".txt";
  ASSERT_EQ(long_name.size(), 74u);
  {
    CountsWorkbook workbook = make(characters, 2);
    workbook.add_file_row(0, "scn\\a.txt", {1, 0, 4});
    workbook.add_file_row(0, long_name, {1, 0, 4});
    workbook.add_file_row(1, "scn\\a.txt", {1, 0, 4});
    ASSERT_EQ(workbook.close(std::vector<DialogueCounts>(2)), WorkbookStatus::written);
  }
  const std::string bytes = read_file(book());
  auto package = xlsx::Package::open(bytes, {});
  ASSERT_EQ(package.index(), 0u);
  for (const auto& [part, file_width] : {std::pair{"xl/worksheets/sheet2.xml", 76.0}, std::pair{"xl/worksheets/sheet3.xml", 48.0}}) {
    ColumnWidths columns;
    ASSERT_FALSE(std::get<0>(package).read_xml(part, xlsx::Namespace::spreadsheet, columns));
    ASSERT_FALSE(columns.widths.empty()) << part;
    // The library adds its cell padding to the width asked for.
    EXPECT_NEAR(columns.widths[0], file_width, 1.0) << part;
  }
}

TEST_F(CountsWorkbookTest, ALargeCastHasOneSheetForTheRowsPerFileInTheOrderTheFilesAreRead) {
  std::vector<std::string> names;
  for (std::size_t c = 0; c <= CountsWorkbook::kCharacterSheetsAtMost; ++c) names.push_back("C" + std::to_string(c));
  std::vector<CountsRow> characters;
  for (const std::string& name : names) characters.push_back({name, name, {}, {}});
  {
    CountsWorkbook workbook = make(characters, 2);
    workbook.add_file_row(3, "scn\\a.txt", {1, 0, 4});
    workbook.add_file_row(7, "scn\\a.txt", {0, 2, 8});
    workbook.add_file_row(3, "scn\\b.txt", {2, 0, 7});
    ASSERT_EQ(workbook.close(std::vector<DialogueCounts>(characters.size())), WorkbookStatus::written);
  }
  const xlsx::Book book = read_book(this->book());
  EXPECT_EQ(sheet_names(book), (std::vector<std::string>{u8(u8"キャラ別"), u8(u8"キャラ・ファイル別")}));
  ASSERT_EQ(book.sheets.size(), 2u);
  EXPECT_EQ(sheet_rows(book.sheets[0]).size(), characters.size() + 1);
  EXPECT_EQ(sheet_rows(book.sheets[1]),
            (std::vector<std::vector<std::string>>{
                {u8(u8"ボイス接頭辞"), u8(u8"キャラ名"), u8(u8"ファイル"), u8(u8"ボイスあり行数"), u8(u8"ボイスなし行数"), u8(u8"文字数")},
                {"C3", "C3", "scn\\a.txt", "1", "0", "4"},
                {"C7", "C7", "scn\\a.txt", "0", "2", "8"},
                {"C3", "C3", "scn\\b.txt", "2", "0", "7"}}));
}

TEST_F(CountsWorkbookTest, AWorkbookNeverClosedLeavesNothingBehind) {
  const std::vector<CountsRow> characters = {{"ERI", "エリ", {}, {}}, {"YUU", "ユウ", {}, {}}};
  {
    CountsWorkbook workbook = make(characters, 1);
    workbook.add_file_row(1, "scn\\a.txt", {1, 0, 4});
    EXPECT_TRUE(workbook.ok());
  }
  EXPECT_FALSE(fs::exists(book()));
  EXPECT_TRUE(fs::is_empty(scratch()));
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

// Many files, some large, handed over to the counts' thread in batches:
// every file's rows reach the CSV, in run order, counted as each line says.
TEST(VocarCountsRun, ManyFilesLargeAndSmallAreEachCountedInRunOrder) {
  TempDir tmp;
  write_file(tmp / "home" / u8path(u8"キャラ定義.txt"), "AKI,アキ\r\nMIO,ミオ\r\n,係員\r\nRIN,リン\r\n");
  struct Speaker {
    std::string name;
    std::string prefix;
  };
  const std::vector<Speaker> speakers = {{"アキ", "AKI"}, {"ミオ", "MIO"}, {"係員", ""}, {"リン", "RIN"}};
  const std::vector<std::string> says = {"おはよう", "そうね\\wait(5)、行こう", "静かに（小声）", "ABCｱｲ　です", "あ/* 注 */い",
                                         "閉じない// メモ"};
  std::mt19937 random(20261209);
  // The counts each file should give, by speaker.
  std::map<std::pair<std::size_t, std::size_t>, DialogueCounts> want;
  std::vector<std::string> files;
  for (std::size_t f = 0; f < 150; ++f) {
    // A few files larger than a wake of the thread, the rest small.
    const std::size_t lines = f % 37 == 5 ? 60000 : 1 + random() % 40;
    std::string text;
    for (std::size_t k = 0; k < lines; ++k) {
      const std::size_t kind = random() % 10;
      if (kind < 6) {
        const std::size_t who = random() % speakers.size();
        const std::string line = speakers[who].name + "「" + says[random() % says.size()] + (kind == 5 ? "" : "」");
        DialogueCounts& counts = want[{f, who}];
        (speakers[who].prefix.empty() ? counts.unvoiced : counts.voiced) += 1;
        counts.characters += static_cast<std::int64_t>(spoken_characters(line, speakers[who].name.size() + 2, "「"));
        text += line;
      } else if (kind == 6) {
        text += "//" + speakers[random() % speakers.size()].name + "「コメント」";
      } else if (kind == 7) {
        text += "\\bg(1)";
      } else {
        text += "　地の文が続く。";
      }
      text += "\r\n";
    }
    char name[16];
    std::snprintf(name, sizeof name, "f%03zu.txt", f);
    files.push_back(name);
    write_file(tmp / "scn" / name, text);
  }
  ASSERT_EQ(vocar_config(tmp / "home", tmp.path(), {"output_scripts=0", "output_voice_text=0"}).status, 0);
  const CliResult r = vocar_run(tmp / "home", tmp.path());
  ASSERT_EQ(r.status, 0) << r.err;

  const Cp932Decoder decoder;
  std::vector<CountsRow> rows;
  std::vector<DialogueCounts> totals(speakers.size());
  for (const auto& [key, counts] : want) totals[key.second].add(counts);
  for (std::size_t who = 0; who < speakers.size(); ++who) rows.push_back({speakers[who].prefix, speakers[who].name, {}, totals[who]});
  std::vector<std::string> relative;
  for (const std::string& file : files) relative.push_back("scn\\" + file);
  for (std::size_t who = 0; who < speakers.size(); ++who) {
    for (std::size_t f = 0; f < files.size(); ++f) {
      if (const auto it = want.find({f, who}); it != want.end()) rows.push_back({speakers[who].prefix, speakers[who].name, relative[f], it->second});
    }
  }
  EXPECT_EQ(read_file(tmp / "home" / u8path(u8"スタッフ用リスト/ボイス集計.csv")), counts_csv(rows, decoder));
  // The workbook holds the same rows.
  const xlsx::Book book = read_book(tmp / "home" / u8path(u8"スタッフ用リスト/ボイス集計.xlsx"));
  ASSERT_EQ(book.sheets.size(), 1 + speakers.size());
  for (std::size_t who = 0; who < speakers.size(); ++who) {
    std::vector<std::vector<std::string>> got = sheet_rows(book.sheets[who + 1]);
    std::size_t k = 1;
    for (std::size_t f = 0; f < files.size(); ++f) {
      const auto it = want.find({f, who});
      if (it == want.end()) continue;
      ASSERT_LT(k, got.size());
      EXPECT_EQ(got[k], (std::vector<std::string>{"scn\\" + files[f], std::to_string(it->second.voiced), std::to_string(it->second.unvoiced),
                                                  std::to_string(it->second.characters)}));
      ++k;
    }
    EXPECT_EQ(k, got.size());
  }
}

// Files of up to the largest a run reads, more of them than the counts'
// thread may have in hand at once: the scan may wait for it, and every
// file is counted.
TEST(VocarCountsRun, LargeFilesBeyondWhatTheThreadHoldsAreAllCounted) {
  TempDir tmp;
  write_file(tmp / "home" / u8path(u8"キャラ定義.txt"), "AKI,アキ\r\n");
  std::string big = "アキ「はじめ」\r\n";
  const std::string narration(1000, 'x');
  while (big.size() < (std::size_t{19} << 19)) big += narration + "\r\n";  // 9.5 MB
  big += "アキ「おわり」\r\n";
  std::string want;
  for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) {
    write_file(tmp / "scn" / name, big);
    want += std::string("AKI,アキ,scn\\") + name + ",2,0,6\r\n";
  }
  write_file(tmp / "scn" / "e.txt", "アキ「さいご」\r\n");
  want += "AKI,アキ,scn\\e.txt,1,0,3\r\n";
  ASSERT_EQ(vocar_config(tmp / "home", tmp.path(), {"output_scripts=0", "output_voice_text=0"}).status, 0);
  const CliResult r = vocar_run(tmp / "home", tmp.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(tmp / "home" / u8path(u8"スタッフ用リスト/ボイス集計.csv")),
            u8(u8"\uFEFFボイス接頭辞,キャラ名,ファイル,ボイスあり行数,ボイスなし行数,文字数\r\nAKI,アキ,,9,0,27\r\n") +
                Cp932Decoder().utf8(want));
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
