// The files the workbook library opens itself. It takes narrow file names
// and writes to them directly, so a workbook is made as a scratch file in
// the system's temporary folder, read back and written to its place through
// the FileSystem like every other output.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lumeno::scriptbuilder::library_files {

// The system's temporary folder; nullopt when there is none.
std::optional<std::filesystem::path> scratch_folder();

// The environment variable that moves the temporary folder, the first the
// platform asks: TMPDIR on POSIX, TMP on Windows.
std::string_view scratch_folder_variable();

// The name by which the library opens `path`: its native name on POSIX; on
// Windows (where the library's C runtime opens narrow names in the ANSI code
// page) the name when it is ASCII, else its short form (or its folder's)
// when that is, else its form in the ANSI code page when that holds every
// character. nullopt when none works.
std::optional<std::string> library_name(const std::filesystem::path& path);

// Lets the process hold at least `files` files open at once, where the
// platform allows it (a streamed sheet holds one until its workbook is
// written).
void allow_open_files(std::size_t files);

}  // namespace lumeno::scriptbuilder::library_files
