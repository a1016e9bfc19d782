// A workbook of plain tables, for records a person keeps working in (the
// take book): sheets of typed cells under one header row, each with its
// header frozen and an autofilter over its columns, a drop-down list where
// a column offers one, dates shown as dates, and a stacked bar chart on a
// sheet that asks for one. Cells are UTF-8; the caller makes every text a
// valid cell text and every sheet name a valid one (script_sheet.h's
// SheetNames).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scriptbuilder/workbooks/script_workbook.h"

namespace lumeno::scriptbuilder {

// A cell's value, as a table holds it and as a workbook reader gives it back.
struct CellValue {
  enum class Kind : std::uint8_t { empty, text, number, date, boolean, error };
  Kind kind = Kind::empty;
  std::string text;   // text and error cells (UTF-8)
  double number = 0;  // number, date (the serial of the 1900 date system) and boolean (0 or 1)

  bool empty() const { return kind == Kind::empty || (kind == Kind::text && text.empty()); }
  bool operator==(const CellValue&) const = default;

  static CellValue of_text(std::string utf8) { return {Kind::text, std::move(utf8), 0}; }
  static CellValue of_number(double value) { return {Kind::number, {}, value}; }
};

struct TableColumn {
  std::string header;          // UTF-8
  double width = 10;           // in the format's character units
  bool wrap = false;           // texts wrap within the cell (their line ends shown)
  std::vector<std::string> choices;  // a drop-down list of these texts; any other text may still be typed
};

// A stacked bar chart of some columns of a sheet, a bar a row: the rows
// [first_row, last_row] (0-based, the header is row 0), the category names
// in `category_column`, a series a column of `series_columns` (named by
// its header). Placed beside the table.
struct TableChart {
  std::string title;  // UTF-8
  std::uint32_t first_row = 1;
  std::uint32_t last_row = 1;
  std::uint32_t category_column = 0;
  std::vector<std::uint32_t> series_columns;
};

struct TableSheet {
  std::string name;  // UTF-8, a valid sheet name
  std::vector<TableColumn> columns;
  // Row after row below the header, `columns.size()` cells each; null for
  // an empty cell.
  std::vector<const CellValue*> cells;
  std::size_t rows() const { return columns.empty() ? 0 : cells.size() / columns.size(); }
  // The last row is a total: bold, with a line above.
  bool total_row = false;
  // Number format of number cells of a column ("0.0%"), by column; empty for the general one.
  std::vector<std::string> number_formats;
  std::optional<TableChart> chart;
};

// Writes the sheets, in order, as a workbook at `target` (the library's
// streaming mode: a sheet's rows go to a scratch file of `target.temp_folder`
// as they are written). `cancelled` is asked now and then; on `cancelled` or
// `failed` whatever stands at `target.file` is not a workbook to keep.
WorkbookStatus write_table_workbook(const WorkbookTarget& target, std::span<const TableSheet> sheets,
                                    const std::function<bool()>& cancelled);

// The most characters a cell holds (the format's limit).
inline constexpr std::size_t kMaxCellCharacters = 32767;

}  // namespace lumeno::scriptbuilder
