// What the test driver needs to work another program's windows: starting
// it, finding its windows and message boxes, reading its list view and
// status bar, pressing its buttons, and taking screenshots.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumeno::win32_test {

// UTF-16 to UTF-8, for the report.
std::string utf8(std::wstring_view text);

// Waits until `done` answers true, polling; false after `timeout_ms`.
bool wait_until(const std::function<bool()>& done, int timeout_ms = 10000);

class Process {
 public:
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  ~Process();

  // Starts `program` with `args` (each quoted) in `folder`.
  bool start(const std::wstring& program, const std::vector<std::wstring>& args, const std::wstring& folder);
  DWORD id() const { return id_; }
  bool running() const;
  // Waits for the end; the exit code, or nothing on a timeout.
  bool wait_exit(int timeout_ms, DWORD& code) const;
  void kill();

 private:
  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
};

// The visible top-level windows of a process, with their titles and classes.
struct TopWindow {
  HWND window;
  std::wstring title;
  std::wstring class_name;
};
std::vector<TopWindow> top_windows(DWORD process_id);
// The first visible top-level window of the process with the title (and
// the class, when not empty); waits up to `timeout_ms`.
HWND find_window(DWORD process_id, std::wstring_view title, std::wstring_view class_name = {}, int timeout_ms = 10000);
// A dialog (class #32770) whose title is `title`.
HWND find_dialog(DWORD process_id, std::wstring_view title, int timeout_ms = 10000);

std::wstring text_of(HWND window);
std::wstring class_of(HWND window);
// The text of a message box (its longest static text).
std::wstring box_text(HWND box);
// Presses a dialog's button by its number (a WM_COMMAND as the button sends).
void press(HWND dialog, int id);
// Clicks a check box or radio button (it toggles and tells its dialog).
void click(HWND dialog, int id);
bool checked(HWND dialog, int id);

// Memory in another process, for the list view's messages.
class RemoteBuffer {
 public:
  RemoteBuffer(DWORD process_id, std::size_t size);
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  ~RemoteBuffer();
  bool ok() const { return memory_ != nullptr; }
  char* address(std::size_t offset = 0) const { return static_cast<char*>(memory_) + offset; }
  void write(std::size_t offset, const void* data, std::size_t size);
  void read(std::size_t offset, void* data, std::size_t size) const;

 private:
  HANDLE process_ = nullptr;
  void* memory_ = nullptr;
};

// The list view of a main window: rows of four texts.
class ListViewReader {
 public:
  ListViewReader(DWORD process_id, HWND list);
  int count() const;
  std::vector<std::wstring> row(int index) const;
  std::vector<std::vector<std::wstring>> rows() const;
  void select(int index, bool selected) const;
  std::wstring heading(int column) const;

 private:
  HWND list_;
  RemoteBuffer buffer_;
};

// Writes the part of the screen covered by `windows` (with a margin) to a
// 24-bit BMP file.
bool screenshot(const std::vector<HWND>& windows, const std::wstring& path);

}  // namespace lumeno::win32_test
