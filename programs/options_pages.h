// The options pages of the desktop programs (Windows).
#pragma once

#include <string_view>

#include "shell/win32/options.h"

namespace lumeno::programs {

// The page of a tool by its key ("bindo"); null for a tool without one.
const win32::OptionsPage* options_page(std::string_view tool_key);

}  // namespace lumeno::programs
