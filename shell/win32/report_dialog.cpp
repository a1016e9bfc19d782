#include "shell/win32/report_dialog.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>
#include <memory>

#include "resources/resource.h"
#include "shell/win32/text.h"

namespace lumeno::win32 {

namespace fs = std::filesystem;

namespace {

// The most characters the dialog's box shows of a report.
constexpr std::size_t kShownCharacters = 1 << 20;

struct ReportState {
  std::wstring title;
  std::wstring text;  // the whole report
  int margin = 0;     // the dialog's own spacing, in pixels
};

// Puts `text` on the clipboard as Unicode text; false when it cannot.
bool copy_to_clipboard(HWND owner, const std::wstring& text) {
  if (!OpenClipboard(owner)) return false;
  bool done = false;
  if (EmptyClipboard()) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
      if (void* p = GlobalLock(memory)) {
        std::memcpy(p, text.c_str(), bytes);
        GlobalUnlock(memory);
        done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
      }
      if (!done) GlobalFree(memory);
    }
  }
  CloseClipboard();
  return done;
}

// The box fills the dialog above the buttons, which keep to the bottom
// corners.
void lay_out(HWND dialog, const ReportState& state) {
  RECT client{};
  GetClientRect(dialog, &client);
  HWND box = GetDlgItem(dialog, IDC_REPORT_TEXT);
  HWND copy = GetDlgItem(dialog, IDC_REPORT_COPY);
  HWND close = GetDlgItem(dialog, IDOK);
  RECT copy_rect{};
  RECT close_rect{};
  GetWindowRect(copy, &copy_rect);
  GetWindowRect(close, &close_rect);
  const int m = state.margin;
  const int button_height = copy_rect.bottom - copy_rect.top;
  const int top = client.bottom - m - button_height;
  MoveWindow(box, m, m, client.right - 2 * m, top - 2 * m, TRUE);
  MoveWindow(copy, m, top, copy_rect.right - copy_rect.left, button_height, TRUE);
  const int close_width = close_rect.right - close_rect.left;
  MoveWindow(close, client.right - m - close_width, top, close_width, button_height, TRUE);
}

INT_PTR CALLBACK report_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lparam);
  auto* state = reinterpret_cast<ReportState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!state) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowTextW(dialog, state->title.c_str());
      HWND box = GetDlgItem(dialog, IDC_REPORT_TEXT);
      SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
      SetWindowTextW(box, shown_report_text(state->text, kShownCharacters).c_str());
      RECT box_rect{};
      GetWindowRect(box, &box_rect);
      POINT corner{box_rect.left, box_rect.top};
      ScreenToClient(dialog, &corner);
      state->margin = corner.x;
      SetFocus(GetDlgItem(dialog, IDOK));
      return FALSE;
    }
    case WM_SIZE:
      lay_out(dialog, *state);
      return TRUE;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      info->ptMinTrackSize = {320, 200};
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_REPORT_COPY:
          if (copy_to_clipboard(dialog, state->text)) {
            SetDlgItemTextW(dialog, IDC_REPORT_COPY, widen("コピーしました").c_str());
          } else {
            message_box(dialog, "クリップボードにコピーできませんでした。", std::nullopt, MB_OK | MB_ICONWARNING);
          }
          return TRUE;
        case IDOK:
        case IDCANCEL:
          EndDialog(dialog, IDOK);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

// A COM object released when it goes.
struct ComRelease {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <class T>
using ComPtr = std::unique_ptr<T, ComRelease>;

}  // namespace

std::wstring shown_report_text(const std::wstring& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t cut = text.rfind(L"\r\n", limit);
  cut = cut == std::wstring::npos ? limit : cut + 2;
  return text.substr(0, cut) + widen("……（長すぎるため、ここまでを表示しています。全文は「クリップボードにコピー」で写せます）\r\n");
}

std::optional<fs::path> choose_folder(HWND owner, std::string_view prompt, const fs::path& start) {
  // The picker is made of COM objects of this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  std::optional<fs::path> chosen;
  IFileOpenDialog* raw = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&raw)))) {
    const ComPtr<IFileOpenDialog> dialog(raw);
    DWORD options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(widen(prompt).c_str());
    std::error_code ec;
    IShellItem* folder = nullptr;
    if (!start.empty() && fs::is_directory(start, ec) &&
        SUCCEEDED(SHCreateItemFromParsingName(start.c_str(), nullptr, IID_PPV_ARGS(&folder)))) {
      const ComPtr<IShellItem> first(folder);
      dialog->SetFolder(first.get());
    }
    IShellItem* result = nullptr;
    if (SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResult(&result))) {
      const ComPtr<IShellItem> item(result);
      PWSTR path = nullptr;
      if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        chosen = fs::path(path);
        CoTaskMemFree(path);
      }
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

void show_report(HINSTANCE instance, HWND owner, std::string_view title, const Report& report) {
  ReportState state{widen(title), widen(report.text)};
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_REPORT), owner, report_proc, reinterpret_cast<LPARAM>(&state));
}

}  // namespace lumeno::win32
