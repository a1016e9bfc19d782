#include "scriptbuilder/recording/take_book.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "scriptbuilder/run_order.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace takes {

namespace {

std::string_view utf8(std::u8string_view text) { return {reinterpret_cast<const char*>(text.data()), text.size()}; }

constexpr std::u8string_view kHeaders[] = {u8"ボイス名", u8"ファイル", u8"行", u8"本文", u8"状態",
                                           u8"テイク", u8"収録日", u8"備考", u8"収録時の本文", u8"今回の変更"};

}  // namespace

std::string_view header(Column column) { return utf8(kHeaders[column]); }
std::string_view left_header() { return utf8(u8"除外日"); }
std::string_view summary_sheet() { return utf8(u8"集計"); }
std::string_view retired_sheet() { return utf8(u8"欠番"); }
std::string_view status_ok() { return "OK"; }
std::string_view status_ng() { return "NG"; }
std::string_view status_hold() { return utf8(u8"保留"); }
std::string_view status_redo() { return utf8(u8"要再収録"); }
std::string_view change_new() { return utf8(u8"新規"); }
std::string_view change_text() { return utf8(u8"本文変更"); }
std::string_view change_moved() { return utf8(u8"移動"); }

}  // namespace takes

std::string cell_text(const CellValue& value) {
  using Kind = CellValue::Kind;
  switch (value.kind) {
    case Kind::text:
    case Kind::error:
      return value.text;
    case Kind::number:
    case Kind::date: {
      if (value.number == std::floor(value.number) && std::fabs(value.number) < 1e15) {
        return std::to_string(static_cast<long long>(value.number));
      }
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.15g", value.number);
      return buffer;
    }
    case Kind::boolean:
      return value.number != 0 ? "TRUE" : "FALSE";
    case Kind::empty:
      break;
  }
  return {};
}

std::string cp932_lossy(std::string_view utf8_text) {
  if (Result<std::string> whole = names::cp932_from_utf8(utf8_text)) return *whole;
  std::string out;
  for (std::size_t i = 0; i < utf8_text.size();) {
    std::size_t length = 1;
    const auto c = static_cast<unsigned char>(utf8_text[i]);
    if (c >= 0xF0) length = 4;
    else if (c >= 0xE0) length = 3;
    else if (c >= 0xC0) length = 2;
    length = std::min(length, utf8_text.size() - i);
    Result<std::string> one = names::cp932_from_utf8(utf8_text.substr(i, length));
    out += one ? *one : std::string("?");
    i += length;
  }
  return out;
}

namespace {

using namespace takes;
using Kind = CellValue::Kind;

// UTF-8 text of the book's own, for joining.
std::string u8s(std::u8string_view text) { return {reinterpret_cast<const char*>(text.data()), text.size()}; }

// Blanks around a text (ASCII and the full-width space) go.
std::string_view trimmed(std::string_view s) {
  auto blank_front = [&] {
    if (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) return std::size_t{1};
    if (s.starts_with(u8s(u8"　"))) return std::size_t{3};
    return std::size_t{0};
  };
  auto blank_back = [&] {
    if (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) return std::size_t{1};
    if (s.ends_with(u8s(u8"　"))) return std::size_t{3};
    return std::size_t{0};
  };
  for (std::size_t k; (k = blank_front()) != 0;) s.remove_prefix(k);
  for (std::size_t k; (k = blank_back()) != 0;) s.remove_suffix(k);
  return s;
}

// A status as the director may type it: ASCII letters of either case, and
// full-width letters (an input method's ＯＫ), are the same status.
std::string status_key(const CellValue& value) {
  const std::string text = cell_text(value);
  const std::string_view s = trimmed(text);
  std::string key;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    // U+FF21..U+FF3A and U+FF41..U+FF5A: EF BC A1..BA, EF BD 81..9A.
    if (c == 0xEF && i + 2 < s.size()) {
      const auto b1 = static_cast<unsigned char>(s[i + 1]);
      const auto b2 = static_cast<unsigned char>(s[i + 2]);
      if (b1 == 0xBC && b2 >= 0xA1 && b2 <= 0xBA) {
        key += static_cast<char>('A' + (b2 - 0xA1));
        i += 3;
        continue;
      }
      if (b1 == 0xBD && b2 >= 0x81 && b2 <= 0x9A) {
        key += static_cast<char>('A' + (b2 - 0x81));
        i += 3;
        continue;
      }
    }
    key += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c);
    ++i;
  }
  return key;
}

enum class Status { open, ok, ng, hold, redo, other };

Status status_of(const CellValue& value) {
  const std::string key = status_key(value);
  if (key.empty()) return Status::open;
  if (key == status_ok()) return Status::ok;
  if (key == status_ng()) return Status::ng;
  if (key == status_hold()) return Status::hold;
  if (key == status_redo()) return Status::redo;
  return Status::other;
}

// "A", "B", ... "Z", "AA", ...
std::string column_letters(std::uint32_t column) {
  std::string out;
  for (std::uint64_t n = static_cast<std::uint64_t>(column) + 1; n > 0; n = (n - 1) / 26) {
    out.insert(out.begin(), static_cast<char>('A' + (n - 1) % 26));
  }
  return out;
}

std::string cell_name(std::uint32_t row, std::uint32_t column) { return column_letters(column) + std::to_string(row + 1); }

constexpr std::uint32_t kHeaderSearchRows = 20;

}  // namespace

Result<TakeBook> take_book_from_sheets(std::vector<BookSheet> sheets) {
  TakeBook book;
  std::unordered_map<std::string, std::uint32_t> extra_index;
  struct Seen {
    std::string sheet;
    std::uint32_t row;
    std::uint32_t column;
  };
  std::unordered_map<std::string, Seen> seen;  // voice name -> where
  bool any_take_sheet = false;
  for (BookSheet& sheet : sheets) {
    if (sheet.skipped) {
      for (const std::string& kind : sheet.not_kept) book.not_carried.push_back(kind + u8s(u8"「") + sheet.name + u8s(u8"」"));
      continue;
    }
    if (sheet.name.empty()) {
      for (const std::string& lost : sheet.not_kept) book.not_carried.push_back(u8s(u8"ブックの") + lost);
      continue;
    }
    // 集計 is made anew every time, chart and all.
    if (sheet.name == summary_sheet()) continue;
    const std::string sheet_label = (u8s(u8"シート「")) + sheet.name + u8s(u8"」");

    // The header row: the first of the sheet's first rows with a ボイス名 cell.
    std::optional<std::uint32_t> header_row;
    for (const BookSheet::Cell& cell : sheet.cells) {
      if (cell.row >= kHeaderSearchRows) break;
      if (cell.value.kind == Kind::text && trimmed(cell.value.text) == header(kVoice)) {
        header_row = cell.row;
        break;
      }
    }
    if (!header_row) {
      if (!sheet.cells.empty() || !sheet.not_kept.empty()) book.not_carried.push_back(sheet_label);
      continue;
    }
    for (const std::string& lost : sheet.not_kept) {
      // The drop-down list of 状態 and the filter are Vocar's own.
      if (lost != u8s(u8"入力規則") && lost != u8s(u8"オートフィルター")) {
        book.not_carried.push_back(sheet_label + u8s(u8"の") + lost);
      }
    }
    any_take_sheet = true;
    const bool retired = sheet.name == retired_sheet();
    // What each column holds: Vocar's column c (0..9), the date it left (10),
    // or an extra column (11 + its index).
    constexpr std::uint32_t kLeft = kColumnCount;
    constexpr std::uint32_t kExtra = kColumnCount + 1;
    std::unordered_map<std::uint32_t, std::uint32_t> role;
    std::unordered_set<std::string> sheet_headers;
    std::vector<std::uint32_t>& extras = book.sheet_extras[sheet.name];
    auto add_extra = [&](std::uint32_t column, std::string name) {
      std::string unique = name;
      for (int k = 2; !sheet_headers.insert(unique).second; ++k) unique = name + " (" + std::to_string(k) + ")";
      const auto [it, fresh] = extra_index.try_emplace(unique, static_cast<std::uint32_t>(book.extra_headers.size()));
      if (fresh) book.extra_headers.push_back(unique);
      role[column] = kExtra + it->second;
      extras.push_back(it->second);
    };
    std::array<bool, kColumnCount> have{};
    bool have_left = false;
    for (const BookSheet::Cell& cell : sheet.cells) {
      if (cell.row != *header_row) continue;
      const std::string text(trimmed(cell_text(cell.value)));
      if (text.empty()) continue;
      bool placed = false;
      for (std::uint32_t c = 0; c < kColumnCount && !placed; ++c) {
        if (text == header(static_cast<Column>(c)) && !have[c]) {
          have[c] = true;
          role[cell.column] = c;
          sheet_headers.insert(text);
          placed = true;
        }
      }
      if (!placed && text == left_header() && !have_left) {
        have_left = true;
        role[cell.column] = kLeft;
        sheet_headers.insert(text);
        placed = true;
      }
      if (!placed) add_extra(cell.column, text);
    }
    // Values under no header keep their column's letter as a header.
    for (const BookSheet::Cell& cell : sheet.cells) {
      if (cell.row > *header_row && !cell.value.empty() && !role.contains(cell.column)) {
        add_extra(cell.column, (u8s(u8"列")) + column_letters(cell.column));
      }
    }

    // The rows below the header.
    std::size_t k = 0;
    while (k < sheet.cells.size() && sheet.cells[k].row <= *header_row) ++k;
    while (k < sheet.cells.size()) {
      const std::uint32_t r = sheet.cells[k].row;
      TakeRow row;
      row.retired = retired;
      row.sheet = sheet.name;
      row.sheet_row = r;
      bool any = false;
      std::uint32_t voice_column = 0;
      for (; k < sheet.cells.size() && sheet.cells[k].row == r; ++k) {
        BookSheet::Cell& cell = sheet.cells[k];
        if (cell.value.empty()) continue;
        any = true;
        const std::uint32_t what = role.at(cell.column);
        if (what < kColumnCount) {
          if (what == kVoice) voice_column = cell.column;
          row.own[what] = std::move(cell.value);
        } else if (what == kLeft) {
          row.left_on = std::move(cell.value);
        } else {
          const std::uint32_t e = what - kExtra;
          if (row.extra.size() <= e) row.extra.resize(e + 1);
          row.extra[e] = std::move(cell.value);
        }
      }
      if (!any) continue;
      std::string voice(trimmed(cell_text(row.own[kVoice])));
      if (voice.empty()) {
        book.not_carried.push_back(sheet_label + u8s(u8"の ") + std::to_string(r + 1) + u8s(u8" 行目（ボイス名のない行）"));
        continue;
      }
      row.own[kVoice] = CellValue::of_text(voice);
      const auto [it, fresh] = seen.try_emplace(voice, Seen{sheet.name, r, voice_column});
      if (!fresh) {
        return Error{cp932_lossy((u8s(u8"収録台帳.xlsx: ボイス名 ")) + voice + u8s(u8" が２つの行にあります（シート「") +
                                    it->second.sheet + u8s(u8"」の ") + cell_name(it->second.row, it->second.column) +
                                    u8s(u8" と、シート「") + sheet.name + u8s(u8"」の ") + cell_name(r, voice_column) +
                                    u8s(u8"）。どちらか一方の行を消してからやり直してください。"))};
      }
      book.rows.push_back(std::move(row));
    }
  }
  if (!any_take_sheet) {
    return Error{"収録台帳.xlsx は収録台帳ではありません（「ボイス名」の見出しのあるシートがありません）。"
                 "別のファイルなら名前を変えてからやり直してください。"};
  }
  return book;
}

namespace {

bool in_scope(std::string_view file, std::span<const TakeScopeEntry> scope) {
  for (const TakeScopeEntry& entry : scope) {
    if (within_entry(file, entry.name, entry.folder)) return true;
  }
  return false;
}

// A fresh OK (one Vocar has not seen: no recorded text, or another than the
// row shows) refers to the text the row showed; a row without text takes
// `otherwise`.
void record_fresh_ok(TakeRow& row, const std::string* otherwise) {
  CellValue& recorded = row.own[kRecordedText];
  if (status_of(row.own[kStatus]) != Status::ok) return;
  const bool known_text = row.own[kText].kind != Kind::empty;
  const std::string as_read = cell_text(row.own[kText]);
  if (!recorded.empty() && cell_text(recorded) == as_read) return;
  if (known_text) {
    recorded = CellValue::of_text(as_read);
  } else if (otherwise != nullptr) {
    recorded = CellValue::of_text(*otherwise);
  }
}

// Brings a row of a voice in the scenario up to date.
void update_row(TakeRow& row, const RunTake& voice) {
  const std::string as_read = cell_text(row.own[kText]);
  const bool known_text = row.own[kText].kind != Kind::empty;
  CellValue& status = row.own[kStatus];
  CellValue& recorded = row.own[kRecordedText];
  Status s = status_of(status);
  record_fresh_ok(row, &voice.text);
  if (!known_text) {
    row.own[kChange] = CellValue{};
  } else if (as_read != voice.text) {
    row.own[kChange] = CellValue::of_text(std::string(change_text()));
  } else if (cell_text(row.own[kFile]) != voice.file) {
    row.own[kChange] = CellValue::of_text(std::string(change_moved()));
  } else {
    row.own[kChange] = CellValue{};
  }
  row.own[kFile] = CellValue::of_text(voice.file);
  row.own[kLine] = CellValue::of_number(voice.line);
  row.own[kText] = CellValue::of_text(voice.text);
  if (s == Status::ok && cell_text(recorded) != voice.text) {
    status = CellValue::of_text(std::string(status_redo()));
  } else if (s == Status::redo && !recorded.empty() && cell_text(recorded) == voice.text) {
    status = CellValue::of_text(std::string(status_ok()));
  }
}

}  // namespace

void count_status(TakeCounts& counts, const CellValue& status) {
  switch (status_of(status)) {
    case Status::open: ++counts.open; break;
    case Status::ok: ++counts.ok; break;
    case Status::ng: ++counts.ng; break;
    case Status::hold: ++counts.hold; break;
    case Status::redo: ++counts.redo; break;
    case Status::other: ++counts.other; break;
  }
}

MergedBook merge_take_book(TakeBook book, const TakeMerge& merge) {
  MergedBook out;
  std::unordered_map<std::string, std::uint32_t> index;  // keys of its own: rows move and grow
  index.reserve(book.rows.size());
  for (std::uint32_t r = 0; r < book.rows.size(); ++r) index.emplace(book.rows[r].voice(), r);
  std::vector<bool> used(book.rows.size(), false);
  std::vector<TakeRow>& rows = out.book.rows;
  rows.reserve(book.rows.size() + merge.voices.size());
  out.row_of_voice.reserve(merge.voices.size());
  for (const RunTake& voice : merge.voices) {
    const auto it = index.find(voice.voice);
    TakeRow row;
    if (it != index.end() && !used[it->second]) {
      used[it->second] = true;
      row = std::move(book.rows[it->second]);
      row.retired = false;
      row.left_on = CellValue{};
      update_row(row, voice);
    } else {
      row.own[kVoice] = CellValue::of_text(voice.voice);
      row.own[kFile] = CellValue::of_text(voice.file);
      row.own[kLine] = CellValue::of_number(voice.line);
      row.own[kText] = CellValue::of_text(voice.text);
      row.own[kChange] = CellValue::of_text(std::string(change_new()));
    }
    out.row_of_voice.push_back(static_cast<std::uint32_t>(rows.size()));
    count_status(out.counts, row.own[kStatus]);
    ++out.counts.in_use;
    rows.push_back(std::move(row));
  }
  // Rows left alone, then the retired ones: those retired before, then
  // those retired now.
  std::vector<std::uint32_t> retired_now;
  for (std::uint32_t r = 0; r < book.rows.size(); ++r) {
    if (!used[r]) record_fresh_ok(book.rows[r], nullptr);
  }
  for (std::uint32_t r = 0; r < book.rows.size(); ++r) {
    if (used[r] || book.rows[r].retired) continue;
    if (in_scope(cell_text(book.rows[r].own[kFile]), merge.scope)) {
      retired_now.push_back(r);
      continue;
    }
    count_status(out.counts, book.rows[r].own[kStatus]);
    ++out.counts.in_use;
    rows.push_back(std::move(book.rows[r]));
  }
  for (std::uint32_t r = 0; r < book.rows.size(); ++r) {
    if (!used[r] && book.rows[r].retired) rows.push_back(std::move(book.rows[r]));
  }
  for (std::uint32_t r : retired_now) {
    TakeRow& row = rows.emplace_back(std::move(book.rows[r]));
    row.retired = true;
    row.left_on = CellValue{Kind::date, {}, merge.today};
  }
  out.book.extra_headers = std::move(book.extra_headers);
  out.book.sheet_extras = std::move(book.sheet_extras);
  out.book.not_carried = std::move(book.not_carried);
  return out;
}

std::size_t carry_script_marks(TakeBook& book, std::span<const ScriptMark> marks) {
  std::unordered_map<std::string, std::uint32_t> index;  // keys of its own: rows move and grow
  for (std::uint32_t r = 0; r < book.rows.size(); ++r) index.emplace(book.rows[r].voice(), r);
  std::size_t carried = 0;
  auto add_note = [](TakeRow& row, const std::string& note) {
    CellValue& notes = row.own[kNotes];
    std::string text = cell_text(notes);
    if (text.find(note) != std::string::npos) return false;
    if (!text.empty()) text += '\n';
    text += note;
    notes = CellValue::of_text(std::move(text));
    return true;
  };
  for (const ScriptMark& mark : marks) {
    auto it = index.find(mark.voice);
    if (it == index.end()) {
      // A voice the book has no row for yet: the merge makes one.
      TakeRow& row = book.rows.emplace_back();
      row.own[kVoice] = CellValue::of_text(mark.voice);
      it = index.emplace(row.voice(), static_cast<std::uint32_t>(book.rows.size() - 1)).first;
    }
    TakeRow& row = book.rows[it->second];
    const std::string typed(trimmed(cell_text(mark.status)));
    if (!typed.empty() && status_key(mark.status) != status_key(mark.shown_status) &&
        status_key(mark.status) != status_key(row.own[kStatus])) {
      if (status_of(row.own[kStatus]) == Status::open) {
        row.own[kStatus] = CellValue::of_text(typed);
        ++carried;
      } else if (add_note(row, (u8s(u8"台本の収録欄: ")) + typed)) {
        ++carried;
      }
    }
    const std::string typed_notes = cell_text(mark.notes);
    std::string_view note = trimmed(typed_notes);
    const std::string shown(trimmed(cell_text(mark.shown_notes)));
    if (note == shown) continue;
    if (!shown.empty() && note.starts_with(shown)) note = trimmed(note.substr(shown.size()));
    if (!note.empty() && add_note(row, std::string(note))) ++carried;
  }
  return carried;
}

namespace {

constexpr double kOwnWidths[kColumnCount] = {18, 30, 6, 48, 9, 7, 11, 30, 40, 11};
constexpr bool kOwnWrap[kColumnCount] = {false, false, false, true, false, false, false, true, true, false};

std::vector<TableColumn> own_columns() {
  std::vector<TableColumn> columns;
  for (std::uint32_t c = 0; c < kColumnCount; ++c) {
    TableColumn& column = columns.emplace_back();
    column.header = header(static_cast<Column>(c));
    column.width = kOwnWidths[c];
    column.wrap = kOwnWrap[c];
    if (c == kStatus) column.choices = {std::string(status_ok()), std::string(status_ng()), std::string(status_hold())};
  }
  return columns;
}

// Rows of a sheet in file and line order (files by their names, ASCII
// letters folded), for a sheet that holds rows of files the run did not read.
void sort_by_place(std::vector<std::uint32_t>& rows, const std::vector<TakeRow>& all) {
  std::vector<std::string> files(rows.size());
  for (std::size_t k = 0; k < rows.size(); ++k) files[k] = cell_text(all[rows[k]].own[kFile]);
  std::vector<std::size_t> order(rows.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const int c = compare_folded(files[a], files[b]);
    if (c != 0) return c < 0;
    return all[rows[a]].own[kLine].number < all[rows[b]].own[kLine].number;
  });
  std::vector<std::uint32_t> sorted(rows.size());
  for (std::size_t k = 0; k < order.size(); ++k) sorted[k] = rows[order[k]];
  rows = std::move(sorted);
}

struct SheetPlan {
  std::string name;
  std::vector<std::uint32_t> rows;
  bool retired = false;
  bool has_left_alone = false;
};

}  // namespace

std::string take_counts_line(const TakeCounts& counts) {
  const double share = counts.in_use == 0 ? 0.0 : 100.0 * static_cast<double>(counts.ok) / static_cast<double>(counts.in_use);
  const auto n = [](std::size_t v) { return std::to_string(v); };
  return "収録済 " + n(counts.ok) + " / " + n(counts.in_use) + format("（%.1f%%）", share) + "　要再収録 " + n(counts.redo) +
         "　未収録 " + n(counts.open);
}

TakeBookTables take_book_sheets(const MergedBook& merged, const CharacterTable& characters,
                                std::span<const std::string> sheet_names, std::span<const RunTake> voices) {
  TakeBookTables out;
  const std::vector<TakeRow>& rows = merged.book.rows;
  // The plans: a sheet a voiced character, in table order; sheets of rows
  // whose character has none; 欠番.
  std::vector<SheetPlan> plans;
  std::unordered_map<std::string, std::size_t> plan_of_sheet;
  std::vector<std::size_t> plan_of_character(characters.characters.size(), SIZE_MAX);
  for (std::size_t c = 0; c < characters.characters.size() && c < sheet_names.size(); ++c) {
    if (sheet_names[c].empty()) continue;
    plan_of_character[c] = plans.size();
    plan_of_sheet.emplace(sheet_names[c], plans.size());
    plans.push_back({sheet_names[c], {}, false, false});
  }
  const std::size_t characters_end = plans.size();
  std::vector<std::int32_t> character_of_row(rows.size(), -1);
  for (std::size_t k = 0; k < voices.size() && k < merged.row_of_voice.size(); ++k) {
    character_of_row[merged.row_of_voice[k]] = voices[k].character;
  }
  std::vector<std::uint32_t> retired;
  for (std::uint32_t r = 0; r < rows.size(); ++r) {
    const TakeRow& row = rows[r];
    if (row.retired) {
      retired.push_back(r);
      continue;
    }
    std::size_t plan = SIZE_MAX;
    const std::int32_t c = character_of_row[r];
    if (c >= 0 && static_cast<std::size_t>(c) < plan_of_character.size()) plan = plan_of_character[static_cast<std::size_t>(c)];
    if (plan == SIZE_MAX) {
      const std::string name = row.sheet.empty() || row.sheet == retired_sheet() || row.sheet == summary_sheet()
                                   ? (u8s(u8"その他"))
                                   : row.sheet;
      const auto [it, fresh] = plan_of_sheet.try_emplace(name, plans.size());
      if (fresh) plans.push_back({name, {}, false, false});
      plan = it->second;
    }
    if (c < 0) plans[plan].has_left_alone = true;
    plans[plan].rows.push_back(r);
  }
  plans.push_back({std::string(retired_sheet()), std::move(retired), true, false});

  // 集計.
  TableSheet& summary = out.sheets.emplace_back();
  summary.name = summary_sheet();
  constexpr std::u8string_view kSummaryHeaders[] = {u8"キャラ", u8"使用中", u8"OK",     u8"NG",    u8"保留",
                                                    u8"要再収録", u8"未収録", u8"その他", u8"収録率"};
  constexpr double kSummaryWidths[] = {20, 8, 8, 8, 8, 9, 8, 8, 8};
  for (std::size_t c = 0; c < std::size(kSummaryHeaders); ++c) {
    summary.columns.push_back({(u8s(kSummaryHeaders[c])), kSummaryWidths[c], false, {}});
  }
  summary.number_formats.assign(std::size(kSummaryHeaders), {});
  summary.number_formats.back() = "0.0%";
  TakeCounts total;
  auto add_summary_row = [&](const std::string& name, const TakeCounts& counts) {
    const std::size_t values[] = {counts.in_use, counts.ok,   counts.ng,   counts.hold,
                                  counts.redo,   counts.open, counts.other};
    summary.cells.push_back(&out.cells.emplace_back(CellValue::of_text(name)));
    for (std::size_t v : values) summary.cells.push_back(&out.cells.emplace_back(CellValue::of_number(static_cast<double>(v))));
    const double share = counts.in_use == 0 ? 0.0 : static_cast<double>(counts.ok) / static_cast<double>(counts.in_use);
    summary.cells.push_back(&out.cells.emplace_back(CellValue::of_number(share)));
  };
  std::size_t summary_rows = 0;
  for (std::size_t p = 0; p + 1 < plans.size(); ++p) {
    TakeCounts counts;
    for (std::uint32_t r : plans[p].rows) {
      count_status(counts, rows[r].own[kStatus]);
      ++counts.in_use;
    }
    if (p >= characters_end && counts.in_use == 0) continue;
    add_summary_row(plans[p].name, counts);
    ++summary_rows;
    total.in_use += counts.in_use;
    total.ok += counts.ok;
    total.ng += counts.ng;
    total.hold += counts.hold;
    total.redo += counts.redo;
    total.open += counts.open;
    total.other += counts.other;
  }
  add_summary_row((u8s(u8"合計")), total);
  summary.total_row = true;
  if (summary_rows > 0) {
    summary.chart = TableChart{(u8s(u8"収録状況")), 1, static_cast<std::uint32_t>(summary_rows), 0, {2, 3, 4, 5, 6, 7}};
  }

  // The voices' sheets.
  const std::vector<TableColumn> own = own_columns();
  for (SheetPlan& plan : plans) {
    if (plan.has_left_alone) sort_by_place(plan.rows, rows);
    TableSheet& sheet = out.sheets.emplace_back();
    sheet.name = plan.name;
    sheet.columns = own;
    if (plan.retired) sheet.columns.push_back({std::string(left_header()), 11, false, {}});
    // Its extra columns: those its header held, and those its rows fill.
    std::vector<bool> shown(merged.book.extra_headers.size(), false);
    if (const auto it = merged.book.sheet_extras.find(plan.name); it != merged.book.sheet_extras.end()) {
      for (std::uint32_t e : it->second) shown[e] = true;
    }
    for (std::uint32_t r : plan.rows) {
      const std::vector<CellValue>& extra = rows[r].extra;
      for (std::size_t e = 0; e < extra.size(); ++e) {
        if (!extra[e].empty()) shown[e] = true;
      }
    }
    std::vector<std::uint32_t> extras;
    for (std::uint32_t e = 0; e < shown.size(); ++e) {
      if (!shown[e]) continue;
      extras.push_back(e);
      sheet.columns.push_back({merged.book.extra_headers[e], 14, false, {}});
    }
    sheet.number_formats.assign(sheet.columns.size(), {});
    sheet.cells.reserve(plan.rows.size() * sheet.columns.size());
    for (std::uint32_t r : plan.rows) {
      const TakeRow& row = rows[r];
      for (const CellValue& value : row.own) sheet.cells.push_back(value.empty() ? nullptr : &value);
      if (plan.retired) sheet.cells.push_back(row.left_on.empty() ? nullptr : &row.left_on);
      for (std::uint32_t e : extras) {
        sheet.cells.push_back(e < row.extra.size() && !row.extra[e].empty() ? &row.extra[e] : nullptr);
      }
    }
  }
  return out;
}

}  // namespace lumeno::scriptbuilder
