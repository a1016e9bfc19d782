// The .xlsx reader and libxlsxwriter in one Windows program, as Vocar holds
// them: a book written with the one reads back with the other. Both libraries
// carry a minizip of their own; linked statically, each must keep its own
// (scripts/windows-minizip-expat.sh). Run under Wine by xlsx_reader.sh:
//   xlsx_reader_check.exe FOLDER
#include <xlsxwriter.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "scriptbuilder/workbooks/xlsx_reader.h"

namespace {

using namespace lumeno::scriptbuilder::xlsx;

int failed(const std::string& what) {
  std::printf("xlsx_reader_check: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return failed("usage: xlsx_reader_check FOLDER");
  const std::string path = std::string(argv[1]) + "\\check.xlsx";
  const std::string sheet_name = reinterpret_cast<const char*>(u8"収録台帳");
  const std::string text = reinterpret_cast<const char*>(u8"「おはよう」\r\n_x0041_");

  lxw_workbook* wb = workbook_new(path.c_str());
  if (wb == nullptr) return failed("libxlsxwriter cannot make " + path);
  lxw_worksheet* ws = workbook_add_worksheet(wb, sheet_name.c_str());
  lxw_format* date = workbook_add_format(wb);
  format_set_num_format(date, "yyyy/mm/dd");
  worksheet_write_string(ws, 0, 0, protect_escapes(text).c_str(), nullptr);
  worksheet_write_number(ws, 1, 0, 1e-3, nullptr);
  lxw_datetime when{2024, 5, 1, 0, 0, 0};
  worksheet_write_datetime(ws, 1, 1, &when, date);
  worksheet_write_formula_num(ws, 1, 2, "=A2*2", nullptr, 2e-3);
  worksheet_merge_range(ws, 2, 0, 2, 1, "merged", nullptr);
  if (workbook_close(wb) != LXW_NO_ERROR) return failed("libxlsxwriter cannot write " + path);

  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const ReadResult book = read_xlsx(bytes);
  if (!book) return failed("not read: " + book.failure().detail);
  if (book->sheets.size() != 1 || book->sheets[0].name != sheet_name) return failed("not the one sheet written");
  const std::vector<Cell>& cells = book->sheets[0].cells;
  if (cells.size() != 5) return failed("5 cells written, " + std::to_string(cells.size()) + " read");
  if (cells[0].text != text) return failed("A1 reads " + cells[0].text);
  if (cells[1].kind != CellKind::number || cells[1].number != 1e-3) return failed("A2 is not 0.001");
  if (cells[2].kind != CellKind::date || cells[2].number != 45413) return failed("B2 is not the date 2024-05-01");
  if (!cells[3].formula || cells[3].number != 2e-3) return failed("C2 is not the formula's value");
  if (cells[4].text != "merged" || book->sheets[0].not_kept.size() != 2) return failed("A3 or what is not kept");
  std::printf("xlsx_reader_check: the book libxlsxwriter wrote reads back\n");
  return 0;
}
