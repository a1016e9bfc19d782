#include "shell/win32/options.h"

#include <commctrl.h>

#include <algorithm>

#include "resources/resource.h"
#include "shell/names.h"
#include "shell/settings.h"
#include "shell/sjis.h"
#include "shell/ui_texts.h"
#include "shell/win32/text.h"

namespace lumeno::win32 {

namespace {

using Kind = OptionBinding::Kind;
using Choice = OptionBinding::Choice;

// The setting a binding shows: the tool's entry for its key, or the
// reserved slot it names.
struct Target {
  SettingDef def;
  bool found = false;
};

Target target_of(const ToolInfo& tool, const OptionBinding& binding) {
  if (!binding.key.empty()) {
    for (const SettingDef& def : tool.settings) {
      if (def.key == binding.key) return {def, true};
    }
  }
  if (binding.fallback_slot >= 0) {
    for (const SettingDef& def : tool.settings) {
      if (def.kind == SettingDef::Kind::integer && def.index == binding.fallback_slot) return {def, true};
    }
    SettingDef def{.key = {}, .kind = SettingDef::Kind::integer, .index = binding.fallback_slot, .default_value = binding.fallback_default};
    return {def, true};
  }
  return {};
}

// The CP932 text of an edit box, cut to the 263 bytes a settings field
// holds without splitting a double-byte character. Nothing when the box
// holds a character CP932 cannot write.
std::optional<std::string> edit_text(HWND dialog, int control) {
  auto text = narrow(window_text(GetDlgItem(dialog, control)));
  if (!text) return std::nullopt;
  std::size_t end = 0;
  while (end < text->size()) {
    const std::size_t next = end + sjis_char_length(*text, end);
    if (next > Settings::kFieldSize - 1) break;
    end = next;
  }
  text->resize(end);
  return text;
}

class OptionsDialog {
 public:
  OptionsDialog(AppState& app, FileSystem& fs, const OptionsPage& page) : app_(app), fs_(fs), page_(page) {}

  static INT_PTR CALLBACK proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    auto* self = reinterpret_cast<OptionsDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self ? self->handle(dialog, message, wparam) : FALSE;
  }

 private:
  INT_PTR handle(HWND dialog, UINT message, WPARAM wparam) {
    switch (message) {
      case WM_INITDIALOG:
        open(dialog);
        return FALSE;  // the focus is set
      case WM_HSCROLL:
        refresh(dialog);
        return TRUE;
      case WM_COMMAND: {
        const int id = LOWORD(wparam);
        if (id == IDOK) {
          Settings next = app_.settings;
          if (!store(dialog, next)) return TRUE;
          app_.settings = next;
          save_settings(fs_, app_.settings_path(), app_.settings);
          EndDialog(dialog, IDOK);
        } else if (id == IDCANCEL) {
          EndDialog(dialog, IDCANCEL);
        } else if (id == IDC_DEFAULTS) {
          show(dialog, nullptr);
        } else if (HIWORD(wparam) == BN_CLICKED) {
          refresh(dialog);
        }
        return TRUE;
      }
      default:
        return FALSE;
    }
  }

  void open(HWND dialog) {
    const UiTexts& texts = app_.texts;
    set_text(dialog, texts[kUiOptions]);
    set_item_text(dialog, IDOK, texts[kUiOk]);
    set_item_text(dialog, IDCANCEL, texts[kUiCancel]);
    set_item_text(dialog, IDC_DEFAULTS, texts[kUiDefaults]);
    if (page_.group_control != 0) set_item_text(dialog, page_.group_control, texts[kUiOptionsGroup]);
    for (const OptionBinding& binding : page_.bindings) {
      if (binding.kind != OptionBinding::Kind::slider) continue;
      const Target target = target_of(app_.tool, binding);
      const int low = target.def.min_value;
      const int high = std::max(target.def.max_value, low);
      SendDlgItemMessageW(dialog, binding.control, TBM_SETRANGE, FALSE, MAKELPARAM(low, high));
      SendDlgItemMessageW(dialog, binding.control, TBM_SETTICFREQ, 1, 0);
      SendDlgItemMessageW(dialog, binding.control, TBM_SETPAGESIZE, 0, 1);
      SendDlgItemMessageW(dialog, binding.control, TBM_SETLINESIZE, 0, 1);
    }
    show(dialog, &app_.settings);
    SetFocus(GetDlgItem(dialog, IDOK));
  }

  // Sets every control from the settings, or from the tool's defaults.
  void show(HWND dialog, const Settings* settings) {
    for (const OptionBinding& binding : page_.bindings) {
      const Target target = target_of(app_.tool, binding);
      if (!target.found) {
        if (binding.control != 0) EnableWindow(GetDlgItem(dialog, binding.control), FALSE);
        continue;
      }
      const SettingDef& def = target.def;
      const bool text = def.kind == SettingDef::Kind::text;
      const std::int32_t value = text ? 0 : (settings ? settings->get_int(def.index) : def.default_value);
      switch (binding.kind) {
        case Kind::check:
          CheckDlgButton(dialog, binding.control, value == 1 ? BST_CHECKED : BST_UNCHECKED);
          if (binding.forced_by != 0) {
            own_checks_[binding.control] = value == 1;
            EnableWindow(GetDlgItem(dialog, binding.control), TRUE);
          }
          break;
        case Kind::radio:
          // A value no button stands for selects none.
          for (const Choice& choice : binding.choices) {
            CheckDlgButton(dialog, choice.control, choice.value == value ? BST_CHECKED : BST_UNCHECKED);
          }
          break;
        case Kind::edit:
          set_item_text(dialog, binding.control, settings ? settings->get_string(def.index) : std::string(def.default_text));
          break;
        case Kind::slider:
          SendDlgItemMessageW(dialog, binding.control, TBM_SETPOS, TRUE, std::clamp(value, def.min_value, std::max(def.max_value, def.min_value)));
          break;
      }
    }
    refresh(dialog);
  }

  // Checks the texts, then reads every control into `next`. False, with
  // the message shown, when a text is refused.
  bool store(HWND dialog, Settings& next) {
    for (const OptionBinding& binding : page_.bindings) {
      if (binding.kind != Kind::edit) continue;
      const Target target = target_of(app_.tool, binding);
      if (!target.found) continue;
      const auto text = edit_text(dialog, binding.control);
      if (!text) {
        refuse(names::unconvertible_message(narrow_lossy(window_text(GetDlgItem(dialog, binding.control)))));
        return false;
      }
      if (target.def.check) {
        const std::string message = target.def.check(*text);
        if (!message.empty()) {
          refuse(message);
          return false;
        }
      }
    }
    for (const OptionBinding& binding : page_.bindings) {
      const Target target = target_of(app_.tool, binding);
      if (!target.found) continue;
      const int slot = target.def.index;
      switch (binding.kind) {
        case Kind::check:
          next.set_int(slot, checked(dialog, binding) ? 1 : 0);
          break;
        case Kind::radio:
          // With no button selected the setting keeps its value.
          for (const Choice& choice : binding.choices) {
            if (IsDlgButtonChecked(dialog, choice.control) == BST_CHECKED) next.set_int(slot, choice.value);
          }
          break;
        case Kind::edit:
          next.set_string(slot, edit_text(dialog, binding.control).value_or(std::string()));
          break;
        case Kind::slider:
          next.set_int(slot, static_cast<std::int32_t>(SendDlgItemMessageW(dialog, binding.control, TBM_GETPOS, 0, 0)));
          break;
      }
    }
    return true;
  }

  // A refused value: a plain box without owner and caption, kept above the
  // dialog even when the main window is always on top.
  static void refuse(std::string_view message) { message_box(nullptr, message, std::nullopt, MB_OK | MB_TOPMOST | MB_SETFOREGROUND); }

  void refresh(HWND dialog) {
    // A forced check box: greyed and ticked while its setting is needed,
    // its own state kept and given back when it is not.
    for (const OptionBinding& binding : page_.bindings) {
      if (binding.kind != Kind::check || binding.forced_by == 0) continue;
      HWND control = GetDlgItem(dialog, binding.control);
      const bool forced = IsDlgButtonChecked(dialog, binding.forced_by) == BST_CHECKED;
      const bool greyed = IsWindowEnabled(control) == FALSE;
      if (forced && !greyed) {
        own_checks_[binding.control] = IsDlgButtonChecked(dialog, binding.control) == BST_CHECKED;
        CheckDlgButton(dialog, binding.control, BST_CHECKED);
        EnableWindow(control, FALSE);
      } else if (!forced && greyed) {
        CheckDlgButton(dialog, binding.control, own_checks_[binding.control] ? BST_CHECKED : BST_UNCHECKED);
        EnableWindow(control, TRUE);
      }
    }
    if (page_.refresh) page_.refresh(dialog);
  }

  // A check box's own state: what it shows, or for a forced one greyed,
  // what the user left it at.
  bool checked(HWND dialog, const OptionBinding& binding) {
    if (binding.forced_by != 0 && IsWindowEnabled(GetDlgItem(dialog, binding.control)) == FALSE) {
      return own_checks_[binding.control];
    }
    return IsDlgButtonChecked(dialog, binding.control) == BST_CHECKED;
  }

  AppState& app_;
  FileSystem& fs_;
  const OptionsPage& page_;
  std::map<int, bool> own_checks_;  // by control: the forced check boxes' own states
};

}  // namespace

INT_PTR show_options_dialog(HINSTANCE instance, HWND owner, AppState& app, FileSystem& fs, const OptionsPage& page) {
  OptionsDialog dialog(app, fs, page);
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_OPTION), owner, OptionsDialog::proc, reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace lumeno::win32
