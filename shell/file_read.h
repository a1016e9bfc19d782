// Reading a whole file, done with the platform's own calls where that saves
// work (one open, one size query, one read).
#pragma once

#include <filesystem>
#include <string>

#include "shell/file_system.h"

namespace lumeno::detail {

ReadStatus read_file_bytes(const std::filesystem::path& path, std::string& out);

}  // namespace lumeno::detail
