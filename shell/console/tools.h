// The tools the command-line program offers, one entry each.
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "shell/batch_run.h"
#include "shell/tool.h"

namespace lumeno::console {

struct ToolEntry {
  const ToolInfo& (*info)();
  std::unique_ptr<ToolRun> (*make_run)();
};

std::span<const ToolEntry> all_tools();
const ToolEntry* find_tool(std::string_view key);

}  // namespace lumeno::console
