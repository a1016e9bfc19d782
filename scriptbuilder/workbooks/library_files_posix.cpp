// POSIX: native names are the bytes the C library opens.
#include <sys/resource.h>

#include <system_error>

#include "scriptbuilder/workbooks/library_files.h"

namespace lumeno::scriptbuilder::library_files {

std::optional<std::filesystem::path> scratch_folder() {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  if (ec || folder.empty()) return std::nullopt;
  return folder;
}

std::string_view scratch_folder_variable() { return "TMPDIR"; }

std::optional<std::string> library_name(const std::filesystem::path& path) { return path.native(); }

void allow_open_files(std::size_t files) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const auto wanted = static_cast<rlim_t>(files);
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max > wanted ? wanted : limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace lumeno::scriptbuilder::library_files
