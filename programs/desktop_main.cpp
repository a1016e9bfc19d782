// One desktop program: the frame over the tool named by LUMENO_TOOL_KEY.
#include <windows.h>

#include "programs/options_pages.h"
#include "programs/tools.h"
#include "shell/win32/program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_mode) {
  const lumeno::console::ToolEntry* tool = lumeno::console::find_tool(lumeno::programs::all_tools(), LUMENO_TOOL_KEY);
  if (!tool) return 0;
  return lumeno::win32::run_program(instance, show_mode, *tool, lumeno::programs::options_page(LUMENO_TOOL_KEY));
}
