// A run under the progress dialog: the dialog opens modally, starts the
// worker thread, shows the four progress calls, turns Cancel and Escape into
// the cancel flag, and is closed by the worker when the run has ended. The
// dialog is the run's Host: the run's messages are owned by it.
#pragma once

#include <windows.h>

#include "shell/app_state.h"
#include "shell/batch_run.h"
#include "shell/file_system.h"

namespace lumeno::win32 {

// Runs `hooks` over the list of `app` (all entries, or the selected ones)
// and returns when the worker has ended and the dialog is closed.
RunOutcome run_with_progress(HINSTANCE instance, HWND owner, AppState& app, FileSystem& fs, ToolRun& hooks, bool selected_only);

}  // namespace lumeno::win32
