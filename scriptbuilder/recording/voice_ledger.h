// The voice ledger "ボイス番号台帳.txt" in Vocar's tool folder: every voice
// name Vocar ever gave, with the line that carries it as it stood when last
// seen, so that a line keeps its name when the scenario is edited.
//
// Plain text, so that a studio can keep it under version control beside the
// scenario and read its diffs: CP932, CR LF, one header line, then one row a
// voice name, its fields separated by TAB:
//
//   voice name  voice prefix  state  relative file name  line number  source line
//
// The state is 使用中 (the line is in the scenario) or 欠番 (retired: the line
// went, and its name and number are never given again). The source line
// comes last and whole, tabs and all; CR and LF bytes inside it (the second
// byte of a broken double-byte character) are written as "?". Rows are kept
// in the order of their files (ASCII letters folded) and line numbers.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "shell/result.h"

namespace lumeno::scriptbuilder {

inline constexpr std::string_view kLedgerFile = "ボイス番号台帳.txt";
inline constexpr std::string_view kLedgerHeader = "ボイス名\tボイス接頭辞\t状態\tファイル\t行\t本文";
inline constexpr std::string_view kStateInUse = "使用中";
inline constexpr std::string_view kStateRetired = "欠番";

struct LedgerRow {
  std::string_view voice_name;
  std::string_view voice_prefix;  // the character's, which begins the name
  bool in_use = true;             // 使用中, or else 欠番
  std::string_view file;          // the relative name of its file
  std::uint32_t line = 0;         // from 1
  std::string_view text;          // the source line
};

// A ledger as read; its rows point into `bytes`.
struct Ledger {
  std::unique_ptr<const std::string> bytes = std::make_unique<const std::string>();
  std::vector<LedgerRow> rows;
};

// Reads a ledger. A missing file is an empty ledger (the caller's business);
// a file that does not hold a ledger is refused with a message naming its
// line, "ボイス番号台帳.txt の N 行目: ...": no header, a row with fewer than
// six fields, an empty voice name, prefix or file name, a name that does not
// begin with its prefix, a state other than 使用中 and 欠番, a line number
// that is not 1 to 9 digits, or a name that stands twice for one file.
// Line ends may be CR LF, CR or LF; empty lines are skipped.
Result<Ledger> parse_ledger(std::string bytes);

// The ledger text: the header and the rows, in `order` (indices into
// `rows`) or, without it, as they come. The texts must be in the ledger's
// form (append_ledger_text): no CR or LF.
std::string format_ledger(std::span<const LedgerRow> rows, std::span<const std::uint32_t> order = {});

// The ledger's order of rows: by file (ASCII letters folded, then as
// written), line number, rows in use first, voice name.
std::vector<std::uint32_t> ledger_order(std::span<const LedgerRow> rows);
void sort_ledger_rows(std::vector<LedgerRow>& rows);

// The source line in the form the ledger holds: CR and LF bytes as "?".
// Appends to `out`.
void append_ledger_text(std::string& out, std::string_view line);

// True when the text can stand in a field before the last: no TAB, CR or LF.
bool fits_ledger_field(std::string_view text);

}  // namespace lumeno::scriptbuilder
