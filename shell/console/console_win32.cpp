// The terminal on Windows: UTF-16 for a console, UTF-8 bytes for a pipe or
// file, Ctrl-C through the console control handler.
#include <windows.h>
#include <io.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <thread>

#include "shell/console/console.h"

namespace lumeno::console {

namespace {

bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

void write_text(DWORD which, std::string_view text) {
  HANDLE handle = GetStdHandle(which);
  if (text.empty() || handle == INVALID_HANDLE_VALUE || handle == nullptr) return;
  if (is_console(handle)) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  DWORD written = 0;
  WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The control handler has no argument to carry state; the one flag it sets
// lives here, in the platform file, and nowhere else.
std::atomic<bool> g_interrupted{false};

BOOL WINAPI on_control(DWORD type) {
  if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
    g_interrupted.store(true);
    return TRUE;
  }
  return FALSE;
}

class FileLock final : public Console::Lock {
 public:
  explicit FileLock(HANDLE handle) : handle_(handle) {}
  ~FileLock() override { CloseHandle(handle_); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  HANDLE handle_;
};

class WindowsConsole final : public Console {
 public:
  void write_out(std::string_view text) override { write_text(STD_OUTPUT_HANDLE, text); }
  void write_err(std::string_view text) override { write_text(STD_ERROR_HANDLE, text); }
  bool stdin_is_terminal() override { return is_console(GetStdHandle(STD_INPUT_HANDLE)); }
  bool stderr_is_terminal() override { return is_console(GetStdHandle(STD_ERROR_HANDLE)); }

  int terminal_width() override {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return info.srWindow.Right - info.srWindow.Left + 1;
    return 80;
  }

  std::optional<std::string> read_line() override {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (is_console(in)) {
      wchar_t buffer[1024];
      DWORD read = 0;
      if (!ReadConsoleW(in, buffer, 1023, &read, nullptr) || read == 0) return std::nullopt;
      std::wstring wide(buffer, read);
      while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r')) wide.pop_back();
      const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
      std::string line(static_cast<std::size_t>(n), '\0');
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), line.data(), n, nullptr, nullptr);
      return line;
    }
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  void run_interruptible(const std::function<void()>& work, const std::function<void()>& on_interrupt) override {
    g_interrupted.store(false);
    SetConsoleCtrlHandler(on_control, TRUE);
    std::atomic<bool> done{false};
    std::thread worker([&] {
      work();
      done.store(true);
    });
    while (!done.load()) {
      Sleep(5);  // bounds how long a finished run waits to be noticed
      if (g_interrupted.exchange(false)) on_interrupt();
    }
    worker.join();
    SetConsoleCtrlHandler(on_control, FALSE);
  }

  std::unique_ptr<Lock> try_lock(const std::filesystem::path& lock_file) override {
    // Opened without sharing: a second opener is refused until this handle closes.
    HANDLE handle = CreateFileW(lock_file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<FileLock>(handle);
  }
};

}  // namespace

Console& system_console() {
  static WindowsConsole console;
  return console;
}

}  // namespace lumeno::console
