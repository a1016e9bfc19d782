#include "shell/win32/text.h"

#include <vector>

namespace lumeno::win32 {

namespace {
constexpr UINT kCp932 = 932;
}

std::wstring widen(std::string_view cp932) {
  if (cp932.empty()) return {};
  const int n = MultiByteToWideChar(kCp932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(kCp932, 0, cp932.data(), static_cast<int>(cp932.size()), out.data(), n);
  return out;
}

std::optional<std::string> narrow(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  BOOL used_default = FALSE;
  const int n = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                    &used_default);
  if (n <= 0 || used_default) return std::nullopt;
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, &used_default);
  if (used_default || widen(out) != wide) return std::nullopt;
  return out;
}

std::string narrow_lossy(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr, 0, "?", nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), out.data(), n, "?", nullptr);
  return out;
}

std::wstring window_text(HWND window) {
  const int n = GetWindowTextLengthW(window);
  if (n <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(n) + 1);
  const int got = GetWindowTextW(window, buffer.data(), n + 1);
  return std::wstring(buffer.data(), static_cast<std::size_t>(got > 0 ? got : 0));
}

void set_text(HWND window, std::string_view cp932) { SetWindowTextW(window, widen(cp932).c_str()); }

void set_item_text(HWND dialog, int id, std::string_view cp932) { SetDlgItemTextW(dialog, id, widen(cp932).c_str()); }

int message_box(HWND owner, std::string_view text, std::optional<std::string_view> caption, UINT type) {
  const std::wstring wide_caption = caption ? widen(*caption) : std::wstring();
  return MessageBoxW(owner, widen(text).c_str(), caption ? wide_caption.c_str() : nullptr, type);
}

}  // namespace lumeno::win32
