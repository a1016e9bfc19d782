// A script read back for its workbook, its text as UTF-8 and its sheet
// name: any bytes as a script, then names cut from it.
#include <string>
#include <vector>

#include "fuzz/fuzz_target.h"
#include "scriptbuilder/workbooks/script_sheet.h"
#include "scriptbuilder/workbooks/script_workbook.h"
#include "shell/cp932_decoder.h"

namespace {

// Well-formed UTF-8 of code points below U+10000 (the decoder writes nothing else).
bool valid_bmp_utf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace

LUMENO_FUZZ_TARGET(workbook) {
  using namespace lumeno;
  using namespace lumeno::scriptbuilder;
  static const Cp932Decoder decoder;
  const std::string_view script(reinterpret_cast<const char*>(data), size);
  const ScriptSheet sheet = read_script_sheet(script);
  std::size_t own = 0;
  for (const SheetRow& row : sheet.rows) {
    if (row.bytes.data() < script.data() || row.bytes.data() + row.bytes.size() > script.data() + script.size()) __builtin_trap();
    if (row.voice.size() + row.speaker.size() + row.text.size() > row.bytes.size()) __builtin_trap();
    own += row.own() ? 1 : 0;
    std::string text = decoder.utf8(row.bytes);
    if (!valid_bmp_utf8(text)) __builtin_trap();
    escape_cell_text(text);
  }
  if (own != sheet.own_lines || sheet.pages < 1) __builtin_trap();
  if (!sheet.rows.empty() && sheet.rows.back().bytes.empty()) __builtin_trap();
  const std::vector<std::size_t> starts = sheet_starts(sheet.rows.size(), 45 + size % 200);
  for (std::size_t k = 1; k < starts.size(); ++k) {
    if (starts[k] <= starts[k - 1] || page_of_row(starts[k]) == page_of_row(starts[k] - 1)) __builtin_trap();
  }

  // Every row a sheet name: valid, and never one taken before.
  SheetNames names;
  std::vector<std::string> folded;
  for (const SheetRow& row : sheet.rows) {
    const std::string name = names.add(decoder.utf8(row.voice));
    std::size_t chars = 0;
    for (char c : name) {
      chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
      if (std::string_view("[]:*?/\\").find(c) != std::string_view::npos || static_cast<unsigned char>(c) < 0x20) __builtin_trap();
    }
    if (chars == 0 || chars > SheetNames::kMaxLength || name.front() == '\'' || name.back() == '\'') __builtin_trap();
    const std::string key = fold_sheet_name(name);
    for (const std::string& earlier : folded) {
      if (earlier == key) __builtin_trap();
    }
    if (folded.size() < 64) folded.push_back(key);
  }
  return 0;
}
