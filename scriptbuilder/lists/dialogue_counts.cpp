#include "scriptbuilder/lists/dialogue_counts.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <charconv>
#include <memory>

#include "scriptbuilder/scanner.h"

namespace lumeno::scriptbuilder {

namespace {

constexpr std::string_view kHeadings[] = {"ボイス接頭辞", "キャラ名", "ファイル", "ボイスあり行数", "ボイスなし行数", "文字数"};
constexpr double kColumnWidths[] = {14, 16, 48, 15, 15, 12};
constexpr std::string_view kSheet = "ボイス集計";

void append_number(std::string& out, std::int64_t n) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
}

void append_field(std::string& out, std::string_view cp932, const Cp932Decoder& decoder) {
  std::string utf8;
  decoder.append_utf8(cp932, utf8);
  if (utf8.find_first_of(",\"\r\n") == std::string::npos) {
    out += utf8;
    return;
  }
  out += '"';
  for (char c : utf8) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

struct WorkbookFree {
  void operator()(lxw_workbook* wb) const { lxw_workbook_free(wb); }
};

}  // namespace

std::string_view shown_name(const Character& character) {
  if (character.voiced() || character.names.empty()) return character.display_name;
  return character.names.back();
}

std::vector<CountsRow> counts_rows(const CharacterTable& table, std::span<const CharacterCounts> counts,
                                   std::span<const std::string> file_names) {
  std::vector<CountsRow> rows;
  for (std::size_t c = 0; c < table.characters.size(); ++c) {
    const Character& character = table.characters[c];
    rows.push_back({character.voice_prefix, shown_name(character), {}, counts[c].total});
  }
  for (std::size_t c = 0; c < table.characters.size(); ++c) {
    const Character& character = table.characters[c];
    for (const CharacterCounts::File& file : counts[c].files) {
      rows.push_back({character.voice_prefix, shown_name(character), file_names[file.file], file.counts});
    }
  }
  return rows;
}

std::string counts_csv(std::span<const CountsRow> rows, const Cp932Decoder& decoder) {
  std::string out = "\xEF\xBB\xBF";
  for (std::size_t k = 0; k < std::size(kHeadings); ++k) {
    if (k > 0) out += ',';
    append_field(out, kHeadings[k], decoder);
  }
  out += "\r\n";
  for (const CountsRow& row : rows) {
    append_field(out, row.voice_prefix, decoder);
    out += ',';
    append_field(out, row.name, decoder);
    out += ',';
    append_field(out, row.file, decoder);
    for (const std::int64_t n : {row.counts.voiced, row.counts.unvoiced, row.counts.characters}) {
      out += ',';
      append_number(out, n);
    }
    out += "\r\n";
  }
  return out;
}

WorkbookStatus write_counts_workbook(const WorkbookTarget& target, std::span<const CountsRow> rows, const Cp932Decoder& decoder) {
  lxw_workbook_options options{};
  std::string temp_folder = target.temp_folder;
  options.tmpdir = temp_folder.data();
  std::unique_ptr<lxw_workbook, WorkbookFree> wb(workbook_new_opt(target.file.c_str(), &options));
  if (!wb) return WorkbookStatus::failed;
  // The workbook's own font, as the scripts' workbooks have it.
  lxw_format* normal = STAILQ_FIRST(wb->formats);
  lxw_format* heading = workbook_add_format(wb.get());
  if (!normal || !heading) return WorkbookStatus::failed;
  for (lxw_format* f : {normal, heading}) {
    format_set_font_name(f, "MS Gothic");
    format_set_font_size(f, 10.5);
  }
  format_set_bold(heading);
  format_set_bottom(heading, LXW_BORDER_THIN);

  bool ok = true;
  auto check = [&](lxw_error e) { ok = ok && e == LXW_NO_ERROR; };
  std::string cell;
  lxw_worksheet* ws = nullptr;
  auto text = [&](lxw_row_t r, lxw_col_t c, std::string_view cp932, lxw_format* format) {
    if (cp932.empty()) return;
    cell.clear();
    decoder.append_utf8(cp932, cell);
    escape_cell_text(cell);
    check(worksheet_write_string(ws, r, c, cell.c_str(), format));
  };
  // A table longer than a sheet goes on over further sheets, each with the
  // header row.
  constexpr std::size_t kRowsPerSheet = LXW_ROW_MAX - 1;
  const std::size_t columns = std::size(kHeadings);
  for (std::size_t first = 0, sheet = 1; ok && (first == 0 || first < rows.size()); first += kRowsPerSheet, ++sheet) {
    const std::string name = decoder.utf8(kSheet) + (sheet == 1 ? "" : "(" + std::to_string(sheet) + ")");
    ws = workbook_add_worksheet(wb.get(), name.c_str());
    if (!ws) return WorkbookStatus::failed;
    const std::size_t count = std::min(kRowsPerSheet, rows.size() - first);
    for (lxw_col_t c = 0; c < columns; ++c) {
      check(worksheet_set_column(ws, c, c, kColumnWidths[c], nullptr));
      text(0, c, kHeadings[c], heading);
    }
    for (std::size_t k = 0; k < count && ok; ++k) {
      const CountsRow& row = rows[first + k];
      const auto r = static_cast<lxw_row_t>(k + 1);
      text(r, 0, row.voice_prefix, nullptr);
      text(r, 1, row.name, nullptr);
      text(r, 2, row.file, nullptr);
      check(worksheet_write_number(ws, r, 3, static_cast<double>(row.counts.voiced), nullptr));
      check(worksheet_write_number(ws, r, 4, static_cast<double>(row.counts.unvoiced), nullptr));
      check(worksheet_write_number(ws, r, 5, static_cast<double>(row.counts.characters), nullptr));
    }
    worksheet_freeze_panes(ws, 1, 0);
    check(worksheet_autofilter(ws, 0, 0, static_cast<lxw_row_t>(count), static_cast<lxw_col_t>(columns - 1)));
    worksheet_set_paper(ws, 9);  // A4
    worksheet_set_landscape(ws);
    worksheet_fit_to_pages(ws, 1, 0);
    check(worksheet_repeat_rows(ws, 0, 0));
    check(worksheet_set_footer(ws, "&C&P / &N"));
  }
  if (!ok) return WorkbookStatus::failed;
  // The library frees the workbook whatever the outcome.
  return workbook_close(wb.release()) == LXW_NO_ERROR ? WorkbookStatus::written : WorkbookStatus::failed;
}

}  // namespace lumeno::scriptbuilder
