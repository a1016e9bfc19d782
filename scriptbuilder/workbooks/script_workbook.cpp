#include "scriptbuilder/workbooks/script_workbook.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "scriptbuilder/workbooks/script_sheet.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

// The page. Widths are in the format's character units: the width of a
// digit of the workbook's font, MS Gothic 10.5 point, 7 pixels at 96 dpi
// (half an em); a column of width w is 7w + 5 pixels wide, the format
// storing w + 5/7. Column C holds 68 half-width characters, the longest
// row the layout writes.
constexpr const char* kFont = "MS Gothic";
constexpr double kFontSize = 10.5;
constexpr double kDigitEm = 0.5;
constexpr double kColumnWidths[] = {14, 9, 68, 5, 11};  // A to E
constexpr int kColumns = 5;
constexpr int kRecordedColumn = 3;  // D, 収録: ticked when the line is recorded
constexpr std::uint8_t kPaperA4 = 9;
constexpr double kPageWidth = 8.27;  // inches (210 mm)
constexpr double kSideMargin = 0.3;  // left and right; the columns are centred between them
// A program without MS Gothic counts the widths in the digits of the font
// it takes instead, and the columns grow with them while the Japanese text
// does not: Noto Sans CJK and DejaVu Sans, what LibreOffice takes on Linux,
// have digits of 0.636 em. The scale makes room for digits up to this wide.
constexpr double kWidestDigitEm = 0.64;
// Rows keep the format's default height (15 points, or what a program
// makes of the font: about 13.5 in Excel), which costs no data a row. The
// 676 points between the margins hold 45 rows of up to 20 points at the
// scale; the manual breaks make the pages.
constexpr double kTopMargin = 1.2;
constexpr double kBottomMargin = 1.1;
constexpr double kHeaderMargin = 0.5;
constexpr double kFooterMargin = 0.5;
constexpr std::size_t kCancelCheckRows = 4096;

// A column at 100 %, in points, when a digit is `digit_em` of the font.
constexpr double column_points(double width, double digit_em = kDigitEm) {
  return (width + 5.0 / 7) * digit_em * kFontSize;
}

constexpr double sheet_points(double digit_em) {
  double total = 0;
  for (double w : kColumnWidths) total += column_points(w, digit_em);
  return total;
}

constexpr double kPrintablePoints = (kPageWidth - 2 * kSideMargin) * 72;
// The largest whole percentage at which the widest digits still fit.
constexpr int kPrintScale = static_cast<int>(100 * kPrintablePoints / sheet_points(kWidestDigitEm));
constexpr double scaled(double points) { return points * kPrintScale / 100; }
// With MS Gothic, what is left between the margins (in points at print).
constexpr double kSparePoints = kPrintablePoints - scaled(sheet_points(kDigitEm));
static_assert(kSparePoints >= kPageWidth * 72 / 10, "the page keeps a tenth of its width spare");
static_assert(scaled(sheet_points(kWidestDigitEm)) <= kPrintablePoints);

struct WorkbookCloser {
  void operator()(lxw_workbook* wb) const {
    // Streamed sheets keep a temporary file open until the workbook is
    // written; a workbook given up must close them itself.
    lxw_worksheet* ws = nullptr;
    STAILQ_FOREACH(ws, wb->worksheets, list_pointers) {
      if (ws->optimize_tmpfile) fclose(ws->optimize_tmpfile);
      ws->optimize_tmpfile = nullptr;
      ws->file = nullptr;
    }
    lxw_workbook_free(wb);
  }
};
using WorkbookHandle = std::unique_ptr<lxw_workbook, WorkbookCloser>;

// "&" is the header's escape character.
std::string header_text(std::string_view utf8) {
  std::string out;
  for (char c : utf8) {
    if (c == '&') out += '&';
    out += c;
  }
  return out;
}

std::size_t code_points(std::string_view utf8) {
  std::size_t n = 0;
  for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return n;
}

// The last `count` code points of `s`.
std::string_view last_code_points(std::string_view s, std::size_t count) {
  std::size_t i = s.size();
  while (i > 0 && count > 0) {
    --i;
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) --count;
  }
  return s.substr(i);
}

class Writer {
 public:
  Writer(const WorkbookTarget& target, std::span<const WorkbookScript> scripts, const Cp932Decoder& decoder,
         const std::function<bool()>& cancelled, std::size_t sheet_rows, const SessionMarks* marks)
      : target_(target), scripts_(scripts), decoder_(decoder), cancelled_(cancelled), sheet_rows_(sheet_rows), marks_(marks) {}

  WorkbookStatus run();

 private:
  struct Summary {
    std::string name;  // the first sheet's
    std::size_t own_lines = 0;
    std::string first_voice;
    std::string last_voice;
    int pages = 0;
  };

  bool make_formats();
  lxw_worksheet* add_sheet(const std::string& name);
  bool set_up_script_page(lxw_worksheet* ws, const std::string& name, const ScriptSheet& sheet, std::string_view file,
                          int first_page, std::size_t rows);
  WorkbookStatus write_script(const WorkbookScript& script, Summary& summary);
  bool write_contents(lxw_worksheet* ws, const std::vector<Summary>& summaries);
  const char* cell(std::string_view cp932);
  // UTF-8 of a CP932 text of the program's own.
  std::string u(std::string_view cp932) const { return decoder_.utf8(cp932); }
  // The header's character: display name, and the voice prefix in brackets
  // when it differs (the all-character scripts have "全キャラ" in both).
  std::string character_text(const ScriptSheet& sheet) const;
  bool ok(lxw_error e) {
    if (e != LXW_NO_ERROR) failed_ = true;
    return !failed_;
  }

  const WorkbookTarget& target_;
  std::span<const WorkbookScript> scripts_;
  const Cp932Decoder& decoder_;
  const std::function<bool()>& cancelled_;
  std::size_t sheet_rows_;
  const SessionMarks* marks_;
  const SessionMarks* current_marks_ = nullptr;  // the script's being written
  WorkbookHandle wb_;
  SheetNames names_;
  bool failed_ = false;
  std::string cell_;
  // frame_[edge][side]: edge 0 none, 1 top, 2 bottom, 3 both; side 0 the
  // left column, 1 a middle one, 2 the right column.
  lxw_format* frame_[4][3] = {};
  lxw_format* box_ = nullptr;  // 収録 on a voice row: all four sides
  lxw_format* heading_ = nullptr;
  lxw_format* grey_ = nullptr;
  lxw_format* link_ = nullptr;
  lxw_format* total_ = nullptr;
};

const char* Writer::cell(std::string_view cp932) {
  cell_.clear();
  decoder_.append_utf8(cp932, cell_);
  escape_cell_text(cell_);
  return cell_.c_str();
}

std::string Writer::character_text(const ScriptSheet& sheet) const {
  std::string who = header_text(u(sheet.display_name));
  if (sheet.voice_prefix != sheet.display_name) who += u("（") + header_text(u(sheet.voice_prefix)) + u("）");
  return who;
}

bool Writer::make_formats() {
  // The workbook's own font (its first format, the "Normal" style) sets the
  // unit of the column widths: MS Gothic, the scripts' font, so that the
  // widths mean the same in every program that puts a fixed-pitch font in
  // its place, and grow with the text's font in any other (see the scale).
  auto font = [&](lxw_format* f) {
    format_set_font_name(f, kFont);
    format_set_font_size(f, kFontSize);
    format_set_font_family(f, 3);  // fixed pitch
    format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
    return f;
  };
  lxw_format* normal = STAILQ_FIRST(wb_->formats);
  if (!normal) return false;
  font(normal);
  for (int edge = 0; edge < 4; ++edge) {
    for (int side = 0; side < 3; ++side) {
      lxw_format* f = font(workbook_add_format(wb_.get()));
      if (edge & 1) format_set_top(f, LXW_BORDER_THIN);
      if (edge & 2) format_set_bottom(f, LXW_BORDER_THIN);
      if (side == 0) format_set_left(f, LXW_BORDER_THIN);
      if (side == 2) format_set_right(f, LXW_BORDER_THIN);
      frame_[edge][side] = f;
    }
  }
  box_ = font(workbook_add_format(wb_.get()));
  format_set_border(box_, LXW_BORDER_THIN);
  grey_ = font(workbook_add_format(wb_.get()));
  format_set_font_color(grey_, 0x808080);
  heading_ = font(workbook_add_format(wb_.get()));
  format_set_bold(heading_);
  format_set_bottom(heading_, LXW_BORDER_THIN);
  link_ = font(workbook_add_format(wb_.get()));
  format_set_font_color(link_, LXW_COLOR_BLUE);
  format_set_underline(link_, LXW_UNDERLINE_SINGLE);
  total_ = font(workbook_add_format(wb_.get()));
  format_set_top(total_, LXW_BORDER_THIN);
  return true;
}

lxw_worksheet* Writer::add_sheet(const std::string& name) {
  lxw_worksheet* ws = workbook_add_worksheet(wb_.get(), name.c_str());
  if (!ws) failed_ = true;
  return ws;
}

bool Writer::set_up_script_page(lxw_worksheet* ws, const std::string& name, const ScriptSheet& sheet,
                                std::string_view file, int first_page, std::size_t rows) {
  for (int c = 0; c < kColumns; ++c) {
    if (!ok(worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), kColumnWidths[c], nullptr))) return false;
  }
  if (current_marks_ != nullptr) {
    lxw_row_col_options hidden{};
    hidden.hidden = LXW_TRUE;
    if (!ok(worksheet_set_column_opt(ws, kShownStatusColumn, kShownStatusColumn + 1, 11, nullptr, &hidden))) return false;
  }
  worksheet_set_paper(ws, kPaperA4);
  worksheet_set_portrait(ws);
  worksheet_set_print_scale(ws, kPrintScale);
  worksheet_set_margins(ws, kSideMargin, kSideMargin, kTopMargin, kBottomMargin);
  worksheet_center_horizontally(ws);
  // The print area, A to E of every row; but not on a sheet whose name the
  // library would write unquoted where it reads as a cell reference (the
  // sheet then prints its cells, the same rows).
  if (rows > 0 && !reference_like_sheet_name(name) &&
      !ok(worksheet_print_area(ws, 0, 0, static_cast<lxw_row_t>(rows - 1), kColumns - 1))) {
    return false;
  }

  // The page breaks: where the layout begins its pages, counted from the
  // sheet's first row (a sheet after the first begins on a page boundary).
  std::vector<lxw_row_t> breaks;
  const std::size_t offset = rows_before_page(first_page);
  for (int page = first_page + 1; rows_before_page(page) < offset + rows; ++page) {
    breaks.push_back(static_cast<lxw_row_t>(rows_before_page(page) - offset));
  }
  if (!breaks.empty()) {
    breaks.push_back(0);
    if (!ok(worksheet_set_h_pagebreaks(ws, breaks.data()))) return false;
  }

  // Header: the character (with its voice prefix), the file, and the
  // labels of columns D and E in a fixed-pitch font, right-aligned so that
  // each stands over its column; footer: page / pages.
  const std::string who = character_text(sheet);
  // Spaces in the header font (the font at its size, scaled like the
  // sheet): from the middle of D to the middle of E, and from the middle of
  // E to the right margin, less the labels' own halves. The last ones are
  // full-width: a program may drop trailing half-width spaces.
  const double d = column_points(kColumnWidths[3]);
  const double e = column_points(kColumnWidths[4]);
  const auto spaces = [&](double points, std::string_view space, double width) {
    std::string out;
    for (int k = static_cast<int>(std::max(0.0, points / width + 0.5)); k > 0; --k) out += space;
    return out;
  };
  // From column E's right edge to the right margin (centred: half the spare).
  const double slack = kSparePoints / 2 * 100 / kPrintScale;
  const std::string labels = u("収録") + spaces((d + e) / 2 - 2 * kFontSize, " ", kFontSize / 2) + u("備考") +
                             spaces(e / 2 - kFontSize + slack, u("　"), kFontSize);
  std::string file_text = header_text(decoder_.utf8(file));
  const std::string fixed = "&L" + who + "&C" + "&R" + labels;
  const std::size_t room = LXW_HEADER_FOOTER_MAX - std::min<std::size_t>(LXW_HEADER_FOOTER_MAX, code_points(fixed));
  if (code_points(file_text) > room) {
    // The end of a long name tells the file; cut it at a whole character
    // (not inside an "&&").
    std::string_view tail = last_code_points(file_text, room > 1 ? room - 1 : 0);
    std::size_t amps = 0;
    while (amps < tail.size() && tail[amps] == '&') ++amps;
    if (amps % 2 == 1) tail.remove_prefix(1);
    file_text = u("…") + std::string(tail);
  }
  const std::string header = "&L" + who + "&C" + file_text + "&R" + labels;
  lxw_header_footer_options header_options{};
  header_options.margin = kHeaderMargin;
  if (!ok(worksheet_set_header_opt(ws, header.c_str(), &header_options))) return false;
  // Page numbers count within the script (a program printing the whole
  // workbook would otherwise go on counting across the sheets).
  const std::string footer = "&C&P / " + std::to_string(sheet.pages);
  lxw_header_footer_options footer_options{};
  footer_options.margin = kFooterMargin;
  if (!ok(worksheet_set_footer_opt(ws, footer.c_str(), &footer_options))) return false;
  worksheet_set_start_page(ws, static_cast<std::uint16_t>(std::min(first_page, 65535)));
  return true;
}

WorkbookStatus Writer::write_script(const WorkbookScript& script, Summary& summary) {
  const ScriptSheet sheet = read_script_sheet(script.script);
  summary.own_lines = sheet.own_lines;
  summary.first_voice = sheet.first_voice;
  summary.last_voice = sheet.last_voice;
  summary.pages = sheet.pages;

  const std::string base = decoder_.utf8(base_name_part(script.relative_name));
  const std::size_t total = sheet.rows.size();
  const std::vector<std::size_t> starts = sheet_starts(total, sheet_rows_);
  const std::vector<RowFrame> frames = sheet.framed ? speech_frames(sheet, script.speech_lines) : std::vector<RowFrame>();
  for (std::size_t part = 0; part < starts.size(); ++part) {
    const std::size_t from = starts[part];
    const std::size_t count = (part + 1 < starts.size() ? starts[part + 1] : total) - from;
    const std::string name = names_.add(part == 0 ? base : base + u("(続") + std::to_string(part + 1) + ")");
    if (part == 0) summary.name = name;
    lxw_worksheet* ws = add_sheet(name);
    current_marks_ = script.marks != nullptr ? script.marks : marks_;
    const std::string_view header_middle = script.heading.empty() ? std::string_view(script.relative_name) : script.heading;
    if (!ws || !set_up_script_page(ws, name, sheet, header_middle, page_of_row(from), count)) {
      return WorkbookStatus::failed;
    }
    for (std::size_t k = 0; k < count; ++k) {
      if (k % kCancelCheckRows == kCancelCheckRows - 1 && cancelled_()) return WorkbookStatus::cancelled;
      const std::size_t r = from + k;
      const SheetRow& row = sheet.rows[r];
      const auto at = static_cast<lxw_row_t>(k);
      const RowFrame frame = frames.empty() ? RowFrame{} : frames[r];
      const std::string_view cells[] = {row.voice, row.speaker, row.text, {}, {}};
      if (!frame.inside && !row.own()) {
        // A cue of a pick-up script: another character's line, in grey.
        const bool cue = script.grey_cues && !row.continuation() && !row.speaker.empty() && row.speaker != " ";
        for (int c = 0; c < 3; ++c) {
          if (cells[c].empty()) continue;
          if (!ok(worksheet_write_string(ws, at, static_cast<lxw_col_t>(c), cell(cells[c]), cue ? grey_ : nullptr))) {
            return WorkbookStatus::failed;
          }
        }
        continue;
      }
      // A row in a frame, or a voice row with its box for 収録, and the
      // session's marks of its voice.
      const int edge = (frame.top ? 1 : 0) | (frame.bottom ? 2 : 0);
      const SessionMark* mark = nullptr;
      if (current_marks_ != nullptr && row.own()) {
        const auto it = current_marks_->find(std::string(row.voice));
        if (it != current_marks_->end()) mark = &it->second;
      }
      for (int c = 0; c < kColumns; ++c) {
        lxw_format* f = nullptr;
        if (c == kRecordedColumn && row.own()) {
          f = box_;
        } else if (frame.inside) {
          f = frame_[edge][c == 0 ? 0 : c == kColumns - 1 ? 2 : 1];
        }
        lxw_error e = LXW_NO_ERROR;
        const std::string* marked = mark == nullptr ? nullptr : c == 3 ? &mark->status : c == 4 ? &mark->notes : nullptr;
        if (marked != nullptr && !marked->empty()) {
          cell_ = *marked;
          escape_cell_text(cell_);
          e = worksheet_write_string(ws, at, static_cast<lxw_col_t>(c), cell_.c_str(), f);
        } else if (!cells[c].empty()) {
          e = worksheet_write_string(ws, at, static_cast<lxw_col_t>(c), cell(cells[c]), f);
        } else if (f) {
          e = worksheet_write_blank(ws, at, static_cast<lxw_col_t>(c), f);
        }
        if (!ok(e)) return WorkbookStatus::failed;
      }
      // What the row showed, in hidden columns beyond the print area, so that
      // the next run tells what was typed here from what the book said.
      if (mark != nullptr) {
        for (int side = 0; side < 2; ++side) {
          const std::string& shown = side == 0 ? mark->status : mark->notes;
          if (shown.empty()) continue;
          cell_ = shown;
          escape_cell_text(cell_);
          if (!ok(worksheet_write_string(ws, at, static_cast<lxw_col_t>(kShownStatusColumn + side), cell_.c_str(), nullptr))) {
            return WorkbookStatus::failed;
          }
        }
      }
    }
  }
  return WorkbookStatus::written;
}

bool Writer::write_contents(lxw_worksheet* ws, const std::vector<Summary>& summaries) {
  const double widths[] = {48, 9, 16, 16, 9};
  for (int c = 0; c < kColumns; ++c) {
    if (!ok(worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), widths[c], nullptr))) return false;
  }
  worksheet_set_paper(ws, kPaperA4);
  worksheet_set_portrait(ws);
  worksheet_fit_to_pages(ws, 1, 0);
  if (!ok(worksheet_repeat_rows(ws, 0, 0))) return false;
  worksheet_freeze_panes(ws, 1, 0);
  const ScriptSheet first = read_script_sheet(scripts_.front().script);
  const std::string header = "&L" + character_text(first) + "&C" + u(kContentsSheet);
  if (!ok(worksheet_set_header(ws, header.c_str())) || !ok(worksheet_set_footer(ws, "&C&P"))) return false;
  worksheet_set_start_page(ws, 1);

  const std::string_view headings[] = {"ファイル", "セリフ数", "最初のボイス", "最後のボイス", "ページ数"};
  for (int c = 0; c < kColumns; ++c) {
    if (!ok(worksheet_write_string(ws, 0, static_cast<lxw_col_t>(c), u(headings[c]).c_str(), heading_))) return false;
  }
  std::size_t lines = 0;
  std::size_t pages = 0;
  std::string location;
  for (std::size_t k = 0; k < summaries.size(); ++k) {
    const Summary& s = summaries[k];
    const auto row = static_cast<lxw_row_t>(k + 1);
    // A link to the sheet ("internal:'name'!A1", apostrophes doubled); the
    // format allows a limited number a sheet, after which names stand plain.
    location = "internal:'";
    for (char c : s.name) {
      location += c;
      if (c == '\'') location += '\'';
    }
    location += "'!A1";
    const char* file = cell(scripts_[k].relative_name);
    lxw_error e = LXW_ERROR_WORKSHEET_MAX_NUMBER_URLS_EXCEEDED;
    if (k < LXW_MAX_NUMBER_URLS) e = worksheet_write_url_opt(ws, row, 0, location.c_str(), link_, file, nullptr);
    if (e == LXW_ERROR_WORKSHEET_MAX_NUMBER_URLS_EXCEEDED) e = worksheet_write_string(ws, row, 0, file, nullptr);
    if (!ok(e) || !ok(worksheet_write_number(ws, row, 1, static_cast<double>(s.own_lines), nullptr)) ||
        !ok(worksheet_write_string(ws, row, 2, cell(s.first_voice), nullptr)) ||
        !ok(worksheet_write_string(ws, row, 3, cell(s.last_voice), nullptr)) ||
        !ok(worksheet_write_number(ws, row, 4, s.pages, nullptr))) {
      return false;
    }
    lines += s.own_lines;
    pages += static_cast<std::size_t>(s.pages);
  }
  const auto row = static_cast<lxw_row_t>(summaries.size() + 1);
  return ok(worksheet_write_string(ws, row, 0, u("合計").c_str(), total_)) &&
         ok(worksheet_write_number(ws, row, 1, static_cast<double>(lines), total_)) &&
         ok(worksheet_write_blank(ws, row, 2, total_)) && ok(worksheet_write_blank(ws, row, 3, total_)) &&
         ok(worksheet_write_number(ws, row, 4, static_cast<double>(pages), total_));
}

WorkbookStatus Writer::run() {
  lxw_workbook_options options{};
  options.constant_memory = scripts_.size() + 1 <= kStreamedSheets ? LXW_TRUE : LXW_FALSE;
  std::string temp_folder = target_.temp_folder;
  options.tmpdir = temp_folder.data();
  wb_.reset(workbook_new_opt(target_.file.c_str(), &options));
  if (!wb_ || !make_formats()) return WorkbookStatus::failed;

  names_.reserve(u(kContentsSheet));
  lxw_worksheet* contents = add_sheet(u(kContentsSheet));
  if (!contents) return WorkbookStatus::failed;
  std::vector<Summary> summaries(scripts_.size());
  for (std::size_t k = 0; k < scripts_.size(); ++k) {
    if (cancelled_()) return WorkbookStatus::cancelled;
    const WorkbookStatus status = write_script(scripts_[k], summaries[k]);
    if (status != WorkbookStatus::written) return status;
  }
  if (!write_contents(contents, summaries)) return WorkbookStatus::failed;
  if (cancelled_()) return WorkbookStatus::cancelled;
  // The library frees the workbook whatever the outcome.
  const lxw_error e = workbook_close(wb_.release());
  return e == LXW_NO_ERROR ? WorkbookStatus::written : WorkbookStatus::failed;
}

}  // namespace

std::vector<std::size_t> sheet_starts(std::size_t rows, std::size_t limit) {
  limit = std::max<std::size_t>(limit, kPageRows);
  std::vector<std::size_t> starts{0};
  // The first sheet holds page 1 (44 rows) and whole pages of 45 after it;
  // a later one begins on a page's first row and holds whole pages.
  const std::size_t first = limit < static_cast<std::size_t>(kFirstPageRows) + kPageRows
                                ? kFirstPageRows
                                : kFirstPageRows + (limit - kFirstPageRows) / kPageRows * kPageRows;
  const std::size_t later = limit / kPageRows * kPageRows;
  for (std::size_t at = first; at < rows; at += later) starts.push_back(at);
  return starts;
}

void escape_cell_text(std::string& s) {
  auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); };
  for (std::size_t i = s.find("_x"); i != std::string::npos; i = s.find("_x", i + 1)) {
    if (i + 7 <= s.size() && hex(s[i + 2]) && hex(s[i + 3]) && hex(s[i + 4]) && hex(s[i + 5]) && s[i + 6] == '_') {
      s.insert(i + 1, "x005F_");
      i += 6;
    }
  }
}

WorkbookStatus write_script_workbook(const WorkbookTarget& target, std::span<const WorkbookScript> scripts,
                                     const Cp932Decoder& decoder, const std::function<bool()>& cancelled,
                                     std::size_t sheet_rows, const SessionMarks* marks) {
  if (scripts.empty()) return WorkbookStatus::failed;
  Writer writer(target, scripts, decoder, cancelled, sheet_rows, marks);
  return writer.run();
}

}  // namespace lumeno::scriptbuilder
