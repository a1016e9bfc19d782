#include "scriptbuilder/voice_ledger.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

constexpr std::size_t kFields = 6;
constexpr std::size_t kMaxLineDigits = 9;

// A voice name with its file, as a key.
struct NameInFile {
  std::string_view file;
  std::string_view name;
  bool operator==(const NameInFile&) const = default;
};
struct NameInFileHash {
  std::size_t operator()(const NameInFile& key) const {
    const std::size_t h = std::hash<std::string_view>()(key.file);
    return h ^ (std::hash<std::string_view>()(key.name) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2));
  }
};

std::string row_message(std::size_t line, const std::string& what) {
  return format("ボイス番号台帳.txt の %zu 行目: %s", line, what.c_str());
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

// The row, or the reason it is refused.
Result<LedgerRow> read_row(std::string_view row) {
  std::string_view fields[kFields];
  if (!split_row(row, fields)) return Error{"項目が足りません（タブ区切りで 6 項目）。"};
  LedgerRow out;
  out.voice_name = fields[0];
  out.voice_prefix = fields[1];
  out.file = fields[3];
  out.text = fields[5];
  if (out.voice_name.empty()) return Error{"ボイス名がありません。"};
  if (out.voice_prefix.empty()) return Error{"ボイス接頭辞がありません。"};
  if (out.voice_name.size() <= out.voice_prefix.size() || !out.voice_name.starts_with(out.voice_prefix)) {
    return Error{"ボイス名がボイス接頭辞で始まっていません。"};
  }
  if (fields[2] == kStateInUse) {
    out.in_use = true;
  } else if (fields[2] == kStateRetired) {
    out.in_use = false;
  } else {
    return Error{"状態は「使用中」か「欠番」です。"};
  }
  if (out.file.empty()) return Error{"ファイル名がありません。"};
  const std::string_view digits = fields[4];
  std::uint32_t line = 0;
  const bool all_digits = std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits.empty() || digits.size() > kMaxLineDigits || !all_digits ||
      std::from_chars(digits.data(), digits.data() + digits.size(), line).ec != std::errc() || line == 0) {
    return Error{"行番号が正しくありません。"};
  }
  out.line = line;
  return out;
}

}  // namespace

Result<Ledger> parse_ledger(std::string bytes) {
  Ledger ledger;
  ledger.bytes = std::make_unique<const std::string>(std::move(bytes));
  const std::string_view text = *ledger.bytes;
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  std::unordered_map<NameInFile, std::size_t, NameInFileHash> seen;
  std::size_t line = 1;
  bool header = true;
  for (std::size_t at = 0; at < text.size() || header; ++line) {
    const std::size_t end = find_byte_of<'\r', '\n'>(data, at, text.size());
    const std::string_view row = text.substr(at, end - at);
    if (header) {
      if (row != kLedgerHeader) return Error{row_message(line, "見出し行がありません。")};
      header = false;
    } else if (!row.empty()) {
      Result<LedgerRow> read = read_row(row);
      if (!read) return Error{row_message(line, read.error())};
      const auto [it, fresh] = seen.try_emplace(NameInFile{read->file, read->voice_name}, line);
      if (!fresh) return Error{row_message(line, format("ボイス名が %zu 行目と重複しています。", it->second))};
      ledger.rows.push_back(*read);
    }
    at = end;
    if (at < text.size()) at += (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ? 2 : 1;
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

std::string format_ledger(std::span<const LedgerRow> rows) {
  std::size_t size = kLedgerHeader.size() + 2;
  for (const LedgerRow& row : rows) {
    size += row.voice_name.size() + row.voice_prefix.size() + row.file.size() + row.text.size() + 32;
  }
  std::string out;
  out.reserve(size);
  out += kLedgerHeader;
  out += "\r\n";
  for (const LedgerRow& row : rows) {
    char line[16];
    const auto end = std::to_chars(line, line + sizeof line, row.line).ptr;
    out += row.voice_name;
    out += '\t';
    out += row.voice_prefix;
    out += '\t';
    out += row.in_use ? kStateInUse : kStateRetired;
    out += '\t';
    out += row.file;
    out += '\t';
    out.append(line, static_cast<std::size_t>(end - line));
    out += '\t';
    append_ledger_text(out, row.text);
    out += "\r\n";
  }
  return out;
}

void sort_ledger_rows(std::vector<LedgerRow>& rows) {
  // The files are ranked once: most rows share their file with many others.
  std::unordered_map<std::string_view, std::uint32_t> rank;
  for (const LedgerRow& row : rows) rank.try_emplace(row.file, 0);
  std::vector<std::string_view> files;
  files.reserve(rank.size());
  for (const auto& [file, unused] : rank) files.push_back(file);
  std::sort(files.begin(), files.end(), [](std::string_view a, std::string_view b) {
    const int folded = compare_folded(a, b);
    return folded != 0 ? folded < 0 : a < b;
  });
  for (std::size_t k = 0; k < files.size(); ++k) rank[files[k]] = static_cast<std::uint32_t>(k);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> keys(rows.size());  // file rank, row index
  for (std::size_t k = 0; k < rows.size(); ++k) keys[k] = {rank[rows[k].file], static_cast<std::uint32_t>(k)};
  std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    const LedgerRow& x = rows[a.second];
    const LedgerRow& y = rows[b.second];
    if (x.line != y.line) return x.line < y.line;
    if (x.in_use != y.in_use) return x.in_use;
    if (x.voice_name != y.voice_name) return x.voice_name < y.voice_name;
    return a.second < b.second;
  });
  std::vector<LedgerRow> sorted;
  sorted.reserve(rows.size());
  for (const auto& key : keys) sorted.push_back(rows[key.second]);
  rows = std::move(sorted);
}

}  // namespace lumeno::scriptbuilder
