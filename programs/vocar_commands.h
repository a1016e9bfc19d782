// Vocar's own commands: `lumeno vocar audit` and `lumeno vocar check`, and
// the same two in the desktop program's ツール menu.
#pragma once

#include <span>

#include "shell/console/tools.h"

namespace lumeno::programs {

std::span<const console::ToolCommand> vocar_commands();
std::span<const console::ToolMenuCommand> vocar_menu_commands();

}  // namespace lumeno::programs
