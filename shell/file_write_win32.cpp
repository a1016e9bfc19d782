// New files on Windows, through the wide API: CreateFileW takes a path up to
// the limit of a path (MAX_PATH, without the "\\?\" prefix) as the standard
// streams do.
#include <windows.h>

#include <algorithm>

#include "shell/file_write.h"

namespace lumeno::detail {

NewFile write_new_file(const std::filesystem::path& path, std::string_view bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewFile::exists : NewFile::failed;
  }
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    // WriteFile takes at most a DWORD of bytes at once.
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, DWORD{1} << 30));
    DWORD put = 0;
    ok = WriteFile(file, bytes.data() + done, chunk, &put, nullptr) != FALSE && put > 0;
    done += put;
  }
  if (CloseHandle(file) == FALSE) ok = false;
  if (!ok) DeleteFileW(path.c_str());
  return ok ? NewFile::written : NewFile::failed;
}

bool remove_plain_file(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::symlink_status(path, ec);
  if (ec || st.type() == std::filesystem::file_type::directory) return false;
  return std::filesystem::remove(path, ec) && !ec;
}

}  // namespace lumeno::detail
