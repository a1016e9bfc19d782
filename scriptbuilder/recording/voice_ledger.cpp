#include "scriptbuilder/recording/voice_ledger.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "scriptbuilder/scanner.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

constexpr std::size_t kFields = 6;
constexpr std::size_t kMaxLineDigits = 9;

std::string row_message(std::size_t line, std::string_view what) {
  std::string message = "ボイス番号台帳.txt の " + std::to_string(line) + " 行目: ";
  message += what;
  return message;
}

// The fields of a row: five cut at TAB, then the rest of the line.
bool split_row(std::string_view row, std::string_view (&fields)[kFields]) {
  std::size_t at = 0;
  for (std::size_t k = 0; k + 1 < kFields; ++k) {
    const std::size_t tab = row.find('\t', at);
    if (tab == std::string_view::npos) return false;
    fields[k] = row.substr(at, tab - at);
    at = tab + 1;
  }
  fields[kFields - 1] = row.substr(at);
  return true;
}

// Reads a row into `out`; the reason it is refused, or nothing.
const char* read_row(std::string_view row, LedgerRow& out) {
  std::string_view fields[kFields];
  if (!split_row(row, fields)) return "項目が足りません（タブ区切りで 6 項目）。";
  out.voice_name = fields[0];
  out.voice_prefix = fields[1];
  out.file = fields[3];
  out.text = fields[5];
  if (out.voice_name.empty()) return "ボイス名がありません。";
  if (out.voice_prefix.empty()) return "ボイス接頭辞がありません。";
  if (out.voice_name.size() <= out.voice_prefix.size() || !out.voice_name.starts_with(out.voice_prefix)) {
    return "ボイス名がボイス接頭辞で始まっていません。";
  }
  if (fields[2] == kStateInUse) {
    out.in_use = true;
  } else if (fields[2] == kStateRetired) {
    out.in_use = false;
  } else {
    return "状態は「使用中」か「欠番」です。";
  }
  if (out.file.empty()) return "ファイル名がありません。";
  const std::string_view digits = fields[4];
  std::uint32_t line = 0;
  const bool all_digits = std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits.empty() || digits.size() > kMaxLineDigits || !all_digits ||
      std::from_chars(digits.data(), digits.data() + digits.size(), line).ec != std::errc() || line == 0) {
    return "行番号が正しくありません。";
  }
  out.line = line;
  return nullptr;
}

// A row that repeats the voice name of an earlier row of its file, with
// that earlier row.
struct Repeat {
  std::size_t row = 0;
  std::size_t earlier = 0;
};

// The repeat with the lowest row among rows[order[...]] sorted by name.
void note_repeats(const std::vector<LedgerRow>& rows, std::vector<std::uint32_t>& order, std::optional<Repeat>& first) {
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    const int c = rows[a].voice_name.compare(rows[b].voice_name);
    return c != 0 ? c < 0 : a < b;
  });
  for (std::size_t k = 1; k < order.size(); ++k) {
    const LedgerRow& a = rows[order[k - 1]];
    const LedgerRow& b = rows[order[k]];
    if (a.voice_name != b.voice_name || a.file != b.file) continue;
    if (!first || order[k] < first->row) first = Repeat{order[k], order[k - 1]};
  }
}

// The first row that repeats a name of its file. The rows of a file
// mostly stand together: each run of them is looked at on its own, unless
// a file comes back after others, when all rows are looked at at once.
std::optional<Repeat> repeated_name(const std::vector<LedgerRow>& rows) {
  std::optional<Repeat> first;
  std::vector<std::uint32_t> order;
  std::unordered_set<std::string_view> files;
  for (std::size_t begin = 0; begin < rows.size();) {
    std::size_t end = begin + 1;
    while (end < rows.size() && rows[end].file == rows[begin].file) ++end;
    if (!files.insert(rows[begin].file).second) {
      order.resize(rows.size());
      for (std::size_t r = 0; r < rows.size(); ++r) order[r] = static_cast<std::uint32_t>(r);
      // By file, then name.
      std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = rows[a].file.compare(rows[b].file);
        return c != 0 ? c < 0 : a < b;
      });
      first.reset();
      for (std::size_t k = 0; k < order.size();) {
        std::size_t j = k + 1;
        while (j < order.size() && rows[order[j]].file == rows[order[k]].file) ++j;
        std::vector<std::uint32_t> group(order.begin() + static_cast<long>(k), order.begin() + static_cast<long>(j));
        note_repeats(rows, group, first);
        k = j;
      }
      return first;
    }
    order.clear();
    for (std::size_t r = begin; r < end; ++r) order.push_back(static_cast<std::uint32_t>(r));
    note_repeats(rows, order, first);
    begin = end;
  }
  return first;
}

}  // namespace

Result<Ledger> parse_ledger(std::string bytes) {
  Ledger ledger;
  ledger.bytes = std::make_unique<const std::string>(std::move(bytes));
  const std::string_view text = *ledger.bytes;
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  // Rows of our ledgers take well over 64 bytes.
  ledger.rows.reserve(text.size() / 64 + 1);
  std::vector<std::size_t> line_of;  // by row: its line in the file
  line_of.reserve(ledger.rows.capacity());
  std::size_t line = 1;
  bool header = true;
  for (std::size_t at = 0; at < text.size() || header; ++line) {
    const std::size_t end = find_byte_of<'\r', '\n'>(data, at, text.size());
    const std::string_view row = text.substr(at, end - at);
    if (header) {
      if (row != kLedgerHeader) return Error{row_message(line, "見出し行がありません。")};
      header = false;
    } else if (!row.empty()) {
      LedgerRow& read = ledger.rows.emplace_back();
      if (const char* refused = read_row(row, read)) return Error{row_message(line, refused)};
      line_of.push_back(line);
    }
    at = end;
    if (at < text.size()) at += (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ? 2 : 1;
  }
  if (const std::optional<Repeat> repeat = repeated_name(ledger.rows)) {
    return Error{row_message(line_of[repeat->row], "ボイス名が " + std::to_string(line_of[repeat->earlier]) + " 行目と重複しています。")};
  }
  return ledger;
}

void append_ledger_text(std::string& out, std::string_view line) {
  const auto* data = reinterpret_cast<const unsigned char*>(line.data());
  std::size_t at = 0;
  for (;;) {
    const std::size_t stop = find_byte_of<'\r', '\n'>(data, at, line.size());
    out.append(line.substr(at, stop - at));
    if (stop == line.size()) return;
    out += '?';
    at = stop + 1;
  }
}

bool fits_ledger_field(std::string_view text) { return text.find_first_of("\t\r\n") == std::string_view::npos; }

std::string format_ledger(std::span<const LedgerRow> rows, std::span<const std::uint32_t> order) {
  std::size_t size = kLedgerHeader.size() + 2;
  for (const LedgerRow& row : rows) {
    size += row.voice_name.size() + row.voice_prefix.size() + row.file.size() + row.text.size() + 32;
  }
  std::string out;
  out.reserve(size);
  out += kLedgerHeader;
  out += "\r\n";
  const std::size_t count = order.empty() ? rows.size() : order.size();
  for (std::size_t k = 0; k < count; ++k) {
    const LedgerRow& row = rows[order.empty() ? k : order[k]];
    char line[16];
    const auto end = std::to_chars(line, line + sizeof line, row.line).ptr;
    append_parts(out, {row.voice_name, "\t", row.voice_prefix, "\t", row.in_use ? kStateInUse : kStateRetired, "\t", row.file, "\t",
                       std::string_view(line, static_cast<std::size_t>(end - line)), "\t", row.text, "\r\n"});
  }
  return out;
}

std::vector<std::uint32_t> ledger_order(std::span<const LedgerRow> rows) {
  // The files are ranked once: most rows share their file with many others.
  std::unordered_map<std::string_view, std::uint32_t> rank;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    if (k == 0 || rows[k].file != rows[k - 1].file) rank.try_emplace(rows[k].file, 0);
  }
  std::vector<std::string_view> files;
  files.reserve(rank.size());
  for (const auto& [file, unused] : rank) files.push_back(file);
  std::sort(files.begin(), files.end(), [](std::string_view a, std::string_view b) {
    const int folded = compare_folded(a, b);
    return folded != 0 ? folded < 0 : a < b;
  });
  for (std::size_t k = 0; k < files.size(); ++k) rank[files[k]] = static_cast<std::uint32_t>(k);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> keys(rows.size());  // file rank, row index
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const std::uint32_t file = (k > 0 && rows[k].file == rows[k - 1].file) ? keys[k - 1].first : rank[rows[k].file];
    keys[k] = {file, static_cast<std::uint32_t>(k)};
  }
  auto before = [&](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    const LedgerRow& x = rows[a.second];
    const LedgerRow& y = rows[b.second];
    if (x.line != y.line) return x.line < y.line;
    if (x.in_use != y.in_use) return x.in_use;
    if (x.voice_name != y.voice_name) return x.voice_name < y.voice_name;
    return a.second < b.second;
  };
  // Rows often come as two runs in order (a run's lines, then the rows it
  // did not touch): those are merged.
  const auto split = std::is_sorted_until(keys.begin(), keys.end(), before);
  if (std::is_sorted(split, keys.end(), before)) {
    std::inplace_merge(keys.begin(), split, keys.end(), before);
  } else {
    std::sort(keys.begin(), keys.end(), before);
  }
  std::vector<std::uint32_t> order(keys.size());
  for (std::size_t k = 0; k < keys.size(); ++k) order[k] = keys[k].second;
  return order;
}

void sort_ledger_rows(std::vector<LedgerRow>& rows) {
  std::vector<LedgerRow> sorted;
  sorted.reserve(rows.size());
  for (std::uint32_t r : ledger_order(rows)) sorted.push_back(rows[r]);
  rows = std::move(sorted);
}

}  // namespace lumeno::scriptbuilder
