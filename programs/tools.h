// The five tools of the toolkit, in the order the help lists them: the one
// list the programs hand to their frames.
#pragma once

#include <span>

#include "shell/console/tools.h"

namespace lumeno::programs {

std::span<const console::ToolEntry> all_tools();

}  // namespace lumeno::programs
