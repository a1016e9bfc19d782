// Making a new file, done with the platform's own calls: the file is
// created only when no file of that name is there (never opened from
// under another writer), so that a scratch name is one writer's alone.
// And removing one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace lumeno::detail {

enum class NewFile {
  written,  // made and holds `bytes` whole
  exists,   // the name is taken: nothing done
  failed,   // could not be made or written; nothing of it is left
};

// Creates the file `path`, which must not exist yet, and writes `bytes`.
NewFile write_new_file(const std::filesystem::path& path, std::string_view bytes);

// Removes the file `path` (a link itself, never what it points to); never a
// folder. False when nothing was removed.
bool remove_plain_file(const std::filesystem::path& path);

// The name of the scratch file that a replacement of a file is written to
// first, in the file's own folder, from the random `bits`: '~' then lower-
// case letters and digits, as many characters as the file's own name has
// (`name_length`, in native characters) up to eight, so that it fits
// wherever the file's name fits (the file system's limit of a name, and on
// Windows the limit of a path). A one-character name gets one of 37.
std::filesystem::path::string_type scratch_name(std::size_t name_length, std::uint64_t bits);

}  // namespace lumeno::detail
