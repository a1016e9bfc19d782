// The entry of every desktop program: start-up, the single-instance rule
// per program file, the main loop and shut-down.
#pragma once

#include <windows.h>

#include <string>

#include "shell/console/tools.h"
#include "shell/win32/options.h"

namespace lumeno::win32 {

// Runs the desktop program of `tool`, whose options dialog shows `options`
// (none: the menu command does nothing), and returns its exit code (always 0).
int run_program(HINSTANCE instance, int show_mode, const console::ToolEntry& tool, const OptionsPage* options);

// The name of one program file's running copy: the module path with ASCII
// letters lower-cased and every "\" made ":". It names the main window's
// class and the instance lock; a very long path is shortened with a hash of
// the whole so that it fits the system's limits.
std::wstring instance_name(std::wstring module_path);

}  // namespace lumeno::win32
