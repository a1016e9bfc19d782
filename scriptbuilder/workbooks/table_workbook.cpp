#include "scriptbuilder/workbooks/table_workbook.h"

#include <xlsxwriter.h>

#include <map>
#include <memory>

#include "scriptbuilder/workbooks/script_sheet.h"
#include "scriptbuilder/workbooks/workbook_handle.h"

namespace lumeno::scriptbuilder {

namespace {

constexpr std::size_t kCancelCheckRows = 4096;
constexpr const char* kDateFormat = "yyyy/mm/dd";

class Writer {
 public:
  Writer(const WorkbookTarget& target, std::span<const TableSheet> sheets, const std::function<bool()>& cancelled)
      : target_(target), sheets_(sheets), cancelled_(cancelled) {}

  WorkbookStatus run() {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(target_.temp_folder.c_str());
    wb_.reset(workbook_new_opt(target_.file.c_str(), &options));
    if (!wb_) return WorkbookStatus::failed;
    make_formats();
    for (const TableSheet& sheet : sheets_) {
      const WorkbookStatus status = write_sheet(sheet);
      if (status != WorkbookStatus::written) return status;
    }
    lxw_workbook* wb = wb_.release();
    return workbook_close(wb) == LXW_NO_ERROR ? WorkbookStatus::written : WorkbookStatus::failed;
  }

 private:
  void make_formats() {
    header_ = workbook_add_format(wb_.get());
    format_set_bold(header_);
    format_set_bottom(header_, LXW_BORDER_THIN);
    format_set_pattern(header_, LXW_PATTERN_SOLID);
    format_set_bg_color(header_, 0xDDEBF7);
    format_set_align(header_, LXW_ALIGN_VERTICAL_TOP);
    plain_ = workbook_add_format(wb_.get());
    format_set_align(plain_, LXW_ALIGN_VERTICAL_TOP);
    wrap_ = workbook_add_format(wb_.get());
    format_set_text_wrap(wrap_);
    format_set_align(wrap_, LXW_ALIGN_VERTICAL_TOP);
    date_ = workbook_add_format(wb_.get());
    format_set_num_format(date_, kDateFormat);
    format_set_align(date_, LXW_ALIGN_VERTICAL_TOP);
    total_ = workbook_add_format(wb_.get());
    format_set_bold(total_);
    format_set_top(total_, LXW_BORDER_THIN);
  }

  lxw_format* number_format(const std::string& code, bool total) {
    auto [it, fresh] = number_formats_.try_emplace({code, total}, nullptr);
    if (fresh) {
      it->second = workbook_add_format(wb_.get());
      format_set_num_format(it->second, code.c_str());
      format_set_align(it->second, LXW_ALIGN_VERTICAL_TOP);
      if (total) {
        format_set_bold(it->second);
        format_set_top(it->second, LXW_BORDER_THIN);
      }
    }
    return it->second;
  }

  bool ok(lxw_error e) {
    if (e != LXW_NO_ERROR) failed_ = true;
    return !failed_;
  }

  WorkbookStatus write_sheet(const TableSheet& sheet) {
    lxw_worksheet* ws = workbook_add_worksheet(wb_.get(), sheet.name.c_str());
    if (!ws) return WorkbookStatus::failed;
    const std::size_t columns = sheet.columns.size();
    const std::size_t rows = sheet.rows();
    for (std::size_t c = 0; c < columns; ++c) {
      const TableColumn& column = sheet.columns[c];
      const auto col = static_cast<lxw_col_t>(c);
      if (!ok(worksheet_set_column(ws, col, col, column.width, column.wrap ? wrap_ : nullptr))) return WorkbookStatus::failed;
      escaped_ = column.header;
      escape_cell_text(escaped_);
      if (!ok(worksheet_write_string(ws, 0, col, escaped_.c_str(), header_))) return WorkbookStatus::failed;
    }
    if (columns > 0) {
      worksheet_freeze_panes(ws, 1, 0);
      // The filter is a name that refers to the sheet: not on a sheet whose
      // name the library would leave unquoted where it reads as a cell
      // reference ("R2", "C"), which would make the workbook one that Excel
      // repairs.
      if (!reference_like_sheet_name(sheet.name) &&
          !ok(worksheet_autofilter(ws, 0, 0, static_cast<lxw_row_t>(rows), static_cast<lxw_col_t>(columns - 1)))) {
        return WorkbookStatus::failed;
      }
    }
    for (std::size_t c = 0; c < columns; ++c) {
      if (!sheet.columns[c].choices.empty() && rows > 0 && !add_choices(ws, sheet.columns[c], c, rows)) {
        return WorkbookStatus::failed;
      }
    }
    for (std::size_t r = 0; r < rows; ++r) {
      if (r % kCancelCheckRows == 0 && cancelled_()) return WorkbookStatus::cancelled;
      const bool total = sheet.total_row && r + 1 == rows;
      const auto row = static_cast<lxw_row_t>(r + 1);
      for (std::size_t c = 0; c < columns; ++c) {
        const CellValue* value = sheet.cells[r * columns + c];
        const auto col = static_cast<lxw_col_t>(c);
        const std::string* code = c < sheet.number_formats.size() && !sheet.number_formats[c].empty()
                                      ? &sheet.number_formats[c]
                                      : nullptr;
        lxw_format* text_format = total ? total_ : sheet.columns[c].wrap ? wrap_ : plain_;
        lxw_format* number = code ? number_format(*code, total) : text_format;
        if (value == nullptr || value->kind == CellValue::Kind::empty) {
          if (total && !ok(worksheet_write_blank(ws, row, col, total_))) return WorkbookStatus::failed;
          continue;
        }
        lxw_error e = LXW_NO_ERROR;
        switch (value->kind) {
          case CellValue::Kind::text:
          case CellValue::Kind::error:
            // Text that reads as an escape ("_x0041_") is escaped itself, so
            // that it reads back as written.
            if (value->text.find("_x") != std::string::npos) {
              escaped_ = value->text;
              escape_cell_text(escaped_);
              e = worksheet_write_string(ws, row, col, escaped_.c_str(), text_format);
            } else {
              e = worksheet_write_string(ws, row, col, value->text.c_str(), text_format);
            }
            break;
          case CellValue::Kind::number:
            e = worksheet_write_number(ws, row, col, value->number, number);
            break;
          case CellValue::Kind::date:
            e = worksheet_write_number(ws, row, col, value->number, date_);
            break;
          case CellValue::Kind::boolean:
            e = worksheet_write_boolean(ws, row, col, value->number != 0 ? 1 : 0, text_format);
            break;
          case CellValue::Kind::empty:
            break;
        }
        if (!ok(e)) return WorkbookStatus::failed;
      }
    }
    if (sheet.chart && !add_chart(ws, sheet)) return WorkbookStatus::failed;
    return WorkbookStatus::written;
  }

  bool add_choices(lxw_worksheet* ws, const TableColumn& column, std::size_t c, std::size_t rows) {
    std::vector<const char*> list;
    for (const std::string& choice : column.choices) list.push_back(choice.c_str());
    list.push_back(nullptr);
    lxw_data_validation validation{};
    validation.validate = LXW_VALIDATION_TYPE_LIST;
    validation.value_list = const_cast<char**>(list.data());
    validation.ignore_blank = LXW_VALIDATION_ON;
    // Offered, not imposed: a director may type a mark of the studio's own.
    validation.show_error = LXW_VALIDATION_OFF;
    const auto col = static_cast<lxw_col_t>(c);
    return ok(worksheet_data_validation_range(ws, 1, col, static_cast<lxw_row_t>(rows), col, &validation));
  }

  bool add_chart(lxw_worksheet* ws, const TableSheet& sheet) {
    const TableChart& spec = *sheet.chart;
    lxw_chart* chart = workbook_add_chart(wb_.get(), LXW_CHART_BAR_STACKED);
    if (!chart) return false;
    for (std::uint32_t column : spec.series_columns) {
      lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
      if (!series) return false;
      chart_series_set_categories(series, sheet.name.c_str(), spec.first_row, static_cast<lxw_col_t>(spec.category_column),
                                  spec.last_row, static_cast<lxw_col_t>(spec.category_column));
      chart_series_set_values(series, sheet.name.c_str(), spec.first_row, static_cast<lxw_col_t>(column), spec.last_row,
                              static_cast<lxw_col_t>(column));
      chart_series_set_name_range(series, sheet.name.c_str(), 0, static_cast<lxw_col_t>(column));
    }
    chart_title_set_name(chart, spec.title.c_str());
    // (The categories stand from the bottom up: a reversed axis makes the
    // library's Windows build crash when it writes the workbook.)
    chart_legend_set_position(chart, LXW_CHART_LEGEND_BOTTOM);
    lxw_chart_options options{};
    options.x_scale = 1.6;
    options.y_scale = 1.0 + 0.05 * static_cast<double>(spec.last_row + 1 - spec.first_row);
    const auto beside = static_cast<lxw_col_t>(sheet.columns.size() + 1);
    return ok(worksheet_insert_chart_opt(ws, 1, beside, chart, &options));
  }

  const WorkbookTarget& target_;
  std::span<const TableSheet> sheets_;
  const std::function<bool()>& cancelled_;
  WorkbookHandle wb_;
  bool failed_ = false;
  std::string escaped_;
  lxw_format* header_ = nullptr;
  lxw_format* plain_ = nullptr;
  lxw_format* wrap_ = nullptr;
  lxw_format* date_ = nullptr;
  lxw_format* total_ = nullptr;
  std::map<std::pair<std::string, bool>, lxw_format*> number_formats_;
};

}  // namespace

WorkbookStatus write_table_workbook(const WorkbookTarget& target, std::span<const TableSheet> sheets,
                                    const std::function<bool()>& cancelled) {
  return Writer(target, sheets, cancelled).run();
}

}  // namespace lumeno::scriptbuilder
