#include "shell/win32/main_window.h"

#include <shellapi.h>

#include <algorithm>

#include "resources/resource.h"
#include "shell/names.h"
#include "shell/sjis.h"
#include "shell/ui_texts.h"
#include "shell/win32/progress.h"
#include "shell/win32/report_dialog.h"
#include "shell/win32/text.h"
#include "shell/win32/version_box.h"

namespace lumeno::win32 {

namespace fs = std::filesystem;

namespace {

// Posted once for any number of selection changes: the status text follows.
constexpr UINT kMsgRefreshStatus = WM_APP + 2;

constexpr int kWindowWidth = 400;
constexpr int kWindowHeight = 300;

enum UiSlot : int {
  kUiMenuFile = 0,
  kUiMenuEdit = 1,
  kUiMenuView = 2,
  kUiMenuTools = 3,
  kUiMenuHelp = 4,
  kUiConvertAll = 5,
  kUiConvertSelected = 6,
  kUiExit = 7,
  kUiDeleteSelected = 8,
  kUiDeleteUnselected = 9,
  kUiClearList = 10,
  kUiAlwaysOnTop = 11,
  kUiLanguage = 12,
  kUiOptionsItem = 13,
  kUiVersionItem = 14,
  kUiColumnName = 15,
  kUiAskClear = 22,
  kUiAskDeleteSelected = 23,
  kUiAskDeleteUnselected = 24,
};

struct Column {
  int heading;
  int width;
  int format;
};
constexpr Column kColumns[] = {
    {kUiColumnName, 160, LVCFMT_LEFT},
    {kUiColumnName + 1, 100, LVCFMT_RIGHT},
    {kUiColumnName + 2, 60, LVCFMT_LEFT},
    {kUiColumnName + 3, 200, LVCFMT_LEFT},
};

HICON load_icon(HINSTANCE instance, int id, int size) {
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

void append_item(HMENU menu, int command, const std::string& text) {
  AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(command), widen(text).c_str());
}

void append_separator(HMENU menu) { AppendMenuW(menu, MF_SEPARATOR | MF_GRAYED, 0, nullptr); }

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, const console::ToolEntry& tool, const OptionsPage* page, AppState& app, FileSystem& fs)
    : instance_(instance), tool_(tool), page_(page), app_(app), fs_(fs) {}

MainWindow::~MainWindow() {
  if (window_) DestroyWindow(window_);
  if (images_) ImageList_Destroy(images_);
}

bool MainWindow::create(const std::wstring& class_name) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = window_proc;
  wc.hInstance = instance_;
  wc.hIcon = load_icon(instance_, IDI_PROGRAM, GetSystemMetrics(SM_CXICON));
  wc.hIconSm = load_icon(instance_, IDI_PROGRAM, GetSystemMetrics(SM_CXSMICON));
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = class_name.c_str();
  if (!RegisterClassExW(&wc)) return false;
  menu_state_query_ = RegisterWindowMessageW(kMenuStateQuery);

  const int x = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
  CreateWindowExW(WS_EX_ACCEPTFILES, class_name.c_str(), widen(app_.tool.caption).c_str(), style, x, y, kWindowWidth, kWindowHeight,
                  nullptr, nullptr, instance_, this);
  if (!window_) return false;
  build_menu_bar();
  create_status_bar();
  create_list_view();
  return list_ != nullptr && status_ != nullptr;
}

void MainWindow::show(int show_mode) {
  ShowWindow(window_, show_mode);
  UpdateWindow(window_);
  update_menu_states();
  layout();
  apply_always_on_top(app_.settings.get_int(Settings::kAlwaysOnTop) == 1);
  SetFocus(list_);
}

LRESULT CALLBACK MainWindow::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wparam, lparam);
  return self->handle_message(message, wparam, lparam);
}

LRESULT MainWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:
      if (list_ && status_) layout();
      return 0;
    case WM_SETFOCUS:
      if (list_) SetFocus(list_);
      return 0;
    case WM_INITMENUPOPUP:
      update_menu_states();
      return 0;
    case WM_COMMAND:
      on_command(LOWORD(wparam));
      return 0;
    case WM_NOTIFY:
      return on_notify(*reinterpret_cast<const NMHDR*>(lparam));
    case WM_DROPFILES: {
      auto drop = reinterpret_cast<HDROP>(wparam);
      const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      std::vector<fs::path> paths;
      for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(length);
        paths.emplace_back(path);
      }
      DragFinish(drop);
      add_paths(paths);
      return 0;
    }
    case kMsgRefreshStatus:
      status_pending_ = false;
      update_status_text();
      return 0;
    case WM_DESTROY:
      // The settings are not written at shut-down.
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      if (message == menu_state_query_ && menu_state_query_ != 0) return menu_item_state(static_cast<int>(wparam));
      return DefWindowProcW(window_, message, wparam, lparam);
  }
}

LRESULT MainWindow::menu_item_state(int command) {
  update_menu_states();
  for (HMENU menu : {file_menu_, edit_menu_, view_menu_, GetSubMenu(menu_bar_, 3), GetSubMenu(menu_bar_, 4)}) {
    const UINT state = GetMenuState(menu, static_cast<UINT>(command), MF_BYCOMMAND);
    if (state != static_cast<UINT>(-1)) return static_cast<LRESULT>(state);
  }
  return -1;
}

void MainWindow::on_command(int command) {
  switch (command) {
    case kCmdConvertAll:
      start_run(false);
      break;
    case kCmdConvertSelected:
      start_run(true);
      break;
    case kCmdExit:
      SendMessageW(window_, WM_CLOSE, 0, 0);
      break;
    case kCmdDeleteSelected:
      if (confirm(kUiAskDeleteSelected)) remove_entries(true);
      break;
    case kCmdDeleteUnselected:
      if (confirm(kUiAskDeleteUnselected)) remove_entries(false);
      break;
    case kCmdClearList:
      if (confirm(kUiAskClear)) clear_list();
      break;
    case kCmdAlwaysOnTop: {
      const bool on = app_.settings.get_int(Settings::kAlwaysOnTop) != 1;
      app_.settings.set_int(Settings::kAlwaysOnTop, on ? 1 : 0);
      save_settings(fs_, app_.settings_path(), app_.settings);
      apply_always_on_top(on);
      break;
    }
    case kCmdOptions:
      if (page_) show_options_dialog(instance_, window_, app_, fs_, *page_);
      break;
    case kCmdVersion:
      show_version_box(instance_, window_, app_);
      break;
    default:
      if (command >= kCmdLanguageFirst && command < kCmdLanguageFirst + kMaxLanguageFiles) {
        switch_language(static_cast<std::size_t>(command - kCmdLanguageFirst));
      } else if (command >= kCmdToolFirst && static_cast<std::size_t>(command - kCmdToolFirst) < tool_.menu_commands.size()) {
        run_tool_command(static_cast<std::size_t>(command - kCmdToolFirst));
      }
      break;
  }
}

LRESULT MainWindow::on_notify(const NMHDR& header) {
  if (header.hwndFrom != list_) return 0;
  if (header.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if ((change.uChanged & LVIF_STATE) && !status_pending_) {
      status_pending_ = true;
      PostMessageW(window_, kMsgRefreshStatus, 0, 0);
    }
  } else if (header.code == LVN_KEYDOWN) {
    // Delete removes the selected entries at once, without a question.
    const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
    if (key.wVKey == VK_DELETE && ListView_GetSelectedCount(list_) > 0) remove_entries(true);
  }
  return 0;
}

void MainWindow::build_menu_bar() {
  const UiTexts& t = app_.texts;
  HMENU bar = CreateMenu();
  file_menu_ = CreatePopupMenu();
  append_item(file_menu_, kCmdConvertAll, t[kUiConvertAll]);
  append_item(file_menu_, kCmdConvertSelected, t[kUiConvertSelected]);
  append_separator(file_menu_);
  append_item(file_menu_, kCmdExit, t[kUiExit]);

  edit_menu_ = CreatePopupMenu();
  append_item(edit_menu_, kCmdDeleteSelected, t[kUiDeleteSelected]);
  append_item(edit_menu_, kCmdDeleteUnselected, t[kUiDeleteUnselected]);
  append_separator(edit_menu_);
  append_item(edit_menu_, kCmdClearList, t[kUiClearList]);

  view_menu_ = CreatePopupMenu();
  append_item(view_menu_, kCmdAlwaysOnTop, t[kUiAlwaysOnTop]);
  CheckMenuItem(view_menu_, kCmdAlwaysOnTop, app_.settings.get_int(Settings::kAlwaysOnTop) == 1 ? MF_CHECKED : MF_UNCHECKED);
  // The language files of "languages\", by name; the current one checked.
  language_files_ = find_language_files();
  HMENU languages = CreatePopupMenu();
  const std::string current = app_.settings.language_name();
  for (std::size_t i = 0; i < language_files_.size(); ++i) {
    append_item(languages, kCmdLanguageFirst + static_cast<int>(i), language_files_[i]);
    if (language_files_[i] == current) CheckMenuItem(languages, kCmdLanguageFirst + static_cast<UINT>(i), MF_CHECKED);
  }
  append_separator(view_menu_);
  AppendMenuW(view_menu_, MF_POPUP | (language_files_.empty() ? MF_GRAYED : 0u), reinterpret_cast<UINT_PTR>(languages),
              widen(t[kUiLanguage]).c_str());

  HMENU tools = CreatePopupMenu();
  append_item(tools, kCmdOptions, t[kUiOptionsItem]);
  if (!tool_.menu_commands.empty()) append_separator(tools);
  for (std::size_t i = 0; i < tool_.menu_commands.size(); ++i) {
    append_item(tools, kCmdToolFirst + static_cast<int>(i), std::string(tool_.menu_commands[i].label));
  }
  tools_menu_ = tools;
  HMENU help = CreatePopupMenu();
  append_item(help, kCmdVersion, t[kUiVersionItem]);

  const std::pair<HMENU, int> menus[] = {{file_menu_, kUiMenuFile}, {edit_menu_, kUiMenuEdit}, {view_menu_, kUiMenuView},
                                         {tools, kUiMenuTools},     {help, kUiMenuHelp}};
  for (const auto& [menu, slot] : menus) AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), widen(t[slot]).c_str());

  HMENU old = menu_bar_;
  menu_bar_ = bar;
  SetMenu(window_, bar);
  if (old) DestroyMenu(old);
  DrawMenuBar(window_);
}

std::vector<std::string> MainWindow::find_language_files() {
  std::vector<std::string> found = language_files(fs_, app_.home / "languages");
  if (found.size() > static_cast<std::size_t>(kMaxLanguageFiles)) found.resize(kMaxLanguageFiles);
  return found;
}

void MainWindow::create_status_bar() {
  status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)), instance_, nullptr);
  int parts[] = {160, 280, 400};
  SendMessageW(status_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
}

void MainWindow::create_list_view() {
  if (list_) DestroyWindow(list_);
  if (!images_) {
    images_ = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0);
    for (int id : {IDI_TEXT_FILE, IDI_FOLDER}) {
      HICON icon = load_icon(instance_, id, 16);
      ImageList_AddIcon(images_, icon);
      DestroyIcon(icon);
    }
  }
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_NOLABELWRAP | LVS_NOSORTHEADER;
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style, 0, 0, kWindowWidth, kWindowHeight, window_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_FILE_LIST)), instance_, nullptr);
  if (!list_) return;
  ListView_SetExtendedListViewStyle(list_, LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP | LVS_EX_FLATSB);
  for (int i = 0; i < 4; ++i) {
    const std::wstring heading = widen(app_.texts[kColumns[i].heading]);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = kColumns[i].format;
    column.cx = kColumns[i].width;
    column.pszText = const_cast<wchar_t*>(heading.c_str());
    column.iSubItem = i;
    SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
  ListView_SetImageList(list_, images_, LVSIL_SMALL);
  for (std::size_t i = app_.list.size(); i-- > 0;) insert_view_item(0, app_.list[i]);
  if (status_) layout();
}

void MainWindow::insert_view_item(int index, const ListEntry& entry) {
  const std::wstring texts[] = {widen(entry.name), widen(entry.size_text), widen(entry.type_text), widen(entry.full_path)};
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = index;
  item.pszText = const_cast<wchar_t*>(texts[0].c_str());
  item.iImage = entry.is_folder ? 1 : 0;
  const auto at = static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  for (int sub = 1; sub < 4; ++sub) {
    LVITEMW text{};
    text.iSubItem = sub;
    text.pszText = const_cast<wchar_t*>(texts[sub].c_str());
    SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&text));
  }
}

void MainWindow::add_paths(const std::vector<fs::path>& paths) {
  const std::size_t before = app_.list.size();
  std::vector<fs::path> refused;
  app_.list.add_dropped_paths(fs_, app_.texts, paths, &refused);
  const std::size_t added = app_.list.size() - before;
  // The newest entry is the model's first; the view gets them in the same order.
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  for (std::size_t i = added; i-- > 0;) insert_view_item(0, app_.list[i]);
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
  layout();
  if (!refused.empty()) {
    std::string text;
    for (const fs::path& path : refused) {
      if (!text.empty()) text += "\n";
      text += names::unconvertible_message(names::display_name(path));
    }
    message_box(window_, text, app_.tool.caption, MB_OK | MB_ICONWARNING);
  }
}

void MainWindow::sync_selection() {
  const std::size_t count = app_.list.size();
  for (std::size_t i = 0; i < count; ++i) {
    const bool selected = ListView_GetItemState(list_, static_cast<int>(i), LVIS_SELECTED) != 0;
    app_.list.set_selected(i, selected);
  }
}

void MainWindow::remove_entries(bool selected) {
  sync_selection();
  if (selected) {
    app_.list.delete_selected_entries();
  } else {
    app_.list.delete_unselected_entries();
  }
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  for (int i = ListView_GetItemCount(list_); i-- > 0;) {
    const bool is_selected = ListView_GetItemState(list_, i, LVIS_SELECTED) != 0;
    if (is_selected == selected) ListView_DeleteItem(list_, i);
  }
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
  layout();
}

void MainWindow::clear_list() {
  app_.list.clear_file_list();
  ListView_DeleteAllItems(list_);
  layout();
}

bool MainWindow::confirm(int question_slot) {
  return message_box(window_, app_.texts[question_slot], app_.texts[kUiConfirmCaption], MB_YESNO | MB_ICONWARNING) == IDYES;
}

void MainWindow::update_menu_states() {
  const bool any = !app_.list.empty();
  const bool selection = ListView_GetSelectedCount(list_) > 0;
  auto enable = [](HMENU menu, int command, bool on) { EnableMenuItem(menu, static_cast<UINT>(command), MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
  enable(file_menu_, kCmdConvertAll, any);
  enable(file_menu_, kCmdConvertSelected, any && selection);
  enable(edit_menu_, kCmdClearList, any);
  enable(edit_menu_, kCmdDeleteSelected, selection);
  enable(edit_menu_, kCmdDeleteUnselected, selection);
  for (std::size_t i = 0; i < tool_.menu_commands.size(); ++i) enable(tools_menu_, kCmdToolFirst + static_cast<int>(i), any);
}

void MainWindow::layout() {
  RECT client{};
  GetClientRect(window_, &client);
  SendMessageW(status_, WM_SIZE, 0, 0);
  RECT bar{};
  GetWindowRect(status_, &bar);
  const int status_height = bar.bottom - bar.top;
  MoveWindow(list_, 0, 0, client.right - client.left, std::max(0, static_cast<int>(client.bottom - client.top) - status_height), TRUE);
  update_status_text();
  UpdateWindow(list_);
}

void MainWindow::update_status_text() {
  sync_selection();
  const std::wstring text = widen(app_.list.status_text(app_.tool, app_.texts));
  SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void MainWindow::apply_always_on_top(bool on) {
  CheckMenuItem(view_menu_, kCmdAlwaysOnTop, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
  SetWindowPos(window_, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void MainWindow::start_run(bool selected_only) {
  std::unique_ptr<ToolRun> hooks = tool_.make_run();
  std::string why;
  if (!hooks->prepare_run(app_, why)) return;  // refused silently
  sync_selection();
  const std::string_view question = hooks->confirmation();
  if (!question.empty() && message_box(window_, question, app_.texts[kUiConfirmCaption], MB_OKCANCEL) != IDOK) return;
  run_with_progress(instance_, window_, app_, fs_, *hooks, selected_only);
  SetFocus(list_);
}

void MainWindow::run_tool_command(std::size_t index) {
  const console::ToolMenuCommand& command = tool_.menu_commands[index];
  fs::path folder;
  if (!command.folder_prompt.empty()) {
    std::optional<fs::path> chosen = choose_folder(window_, command.folder_prompt, last_folder_);
    if (!chosen) return;
    folder = last_folder_ = *chosen;
  }
  std::unique_ptr<ReportRun> run = command.make_run(folder);
  std::string why;
  if (!run->prepare_run(app_, why)) {
    // Unlike a conversion, a check says why it does not start.
    auto text = names::cp932_from_utf8(why);
    message_box(window_, text ? *text : why, app_.tool.caption, MB_OK | MB_ICONWARNING);
    return;
  }
  const RunOutcome outcome = run_with_progress(instance_, window_, app_, fs_, *run, false);
  if (outcome.completed) {
    std::string title(command.label);
    if (title.ends_with("...")) title.resize(title.size() - 3);
    show_report(instance_, window_, title, run->report());
  }
  SetFocus(list_);
}

void MainWindow::switch_language(std::size_t index) {
  if (index >= language_files_.size()) return;
  const std::string name = language_files_[index];
  load_language(app_, fs_, name);
  app_.list.clear_file_list();
  build_menu_bar();
  create_list_view();
  layout();
  save_settings(fs_, app_.settings_path(), app_.settings);
}

}  // namespace lumeno::win32
