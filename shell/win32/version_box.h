// The version box: the program's caption, "Ver 0.405" and a credit line.
#pragma once

#include <windows.h>

#include <string>

#include "shell/app_state.h"

namespace lumeno::win32 {

// The text of the box (CP932), three lines and a credit line.
std::string version_text(const ToolInfo& tool);

// Shows the box owned by `owner` until OK is pressed (Escape does not close it).
void show_version_box(HINSTANCE instance, HWND owner, const AppState& app);

}  // namespace lumeno::win32
