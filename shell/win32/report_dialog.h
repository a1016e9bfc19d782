// What the ツール menu's own commands need of the frame: a folder to check
// against, and the dialog that shows a report with a button that copies it
// to the clipboard.
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string_view>

#include "shell/app_state.h"
#include "shell/report_run.h"

namespace lumeno::win32 {

// The system's folder picker, owned by `owner`, titled `prompt` (CP932),
// opening in `start` when that is a folder; nothing when the user cancels.
std::optional<std::filesystem::path> choose_folder(HWND owner, std::string_view prompt, const std::filesystem::path& start);

// Shows `report` in the modal dialog IDD_REPORT titled `title` (CP932): its
// whole text, read-only; クリップボードにコピー puts the whole text on the clipboard, 閉じる
// (and Escape) closes. A very long report shows its beginning and says so;
// the copy is always whole.
void show_report(HINSTANCE instance, HWND owner, std::string_view title, const Report& report);

// The text the dialog shows of a report: the report, CR LF line ends, cut at
// `limit` characters (at a line end) with a last line that says so.
std::wstring shown_report_text(const std::wstring& text, std::size_t limit);

}  // namespace lumeno::win32
