#include "shell/win32/version_box.h"

#include "resources/resource.h"
#include "shell/sjis.h"
#include "shell/ui_texts.h"
#include "shell/win32/text.h"

namespace lumeno::win32 {

namespace {

constexpr std::string_view kCredit = "Lumeno scenario tools";

INT_PTR CALLBACK version_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto& app = *reinterpret_cast<const AppState*>(lparam);
      set_text(dialog, app.texts[kUiVersion]);
      set_item_text(dialog, IDOK, app.texts[kUiOk]);
      // The program's template numbers its text one of two ways.
      const int text_id = GetDlgItem(dialog, IDC_VOCAR_VERSION_TEXT) ? IDC_VOCAR_VERSION_TEXT : IDC_VERSION_TEXT;
      set_item_text(dialog, text_id, version_text(app.tool));
      SetFocus(GetDlgItem(dialog, IDOK));
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) EndDialog(dialog, IDOK);
      return TRUE;  // IDCANCEL (Escape) leaves the box open
    default:
      return FALSE;
  }
}

}  // namespace

std::string version_text(const ToolInfo& tool) {
  return std::string(tool.caption) + "\r\n" + format("Ver %0.3f", kVersion) + "\r\n\r\n" + std::string(kCredit);
}

void show_version_box(HINSTANCE instance, HWND owner, const AppState& app) {
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_VERSIONINFO), owner, version_proc, reinterpret_cast<LPARAM>(&app));
}

}  // namespace lumeno::win32
