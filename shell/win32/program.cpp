#include "shell/win32/program.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

#include "shell/app_state.h"
#include "shell/file_system.h"
#include "shell/sjis.h"
#include "shell/win32/main_window.h"
#include "shell/win32/options.h"
#include "shell/win32/text.h"

namespace lumeno::win32 {

namespace fs = std::filesystem;

namespace {

// A named lock that this process created (it did not exist before).
class InstanceLock {
 public:
  InstanceLock() = default;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  ~InstanceLock() { release(); }

  // True when the lock is now held by this process and did not exist before.
  bool acquire(const std::wstring& name) {
    handle_ = CreateMutexW(nullptr, TRUE, name.c_str());
    if (!handle_) return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(handle_);
      handle_ = nullptr;
      return false;
    }
    return true;
  }

  void release() {
    if (!handle_) return;
    ReleaseMutex(handle_);
    CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

std::wstring module_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// The paths given on the command line (files dropped onto the program's
// icon), made absolute against the folder the program was started in.
std::vector<fs::path> command_line_paths(const fs::path& start_folder) {
  std::vector<fs::path> paths;
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!args) return paths;
  for (int i = 1; i < count; ++i) {
    fs::path path(args[i]);
    if (path.empty()) continue;
    if (path.is_relative()) path = start_folder / path;
    path = path.lexically_normal();
    if (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
    std::error_code ec;
    if (!fs::exists(path, ec)) continue;
    paths.push_back(std::move(path));
  }
  LocalFree(args);
  return paths;
}

// Brings the running copy of this program file to the front.
void raise_running_copy(const std::wstring& class_name) {
  HWND window = FindWindowW(class_name.c_str(), nullptr);
  if (!window) return;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
}

}  // namespace

std::wstring instance_name(std::wstring path) {
  for (wchar_t& c : path) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c == L'\\') c = L':';
  }
  // Window class names hold at most 256 characters, lock names MAX_PATH.
  constexpr std::size_t kLimit = 240;
  if (path.size() <= kLimit) return path;
  std::uint64_t hash = 1469598103934665603ull;
  for (wchar_t c : path) {
    hash ^= static_cast<std::uint64_t>(c);
    hash *= 1099511628211ull;
  }
  wchar_t hex[17];
  for (int i = 15; i >= 0; --i) {
    hex[i] = L"0123456789abcdef"[hash & 0xF];
    hash >>= 4;
  }
  hex[16] = L'\0';
  return std::wstring(hex) + L":" + path.substr(path.size() - (kLimit - 17));
}

int run_program(HINSTANCE instance, int show_mode, const console::ToolEntry& entry, const OptionsPage* options) {
  const ToolInfo& tool = entry.info();

  // Two starts at the same moment: the later one ends here, silently.
  InstanceLock startup_lock;
  if (!startup_lock.acquire(widen(tool.caption))) return 0;

  const std::wstring module = module_path();
  const std::wstring name = instance_name(module);
  InstanceLock running_lock;
  if (!running_lock.acquire(name)) {
    raise_running_copy(name);
    return 0;
  }
  startup_lock.release();

  std::error_code ec;
  const fs::path start_folder = fs::current_path(ec);
  const fs::path home = fs::path(module).parent_path();
  SetCurrentDirectoryW(home.c_str());

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  RealFileSystem files;
  auto started = start_tool(tool, home, files);
  if (!started) {
    message_box(nullptr, started.error(), tool.caption, MB_OK | MB_ICONERROR);
    return 0;
  }
  AppState& app = *started;

  MainWindow window(instance, entry, options, app, files);
  if (!window.create(name)) return 0;
  window.show(show_mode);
  const std::vector<fs::path> paths = command_line_paths(start_folder);
  if (!paths.empty()) window.add_paths(paths);

  // The main loop waits for messages; the list's own events handle the
  // Delete key and the status text.
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace lumeno::win32
