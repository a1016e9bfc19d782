// The main window: caption, menu bar, the file list's list view and the
// status bar, and every command of the menus. The list view mirrors the
// file list of AppState; the model is changed first and the view follows.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/app_state.h"
#include "shell/console/tools.h"
#include "shell/file_system.h"
#include "shell/win32/options.h"

namespace lumeno::win32 {

// Menu command numbers.
enum Command : int {
  kCmdConvertAll = 5,
  kCmdConvertSelected = 6,
  kCmdExit = 7,
  kCmdDeleteSelected = 8,
  kCmdDeleteUnselected = 9,
  kCmdClearList = 10,
  kCmdAlwaysOnTop = 11,
  kCmdOptions = 13,
  kCmdVersion = 14,
  kCmdLanguageFirst = 10000,  // + index of the language file, up to 50
  kCmdToolFirst = 20000,      // + index of the tool's own menu command
};
inline constexpr int kMaxLanguageFiles = 50;

// The query other processes may send to a main window (automation, the
// tests): wParam a command number; the answer is the item's state as
// GetMenuState gives it once the enabled states are brought up to date,
// or -1 for no such item. Menus cannot be read from another process.
inline constexpr wchar_t kMenuStateQuery[] = L"Lumeno.MenuItemState";

class MainWindow {
 public:
  MainWindow(HINSTANCE instance, const console::ToolEntry& tool, const OptionsPage* page, AppState& app, FileSystem& fs);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Registers the window class (named `class_name`) and creates the window
  // with its menu bar, status bar and list view. False when either fails.
  bool create(const std::wstring& class_name);
  // Shows the window, sets the menu states, lays it out, applies always on top.
  void show(int show_mode);
  // Adds paths as one drop.
  void add_paths(const std::vector<std::filesystem::path>& paths);

  HWND handle() const { return window_; }

 private:
  static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);
  void on_command(int command);
  LRESULT on_notify(const NMHDR& header);

  void build_menu_bar();
  void create_list_view();
  void create_status_bar();
  void update_menu_states();
  LRESULT menu_item_state(int command);
  void layout();
  void update_status_text();
  void apply_always_on_top(bool on);

  void insert_view_item(int index, const ListEntry& entry);
  // Copies the view's selection into the model.
  void sync_selection();
  // Removes the selected (or unselected) entries from the model and the view.
  void remove_entries(bool selected);
  void clear_list();
  bool confirm(int question_slot);

  void start_run(bool selected_only);
  // The tool's own menu command: asks for its folder, runs it under the
  // progress dialog over every entry of the list, shows its report.
  void run_tool_command(std::size_t index);
  void switch_language(std::size_t index);
  std::vector<std::string> find_language_files();

  HINSTANCE instance_;
  const console::ToolEntry& tool_;
  const OptionsPage* page_;
  AppState& app_;
  FileSystem& fs_;

  HWND window_ = nullptr;
  HWND list_ = nullptr;
  HWND status_ = nullptr;
  HIMAGELIST images_ = nullptr;
  HMENU menu_bar_ = nullptr;
  HMENU file_menu_ = nullptr;
  HMENU edit_menu_ = nullptr;
  HMENU view_menu_ = nullptr;
  HMENU tools_menu_ = nullptr;
  UINT menu_state_query_ = 0;
  bool status_pending_ = false;
  std::vector<std::string> language_files_;
  std::filesystem::path last_folder_;  // the folder last chosen for a tool's command
};

}  // namespace lumeno::win32
