// The take book's rules, without files: reading a book back from its
// sheets, merging it with a run's voices, carrying marks typed into the
// scripts, and the sheets of the new book.
#include <gtest/gtest.h>

#include "scriptbuilder/recording/take_book.h"

namespace lumeno::scriptbuilder {
namespace {

using takes::Column;

std::string u(std::u8string_view text) { return {reinterpret_cast<const char*>(text.data()), text.size()}; }

CellValue text(std::string_view t) { return CellValue::of_text(std::string(t)); }
CellValue text8(std::u8string_view t) { return CellValue::of_text(u(t)); }

// A sheet from rows of texts; "" is an empty cell.
BookSheet sheet(std::string name, const std::vector<std::vector<std::string>>& rows) {
  BookSheet out;
  out.name = std::move(name);
  for (std::uint32_t r = 0; r < rows.size(); ++r) {
    for (std::uint32_t c = 0; c < rows[r].size(); ++c) {
      if (!rows[r][c].empty()) out.cells.push_back({r, c, text(rows[r][c])});
    }
  }
  return out;
}

std::vector<std::string> own_headers() {
  std::vector<std::string> headers;
  for (int c = 0; c < takes::kColumnCount; ++c) headers.emplace_back(takes::header(static_cast<Column>(c)));
  return headers;
}

TakeBook book_of(std::vector<BookSheet> sheets) {
  Result<TakeBook> book = take_book_from_sheets(std::move(sheets));
  EXPECT_TRUE(book.ok()) << (book.ok() ? "" : book.error());
  return book.ok() ? std::move(*book) : TakeBook{};
}

TEST(TakeBookRead, FindsColumnsByTheirHeadersAndKeepsTheDirectorsOwn) {
  // A title row above the header, Vocar's columns moved about, a column of
  // the director's, and a value typed under no header.
  const BookSheet eri = sheet("ERI", {
                                         {u(u8"エリの収録")},
                                         {u(u8"備考"), u(u8"ボイス名"), u(u8"状態"), u(u8"担当"), u(u8"本文")},
                                         {u(u8"いい"), "ERI_0001", "OK", u(u8"田中"), u(u8"「あ」"), "", "x"},
                                         {"", "ERI_0002", "", "", u(u8"「い」")},
                                     });
  const TakeBook book = book_of({sheet(u(u8"集計"), {{"whatever"}}), eri});
  ASSERT_EQ(book.rows.size(), 2u);
  const TakeRow& first = book.rows[0];
  EXPECT_EQ(first.voice(), "ERI_0001");
  EXPECT_EQ(first.own[takes::kStatus], text("OK"));
  EXPECT_EQ(first.own[takes::kNotes], text8(u8"いい"));
  EXPECT_EQ(first.own[takes::kText], text8(u8"「あ」"));
  EXPECT_EQ(first.sheet, "ERI");
  EXPECT_EQ(first.sheet_row, 2u);
  ASSERT_EQ(book.extra_headers, (std::vector<std::string>{u(u8"担当"), u(u8"列G")}));
  ASSERT_EQ(first.extra.size(), 2u);
  EXPECT_EQ(first.extra[0], text8(u8"田中"));
  EXPECT_EQ(first.extra[1], text("x"));
  EXPECT_EQ(book.sheet_extras.at("ERI"), (std::vector<std::uint32_t>{0, 1}));
  EXPECT_TRUE(book.not_carried.empty());
}

TEST(TakeBookRead, RefusesWhatIsNoTakeBookOrNamesAVoiceTwice) {
  Result<TakeBook> none = take_book_from_sheets({sheet("Sheet1", {{"a", "b"}, {"1", "2"}})});
  ASSERT_FALSE(none.ok());
  EXPECT_NE(none.error().find("収録台帳ではありません"), std::string::npos);

  std::vector<std::string> header = own_headers();
  Result<TakeBook> twice = take_book_from_sheets({sheet("ERI", {header, {"ERI_0001"}}),
                                                  sheet("KEN", {header, {"KEN_0001"}, {"", ""}, {"ERI_0001"}})});
  ASSERT_FALSE(twice.ok());
  // Both places are named, sheet and cell.
  EXPECT_NE(twice.error().find("ERI_0001"), std::string::npos);
  EXPECT_NE(twice.error().find("シート「ERI」の A2"), std::string::npos) << twice.error();
  EXPECT_NE(twice.error().find("シート「KEN」の A4"), std::string::npos) << twice.error();
}

TEST(TakeBookRead, NamesWhatItDoesNotCarryOver) {
  std::vector<std::string> header = own_headers();
  BookSheet eri = sheet("ERI", {header, {"ERI_0001"}, {"", "", "", "", "", "", "", u(u8"メモだけの行")}});
  eri.not_kept = {u(u8"数式"), u(u8"入力規則")};
  BookSheet chart;
  chart.name = u(u8"グラフ1");
  chart.skipped = true;
  chart.not_kept = {u(u8"グラフシート")};
  const TakeBook book = book_of({eri, sheet(u(u8"メモ"), {{u(u8"打ち合わせ")}}), chart});
  EXPECT_EQ(book.rows.size(), 1u);
  // The drop-down list is Vocar's own: not named.
  EXPECT_EQ(book.not_carried, (std::vector<std::string>{u(u8"シート「ERI」の数式"),
                                                        u(u8"シート「ERI」の 3 行目（ボイス名のない行）"),
                                                        u(u8"シート「メモ」"), u(u8"グラフシート「グラフ1」")}));
}

// A run's voice.
RunTake voice(std::string name, std::string file, std::uint32_t line, std::string speech, std::int32_t character = 0) {
  return {std::move(name), character, std::move(file), line, std::move(speech)};
}

TakeRow row(std::string name, std::string file, std::uint32_t line, std::string speech, std::string status = {}) {
  TakeRow r;
  r.own[takes::kVoice] = text(name);
  r.own[takes::kFile] = text(file);
  r.own[takes::kLine] = CellValue::of_number(line);
  r.own[takes::kText] = text(speech);
  if (!status.empty()) r.own[takes::kStatus] = text(status);
  r.sheet = "ERI";
  return r;
}

const std::vector<TakeScopeEntry> kWholeScenario = {{"scenario", true}};

TEST(TakeBookMerge, NewChangedAndMovedVoices) {
  TakeBook book;
  book.rows.push_back(row("E1", "scenario\\a.txt", 1, u(u8"「あ」")));
  book.rows.push_back(row("E2", "scenario\\a.txt", 2, u(u8"「い」")));
  const std::vector<RunTake> voices = {voice("E1", "scenario\\a.txt", 1, u(u8"「あ」")),
                                       voice("E2", "scenario\\b.txt", 5, u(u8"「い」")),
                                       voice("E3", "scenario\\b.txt", 6, u(u8"「う」")),
                                       voice("E4", "scenario\\b.txt", 7, u(u8"「え」"))};
  book.rows.push_back(row("E4", "scenario\\b.txt", 7, u(u8"「え？」")));
  const MergedBook merged = merge_take_book(std::move(book), {voices, kWholeScenario, 46000});
  ASSERT_EQ(merged.book.rows.size(), 4u);
  auto change = [&](std::size_t k) { return merged.book.rows[merged.row_of_voice[k]].own[takes::kChange]; };
  EXPECT_TRUE(change(0).empty());
  EXPECT_EQ(change(1), text8(u8"移動"));
  EXPECT_EQ(change(2), text8(u8"新規"));
  EXPECT_EQ(change(3), text8(u8"本文変更"));
  const TakeRow& moved = merged.book.rows[merged.row_of_voice[1]];
  EXPECT_EQ(moved.own[takes::kFile], text("scenario\\b.txt"));
  EXPECT_EQ(moved.own[takes::kLine], CellValue::of_number(5));
  EXPECT_EQ(merged.counts.in_use, 4u);
  EXPECT_EQ(merged.counts.open, 4u);
}

TEST(TakeBookMerge, AnOkStandsOnlyOnTheTextThatWasRecorded) {
  TakeBook book;
  // Marked OK by the director on the text the row showed.
  TakeRow ok = row("E1", "scenario\\a.txt", 1, u(u8"「あ」"), "OK");
  ok.own[takes::kTake] = CellValue::of_number(3);
  ok.own[takes::kDate] = CellValue{CellValue::Kind::date, {}, 45999};
  ok.own[takes::kNotes] = text8(u8"よい");
  book.rows.push_back(ok);
  book.rows.push_back(row("E2", "scenario\\a.txt", 2, u(u8"「い」"), "ok"));
  const std::vector<RunTake> voices = {voice("E1", "scenario\\a.txt", 1, u(u8"「あ。\nそして」")),
                                       voice("E2", "scenario\\a.txt", 2, u(u8"「い」"))};
  MergedBook merged = merge_take_book(std::move(book), {voices, kWholeScenario, 46000});
  const TakeRow& stale = merged.book.rows[0];
  EXPECT_EQ(stale.own[takes::kStatus], text8(u8"要再収録"));
  EXPECT_EQ(stale.own[takes::kRecordedText], text8(u8"「あ」"));
  EXPECT_EQ(stale.own[takes::kText], text8(u8"「あ。\nそして」"));
  EXPECT_EQ(stale.own[takes::kTake], CellValue::of_number(3));
  EXPECT_EQ(stale.own[takes::kDate], (CellValue{CellValue::Kind::date, {}, 45999}));
  EXPECT_EQ(stale.own[takes::kNotes], text8(u8"よい"));
  // An OK of either letter case is an OK: it stays, with its text recorded.
  EXPECT_EQ(merged.book.rows[1].own[takes::kStatus], text("ok"));
  EXPECT_EQ(merged.book.rows[1].own[takes::kRecordedText], text8(u8"「い」"));
  EXPECT_EQ(merged.counts.ok, 1u);
  EXPECT_EQ(merged.counts.redo, 1u);

  // The edit undone: the recording holds again.
  TakeBook again = std::move(merged.book);
  const std::vector<RunTake> undone = {voice("E1", "scenario\\a.txt", 1, u(u8"「あ」")),
                                       voice("E2", "scenario\\a.txt", 2, u(u8"「い」"))};
  merged = merge_take_book(std::move(again), {undone, kWholeScenario, 46001});
  EXPECT_EQ(merged.book.rows[0].own[takes::kStatus], text("OK"));

  // Re-recorded: the director marks OK on the row as it reads now.
  TakeBook third = std::move(merged.book);
  third.rows[0].own[takes::kStatus] = text8(u8"要再収録");
  third.rows[0].own[takes::kText] = text8(u8"「あ、はい」");
  const std::vector<RunTake> edited = {voice("E1", "scenario\\a.txt", 1, u(u8"「あ、はい」")),
                                       voice("E2", "scenario\\a.txt", 2, u(u8"「い」"))};
  merged = merge_take_book(std::move(third), {edited, kWholeScenario, 46002});
  EXPECT_EQ(merged.book.rows[0].own[takes::kStatus], text8(u8"要再収録"));
  TakeBook fourth = std::move(merged.book);
  fourth.rows[0].own[takes::kStatus] = text("OK");
  merged = merge_take_book(std::move(fourth), {edited, kWholeScenario, 46003});
  EXPECT_EQ(merged.book.rows[0].own[takes::kStatus], text("OK"));
  EXPECT_EQ(merged.book.rows[0].own[takes::kRecordedText], text8(u8"「あ、はい」"));
}

TEST(TakeBookMerge, RetiresTheGoneAndLeavesTheUnreadAlone) {
  TakeBook book;
  TakeRow gone = row("E1", "scenario\\a.txt", 1, u(u8"「あ」"), "OK");
  gone.extra = {text("x")};
  book.extra_headers = {"memo"};
  book.rows.push_back(gone);
  book.rows.push_back(row("E2", "other\\b.txt", 1, u(u8"「い」"), "NG"));
  TakeRow back = row("E3", "scenario\\a.txt", 3, u(u8"「う」"));
  back.retired = true;
  back.left_on = CellValue{CellValue::Kind::date, {}, 45000};
  book.rows.push_back(back);
  TakeRow old = row("E0", "scenario\\z.txt", 3, u(u8"「ん」"));
  old.retired = true;
  book.rows.push_back(old);
  const std::vector<RunTake> voices = {voice("E3", "scenario\\a.txt", 2, u(u8"「う」"))};
  const MergedBook merged = merge_take_book(std::move(book), {voices, kWholeScenario, 46000});
  ASSERT_EQ(merged.book.rows.size(), 4u);
  // The voice back from 欠番, the row of a file the run did not read, the
  // row retired before, the one retired now.
  EXPECT_EQ(merged.book.rows[0].voice(), "E3");
  EXPECT_FALSE(merged.book.rows[0].retired);
  EXPECT_TRUE(merged.book.rows[0].left_on.empty());
  EXPECT_EQ(merged.book.rows[1].voice(), "E2");
  EXPECT_FALSE(merged.book.rows[1].retired);
  EXPECT_EQ(merged.book.rows[1].own[takes::kStatus], text("NG"));
  EXPECT_EQ(merged.book.rows[2].voice(), "E0");
  const TakeRow& retired = merged.book.rows[3];
  EXPECT_EQ(retired.voice(), "E1");
  EXPECT_TRUE(retired.retired);
  EXPECT_EQ(retired.left_on, (CellValue{CellValue::Kind::date, {}, 46000}));
  EXPECT_EQ(retired.own[takes::kStatus], text("OK"));
  EXPECT_EQ(retired.extra, (std::vector<CellValue>{text("x")}));
  // The counts are over the rows in use: the run's and the unread one.
  EXPECT_EQ(merged.counts.in_use, 2u);
  EXPECT_EQ(merged.counts.ng, 1u);
  EXPECT_EQ(merged.counts.open, 1u);
}

TEST(TakeBookMarks, TypedMarksJoinTheBookOnce) {
  TakeBook book;
  book.rows.push_back(row("E1", "a", 1, "x"));
  book.rows.push_back(row("E2", "a", 2, "y", "NG"));
  const std::vector<ScriptMark> marks = {
      {"E1", text("OK"), text8(u8"少し早口")},
      {"E2", text("OK"), {}},
      {"E2", text("NG"), {}},     // the same as the book: nothing
      {"E3", text8(u8"保留"), {}},  // no row yet: one is made
  };
  EXPECT_EQ(carry_script_marks(book, marks), 4u);
  EXPECT_EQ(book.rows[0].own[takes::kStatus], text("OK"));
  EXPECT_EQ(book.rows[0].own[takes::kNotes], text8(u8"少し早口"));
  EXPECT_EQ(book.rows[1].own[takes::kStatus], text("NG"));
  EXPECT_EQ(book.rows[1].own[takes::kNotes], text8(u8"台本の収録欄: OK"));
  ASSERT_EQ(book.rows.size(), 3u);
  EXPECT_EQ(book.rows[2].own[takes::kStatus], text8(u8"保留"));
  // The same marks again (the character's script and the all-character one)
  // add nothing.
  EXPECT_EQ(carry_script_marks(book, marks), 0u);

  // What a row showed and was left as it was is nothing typed, though the
  // book has changed since; what was written after the shown notes is added.
  const std::vector<ScriptMark> shown = {
      {"E1", text("NG"), text8(u8"少し早口"), text("NG"), text8(u8"少し早口")},
      {"E2", text("NG"), text8(u8"台本の収録欄: OK\n次は明るく"), text("NG"), text8(u8"台本の収録欄: OK")},
  };
  EXPECT_EQ(carry_script_marks(book, shown), 1u);
  EXPECT_EQ(book.rows[0].own[takes::kStatus], text("OK"));
  EXPECT_EQ(book.rows[0].own[takes::kNotes], text8(u8"少し早口"));
  EXPECT_EQ(book.rows[1].own[takes::kNotes], text8(u8"台本の収録欄: OK\n次は明るく"));
}

TEST(TakeBookSheets, SummarySheetsPerCharacterAndRetired) {
  CharacterTable table;
  table.characters.push_back({"ERI", u(u8"エリ"), {"a"}, 1});
  table.characters.push_back({"", "", {"b"}, 2});
  table.characters.push_back({"KEN", u(u8"ケン"), {"c"}, 3});
  TakeBook book;
  book.extra_headers = {"memo", "unused"};
  book.sheet_extras["ERI"] = {};
  TakeRow eri = row("ERI_1", "scenario\\a.txt", 1, "x", "OK");
  eri.own[takes::kRecordedText] = text("x");
  eri.extra = {text("m")};
  book.rows.push_back(eri);
  TakeRow gone = row("KEN_9", "scenario\\a.txt", 9, "z", u(u8"済"));
  book.rows.push_back(gone);
  const std::vector<RunTake> voices = {voice("ERI_1", "scenario\\a.txt", 1, "x", 0),
                                       voice("KEN_1", "scenario\\a.txt", 2, "y", 2)};
  const MergedBook merged = merge_take_book(std::move(book), {voices, kWholeScenario, 46000});
  const std::vector<std::string> names = {u(u8"エリ"), "", u(u8"ケン")};
  const TakeBookTables tables = take_book_sheets(merged, table, names, voices);
  ASSERT_EQ(tables.sheets.size(), 4u);
  EXPECT_EQ(tables.sheets[0].name, u(u8"集計"));
  EXPECT_EQ(tables.sheets[1].name, u(u8"エリ"));
  EXPECT_EQ(tables.sheets[2].name, u(u8"ケン"));
  EXPECT_EQ(tables.sheets[3].name, u(u8"欠番"));
  // エリ's sheet shows the director's column its row fills, not the unused one.
  const TableSheet& eri_sheet = tables.sheets[1];
  ASSERT_EQ(eri_sheet.columns.size(), takes::kColumnCount + 1u);
  EXPECT_EQ(eri_sheet.columns.back().header, "memo");
  EXPECT_EQ(eri_sheet.rows(), 1u);
  EXPECT_EQ(eri_sheet.columns[takes::kStatus].choices, (std::vector<std::string>{"OK", "NG", u(u8"保留")}));
  // 欠番 has the date the voice left after Vocar's columns.
  const TableSheet& retired = tables.sheets[3];
  EXPECT_EQ(retired.columns[takes::kColumnCount].header, u(u8"除外日"));
  ASSERT_EQ(retired.rows(), 1u);
  EXPECT_EQ(*retired.cells[takes::kColumnCount], (CellValue{CellValue::Kind::date, {}, 46000}));
  // 集計: a row a character and a total; the chart over the characters.
  const TableSheet& summary = tables.sheets[0];
  ASSERT_EQ(summary.rows(), 3u);
  const std::size_t w = summary.columns.size();
  auto at = [&](std::size_t r, std::size_t c) { return summary.cells[r * w + c]; };
  EXPECT_EQ(*at(0, 0), text8(u8"エリ"));
  EXPECT_EQ(at(0, 1)->number, 1);  // in use
  EXPECT_EQ(at(0, 2)->number, 1);  // OK
  EXPECT_EQ(at(1, 6)->number, 1);  // ケン: not yet recorded
  EXPECT_EQ(*at(2, 0), text8(u8"合計"));
  EXPECT_EQ(at(2, 1)->number, 2);
  EXPECT_DOUBLE_EQ(at(2, 8)->number, 0.5);
  EXPECT_TRUE(summary.total_row);
  ASSERT_TRUE(summary.chart.has_value());
  EXPECT_EQ(summary.chart->last_row, 2u);
}

TEST(TakeBookSheets, CountsLine) {
  TakeCounts counts;
  counts.in_use = 8;
  counts.ok = 3;
  counts.redo = 1;
  counts.open = 2;
  EXPECT_EQ(take_counts_line(counts), "収録済 3 / 8（37.5%）　要再収録 1　未収録 2");
  EXPECT_EQ(take_counts_line({}), "収録済 0 / 0（0.0%）　要再収録 0　未収録 0");
}

}  // namespace
}  // namespace lumeno::scriptbuilder
