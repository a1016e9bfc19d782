#include "shell/win32/progress.h"

#include <commctrl.h>

#include <atomic>
#include <thread>

#include "resources/resource.h"
#include "shell/ui_texts.h"
#include "shell/win32/text.h"

namespace lumeno::win32 {

namespace {

// Posted by the worker as its last act: the dialog closes with result 1.
constexpr UINT kMsgRunEnded = WM_APP + 1;

struct ProgressControls {
  int bar;
  int count;
  int file;
};

// The program's dialog template numbers its controls in one of two sets.
ProgressControls controls_of(HWND dialog) {
  if (GetDlgItem(dialog, IDC_VOCAR_PROGRESS_BAR)) return {IDC_VOCAR_PROGRESS_BAR, IDC_VOCAR_PROGRESS_COUNT, IDC_VOCAR_PROGRESS_FILE};
  return {IDC_PROGRESS_BAR, IDC_PROGRESS_COUNT, IDC_PROGRESS_FILE};
}

class ProgressDialog final : public Host {
 public:
  ProgressDialog(AppState& app, FileSystem& fs, ToolRun& hooks, bool selected_only)
      : app_(app), hooks_(hooks), ctx_(app, *this, fs) {
    ctx_.selected_only = selected_only;
  }

  ~ProgressDialog() override {
    if (worker_.joinable()) worker_.join();
  }

  RunOutcome run(HINSTANCE instance, HWND owner) {
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PROGRESS), owner, proc, reinterpret_cast<LPARAM>(this));
    if (worker_.joinable()) worker_.join();
    return outcome_;
  }

  // Host, called on the worker thread. Plain boxes have no owner and the
  // system's caption; they stay above an always-on-top main window.
  void message(std::string_view text) override { message_box(nullptr, text, std::nullopt, MB_OK | MB_TOPMOST | MB_SETFOREGROUND); }
  void run_message(std::string_view text, std::string_view caption) override { message_box(dialog_, text, caption, MB_OK); }
  void completion(std::string_view text, std::string_view caption) override { message_box(dialog_, text, caption, MB_OK); }
  bool confirm(std::string_view text, std::string_view caption) override {
    return message_box(dialog_, text, caption, MB_OKCANCEL) == IDOK;
  }
  void progress_set_range(int max) override {
    HWND bar = GetDlgItem(dialog_, controls_.bar);
    SendMessageW(bar, PBM_SETRANGE32, 0, max);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
  }
  void progress_set_position(int position) override { SendDlgItemMessageW(dialog_, controls_.bar, PBM_SETPOS, static_cast<WPARAM>(position), 0); }
  void progress_set_count_text(std::string_view text) override { set_item_text(dialog_, controls_.count, text); }
  void progress_set_file_text(std::string_view text) override { set_item_text(dialog_, controls_.file, text); }
  void pause_ms(int milliseconds) override { Sleep(static_cast<DWORD>(milliseconds)); }

 private:
  static INT_PTR CALLBACK proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    auto* self = reinterpret_cast<ProgressDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) return FALSE;
    switch (message) {
      case WM_INITDIALOG:
        self->open(dialog);
        return TRUE;  // the platform places the focus
      case WM_COMMAND:
        if (LOWORD(wparam) == IDCANCEL) self->cancel();
        return TRUE;
      case kMsgRunEnded:
        EndDialog(dialog, 1);
        return TRUE;
      default:
        return FALSE;
    }
  }

  void open(HWND dialog) {
    dialog_ = dialog;
    controls_ = controls_of(dialog);
    set_text(dialog, app_.texts[kUiProgressTitle]);
    set_item_text(dialog, IDCANCEL, app_.texts[kUiCancel]);
    worker_ = std::thread([this] {
      outcome_ = worker_main(ctx_, hooks_);
      PostMessageW(dialog_, kMsgRunEnded, 0, 0);
    });
  }

  // The Cancel button and the Escape key: the first press sets the flag,
  // greys the button and says so in the title; later presses do nothing.
  void cancel() {
    if (cancelling_) return;
    cancelling_ = true;
    request_cancel();
    EnableWindow(GetDlgItem(dialog_, IDCANCEL), FALSE);
    set_text(dialog_, app_.texts[kUiProgressCancelling]);
  }

  AppState& app_;
  ToolRun& hooks_;
  RunContext ctx_;
  ProgressControls controls_{};
  HWND dialog_ = nullptr;
  std::thread worker_;
  RunOutcome outcome_;
  bool cancelling_ = false;
};

}  // namespace

RunOutcome run_with_progress(HINSTANCE instance, HWND owner, AppState& app, FileSystem& fs, ToolRun& hooks, bool selected_only) {
  ProgressDialog dialog(app, fs, hooks, selected_only);
  return dialog.run(instance, owner);
}

}  // namespace lumeno::win32
