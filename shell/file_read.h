// Reading a whole file, done with the platform's own calls where that saves
// work (one open, one size query, one read).
#pragma once

#include <filesystem>
#include <string>

#include "shell/file_system.h"

namespace lumeno::detail {

ReadStatus read_file_bytes(const std::filesystem::path& path, std::string& out);

// FileSystem::held_open of the real file system.
bool file_held_open(const std::filesystem::path& path);

}  // namespace lumeno::detail
