// The options dialog: the frame every program shares (title, OK, Cancel,
// defaults, the group label of UI text 45) over one page of controls per
// tool, each control bound to a setting of the tool's settings table.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <span>
#include <string_view>

#include "shell/app_state.h"
#include "shell/file_system.h"

namespace lumeno::win32 {

// One control of a page and the setting it shows.
struct OptionBinding {
  enum class Kind { check, radio, edit, slider };
  struct Choice {
    int control;
    std::int32_t value;
  };

  Kind kind = Kind::check;
  std::string_view key;  // the setting's key in the tool's settings table
  int control = 0;       // check, edit, slider
  std::span<const Choice> choices = {};  // radio: one button per value
  // Settings no key names (a reserved slot the dialog carries unseen): the
  // int slot and its default.
  int fallback_slot = -1;
  std::int32_t fallback_default = 0;
  // check: shown ticked and greyed while the check box `forced_by` is
  // ticked (a setting that needs this one on); the value it stores is still
  // its own, as the user left it.
  int forced_by = 0;
};

struct OptionsPage {
  std::span<const OptionBinding> bindings;
  int group_control = 0;  // labelled with UI text 45; 0 for none
  // Brings dependent controls up to date (enabled states, slider labels):
  // after the controls are set, and after every click or slider move.
  void (*refresh)(HWND dialog) = nullptr;
};

// Shows the options dialog owned by `owner`. OK checks the texts (the
// tool's checks, in the order of the page), stores every control into the
// settings and writes the settings file; Cancel and the close box change
// nothing; the defaults button sets the controls to the tool's defaults.
// Returns 1 for OK, 2 for Cancel.
INT_PTR show_options_dialog(HINSTANCE instance, HWND owner, AppState& app, FileSystem& fs, const OptionsPage& page);

}  // namespace lumeno::win32
