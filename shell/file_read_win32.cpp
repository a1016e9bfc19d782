// Whole-file reads on Windows, through the standard streams (wide paths).
#include <windows.h>

#include <fstream>
#include <new>
#include <stdexcept>

#include "shell/file_read.h"

namespace lumeno::detail {

ReadStatus read_file_bytes(const std::filesystem::path& path, std::string& out) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return ReadStatus::cannot_open;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in.is_open()) return ReadStatus::cannot_open;
  const std::streamoff end = in.tellg();
  if (end < 0) return ReadStatus::cannot_open;
  in.seekg(0);
  try {
    out.resize(static_cast<std::size_t>(end));
  } catch (const std::bad_alloc&) {
    return ReadStatus::no_memory;
  } catch (const std::length_error&) {
    return ReadStatus::no_memory;
  }
  in.read(out.data(), static_cast<std::streamsize>(out.size()));
  if (static_cast<std::size_t>(in.gcount()) != out.size()) return ReadStatus::short_read;
  return ReadStatus::ok;
}

// A spreadsheet program holds an open workbook so that no other program may
// write it: opening it for writing without sharing fails with a sharing
// violation. A file that does not exist, or cannot be opened for any other
// reason, is not held open.
bool file_held_open(const std::filesystem::path& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
  }
  CloseHandle(file);
  return false;
}

}  // namespace lumeno::detail
