// Reads the values of an .xlsx workbook, as Excel, LibreOffice, openpyxl and
// libxlsxwriter write them: the take book's way back in after a director
// edited it.
//
// A pure function over the file's bytes. The zip container is read with
// minizip, each part streamed through expat; the sheets are found through
// the workbook's relationships, in the workbook's order. Of every cell the
// reader keeps its value: text (shared and inline strings, rich-text runs
// joined, phonetic runs left out, "_xHHHH_" escapes decoded), numbers,
// booleans, dates (numbers whose number format shows a date or a time, and
// cells of type "d"), error values, and a formula's last calculated value.
// What a sheet holds beyond its values (formulas, merged cells, comments,
// ...) is named, so that a run can say what a book written anew leaves out.
//
// Hostile files are refused, never followed: each part and all parts
// together are read up to a limit, so are the values kept; no DTD is
// accepted (so no entity expands); elements nest 256 deep at most; cells
// lie within the format's 1,048,576 rows and 16,384 columns and stand once.
// Every pass is linear in what it reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "scriptbuilder/workbooks/xlsx_values.h"

namespace lumeno::scriptbuilder::xlsx {

enum class CellKind { text, number, boolean, date, error };

struct Cell {
  std::uint32_t row = 0;     // from 0
  std::uint32_t column = 0;  // from 0
  CellKind kind = CellKind::text;
  // text: the text, UTF-8; error: the error value as shown ("#N/A", "#DIV/0!").
  std::string text;
  // number: the number; date: its serial (1900 system, xlsx_values.h: a
  // 1904 book's dates are converted, its times of day are not); boolean: 0 or 1.
  double number = 0;
  // The cell holds a formula; its value is the one last calculated.
  bool formula = false;
};

struct Sheet {
  std::string name;  // UTF-8
  // Row by row, left to right; cells with no value are left out (a formula
  // never calculated included: it counts in `formulas` only).
  std::vector<Cell> cells;
  // What a book written anew from the values loses of this sheet, each
  // once, in the order found, as a user calls it (CP932): 数式, セルの結合,
  // 条件付き書式, 入力規則, 図・グラフ, コメント, ... Empty when nothing.
  std::vector<std::string> not_kept;
  std::size_t formulas = 0;  // cells with a formula
};

// A sheet that holds no cells to read: a chart sheet, a dialog or macro
// sheet of the old kinds.
struct SkippedSheet {
  std::string name;  // UTF-8
  std::string kind;  // CP932: グラフシート, ダイアログシート, マクロシート, シート
};

struct Book {
  std::vector<Sheet> sheets;  // the worksheets, in the workbook's order
  std::vector<SkippedSheet> skipped;
  // What the book holds beyond its sheets and a book written anew loses
  // (CP932, each once): 名前の定義, 外部参照, マクロ, ブックの保護.
  std::vector<std::string> not_kept;
};

// Why a book could not be read, and where.
struct ReadFailure {
  enum class Kind {
    not_zip,       // no zip archive: another kind of file (an .xls among them), or nothing
    not_workbook,  // a zip archive without a workbook (a document, an .ods, ...)
    damaged,       // a workbook whose parts cannot be read as they are
    too_large,     // beyond the reader's limits (Limits)
  };
  Kind kind = Kind::damaged;
  std::string part;    // the zip entry, "xl/worksheets/sheet1.xml", when one is to blame
  std::string sheet;   // UTF-8: the sheet's name, when one is to blame
  std::string cell;    // "B12", when one cell is to blame
  std::string detail;  // CP932: what is wrong, a sentence
};

// The whole of it for a message (CP932): "シート「台帳」のセル B12: detail",
// "シート「台帳」: detail", "xl/styles.xml: detail" or the detail alone.
// Characters of the sheet's name that CP932 lacks are shown as "?".
std::string failure_text(const ReadFailure& failure);

// What the reader takes at most. A take book of a large scenario (100,000
// rows) takes some ten megabytes of XML; the limits leave room for far more
// and stop a zip bomb long before memory runs out.
struct Limits {
  std::uint64_t part_bytes = 256ull << 20;   // one part, uncompressed
  std::uint64_t total_bytes = 512ull << 20;  // all parts read, uncompressed
  std::uint64_t value_bytes = 512ull << 20;  // the cells kept: their records and texts
};

// A book read, or why not (a Result with a ReadFailure for its error).
class ReadResult {
 public:
  ReadResult(Book book) : state_(std::move(book)) {}                 // NOLINT(google-explicit-constructor)
  ReadResult(ReadFailure failure) : state_(std::move(failure)) {}    // NOLINT(google-explicit-constructor)

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  Book& value() & { return std::get<0>(state_); }
  const Book& value() const& { return std::get<0>(state_); }
  Book&& value() && { return std::get<0>(std::move(state_)); }
  Book& operator*() & { return value(); }
  const Book& operator*() const& { return value(); }
  Book* operator->() { return &value(); }
  const Book* operator->() const { return &value(); }
  const ReadFailure& failure() const { return std::get<1>(state_); }

 private:
  std::variant<Book, ReadFailure> state_;
};

ReadResult read_xlsx(std::string_view bytes, const Limits& limits = {});

}  // namespace lumeno::scriptbuilder::xlsx
