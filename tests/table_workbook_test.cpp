// Plain table workbooks read back with the workbook reader: every kind of
// value comes back as written, dates as dates, texts that read like the
// format's escapes as typed.
#include <gtest/gtest.h>

#include <deque>

#include "scriptbuilder/workbooks/library_files.h"
#include "scriptbuilder/workbooks/table_workbook.h"
#include "scriptbuilder/workbooks/xlsx_package.h"
#include "scriptbuilder/workbooks/xlsx_reader.h"
#include "tests/support.h"

namespace lumeno::scriptbuilder {
namespace {

std::string u(std::u8string_view text) { return {reinterpret_cast<const char*>(text.data()), text.size()}; }

TEST(TableWorkbook, ValuesComeBackAsWritten) {
  testing::TempDir tmp;
  std::deque<CellValue> values = {
      CellValue::of_text(u(u8"「長い話\nだけど」")), CellValue::of_text("_x0041_ and _x005F_"), CellValue::of_number(12.5),
      CellValue{CellValue::Kind::date, {}, 46000},  CellValue{CellValue::Kind::boolean, {}, 1}, CellValue::of_text(u(u8"絵文字😀")),
  };
  TableSheet sheet;
  sheet.name = u(u8"エリ");
  for (const std::string& header : {u(u8"本文"), std::string("_x0042_"), u(u8"行")}) sheet.columns.push_back({header, 10, false, {}});
  sheet.columns[0].choices = {"OK", "NG"};
  for (const CellValue& value : values) sheet.cells.push_back(&value);
  sheet.chart = TableChart{"t", 1, 2, 0, {2}};
  const std::filesystem::path file = tmp / "book.xlsx";
  const WorkbookTarget target{*library_files::library_name(file), *library_files::library_name(tmp.path())};
  ASSERT_EQ(write_table_workbook(target, std::span<const TableSheet>(&sheet, 1), [] { return false; }), WorkbookStatus::written);

  xlsx::ReadResult read = xlsx::read_xlsx(testing::read_file(file));
  ASSERT_TRUE(read.ok()) << xlsx::failure_text(read.failure());
  ASSERT_EQ(read->sheets.size(), 1u);
  const xlsx::Sheet& back = read->sheets[0];
  EXPECT_EQ(back.name, sheet.name);
  ASSERT_EQ(back.cells.size(), 3u + values.size());
  EXPECT_EQ(back.cells[1].text, "_x0042_");
  const xlsx::CellKind kinds[] = {xlsx::CellKind::text, xlsx::CellKind::text,    xlsx::CellKind::number,
                                  xlsx::CellKind::date, xlsx::CellKind::boolean, xlsx::CellKind::text};
  for (std::size_t k = 0; k < values.size(); ++k) {
    const xlsx::Cell& cell = back.cells[3 + k];
    EXPECT_EQ(cell.row, 1 + k / 3);
    EXPECT_EQ(cell.column, k % 3);
    EXPECT_EQ(cell.kind, kinds[k]) << k;
    if (values[k].kind == CellValue::Kind::text) {
      EXPECT_EQ(cell.text, values[k].text);
    } else {
      EXPECT_EQ(cell.number, values[k].number);
    }
  }
}

// The workbook's defined names, as xl/workbook.xml holds them.
class DefinedNames : public xlsx::PartHandler {
 public:
  void start(std::string_view local, const xlsx::XmlAttributes&) override {
    if (local == "definedName") text = &names.emplace_back();
  }
  void end(std::string_view) override { text = nullptr; }
  std::vector<std::string> names;
};

TEST(TableWorkbook, ASheetNamedLikeACellKeepsItsFilterOutOfTheWorkbooksNames) {
  testing::TempDir tmp;
  const CellValue value = CellValue::of_text("x");
  std::vector<TableSheet> sheets(2);
  sheets[0].name = u(u8"エリ");
  sheets[1].name = "R2";
  for (TableSheet& sheet : sheets) {
    sheet.columns.push_back({"A", 10, false, {}});
    sheet.cells.push_back(&value);
  }
  const std::filesystem::path file = tmp / "book.xlsx";
  const WorkbookTarget target{*library_files::library_name(file), *library_files::library_name(tmp.path())};
  ASSERT_EQ(write_table_workbook(target, sheets, [] { return false; }), WorkbookStatus::written);
  const std::string bytes = testing::read_file(file);
  auto package = xlsx::Package::open(bytes, {});
  ASSERT_EQ(package.index(), 0u);
  DefinedNames names;
  ASSERT_FALSE(std::get<0>(package).read_xml("xl/workbook.xml", xlsx::Namespace::spreadsheet, names));
  // The other sheet keeps its filter; nothing names R2 unquoted.
  EXPECT_EQ(names.names, std::vector<std::string>{u(u8"'エリ'!$A$1:$A$2")});
  xlsx::ReadResult read = xlsx::read_xlsx(bytes);
  ASSERT_TRUE(read.ok()) << xlsx::failure_text(read.failure());
  EXPECT_EQ(read->sheets.size(), 2u);
}

}  // namespace
}  // namespace lumeno::scriptbuilder
