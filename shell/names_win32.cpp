// Name codec for Windows: native names are UTF-16; code page 932 converts.
#include <windows.h>

#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::names {

namespace {

constexpr UINT kCp932 = 932;

bool wide_from_cp932(std::string_view in, std::wstring& out, bool lossy) {
  out.clear();
  if (in.empty()) return true;
  const DWORD flags = lossy ? 0 : MB_ERR_INVALID_CHARS;
  const int n = MultiByteToWideChar(kCp932, flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  return MultiByteToWideChar(kCp932, flags, in.data(), static_cast<int>(in.size()), out.data(), n) == n;
}

bool cp932_from_wide(std::wstring_view in, std::string& out, bool lossy) {
  out.clear();
  if (in.empty()) return true;
  BOOL used_default = FALSE;
  const DWORD flags = WC_NO_BEST_FIT_CHARS;
  const int n = WideCharToMultiByte(kCp932, flags, in.data(), static_cast<int>(in.size()), nullptr, 0, "?", lossy ? nullptr : &used_default);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  WideCharToMultiByte(kCp932, flags, in.data(), static_cast<int>(in.size()), out.data(), n, "?", lossy ? nullptr : &used_default);
  return lossy || !used_default;
}

bool utf8_from_wide(std::wstring_view in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  const int n = WideCharToMultiByte(CP_UTF8, 0, in.data(), static_cast<int>(in.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  return WideCharToMultiByte(CP_UTF8, 0, in.data(), static_cast<int>(in.size()), out.data(), n, nullptr, nullptr) == n;
}

bool wide_from_utf8(std::string_view in, std::wstring& out) {
  out.clear();
  if (in.empty()) return true;
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), out.data(), n) == n;
}

}  // namespace

Result<std::string> cp932_from_utf8(std::string_view utf8) {
  std::wstring wide;
  std::string out;
  if (!wide_from_utf8(utf8, wide) || !cp932_from_wide(wide, out, false)) {
    std::string lossy;
    cp932_from_wide(wide, lossy, true);
    return Error{unconvertible_message(lossy)};
  }
  return out;
}

Result<std::string> utf8_from_cp932(std::string_view cp932) {
  std::wstring wide;
  std::string out;
  if (!wide_from_cp932(cp932, wide, false) || !utf8_from_wide(wide, out)) return Error{unconvertible_message(cp932)};
  return out;
}

std::string utf8_from_cp932_lossy(std::string_view cp932) {
  std::wstring wide;
  std::string out;
  wide_from_cp932(cp932, wide, true);
  utf8_from_wide(wide, out);
  return out;
}

Result<std::string> to_name(const std::filesystem::path& path) {
  std::wstring native = path.native();
  for (wchar_t& c : native) {
    if (c == L'/') c = L'\\';
  }
  std::string out;
  if (!cp932_from_wide(native, out, false)) return Error{unconvertible_message(display_name(path))};
  // The name must come back as the same path.
  std::wstring back;
  if (!wide_from_cp932(out, back, false) || back != native) return Error{unconvertible_message(display_name(path))};
  return out;
}

Result<std::filesystem::path> to_path(std::string_view name) {
  std::wstring wide;
  if (!wide_from_cp932(name, wide, false)) return Error{unconvertible_message(name)};
  return std::filesystem::path(wide);
}

std::string display_name(const std::filesystem::path& path) {
  std::string out;
  cp932_from_wide(path.native(), out, true);
  return out;
}

}  // namespace lumeno::names
