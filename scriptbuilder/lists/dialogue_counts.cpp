#include "scriptbuilder/lists/dialogue_counts.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>
#include <utility>

#include "scriptbuilder/lists/spoken_text.h"
#include "scriptbuilder/scanner.h"
#include "scriptbuilder/speech.h"
#include "scriptbuilder/workbooks/script_sheet.h"

namespace lumeno::scriptbuilder {

namespace {

constexpr std::string_view kHeadings[] = {"ボイス接頭辞", "キャラ名", "ファイル", "ボイスあり行数", "ボイスなし行数", "文字数"};
constexpr double kColumnWidths[] = {14, 16, 48, 15, 15, 12};
// The file column grows with its names up to this.
constexpr double kWidestFileColumn = 120;
constexpr std::string_view kOwnSheet = "キャラ別";
constexpr std::string_view kFileSheet = "キャラ・ファイル別";
// The characters' own sheet has every column but the file.
constexpr std::size_t kFileColumn = 2;

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

// text.starts_with(prefix) for the few bytes of a dialogue mark, compared
// in place: the counts ask it of every line.
bool begins_with(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t k = 0; k < prefix.size(); ++k) {
    if (text[k] != prefix[k]) return false;
  }
  return true;
}

}  // namespace

std::string_view shown_name(const Character& character) {
  if (character.voiced() || character.names.empty()) return character.display_name;
  return character.names.back();
}

DialogueCounter::DialogueCounter(std::size_t characters, const DialogueMarks& marks) : by_character_(characters) {
  for (const std::string& mark : marks) mark_closes_.emplace_back(mark, closing_bracket(last_character(mark)));
}

std::span<const DialogueCounter::FileCount> DialogueCounter::count_file(std::string_view text, std::span<const CountedLine> lines) {
  for (const CountedLine& counted : lines) {
    const std::string_view line = text.substr(counted.begin, counted.length);
    DialogueCounts& counts = by_character_[counted.character];
    if (counts == DialogueCounts{}) touched_.push_back(counted.character);
    (counted.voiced ? counts.voiced : counts.unvoiced) += 1;
    // The first mark that follows the name (mark_at), and its bracket.
    const std::size_t name_length = std::min<std::size_t>(counted.name_length, line.size());
    const std::string_view after_name = line.substr(name_length);
    std::size_t mark_end = name_length;
    std::string_view close;
    for (const auto& [mark, mark_close] : mark_closes_) {
      if (begins_with(after_name, mark)) {
        mark_end += mark.size();
        close = mark_close;
        break;
      }
    }
    counts.characters += static_cast<std::int64_t>(spoken_characters_closed_by(line, mark_end, close));
  }
  std::sort(touched_.begin(), touched_.end());
  file_.clear();
  for (const std::uint32_t c : touched_) {
    file_.push_back({c, by_character_[c]});
    by_character_[c] = {};
  }
  touched_.clear();
  return file_;
}

void add_file_counts(std::vector<CharacterCounts>& counts, std::size_t file, std::span<const DialogueCounter::FileCount> file_counts) {
  for (const DialogueCounter::FileCount& count : file_counts) {
    CharacterCounts& character = counts[count.character];
    character.files.push_back({file, count.counts});
    character.total.add(count.counts);
  }
}

void append_counts_csv_head(std::string& out, const Cp932Decoder& decoder) {
  out += "\xEF\xBB\xBF";
  for (std::size_t k = 0; k < std::size(kHeadings); ++k) {
    if (k > 0) out += ',';
    append_field(out, kHeadings[k], decoder);
  }
  out += "\r\n";
}

std::string counts_csv_field(std::string_view cp932, const Cp932Decoder& decoder) {
  std::string field;
  append_field(field, cp932, decoder);
  return field;
}

void append_counts_csv_line(std::string& out, std::string_view prefix_field, std::string_view name_field, std::string_view file_field,
                            const DialogueCounts& counts) {
  append_parts(out, {prefix_field, ",", name_field, ",", file_field});
  for (const std::int64_t n : {counts.voiced, counts.unvoiced, counts.characters}) {
    out += ',';
    append_number(out, n);
  }
  out += "\r\n";
}

void append_counts_csv_row(std::string& out, const CountsRow& row, const Cp932Decoder& decoder) {
  append_counts_csv_line(out, counts_csv_field(row.voice_prefix, decoder), counts_csv_field(row.name, decoder),
                         counts_csv_field(row.file, decoder), row.counts);
}

std::string counts_csv(std::span<const CountsRow> rows, const Cp932Decoder& decoder) {
  std::string out;
  append_counts_csv_head(out, decoder);
  for (const CountsRow& row : rows) append_counts_csv_row(out, row, decoder);
  return out;
}

struct CountsWorkbook::State {
  explicit State(const Cp932Decoder& d) : decoder(d) {}

  // A sheet of rows per file: a character's (its file and counts), or the
  // one for every character (every column).
  struct FileSheet {
    lxw_worksheet* ws = nullptr;
    std::string name;  // UTF-8
    std::uint32_t rows = 0;  // below the header
    std::size_t widest_file = 0;  // in CP932 bytes: in columns, as MS Gothic prints them
  };

  const Cp932Decoder& decoder;
  lxw_workbook* wb = nullptr;
  lxw_format* heading = nullptr;
  bool ok = true;
  lxw_worksheet* own_sheet = nullptr;
  bool by_character = true;
  // By character: a sheet each, in table order. Else the sheet for every
  // character and its continuations.
  std::vector<FileSheet> file_sheets;
  std::vector<std::string> prefixes;  // UTF-8 cell texts by character
  std::vector<std::string> names;
  std::string file_cp932;  // the file of the last row, and its cell text
  std::string file;

  void check(lxw_error e) { ok = ok && e == LXW_NO_ERROR; }

  std::string utf8_cell(std::string_view cp932) const {
    std::string out;
    decoder.append_utf8(cp932, out);
    escape_cell_text(out);
    return out;
  }

  void text(lxw_worksheet* ws, lxw_row_t r, lxw_col_t c, const std::string& utf8, lxw_format* format = nullptr) {
    if (!utf8.empty()) check(worksheet_write_string(ws, r, c, utf8.c_str(), format));
  }

  void numbers(lxw_worksheet* ws, lxw_row_t r, lxw_col_t first, const DialogueCounts& counts) {
    check(worksheet_write_number(ws, r, first, static_cast<double>(counts.voiced), nullptr));
    check(worksheet_write_number(ws, r, first + 1, static_cast<double>(counts.unvoiced), nullptr));
    check(worksheet_write_number(ws, r, first + 2, static_cast<double>(counts.characters), nullptr));
  }

  // The columns of a sheet: every column of the table, or without the file
  // (a characters' own sheet), or the file and the counts (a character's).
  enum class Columns { all, own, files };

  static bool shows(Columns columns, std::size_t k) {
    if (columns == Columns::own) return k != kFileColumn;
    if (columns == Columns::files) return k >= kFileColumn;
    return true;
  }

  // A sheet with the header row of its columns.
  lxw_worksheet* add_sheet(const std::string& name, Columns columns) {
    lxw_worksheet* ws = workbook_add_worksheet(wb, name.c_str());
    if (!ws) {
      ok = false;
      return nullptr;
    }
    lxw_col_t c = 0;
    for (std::size_t k = 0; k < std::size(kHeadings); ++k) {
      if (!shows(columns, k)) continue;
      check(worksheet_set_column(ws, c, c, kColumnWidths[k], nullptr));
      text(ws, 0, c, decoder.utf8(kHeadings[k]), heading);
      ++c;
    }
    return ws;
  }

  bool add_all_sheet() {
    const std::size_t number = file_sheets.size() + 1;
    std::string name = decoder.utf8(kFileSheet) + (number == 1 ? "" : "(" + std::to_string(number) + ")");
    lxw_worksheet* ws = add_sheet(name, Columns::all);
    if (ws) file_sheets.push_back({ws, std::move(name), 0});
    return ws != nullptr;
  }

  // The header row frozen, filtered and printed on every page of A4
  // landscape, as wide as the page, numbered. A sheet whose name the library
  // would write unquoted where it reads as a cell reference has neither the
  // filter nor the repeated header (both are formulas naming the sheet).
  void lay_out(lxw_worksheet* ws, std::string_view name, std::uint32_t rows, Columns columns) {
    lxw_col_t last = 0;
    for (std::size_t k = 0; k < std::size(kHeadings); ++k) last = static_cast<lxw_col_t>(last + (shows(columns, k) ? 1 : 0));
    worksheet_freeze_panes(ws, 1, 0);
    if (!reference_like_sheet_name(name)) {
      check(worksheet_autofilter(ws, 0, 0, rows, static_cast<lxw_col_t>(last - 1)));
      check(worksheet_repeat_rows(ws, 0, 0));
    }
    worksheet_set_paper(ws, 9);  // A4
    worksheet_set_landscape(ws);
    worksheet_fit_to_pages(ws, 1, 0);
    check(worksheet_set_footer(ws, "&C&P / &N"));
  }

  // The temporary files of the sheets' rows, which the library closes only
  // when it writes the workbook: closed here for one that is never written.
  void drop() {
    if (!wb) return;
    for (const FileSheet& sheet : file_sheets) drop_rows(sheet.ws);
    drop_rows(own_sheet);
    lxw_workbook_free(wb);
    wb = nullptr;
  }

  static void drop_rows(lxw_worksheet* ws) {
    if (!ws || !ws->optimize_tmpfile) return;
    std::fclose(ws->optimize_tmpfile);
    ws->optimize_tmpfile = nullptr;
    ws->file = nullptr;
  }
};

CountsWorkbook::CountsWorkbook(const WorkbookTarget& target, const Cp932Decoder& decoder, std::span<const CountsRow> characters,
                               std::size_t files)
    : state_(std::make_unique<State>(decoder)) {
  State& s = *state_;
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  std::string temp_folder = target.temp_folder;
  options.tmpdir = temp_folder.data();
  s.wb = workbook_new_opt(target.file.c_str(), &options);
  if (!s.wb) {
    s.ok = false;
    return;
  }
  // The workbook's own font, as the scripts' workbooks have it.
  lxw_format* normal = STAILQ_FIRST(s.wb->formats);
  s.heading = workbook_add_format(s.wb);
  if (!normal || !s.heading) {
    s.ok = false;
    return;
  }
  for (lxw_format* f : {normal, s.heading}) {
    format_set_font_name(f, "MS Gothic");
    format_set_font_size(f, 10.5);
  }
  format_set_bold(s.heading);
  format_set_bottom(s.heading, LXW_BORDER_THIN);

  SheetNames sheet_names;
  const std::string own_name = decoder.utf8(kOwnSheet);
  sheet_names.reserve(own_name);
  s.own_sheet = s.add_sheet(own_name, State::Columns::own);
  // A character's rows fit its sheet: a row a file at most.
  s.by_character = characters.size() <= kCharacterSheetsAtMost && files < LXW_ROW_MAX;
  for (const CountsRow& character : characters) {
    s.prefixes.push_back(s.utf8_cell(character.voice_prefix));
    s.names.push_back(s.utf8_cell(character.name));
    if (!s.by_character || !s.ok) continue;
    std::string name = sheet_names.add(decoder.utf8(character.name));
    lxw_worksheet* ws = s.add_sheet(name, State::Columns::files);
    if (ws) s.file_sheets.push_back({ws, std::move(name), 0});
  }
  if (!s.by_character) s.add_all_sheet();
}

CountsWorkbook::~CountsWorkbook() { state_->drop(); }

bool CountsWorkbook::ok() const { return state_->ok; }

void CountsWorkbook::add_file_row(std::uint32_t character, std::string_view file, const DialogueCounts& counts) {
  State& s = *state_;
  if (!s.ok || character >= s.names.size()) {
    s.ok = false;
    return;
  }
  if (file != s.file_cp932) {
    s.file_cp932.assign(file);
    s.file = s.utf8_cell(file);
  }
  State::FileSheet* sheet = nullptr;
  lxw_col_t first = 0;
  if (s.by_character) {
    sheet = &s.file_sheets[character];
  } else {
    // A table longer than a sheet goes on over further sheets, each with
    // the header row.
    if (s.file_sheets.back().rows == LXW_ROW_MAX - 1 && !s.add_all_sheet()) return;
    sheet = &s.file_sheets.back();
    first = kFileColumn;
  }
  sheet->widest_file = std::max(sheet->widest_file, file.size());
  const lxw_row_t r = ++sheet->rows;
  if (!s.by_character) {
    s.text(sheet->ws, r, 0, s.prefixes[character]);
    s.text(sheet->ws, r, 1, s.names[character]);
  }
  s.text(sheet->ws, r, first, s.file);
  s.numbers(sheet->ws, r, static_cast<lxw_col_t>(first + 1), counts);
}

WorkbookStatus CountsWorkbook::close(std::span<const DialogueCounts> totals) {
  State& s = *state_;
  if (!s.ok || !s.own_sheet || totals.size() != s.names.size()) return WorkbookStatus::failed;
  for (std::size_t k = 0; k < totals.size() && s.ok; ++k) {
    const auto r = static_cast<lxw_row_t>(k + 1);
    s.text(s.own_sheet, r, 0, s.prefixes[k]);
    s.text(s.own_sheet, r, 1, s.names[k]);
    s.numbers(s.own_sheet, r, 2, totals[k]);
  }
  s.lay_out(s.own_sheet, s.decoder.utf8(kOwnSheet), static_cast<std::uint32_t>(totals.size()), State::Columns::own);
  for (std::size_t k = 0; k < s.file_sheets.size(); ++k) {
    const State::FileSheet& sheet = s.file_sheets[k];
    s.lay_out(sheet.ws, sheet.name, sheet.rows, s.by_character ? State::Columns::files : State::Columns::all);
    // The file column as wide as its longest name, so that no name is cut on
    // paper (a double-byte character takes two columns, as it takes two bytes).
    const lxw_col_t file_column = s.by_character ? 0 : kFileColumn;
    const double width = std::clamp(static_cast<double>(sheet.widest_file) + 2, kColumnWidths[kFileColumn], kWidestFileColumn);
    s.check(worksheet_set_column(sheet.ws, file_column, file_column, width, nullptr));
    // On paper, whose rows they are: the character above every page (a
    // header the library refuses, being too long, is left out).
    if (s.by_character) {
      std::string header = "&C";
      for (const std::string* part : {&s.prefixes[k], &s.names[k]}) {
        if (part->empty()) continue;
        if (header.size() > 2) header += "  ";
        for (const char c : *part) header.append(c == '&' ? 2 : 1, c);
      }
      worksheet_set_header(sheet.ws, header.c_str());
    }
    // A character without a line in the files read.
    if (s.by_character && sheet.rows == 0) worksheet_hide(sheet.ws);
  }
  if (!s.ok) return WorkbookStatus::failed;
  // The library frees the workbook whatever the outcome.
  lxw_workbook* wb = std::exchange(s.wb, nullptr);
  return workbook_close(wb) == LXW_NO_ERROR ? WorkbookStatus::written : WorkbookStatus::failed;
}

}  // namespace lumeno::scriptbuilder
