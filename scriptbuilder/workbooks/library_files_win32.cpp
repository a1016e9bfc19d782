// Windows: the library's C runtime opens narrow names in the ANSI code page.
#include <windows.h>

#include <stdio.h>

#include <system_error>

#include "scriptbuilder/workbooks/library_files.h"

namespace lumeno::scriptbuilder::library_files {

namespace {

// The ANSI form of a wide name, when the code page writes every character.
std::optional<std::string> ansi(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const UINT code_page = GetACP();
  const bool utf8 = code_page == CP_UTF8;
  BOOL used_default = FALSE;
  // UTF-8 takes neither the flag nor the default-character test.
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL* used = utf8 ? nullptr : &used_default;
  const int n = WideCharToMultiByte(code_page, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, used);
  if (n <= 0 || used_default) return std::nullopt;
  std::string out(static_cast<std::size_t>(n), '\0');
  if (WideCharToMultiByte(code_page, flags, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, used) != n ||
      used_default) {
    return std::nullopt;
  }
  return out;
}

std::optional<std::wstring> short_form(const std::wstring& wide) {
  const DWORD n = GetShortPathNameW(wide.c_str(), nullptr, 0);
  if (n == 0) return std::nullopt;
  std::wstring out(n, L'\0');
  const DWORD m = GetShortPathNameW(wide.c_str(), out.data(), n);
  if (m == 0 || m >= n) return std::nullopt;
  out.resize(m);
  return out;
}

}  // namespace

std::optional<std::filesystem::path> scratch_folder() {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  if (ec || folder.empty()) return std::nullopt;
  return folder;
}

std::string_view scratch_folder_variable() { return "TMP"; }

std::optional<std::string> library_name(const std::filesystem::path& path) {
  // ASCII opens the same way in every code page: the name itself, or its
  // short form (the file's, or for a file not made yet its folder's).
  auto ascii = [](const std::wstring& wide) -> std::optional<std::string> {
    std::string out;
    for (wchar_t c : wide) {
      if (c == 0 || c > 0x7F) return std::nullopt;
      out += static_cast<char>(c);
    }
    return out;
  };
  if (auto name = ascii(path.native())) return name;
  if (auto whole = short_form(path.native())) {
    if (auto name = ascii(*whole)) return name;
  }
  if (auto folder = short_form(path.parent_path().native())) {
    if (auto name = ascii(*folder + L"\\" + path.filename().native())) return name;
  }
  // Else the ANSI code page's form, where it writes every character.
  return ansi(path.native());
}

void allow_open_files(std::size_t files) {
  // The C runtime's limit of open streams (512 unless raised; at most 2048).
  const int wanted = files > 2048 ? 2048 : static_cast<int>(files);
  if (_getmaxstdio() < wanted) _setmaxstdio(wanted);
}

}  // namespace lumeno::scriptbuilder::library_files
