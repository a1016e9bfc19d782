#include "tests/win32/driver_support.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace lumeno::win32_test {

std::string utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

bool wait_until(const std::function<bool()>& done, int timeout_ms) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(30);
  }
}

Process::Process(Process&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)), id_(std::exchange(other.id_, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    if (handle_) CloseHandle(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

Process::~Process() {
  if (handle_) CloseHandle(handle_);
}

bool Process::start(const std::wstring& program, const std::vector<std::wstring>& args, const std::wstring& folder) {
  std::wstring command = L"\"" + program + L"\"";
  for (const std::wstring& arg : args) command += L" \"" + arg + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  handle_ = info.hProcess;
  id_ = info.dwProcessId;
  WaitForInputIdle(handle_, 10000);
  return true;
}

bool Process::running() const { return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }

bool Process::wait_exit(int timeout_ms, DWORD& code) const {
  if (!handle_ || WaitForSingleObject(handle_, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) return false;
  return GetExitCodeProcess(handle_, &code) != 0;
}

void Process::kill() {
  if (running()) {
    TerminateProcess(handle_, 99);
    WaitForSingleObject(handle_, 5000);
  }
}

std::wstring text_of(HWND window) {
  wchar_t buffer[2048] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, nullptr);
  return buffer;
}

std::wstring class_of(HWND window) {
  wchar_t buffer[256] = {};
  GetClassNameW(window, buffer, 256);
  return buffer;
}

std::vector<TopWindow> top_windows(DWORD process_id) {
  struct Search {
    DWORD pid;
    std::vector<TopWindow> found;
  } search{process_id, {}};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == s.pid && IsWindowVisible(window)) s.found.push_back({window, text_of(window), class_of(window)});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND find_window(DWORD process_id, std::wstring_view title, std::wstring_view class_name, int timeout_ms) {
  HWND found = nullptr;
  wait_until(
      [&] {
        for (const TopWindow& w : top_windows(process_id)) {
          if (w.title == title && (class_name.empty() || w.class_name == class_name)) {
            found = w.window;
            return true;
          }
        }
        return false;
      },
      timeout_ms);
  return found;
}

HWND find_dialog(DWORD process_id, std::wstring_view title, int timeout_ms) { return find_window(process_id, title, L"#32770", timeout_ms); }

std::wstring box_text(HWND box) {
  std::wstring best;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (class_of(child) != L"Static") continue;
    std::wstring text = text_of(child);
    if (text.size() > best.size()) best = std::move(text);
  }
  return best;
}

void press(HWND dialog, int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id))); }

void click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

bool checked(HWND dialog, int id) { return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

RemoteBuffer::RemoteBuffer(DWORD process_id, std::size_t size) {
  process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process_id);
  if (process_) memory_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteBuffer::~RemoteBuffer() {
  if (memory_) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
  if (process_) CloseHandle(process_);
}

void RemoteBuffer::write(std::size_t offset, const void* data, std::size_t size) {
  WriteProcessMemory(process_, address(offset), data, size, nullptr);
}

void RemoteBuffer::read(std::size_t offset, void* data, std::size_t size) const {
  ReadProcessMemory(process_, address(offset), data, size, nullptr);
}

namespace {
constexpr std::size_t kTextOffset = 1024;
constexpr int kTextChars = 4096;
}  // namespace

ListViewReader::ListViewReader(DWORD process_id, HWND list) : list_(list), buffer_(process_id, kTextOffset + kTextChars * sizeof(wchar_t)) {}

int ListViewReader::count() const { return static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }

std::vector<std::wstring> ListViewReader::row(int index) const {
  std::vector<std::wstring> texts;
  for (int sub = 0; sub < 4; ++sub) {
    LVITEMW item{};
    item.iSubItem = sub;
    item.pszText = reinterpret_cast<wchar_t*>(buffer_.address(kTextOffset));
    item.cchTextMax = kTextChars;
    const_cast<RemoteBuffer&>(buffer_).write(0, &item, sizeof(item));
    const auto n = static_cast<int>(SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer_.address())));
    std::wstring text(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    if (n > 0) buffer_.read(kTextOffset, text.data(), static_cast<std::size_t>(n) * sizeof(wchar_t));
    texts.push_back(std::move(text));
  }
  return texts;
}

std::vector<std::vector<std::wstring>> ListViewReader::rows() const {
  std::vector<std::vector<std::wstring>> all;
  const int n = count();
  for (int i = 0; i < n; ++i) all.push_back(row(i));
  return all;
}

void ListViewReader::select(int index, bool selected) const {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = selected ? LVIS_SELECTED : 0;
  const_cast<RemoteBuffer&>(buffer_).write(0, &item, sizeof(item));
  SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer_.address()));
}

std::wstring ListViewReader::heading(int column) const {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
  HDITEMW item{};
  item.mask = HDI_TEXT;
  item.pszText = reinterpret_cast<wchar_t*>(buffer_.address(kTextOffset));
  item.cchTextMax = kTextChars;
  const_cast<RemoteBuffer&>(buffer_).write(0, &item, sizeof(item));
  SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(buffer_.address()));
  std::wstring text(kTextChars, L'\0');
  buffer_.read(kTextOffset, text.data(), text.size() * sizeof(wchar_t));
  text.resize(text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0'));
  return text;
}

bool screenshot(const std::vector<HWND>& windows, const std::wstring& path) {
  // Let every window finish painting first.
  for (HWND window : windows) {
    if (window) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  Sleep(400);
  RECT area{};
  bool first = true;
  for (HWND window : windows) {
    RECT r{};
    if (!window || !GetWindowRect(window, &r)) continue;
    if (first) {
      area = r;
      first = false;
    } else {
      UnionRect(&area, &area, &r);
    }
  }
  if (first) return false;
  constexpr int kMargin = 8;
  area.left = std::max(0L, area.left - kMargin);
  area.top = std::max(0L, area.top - kMargin);
  area.right = std::min(static_cast<LONG>(GetSystemMetrics(SM_CXSCREEN)), area.right + kMargin);
  area.bottom = std::min(static_cast<LONG>(GetSystemMetrics(SM_CYSCREEN)), area.bottom + kMargin);
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
  GdiFlush();
  const DWORD row = static_cast<DWORD>((width * 3 + 3) & ~3);
  const DWORD image_size = row * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + image_size;
  info.bmiHeader.biSizeImage = image_size;
  bool ok = false;
  if (FILE* out = _wfopen(path.c_str(), L"wb")) {
    ok = fwrite(&file, sizeof(file), 1, out) == 1 && fwrite(&info.bmiHeader, sizeof(BITMAPINFOHEADER), 1, out) == 1 &&
         fwrite(bits, 1, image_size, out) == image_size;
    fclose(out);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace lumeno::win32_test
