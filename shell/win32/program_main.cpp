// One desktop program: the frame over the tool named by LUMENO_TOOL_KEY.
#include <windows.h>

#include "shell/win32/program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_mode) {
  return lumeno::win32::run_program(instance, show_mode, LUMENO_TOOL_KEY);
}
