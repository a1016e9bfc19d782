// The .xlsx reader: books made here from their parts, hostile ones among
// them, then books as openpyxl, LibreOffice, libxlsxwriter and Excel write
// them (tests/xlsx/, made by tests/xlsx/make_fixtures.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <xlsxwriter.h>

#include "fuzz/xlsx_book.h"
#include "scriptbuilder/workbooks/xlsx_reader.h"
#include "shell/batch_run.h"
#include "shell/sjis.h"
#include "tests/support.h"

namespace lumeno::scriptbuilder::xlsx {
namespace {

using fuzz::book_archive;
using fuzz::BookParts;
using fuzz::relationships_xml;
using fuzz::sheet_xml;
using fuzz::workbook_xml;
using fuzz::ZipEntry;
using testing::u8;

const std::string kNs = "xmlns=\"" + std::string(fuzz::kSpreadsheetNs) + "\"";

ReadResult read_parts(const BookParts& parts, const Limits& limits = {}) { return read_xlsx(book_archive(parts), limits); }

ReadResult read_sheet(std::string_view rows, std::string_view after = {}) { return read_parts({sheet_xml(rows, after)}); }

// The cell of a sheet by its name, or null.
const Cell* at(const Sheet& sheet, std::string_view name) {
  const auto place = parse_cell_name(name);
  for (const Cell& cell : sheet.cells) {
    if (place && cell.row == place->row && cell.column == place->column) return &cell;
  }
  return nullptr;
}

// "A1=text" "B2#3.5" "C3@45413" (a date) "D4?1" (a boolean) "E5!#N/A" (an error), with "f" after a formula's.
std::vector<std::string> cells_of(const Sheet& sheet) {
  std::vector<std::string> out;
  for (const Cell& cell : sheet.cells) {
    std::string s = cell_name(cell.row, cell.column);
    switch (cell.kind) {
      case CellKind::text: s += "=" + cell.text; break;
      case CellKind::number: s += "#" + format("%.15g", cell.number); break;
      case CellKind::date: s += "@" + format("%.15g", cell.number); break;
      case CellKind::boolean: s += "?" + format("%g", cell.number); break;
      case CellKind::error: s += "!" + cell.text; break;
    }
    out.push_back(s + (cell.formula ? "f" : ""));
  }
  return out;
}

std::vector<std::string> utf8_list(std::initializer_list<std::u8string_view> items) {
  std::vector<std::string> out;
  for (auto item : items) out.push_back(u8(item));
  return out;
}

// What a failure says, in UTF-8 for the test's message.
std::string said(const ReadResult& result) { return result ? "read" : testing::utf8(failure_text(result.failure())); }

TEST(XlsxReader, TextOfSharedAndInlineStringsRunsJoinedPhoneticsLeftOut) {
  BookParts parts;
  parts.shared_strings = u8(u8"<sst " ) + kNs + u8(u8R"(>
      <si><t>収録日</t><rPh sb="0" eb="3"><t>シュウロクビ</t></rPh><phoneticPr fontId="1"/></si>
      <si><r><t>台詞の</t></r><r><rPr><b/></rPr><t>強調</t></r><rPh sb="0" eb="2"><t>セリフ</t></rPh></si>
      <si><t xml:space="preserve"> 一行目_x000D_
二行目 </t></si>
      <si><t>_x005F_x0041_ &amp; &lt;&#x3042;&gt;</t></si>
      <si><t/></si>
      <si><r><t>a</t></r><r><t>_x0042_</t></r></si></sst>)");
  parts.sheet = sheet_xml(u8(u8R"(<row r="1">
      <c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v> 1 </v></c><c r="C1" t="s"><v>2</v></c><c r="D1" t="s"><v>3</v></c>
      <c r="E1" t="s"><v>4</v></c><c r="F1" t="s"><v>5</v></c>
      <c r="G1" t="inlineStr"><is><r><t>イン</t></r><r><t>ライン</t></r><rPh sb="0" eb="1"><t>いん</t></rPh></is></c>
      <c r="H1" t="inlineStr"><is><t>_x0009_</t></is></c>
      <c r="I1" t="inlineStr"></c><c r="J1" t="s"/><c r="K1"><is><t>型なし</t></is></c></row>)"));
  const ReadResult book = read_parts(parts);
  ASSERT_TRUE(book) << said(book);
  EXPECT_EQ(cells_of(book->sheets.at(0)), utf8_list({u8"A1=収録日", u8"B1=台詞の強調", u8"C1= 一行目\r\n二行目 ", u8"D1=_x0041_ & <あ>", u8"E1=",
                                                     u8"F1=aB", u8"G1=インライン", u8"H1=\t", u8"K1=型なし"}));
  EXPECT_TRUE(book->sheets[0].not_kept.empty());
}

TEST(XlsxReader, NumbersBooleansErrorsAndDatesByTheirFormats) {
  BookParts parts;
  parts.styles = "<styleSheet " + kNs + R"(><numFmts count="3"><numFmt numFmtId="164" formatCode="yyyy/m/d;@"/>
      <numFmt numFmtId="165" formatCode="0.00E+00"/><numFmt numFmtId="14" formatCode="0.00"/></numFmts>
      <cellStyleXfs count="1"><xf numFmtId="22"/></cellStyleXfs>
      <cellXfs count="7"><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="20"/><xf numFmtId="165"/><xf numFmtId="22"/>
      <xf numFmtId="14"/><xf numFmtId="57"/></cellXfs></styleSheet>)";
  parts.sheet = sheet_xml(R"(<row r="1">
      <c r="A1"><v>12</v></c><c r="B1" t="n"><v>-1.5</v></c><c r="C1"><v>1E-3</v></c><c r="D1" s="3"><v>1.5e+10</v></c>
      <c r="E1" s="1"><v>45413</v></c><c r="F1" s="2"><v>0.5625</v></c><c r="G1" s="4"><v>45413.75</v></c>
      <c r="H1" s="5"><v>45413</v></c><c r="I1" s="6"><v>45413</v></c><c r="J1" s="99"><v>7</v></c></row>
      <row r="2"><c r="A2" t="b"><v>1</v></c><c r="B2" t="b"><v>0</v></c><c r="C2" t="b"><v>true</v></c>
      <c r="D2" t="e"><v>#N/A</v></c><c r="E2" t="d"><v>2024-05-01T13:30:00</v></c><c r="F2" t="d"><v>13:30</v></c>
      <c r="G2"><v> </v></c><c r="H2" s="1"/><c r="I2" t="str"><v></v></c></row>)");
  const ReadResult book = read_parts(parts);
  ASSERT_TRUE(book) << said(book);
  // A format the book defines stands before the built-in one of its number
  // (H1); an unknown style is no date (J1).
  EXPECT_EQ(cells_of(book->sheets.at(0)),
            (std::vector<std::string>{"A1#12", "B1#-1.5", "C1#0.001", "D1#15000000000", "E1@45413", "F1@0.5625", "G1@45413.75", "H1#45413",
                                      "I1@45413", "J1#7", "A2?1", "B2?0", "C2?1", "D2!#N/A", "E2@45413.5625", "F2@0.5625", "I2="}));
}

TEST(XlsxReader, A1904BookDatesComeInThe1900SystemItsTimesAsTheyAre) {
  BookParts parts;
  parts.workbook = workbook_xml({"S"}, "<workbookPr date1904=\"1\"/>");
  parts.styles = "<styleSheet " + kNs + R"(><cellXfs><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="21"/></cellXfs></styleSheet>)";
  parts.sheet = sheet_xml(R"(<row><c s="1"><v>43951</v></c><c s="2"><v>0.5</v></c><c><v>7</v></c><c t="d"><v>2024-05-01</v></c></row>)");
  const ReadResult book = read_parts(parts);
  ASSERT_TRUE(book) << said(book);
  EXPECT_EQ(cells_of(book->sheets.at(0)), (std::vector<std::string>{"A1@45413", "B1@0.5", "C1#7", "D1@45413"}));
}

TEST(XlsxReader, FormulasKeepTheirLastValuesAndAreCounted) {
  const ReadResult book = read_sheet(R"(<row r="1"><c r="A1"><f>1+1</f><v>2</v></c><c r="B1" t="str"><f>"a"&amp;"b"</f><v>ab</v></c>
      <c r="C1"><f t="shared" ref="C1:D1" si="0">A1*2</f><v>4</v></c><c r="D1"><f t="shared" si="0"/><v>8</v></c>
      <c r="E1"><f>D1*2</f><v></v></c><c r="F1"><f>F9</f></c><c r="G1" t="e"><f>1/0</f><v>#DIV/0!</v></c></row>)");
  ASSERT_TRUE(book) << said(book);
  const Sheet& sheet = book->sheets.at(0);
  // Formulas never calculated (openpyxl's) have no value to keep.
  EXPECT_EQ(cells_of(sheet), (std::vector<std::string>{"A1#2f", "B1=abf", "C1#4f", "D1#8f", "G1!#DIV/0!f"}));
  EXPECT_EQ(sheet.formulas, 7u);
  EXPECT_EQ(sheet.not_kept, std::vector<std::string>{"数式"});
}

TEST(XlsxReader, CellsAndRowsWithoutTheirNamesFollowTheOnesBefore) {
  const ReadResult book = read_sheet(R"(<row><c><v>1</v></c><c/><c><v>3</v></c></row><row r="5"><c r="B5"><v>4</v></c><c><v>5</v></c></row>
      <row><c><v>6</v></c></row><row r="7"/><row><c r="XFD8"><v>7</v></c></row>)");
  ASSERT_TRUE(book) << said(book);
  EXPECT_EQ(cells_of(book->sheets.at(0)), (std::vector<std::string>{"A1#1", "C1#3", "B5#4", "C5#5", "A6#6", "XFD8#7"}));
}

TEST(XlsxReader, CellsOutOfOrderAreSortedACellGivenTwiceIsRefused) {
  const ReadResult sorted = read_sheet(R"(<row r="3"><c r="B3"><v>3</v></c><c r="A3"><v>2</v></c></row><row r="1"><c r="C1"><v>1</v></c></row>)");
  ASSERT_TRUE(sorted) << said(sorted);
  EXPECT_EQ(cells_of(sorted->sheets.at(0)), (std::vector<std::string>{"C1#1", "A3#2", "B3#3"}));

  const std::pair<const char*, const char*> twice_over[] = {
      {R"(<row r="1"><c r="A1"><v>1</v></c><c r="A1"><v>2</v></c></row>)", "A1"},
      {R"(<row r="2"><c r="B2"><v>1</v></c></row><row r="1"><c r="A1"/></row><row r="2"><c r="B2"><v>2</v></c></row>)", "B2"},
      {R"(<row r="2"><c><v>1</v></c><c><v>1</v></c></row><row r="2"><c r="B2" t="inlineStr"><is><t>x</t></is></c></row>)", "B2"},
  };
  for (const auto& [rows, cell] : twice_over) {
    const ReadResult twice = read_sheet(rows);
    ASSERT_FALSE(twice) << rows;
    EXPECT_EQ(twice.failure().kind, ReadFailure::Kind::damaged);
    EXPECT_EQ(twice.failure().sheet, "Sheet1");
    EXPECT_EQ(twice.failure().cell, cell) << rows;
  }
}

TEST(XlsxReader, PlacesBeyondTheSheetAndValuesThatAreNoneAreRefusedByCell) {
  const std::pair<const char*, const char*> cases[] = {
      {R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)", "XFE1"},
      {R"(<row r="1"><c r="A1048577"><v>1</v></c></row>)", "A1048577"},
      {R"(<row r="1"><c r="$A$1"><v>1</v></c></row>)", "$A$1"},
      {R"(<row r="1"><c r="XFD1"/><c><v>1</v></c></row>)", "XFD1"},
      {R"(<row r="1"><c r="B1"><v>1,5</v></c></row>)", "B1"},
      {R"(<row r="1"><c r="B1" t="s"><v>0</v></c></row>)", "B1"},
      {R"(<row r="1"><c r="B1" t="b"><v>2</v></c></row>)", "B1"},
      {R"(<row r="1"><c r="B1" t="d"><v>2024-02-30</v></c></row>)", "B1"},
      {R"(<row r="1"><c r="B1" t="x"><v>1</v></c></row>)", "B1"},
      {R"(<row r="1048577"><c><v>1</v></c></row>)", ""},
      {R"(<row r="0"/>)", ""},
      {R"(<row r="1048576"/><row><c><v>1</v></c></row>)", ""},
  };
  for (const auto& [rows, cell] : cases) {
    const ReadResult book = read_sheet(rows);
    ASSERT_FALSE(book) << rows;
    EXPECT_EQ(book.failure().kind, ReadFailure::Kind::damaged) << rows;
    EXPECT_EQ(book.failure().cell, cell) << rows;
    EXPECT_EQ(book.failure().sheet, "Sheet1") << rows;
    EXPECT_EQ(book.failure().part, "xl/worksheets/sheet1.xml") << rows;
  }
}

TEST(XlsxReader, SheetsAreFoundThroughTheRelationshipsInTheWorkbooksOrder) {
  BookParts parts;
  parts.sheet = sheet_xml(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>one</t></is></c></row>)");
  parts.workbook = "<workbook " + kNs + " xmlns:r=\"" + std::string(fuzz::kRelationshipsNs) +
                   u8(u8R"(">
      <mc:AlternateContent xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006"><mc:Choice Requires="x15">
      <sheets><sheet name="choice" r:id="rId1"/></sheets></mc:Choice></mc:AlternateContent>
      <sheets><sheet name="三" r:id="rId3"/><sheet name="グラフ" r:id="rId4"/><sheet name="一" r:id="rId1"/><sheet name="二" r:id="rId2"/>
      <sheet name="%" r:id="rId5"/></sheets></workbook>)");
  parts.relationships = relationships_xml({{"worksheet", "worksheets/sheet1.xml"},
                                           {"worksheet", "/xl/worksheets/sheet2.xml"},
                                           {"worksheet", "../xl/./sheets/../worksheets/sheet%203.xml"},
                                           {"chartsheet", "chartsheets/sheet1.xml"},
                                           {"worksheet", "worksheets\\sheet4.xml"}});
  // The second sheet in a namespace's prefix; the fourth in the strict form.
  const std::string second = R"(<x:worksheet xmlns:x=")" + std::string(fuzz::kSpreadsheetNs) +
                             R"("><x:sheetData><x:row><x:c><x:v>2</x:v></x:c></x:row></x:sheetData></x:worksheet>)";
  parts.more = {{"xl/worksheets/sheet2.xml", second},
                {"xl/worksheets/sheet 3.xml", sheet_xml(R"(<row><c><v>3</v></c></row>)")},
                {"xl/chartsheets/sheet1.xml", "<chartsheet " + kNs + "/>"},
                {"XL/Worksheets/Sheet4.xml", R"(<worksheet xmlns="http://purl.oclc.org/ooxml/spreadsheetml/main"><sheetData>
                     <row><c><v>4</v></c></row></sheetData></worksheet>)"}};
  const ReadResult book = read_parts(parts);
  ASSERT_TRUE(book) << said(book);
  ASSERT_EQ(book->sheets.size(), 4u);
  EXPECT_EQ(book->sheets[0].name, u8(u8"三"));
  EXPECT_EQ(cells_of(book->sheets[0]), std::vector<std::string>{"A1#3"});
  EXPECT_EQ(book->sheets[1].name, u8(u8"一"));
  EXPECT_EQ(cells_of(book->sheets[1]), std::vector<std::string>{"A1=one"});
  EXPECT_EQ(cells_of(book->sheets[2]), std::vector<std::string>{"A1#2"});
  EXPECT_EQ(cells_of(book->sheets[3]), std::vector<std::string>{"A1#4"});
  ASSERT_EQ(book->skipped.size(), 1u);
  EXPECT_EQ(book->skipped[0].name, u8(u8"グラフ"));
  EXPECT_EQ(book->skipped[0].kind, "グラフシート");
}

TEST(XlsxReader, WhatANewBookLeavesOutIsNamedOnceInTheOrderFound) {
  BookParts parts;
  parts.workbook = workbook_xml({"S", "H"}, R"(<workbookProtection lockStructure="1"/><externalReferences/>)");
  parts.workbook.insert(parts.workbook.find("r:id=\"rId2\""), "state=\"hidden\" ");
  parts.workbook.insert(parts.workbook.rfind("</workbook>"), R"(<definedNames><definedName name="_xlnm.Print_Area">S!$A$1</definedName>
      <definedName name="total">S!$A$1</definedName></definedNames>)");
  parts.relationships = relationships_xml({{"worksheet", "worksheets/sheet1.xml"}, {"worksheet", "worksheets/sheet1.xml"}, {"vbaProject", "vbaProject.bin"}});
  parts.sheet = sheet_xml(R"(<row r="1" hidden="1"><c r="A1"><f>1</f><v>1</v></c><c r="B1"><f>2</f><v>2</v></c></row>)",
                          R"(<sheetProtection sheet="1"/><mergeCells><mergeCell ref="A1:B1"/></mergeCells><mergeCells/>
      <conditionalFormatting sqref="A1"/><dataValidations/><hyperlinks/><drawing r:id="rId1"/><legacyDrawing r:id="rId2"/>
      <tableParts/><extLst><ext uri="x" xmlns:x14="http://schemas.microsoft.com/office/spreadsheetml/2009/9/main">
      <x14:conditionalFormattings/><x14:sparklineGroups/></ext></extLst>)");
  parts.more = {{"xl/worksheets/_rels/sheet1.xml.rels", relationships_xml({{"comments", "../comments1.xml"}, {"pivotTable", "../p.xml"}})}};
  const ReadResult book = read_parts(parts);
  ASSERT_TRUE(book) << said(book);
  EXPECT_EQ(book->sheets.at(0).not_kept, (std::vector<std::string>{"非表示の行・列", "数式", "シートの保護", "セルの結合", "条件付き書式", "入力規則",
                                                                    "ハイパーリンク", "図・グラフ", "テーブル", "スパークライン", "ピボットテーブル", "コメント"}));
  EXPECT_EQ(book->sheets.at(0).formulas, 2u);
  EXPECT_EQ(book->sheets.at(1).not_kept.front(), "シートの非表示");
  EXPECT_EQ(book->not_kept, (std::vector<std::string>{"ブックの保護", "外部参照", "名前の定義", "マクロ"}));

  // A legacy drawing alone holds shapes or controls; empty protections are
  // what some writers put into every book.
  parts = BookParts{sheet_xml("", R"(<sheetProtection/><legacyDrawing r:id="rId1"/>)")};
  parts.workbook = workbook_xml({"S"}, "<workbookProtection/>");
  const ReadResult plain = read_parts(parts);
  ASSERT_TRUE(plain) << said(plain);
  EXPECT_EQ(plain->sheets.at(0).not_kept, std::vector<std::string>{"図・グラフ"});
  EXPECT_TRUE(plain->not_kept.empty());
}

TEST(XlsxReader, FilesThatHoldNoWorkbookSayWhatTheyAre) {
  using K = ReadFailure::Kind;
  const auto kind = [](std::string_view bytes) {
    const ReadResult book = read_xlsx(bytes);
    EXPECT_FALSE(book) << bytes.size();
    return book ? K::damaged : book.failure().kind;
  };
  EXPECT_EQ(kind(""), K::not_zip);
  EXPECT_EQ(kind("ボイス名,話者\r\n"), K::not_zip);
  const ReadResult xls = read_xlsx(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'));
  EXPECT_EQ(xls.failure().kind, K::not_zip);
  EXPECT_NE(xls.failure().detail.find(".xls"), std::string::npos);

  const std::string good = book_archive({sheet_xml("")});
  ASSERT_TRUE(read_xlsx(good));
  // Cut short, the archive's directory at its end is gone or broken.
  for (std::size_t cut : {std::size_t{2}, std::size_t{30}, good.size() / 2, good.size() - 30, good.size() - 23}) {
    EXPECT_EQ(kind(std::string_view(good).substr(0, cut)), K::damaged) << cut;
  }
  EXPECT_EQ(kind(fuzz::zip_archive({{"readme.txt", "x"}})), K::not_workbook);
  EXPECT_EQ(kind(fuzz::zip_archive({{"word/document.xml", "<document/>"}, {"_rels/.rels", relationships_xml({{"officeDocument", "word/document.xml"}})}})),
            K::not_workbook);
  const ReadResult ods = read_xlsx(fuzz::zip_archive({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", "<x/>"}}));
  EXPECT_EQ(ods.failure().kind, K::not_workbook);
  EXPECT_NE(ods.failure().detail.find(".ods"), std::string::npos);
  // A workbook part that is something else.
  EXPECT_EQ(kind(fuzz::zip_archive({{"xl/workbook.xml", "<document/>"}})), K::not_workbook);
}

TEST(XlsxReader, DamagedArchivesAndPartsAreNamed) {
  using K = ReadFailure::Kind;
  const auto failure_of = [](std::vector<ZipEntry> more, BookParts parts = BookParts{sheet_xml("")}) {
    parts.more = std::move(more);
    const ReadResult book = read_parts(parts);
    EXPECT_FALSE(book);
    return book ? ReadFailure{} : book.failure();
  };
  // One name twice (letter case and "\" aside).
  EXPECT_EQ(failure_of({{"XL\\Workbook.xml", "<x/>"}}).part, "xl/workbook.xml");
  EXPECT_EQ(failure_of({{"xl/worksheets/sheet1.xml", "<x/>"}}).kind, K::damaged);

  BookParts parts{sheet_xml("")};
  parts.deflate = false;
  std::vector<ZipEntry> entries;
  for (const bool deflate : {false, true}) {
    SCOPED_TRACE(deflate);
    for (int fault = 0; fault < 3; ++fault) {
      ZipEntry sheet{"xl/worksheets/sheet1.xml", sheet_xml(R"(<row><c><v>1</v></c></row>)"), deflate};
      if (fault == 0) sheet.wrong_crc = true;
      if (fault == 1) sheet.stated_size = static_cast<std::int64_t>(sheet.data.size()) - 3;
      if (fault == 2) sheet.stated_size = static_cast<std::int64_t>(sheet.data.size()) + 3;
      BookParts p{""};
      p.relationships = relationships_xml({{"worksheet", "worksheets/s.xml"}});
      sheet.name = "xl/worksheets/s.xml";
      const ReadFailure f = failure_of({sheet}, p);
      EXPECT_EQ(f.kind, K::damaged) << fault;
      EXPECT_EQ(f.part, "xl/worksheets/s.xml") << fault;
      EXPECT_EQ(f.sheet, "Sheet1") << fault;
    }
  }

  // A sheet whose part or relationship is missing; a name twice; no name.
  parts = BookParts{sheet_xml("")};
  parts.relationships = relationships_xml({{"worksheet", "worksheets/sheet1.xml"}, {"worksheet", "worksheets/none.xml"}});
  for (const auto& names : {std::vector<std::string>{"A", "B"}, std::vector<std::string>{"A", "C", "c"}, std::vector<std::string>{"A", ""}}) {
    parts.workbook = workbook_xml(names);
    if (names.size() == 3) parts.relationships = relationships_xml({{"worksheet", "worksheets/sheet1.xml"}, {"worksheet", "worksheets/sheet1.xml"},
                                                                    {"worksheet", "worksheets/sheet1.xml"}});
    const ReadResult book = read_parts(parts);
    ASSERT_FALSE(book);
    EXPECT_EQ(book.failure().kind, K::damaged);
    EXPECT_EQ(book.failure().sheet, names.back());
  }
  parts.workbook = workbook_xml({"A", "B"});
  parts.relationships = relationships_xml({{"worksheet", "worksheets/sheet1.xml"}});
  const ReadResult no_relationship = read_parts(parts);
  ASSERT_FALSE(no_relationship);
  EXPECT_EQ(no_relationship.failure().sheet, "B");

  // Malformed XML, with its line; a part that is not what its relationship says.
  const ReadResult malformed = read_parts({sheet_xml("<row>\n<c><v>1</v></row>")});
  ASSERT_FALSE(malformed);
  EXPECT_EQ(malformed.failure().part, "xl/worksheets/sheet1.xml");
  EXPECT_NE(malformed.failure().detail.find("3 "), std::string::npos) << said(malformed);
  EXPECT_FALSE(read_parts({"<sst " + kNs + "/>"}));
  parts = BookParts{sheet_xml("")};
  parts.shared_strings = "<worksheet " + kNs + "/>";
  EXPECT_EQ(read_parts(parts).failure().part, "xl/sharedStrings.xml");
}

TEST(XlsxReader, NoDtdIsReadSoNoEntityExpands) {
  const std::string laughs = R"(<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol"><!ENTITY lol2 "&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;">
      <!ENTITY lol3 "&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;"><!ENTITY lol4 "&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;">]>
      <sst )" + kNs + "><si><t>&lol4;</t></si></sst>";
  const std::string outside = R"(<?xml version="1.0"?><!DOCTYPE x SYSTEM "file:///etc/passwd"><sst )" + kNs + "><si><t>&x;</t></si></sst>";
  const std::string bare = "<!DOCTYPE worksheet><worksheet " + kNs + "/>";
  for (const std::string& strings : {laughs, outside}) {
    BookParts parts{sheet_xml("")};
    parts.shared_strings = strings;
    const ReadResult book = read_parts(parts);
    ASSERT_FALSE(book);
    EXPECT_EQ(book.failure().part, "xl/sharedStrings.xml");
    EXPECT_NE(book.failure().detail.find("DTD"), std::string::npos) << said(book);
  }
  EXPECT_FALSE(read_parts({bare}));
}

TEST(XlsxReader, DeepNestingIsRefused) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<x>";
  for (int i = 0; i < 100000; ++i) deep += "</x>";
  const ReadResult book = read_sheet("", deep);
  ASSERT_FALSE(book);
  EXPECT_EQ(book.failure().kind, ReadFailure::Kind::damaged);
  // Nesting within the limit is read, however foreign.
  std::string fine = "<extLst>";
  for (int i = 0; i < 200; ++i) fine += "<y:x xmlns:y=\"urn:y\">";
  for (int i = 0; i < 200; ++i) fine += "</y:x>";
  EXPECT_TRUE(read_sheet("", fine + "</extLst>"));
}

TEST(XlsxReader, ZipBombsStopAtTheLimits) {
  using K = ReadFailure::Kind;
  // A part that would unpack to 300 MB, of 300 KB.
  BookParts parts{""};
  parts.relationships = relationships_xml({{"worksheet", "worksheets/big.xml"}});
  parts.more = {fuzz::repeated_entry("xl/worksheets/big.xml", "<worksheet " + kNs + "><sheetData>", ' ', 300ull << 20, "</sheetData></worksheet>")};
  const ReadResult big = read_parts(parts);
  ASSERT_FALSE(big);
  EXPECT_EQ(big.failure().kind, K::too_large);
  EXPECT_EQ(big.failure().part, "xl/worksheets/big.xml");

  // A part stated smaller than it unpacks.
  parts.more[0].stated_size = 1000;
  EXPECT_EQ(read_parts(parts).failure().kind, K::damaged);

  // Within the limit for one part, read over and over by the sheets that
  // name it: all reading counts.
  Limits limits;
  limits.part_bytes = 1 << 20;
  limits.total_bytes = 3 << 20;
  parts.workbook = workbook_xml({"1", "2", "3", "4"});
  parts.relationships = relationships_xml({{"worksheet", "worksheets/big.xml"}, {"worksheet", "worksheets/big.xml"},
                                           {"worksheet", "worksheets/big.xml"}, {"worksheet", "worksheets/big.xml"}});
  parts.more = {fuzz::repeated_entry("xl/worksheets/big.xml", "<worksheet " + kNs + "><sheetData>", ' ', 900 << 10, "</sheetData></worksheet>")};
  const ReadResult again = read_parts(parts, limits);
  ASSERT_FALSE(again);
  EXPECT_EQ(again.failure().kind, K::too_large);
  EXPECT_EQ(again.failure().sheet, "4");

  // One long shared string in every cell: what is kept counts.
  parts = BookParts{};
  parts.shared_strings = "<sst " + kNs + "><si><t>" + std::string(100000, 'x') + "</t></si></sst>";
  std::string rows;
  for (int row = 1; row <= 100; ++row) rows += "<row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>0</v></c></row>";
  parts.sheet = sheet_xml(rows);
  limits = Limits{};
  limits.value_bytes = 10 << 20;
  const ReadResult many = read_parts(parts, limits);
  ASSERT_FALSE(many);
  EXPECT_EQ(many.failure().kind, K::too_large);
  EXPECT_EQ(many.failure().cell, "A53");
  limits.value_bytes = 30 << 20;
  EXPECT_TRUE(read_parts(parts, limits));
}

TEST(XlsxReader, OneLongTokenTakesLinearTime) {
  // A 64 MB attribute is one token, which the XML parser reads again from
  // its start as each piece of it comes; the pieces grow with it.
  BookParts parts{""};
  parts.relationships = relationships_xml({{"worksheet", "worksheets/long.xml"}});
  parts.more = {fuzz::repeated_entry("xl/worksheets/long.xml", "<worksheet " + kNs + " a=\"", 'x', 64 << 20, "\"><sheetData/></worksheet>")};
  const std::string file = book_archive(parts);
  const std::uint32_t start = steady_clock_ms();
  const ReadResult book = read_xlsx(file);
  ASSERT_TRUE(book) << said(book);
  // Some tenths of a second; again from the start each time, minutes.
  EXPECT_LT(steady_clock_ms() - start, 10000u);
}

TEST(XlsxReader, FailureTextNamesTheSheetAndTheCell) {
  ReadFailure failure;
  failure.detail = "壊れています。";
  EXPECT_EQ(failure_text(failure), "壊れています。");
  failure.part = "xl/styles.xml";
  EXPECT_EQ(failure_text(failure), "xl/styles.xml: 壊れています。");
  failure.sheet = u8(u8"台帳");
  EXPECT_EQ(failure_text(failure), "シート「台帳」: 壊れています。");
  failure.cell = "B12";
  EXPECT_EQ(failure_text(failure), "シート「台帳」のセル B12: 壊れています。");
  failure.sheet = u8(u8"台帳😀é");
  EXPECT_EQ(failure_text(failure), "シート「台帳??」のセル B12: 壊れています。");
}

// ---- books as their writers write them ------------------------------------

ReadResult read_fixture(const char* name) {
  return read_xlsx(testing::read_file(std::filesystem::path(LUMENO_SOURCE_DIR) / "tests" / "xlsx" / name));
}

TEST(XlsxReaderFiles, OpenpyxlsBook) {
  const ReadResult book = read_fixture("openpyxl.xlsx");
  ASSERT_TRUE(book) << said(book);
  ASSERT_EQ(book->sheets.size(), 2u);
  const Sheet& sheet = book->sheets[0];
  EXPECT_EQ(sheet.name, u8(u8"収録"));
  const auto expected = utf8_list({u8"A1=ボイス名", u8"B1=話者", u8"C1=本文", u8"D1=テイク", u8"E1=収録日", u8"F1=OK",
                                   u8"A2=ERI_0001", u8"B2=エリ", u8"C2=「おはよう」\n二行目", u8"D2#3", u8"E2@45413", u8"F2?1", u8"H2#1e-20",
                                   u8"A3=ERI_0002", u8"B3=エリ", u8"C3=a & b < c", u8"D3#0.001", u8"E3@45414.5732638889", u8"F3?0",
                                   u8"H3#123456789012345", u8"A4=YUU_0001", u8"B4=ユウ", u8"D4#-12.5", u8"E4@0.395833333333333", u8"A6=結合"});
  EXPECT_EQ(cells_of(sheet), expected);
  EXPECT_EQ(serial_date(at(sheet, "E3")->number), (DateTime{2024, 5, 2, 13, 45, 30}));
  EXPECT_EQ(serial_date(at(sheet, "E4")->number), (DateTime{1900, 1, 0, 9, 30, 0}));
  // G2's formula was never calculated.
  EXPECT_EQ(sheet.formulas, 1u);
  EXPECT_EQ(sheet.not_kept, (std::vector<std::string>{"数式", "非表示の行・列", "セルの結合", "条件付き書式", "入力規則", "コメント"}));
  EXPECT_EQ(book->sheets[1].name, u8(u8"メモ"));
  EXPECT_EQ(cells_of(book->sheets[1]), utf8_list({u8"A1#42", u8"B3=空白の後"}));
  ASSERT_EQ(book->skipped.size(), 1u);
  EXPECT_EQ(book->skipped[0].name, u8(u8"グラフ"));
  EXPECT_EQ(book->skipped[0].kind, "グラフシート");
  EXPECT_TRUE(book->not_kept.empty());

  const ReadResult old = read_fixture("openpyxl-1904.xlsx");
  ASSERT_TRUE(old) << said(old);
  EXPECT_EQ(cells_of(old->sheets.at(0)), (std::vector<std::string>{"A1@45413", "A2@1463.25", "A3@0.5", "A4#7"}));
}

TEST(XlsxReaderFiles, LibreOfficesBook) {
  const ReadResult book = read_fixture("libreoffice.xlsx");
  ASSERT_TRUE(book) << said(book);
  ASSERT_EQ(book->sheets.size(), 2u);
  const Sheet& sheet = book->sheets[0];
  EXPECT_EQ(sheet.name, u8(u8"台帳"));
  // B3 is rich text whose middle run LibreOffice escaped as "_x005F_x0041_".
  const auto expected = utf8_list({u8"A1=ボイス名", u8"B1=本文", u8"C1=テイク", u8"D1=収録日", u8"E1=OK",
                                   u8"A2=ERI_0001", u8"B2=強調太字です", u8"C2#2", u8"D2@45413", u8"E2?1",
                                   u8"A3=ERI_0002", u8"B3=下線_x0041_はそのまま", u8"C3#6f", u8"D3@0.572916666666667", u8"E3!#DIV/0!f",
                                   u8"A4=隠れた行", u8"B4=連結f", u8"C4#0.001", u8"A5=結合したセル", u8"D5=注記つき"});
  EXPECT_EQ(cells_of(sheet), expected);
  EXPECT_EQ(sheet.formulas, 3u);
  EXPECT_EQ(sheet.not_kept, (std::vector<std::string>{"数式", "非表示の行・列", "セルの結合", "コメント"}));
  EXPECT_EQ(cells_of(book->sheets[1]), std::vector<std::string>{"B1=B1"});
  EXPECT_TRUE(book->skipped.empty());
  EXPECT_TRUE(book->not_kept.empty());
}

TEST(XlsxReaderFiles, ABookAsExcelWritesIt) {
  const ReadResult book = read_fixture("excel-style.xlsx");
  ASSERT_TRUE(book) << said(book);
  ASSERT_EQ(book->sheets.size(), 2u);
  const Sheet& sheet = book->sheets[0];
  EXPECT_EQ(sheet.name, u8(u8"収録台帳"));
  const auto expected = utf8_list({u8"A1=ボイス名", u8"B1=テイク", u8"C1=台詞の強調", u8"D1=収録日",
                                   u8"A2=ERI_0001", u8"B2#3", u8"C2=一行目\r\n二行目 ", u8"D2@45413", u8"E2@0.5625", u8"F2?1",
                                   u8"B3#4f", u8"C3=_x0041_ は下線つき", u8"D3@45414.75", u8"E3#0.001", u8"F3!#N/Af",
                                   u8"B4#5f", u8"C4=ERI_0001_3f", u8"C5=<要再収録> & 😀", u8"F5=インライン"});
  EXPECT_EQ(cells_of(sheet), expected);
  EXPECT_EQ(sheet.formulas, 4u);
  EXPECT_EQ(sheet.not_kept, (std::vector<std::string>{"数式", "オートフィルター", "条件付き書式", "入力規則", "コメント"}));
  EXPECT_EQ(book->sheets[1].name, u8(u8"控え"));
  EXPECT_EQ(cells_of(book->sheets[1]), utf8_list({u8"A1=OK", u8"A2=NG", u8"A3=要再収録"}));
  EXPECT_EQ(book->sheets[1].not_kept, std::vector<std::string>{"シートの非表示"});
  EXPECT_TRUE(book->not_kept.empty());
}

TEST(XlsxReaderFiles, WhatLibxlsxwriterWritesReadsBack) {
  const testing::TempDir dir;
  std::string tmpdir = dir.path().string();
  const std::string text = u8(u8"改行\r\nと_x0041_と\x01");
  for (int mode = 0; mode < 3; ++mode) {
    SCOPED_TRACE(mode);
    const std::filesystem::path path = dir / ("book" + std::to_string(mode) + ".xlsx");
    lxw_workbook_options options{};
    options.constant_memory = mode == 1 ? LXW_TRUE : LXW_FALSE;
    options.use_zip64 = mode == 2 ? LXW_TRUE : LXW_FALSE;
    options.tmpdir = tmpdir.data();
    lxw_workbook* wb = workbook_new_opt(path.string().c_str(), &options);
    ASSERT_NE(wb, nullptr);
    lxw_worksheet* ws = workbook_add_worksheet(wb, u8(u8"収録台帳").c_str());
    lxw_format* date = workbook_add_format(wb);
    format_set_num_format(date, "yyyy/mm/dd hh:mm");
    lxw_format* bold = workbook_add_format(wb);
    format_set_bold(bold);
    worksheet_write_string(ws, 0, 0, u8(u8"ボイス名").c_str(), bold);
    worksheet_write_string(ws, 0, 1, protect_escapes(text).c_str(), nullptr);
    worksheet_write_number(ws, 1, 0, 0.1, nullptr);
    lxw_datetime when{2024, 5, 1, 13, 30, 0};
    worksheet_write_datetime(ws, 1, 1, &when, date);
    worksheet_write_boolean(ws, 1, 2, 1, nullptr);
    worksheet_write_formula_num(ws, 1, 3, "=A2*2", nullptr, 0.2);
    worksheet_write_formula_str(ws, 1, 4, "=\"a\"&\"b\"", nullptr, "ab");
    const std::string first = u8(u8"太字"), second = u8(u8"と普通");
    lxw_rich_string_tuple run1{bold, const_cast<char*>(first.c_str())};
    lxw_rich_string_tuple run2{nullptr, const_cast<char*>(second.c_str())};
    lxw_rich_string_tuple* runs[] = {&run1, &run2, nullptr};
    worksheet_write_rich_string(ws, 2, 0, runs, nullptr);
    worksheet_merge_range(ws, 3, 0, 3, 2, "merged", nullptr);
    worksheet_write_comment(ws, 4, 0, "note");
    lxw_worksheet* far = workbook_add_worksheet(wb, "far");
    worksheet_write_number(far, kMaxRows - 1, kMaxColumns - 1, 1, nullptr);
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);

    const ReadResult book = read_xlsx(testing::read_file(path));
    ASSERT_TRUE(book) << said(book);
    ASSERT_EQ(book->sheets.size(), 2u);
    const Sheet& sheet = book->sheets[0];
    EXPECT_EQ(sheet.name, u8(u8"収録台帳"));
    const auto expected = std::vector<std::string>{u8(u8"A1=ボイス名"), "B1=" + text, "A2#0.1", "B2@45413.5625", "C2?1", "D2#0.2f", "E2=abf",
                                                   u8(u8"A3=太字と普通"), "A4=merged"};
    EXPECT_EQ(cells_of(sheet), expected);
    EXPECT_EQ(sheet.not_kept, (std::vector<std::string>{"数式", "セルの結合", "コメント"}));
    EXPECT_EQ(cells_of(book->sheets[1]), std::vector<std::string>{"XFD1048576#1"});
  }
}

}  // namespace
}  // namespace lumeno::scriptbuilder::xlsx
