// The .xlsx reader over any bytes: as the file itself (first byte's top bit
// set), or as the XML of a book's parts packed into a sound archive, so
// that the XML is explored too. Parts: options byte, sheet, shared strings,
// styles, workbook, the workbook's relationships (the last two standard
// when empty).
#include <algorithm>
#include <string>

#include "fuzz/fuzz_target.h"
#include "fuzz/xlsx_book.h"
#include "scriptbuilder/workbooks/xlsx_reader.h"

namespace {

bool valid_utf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace

LUMENO_FUZZ_TARGET(xlsx_reader) {
  using namespace lumeno::scriptbuilder::xlsx;
  lumeno::fuzz::Parts parts(data, size);
  const unsigned char options = parts.byte();
  std::string file;
  if ((options & 0x80) != 0) {
    file = std::string(parts.rest());
  } else {
    lumeno::fuzz::BookParts book;
    book.sheet = std::string(parts.next());
    book.shared_strings = std::string(parts.next());
    book.styles = std::string(parts.next());
    book.workbook = std::string(parts.next());
    book.relationships = std::string(parts.next());
    book.deflate = (options & 1) != 0;
    if ((options & 2) != 0) book.workbook = lumeno::fuzz::workbook_xml({"A", "B"}, "<workbookPr date1904=\"1\"/>");
    if ((options & 2) != 0) {
      // Two sheets of one part: what is read twice counts twice.
      book.relationships = lumeno::fuzz::relationships_xml({{"worksheet", "worksheets/sheet1.xml"}, {"worksheet", "/xl/worksheets/sheet1.xml"},
                                                            {"sharedStrings", "sharedStrings.xml"}, {"styles", "styles.xml"}});
    }
    file = lumeno::fuzz::book_archive(book);
  }
  // Small limits, so that the fuzzer meets them.
  Limits limits;
  limits.part_bytes = 1 << 20;
  limits.total_bytes = 3 << 20;
  limits.value_bytes = 2 << 20;
  const ReadResult result = read_xlsx(file, limits);
  if (!result) {
    if (result.failure().detail.empty() || failure_text(result.failure()).empty()) __builtin_trap();
    return 0;
  }
  for (const Sheet& sheet : result->sheets) {
    if (sheet.name.empty() || !valid_utf8(sheet.name)) __builtin_trap();
    std::size_t formulas = 0;
    for (std::size_t i = 0; i < sheet.cells.size(); ++i) {
      const Cell& cell = sheet.cells[i];
      // In order, each once, within the sheet, and named as read.
      if (i > 0) {
        const Cell& last = sheet.cells[i - 1];
        if (last.row > cell.row || (last.row == cell.row && last.column >= cell.column)) __builtin_trap();
      }
      if (cell.row >= kMaxRows || cell.column >= kMaxColumns) __builtin_trap();
      const auto again = parse_cell_name(cell_name(cell.row, cell.column));
      if (!again || again->row != cell.row || again->column != cell.column) __builtin_trap();
      if (!valid_utf8(cell.text)) __builtin_trap();
      if (cell.kind == CellKind::date) serial_date(cell.number);
      if (cell.kind == CellKind::boolean && cell.number != 0 && cell.number != 1) __builtin_trap();
      formulas += cell.formula ? 1 : 0;
    }
    // Every formula is counted, and named among what is not kept.
    if (formulas > sheet.formulas || (sheet.formulas > 0 && sheet.not_kept.empty())) __builtin_trap();
    for (std::size_t i = 0; i < sheet.not_kept.size(); ++i) {
      if (std::count(sheet.not_kept.begin(), sheet.not_kept.end(), sheet.not_kept[i]) != 1) __builtin_trap();
    }
  }
  return 0;
}
