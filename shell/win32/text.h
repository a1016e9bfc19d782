// Texts between the core (CP932 bytes) and the wide Win32 API (UTF-16),
// converted with code page 932 whatever the system's own code page is.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace lumeno::win32 {

// CP932 to UTF-16; a byte sequence that is not CP932 becomes U+30FB.
std::wstring widen(std::string_view cp932);
// UTF-16 to CP932 when every character has a CP932 form that converts back
// to itself; nothing otherwise.
std::optional<std::string> narrow(std::wstring_view wide);
// UTF-16 to CP932 with "?" for what CP932 cannot write (for messages).
std::string narrow_lossy(std::wstring_view wide);

// The text of a window or control.
std::wstring window_text(HWND window);
void set_text(HWND window, std::string_view cp932);
void set_item_text(HWND dialog, int id, std::string_view cp932);

// A message box; every text CP932. No caption: the system's default.
int message_box(HWND owner, std::string_view text, std::optional<std::string_view> caption, UINT type);

}  // namespace lumeno::win32
