// Drives one desktop program under test from outside, as a user would:
// starts it with paths on its command line, reads its list and status bar,
// checks the menu states, works its dialogs, runs conversions to the
// completion message, cancels a long run, and takes screenshots.
//
//   desktop_test.exe TOOL PROGRAM WORK SHOTS
//
// TOOL is the tool's key (bindo), PROGRAM the built program, WORK an empty
// folder for the test's files, SHOTS the folder for the screenshots (BMP).
// Prints one line per check and "N passed, M failed"; exit status 1 when a
// check failed.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/win32/driver_support.h"

namespace lumeno::win32_test {
namespace {

// ---------------------------------------------------------------- report

struct Report {
  int passed = 0;
  int failed = 0;

  bool check(bool ok, const std::string& name, const std::wstring& detail = {}) {
    if (ok) {
      ++passed;
      std::printf("[ OK ] %s\n", name.c_str());
    } else {
      ++failed;
      std::printf("[FAIL] %s%s%s\n", name.c_str(), detail.empty() ? "" : ": ", utf8(detail).c_str());
    }
    std::fflush(stdout);
    return ok;
  }
  bool equal(const std::wstring& got, const std::wstring& want, const std::string& name) {
    return check(got == want, name, L"got \"" + got + L"\", want \"" + want + L"\"");
  }
};

Report report;

// ---------------------------------------------------------------- files

bool write_file(const std::wstring& path, std::string_view bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

std::optional<std::string> read_file(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void make_folder(const std::wstring& path) {
  for (std::size_t i = 3; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  }
}

// CP932 bytes as UTF-16, for readable failure messages.
std::wstring shown(std::string_view cp932) {
  std::wstring out;
  const int n = MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
  out.resize(static_cast<std::size_t>(n));
  MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), out.data(), n);
  return out;
}

bool file_is(const std::wstring& path, std::string_view want, const std::string& name) {
  const auto got = read_file(path);
  if (!got) return report.check(false, name, L"missing: " + path);
  return report.check(*got == want, name, L"got \"" + shown(*got) + L"\", want \"" + shown(want) + L"\"");
}

std::int32_t settings_int(const std::string& bytes, int slot) {
  const std::size_t at = 264 + 4 * static_cast<std::size_t>(slot);
  if (bytes.size() < at + 4) return -1;
  std::uint32_t value = 0;
  for (int k = 3; k >= 0; --k) value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(k)]);
  return static_cast<std::int32_t>(value);
}

// ---------------------------------------------------------------- the tools

struct Tool {
  const wchar_t* key;
  const wchar_t* program;
  const wchar_t* caption;
  const wchar_t* settings_file;
  std::size_t settings_size;
  const wchar_t* completion;   // UI text 38
  const wchar_t* group_label;  // UI text 45; null without a group
  int version_text;            // control of the version box's text
};

const Tool kTools[] = {
    {L"vocar", L"Vocar.exe", L"Lumeno Scenify Tool", L"Vocar.dat", 2096, L"台本化処理が完了しました。", L"セリフとして認識させる記号",
     IDC_VOCAR_VERSION_TEXT},
    {L"pruna", L"Pruna.exe", L"Lumeno Thinout Tool", L"Pruna.dat", 328, L"処理が完了しました。", nullptr, IDC_VERSION_TEXT},
    {L"namex", L"Namex.exe", L"Lumeno Character Name Finder", L"Namex.dat", 856, L"個のファイルを変換しました。", L"セリフ認識記号",
     IDC_VERSION_TEXT},
    {L"splix", L"Splix.exe", L"Lumeno Text Divide Tool", L"Splix.dat", 328, L"個のファイルを変換しました。", L"置換処理", IDC_VERSION_TEXT},
    {L"bindo", L"Bindo.exe", L"Lumeno Text Pack Tool", L"Bindo.dat", 328, L"個のファイルを変換しました。", L"置換処理", IDC_VERSION_TEXT},
};

constexpr std::string_view kMarker = "////≪≪■■";

// ---------------------------------------------------------------- the program

// One running copy of the program under test, with its windows.
class App {
 public:
  App(const Tool& tool, std::wstring home) : tool_(tool), home_(std::move(home)) {}

  bool start(const std::vector<std::wstring>& args, const std::wstring& folder) {
    if (!process_.start(exe(), args, folder)) return false;
    main_ = find_window(process_.id(), tool_.caption, {}, 20000);
    return main_ && find_children();
  }

  // The list view and the status bar (a language switch makes a new list view).
  bool find_children() {
    list_ = FindWindowExW(main_, nullptr, WC_LISTVIEWW, nullptr);
    status_ = FindWindowExW(main_, nullptr, STATUSCLASSNAMEW, nullptr);
    reader_.emplace(process_.id(), list_);
    return list_ && status_;
  }

  std::wstring exe() const { return home_ + L"\\" + tool_.program; }
  std::wstring settings_path() const { return home_ + L"\\" + tool_.settings_file; }
  std::string settings() const { return read_file(settings_path()).value_or(std::string()); }

  DWORD pid() const { return process_.id(); }
  HWND main() const { return main_; }
  HWND list() const { return list_; }
  const ListViewReader& rows() const { return *reader_; }
  Process& process() { return process_; }

  std::wstring status() const { return text_of(status_); }
  bool status_becomes(const std::wstring& want) const {
    return wait_until([&] { return status() == want; }, 5000);
  }

  // The state of a menu item as the program reports it.
  UINT menu_state(int command) const {
    static const UINT query = RegisterWindowMessageW(L"Lumeno.MenuItemState");
    return static_cast<UINT>(SendMessageW(main_, query, static_cast<WPARAM>(command), 0));
  }
  bool enabled(int command) const { return (menu_state(command) & (MF_GRAYED | MF_DISABLED)) == 0; }

  void command(int id) const { PostMessageW(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

  HWND dialog(const std::wstring& title, int timeout_ms = 10000) const { return find_dialog(process_.id(), title, timeout_ms); }
  // A message box with the caption, and its text.
  HWND box(const std::wstring& caption, std::wstring& text, int timeout_ms = 20000) const {
    HWND found = dialog(caption, timeout_ms);
    text = found ? box_text(found) : std::wstring();
    return found;
  }
  bool gone(HWND window, int timeout_ms = 10000) const {
    return wait_until([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout_ms);
  }

  // Closes the main window and waits for the end.
  bool close() {
    PostMessageW(main_, WM_CLOSE, 0, 0);
    DWORD code = 1;
    return process_.wait_exit(20000, code) && code == 0;
  }

 private:
  const Tool& tool_;
  std::wstring home_;
  Process process_;
  HWND main_ = nullptr;
  HWND list_ = nullptr;
  HWND status_ = nullptr;
  std::optional<ListViewReader> reader_;
};

std::string narrow_name(const Tool& tool) { return utf8(tool.key); }

// ---------------------------------------------------------------- frame checks

constexpr int kConvertAll = 5, kConvertSelected = 6, kExit = 7, kDeleteSelected = 8, kDeleteUnselected = 9, kClear = 10,
              kAlwaysOnTop = 11, kOptions = 13, kVersion = 14;

void check_menu_states(const App& app, bool any, bool selection, const std::string& situation) {
  const bool ok = app.enabled(kConvertAll) == any && app.enabled(kConvertSelected) == (any && selection) &&
                  app.enabled(kClear) == any && app.enabled(kDeleteSelected) == selection && app.enabled(kDeleteUnselected) == selection &&
                  app.enabled(kExit) && app.enabled(kAlwaysOnTop) && app.enabled(kOptions) && app.enabled(kVersion);
  std::wstring states;
  for (int id : {kConvertAll, kConvertSelected, kDeleteSelected, kDeleteUnselected, kClear}) {
    states += std::to_wstring(id) + (app.enabled(id) ? L" on  " : L" off  ");
  }
  report.check(ok, "menu states " + situation, states);
}

void check_start_and_list(App& app, const Tool& tool, const std::wstring& work) {
  const std::string name = narrow_name(tool);
  const auto rows = app.rows().rows();
  const std::vector<std::vector<std::wstring>> want = {
      {L"one.txt", L"2 KB", L"ファイル", work + L"\\one.txt"},
      {L"シナリオ", L"---", L"フォルダ", work + L"\\シナリオ"},
  };
  std::wstring got;
  for (const auto& row : rows) {
    for (const auto& cell : row) got += cell + L" | ";
    got += L"; ";
  }
  report.check(rows == want, name + ": command-line paths are one drop (newest on top, .doc skipped)", got);
  report.equal(app.status(), L"2 個のオブジェクト", name + ": status text counts the entries");
  report.equal(app.rows().heading(0) + L"," + app.rows().heading(1) + L"," + app.rows().heading(2) + L"," + app.rows().heading(3),
               L"名前,サイズ,種類,フルパス", name + ": column headings");
  const std::string settings = app.settings();
  report.check(settings.size() == tool.settings_size && settings.compare(0, 13, std::string("Japanese.lng\0", 13)) == 0 &&
                   settings_int(settings, 0) == 0,
               name + ": first start writes the default settings file", L"size " + std::to_wstring(settings.size()));
}

void check_selection(App& app, const Tool& tool, const std::wstring& shots) {
  const std::string name = narrow_name(tool);
  check_menu_states(app, true, false, "with entries and no selection");
  app.rows().select(0, true);
  report.check(app.status_becomes(L"1 個のオブジェクトを選択"), name + ": selecting shows the selected count", app.status());
  check_menu_states(app, true, true, "with a selection");
  report.check(screenshot({app.main()}, shots + L"\\" + tool.program + L"-main.bmp"), name + ": screenshot of the main window");
  app.rows().select(0, false);
  report.check(app.status_becomes(L"2 個のオブジェクト"), name + ": clearing the selection shows the count again", app.status());
}

void check_version_box(App& app, const Tool& tool) {
  const std::string name = narrow_name(tool);
  app.rows().select(0, true);
  app.command(kVersion);
  HWND box = app.dialog(L"バージョン情報");
  if (!report.check(box != nullptr, name + ": the version box opens")) return;
  report.equal(text_of(GetDlgItem(box, tool.version_text)), std::wstring(tool.caption) + L"\r\nVer 0.405\r\n\r\nLumeno scenario tools",
               name + ": version box text");
  report.equal(text_of(GetDlgItem(box, IDOK)), L"OK", name + ": version box button");
  // Escape does not close it; a Delete pressed inside it does not reach the list.
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  PostMessageW(GetDlgItem(box, IDOK), WM_KEYDOWN, VK_DELETE, 0);
  PostMessageW(GetDlgItem(box, IDOK), WM_KEYUP, VK_DELETE, 0);
  Sleep(300);
  report.check(IsWindowVisible(box) != FALSE, name + ": Escape leaves the version box open");
  press(box, IDOK);
  report.check(app.gone(box), name + ": OK closes the version box");
  Sleep(200);
  report.check(app.rows().count() == 2, name + ": a Delete inside the version box leaves the list alone");
  app.rows().select(0, false);
}

void check_always_on_top(App& app, const Tool& tool) {
  const std::string name = narrow_name(tool);
  app.command(kAlwaysOnTop);
  const bool stored = wait_until([&] { return settings_int(app.settings(), 0) == 1; }, 5000);
  const bool topmost = wait_until([&] { return (GetWindowLongPtrW(app.main(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 5000);
  report.check(stored && topmost && (app.menu_state(kAlwaysOnTop) & MF_CHECKED),
               name + ": always on top checks the item, raises the window and rewrites the settings file");
  app.command(kAlwaysOnTop);
  const bool cleared = wait_until([&] { return settings_int(app.settings(), 0) == 0; }, 5000);
  const bool normal = wait_until([&] { return (GetWindowLongPtrW(app.main(), GWL_EXSTYLE) & WS_EX_TOPMOST) == 0; }, 5000);
  report.check(cleared && normal && !(app.menu_state(kAlwaysOnTop) & MF_CHECKED), name + ": toggled again, it is off and stored");
}

// The options dialog's frame; the dialog is left open.
HWND open_options(App& app, const Tool& tool) {
  app.command(kOptions);
  HWND dialog = app.dialog(L"オプション");
  if (!report.check(dialog != nullptr, narrow_name(tool) + ": the options dialog opens")) return nullptr;
  return dialog;
}

void check_options_frame(App& app, const Tool& tool, const std::wstring& shots) {
  const std::string name = narrow_name(tool);
  HWND dialog = open_options(app, tool);
  if (!dialog) return;
  std::wstring texts = text_of(GetDlgItem(dialog, IDOK)) + L"," + text_of(GetDlgItem(dialog, IDCANCEL)) + L"," +
                       text_of(GetDlgItem(dialog, IDC_DEFAULTS));
  report.equal(texts, L"OK,キャンセル,デフォルト", name + ": options dialog buttons");
  if (tool.group_label) {
    const int group = std::wstring(tool.key) == L"vocar"   ? IDC_V_GROUP_MARKS
                      : std::wstring(tool.key) == L"namex" ? IDC_N_GROUP_MARKS
                                                           : IDC_OPTIONS_GROUP;
    report.equal(text_of(GetDlgItem(dialog, group)), tool.group_label, name + ": options group label");
  }
  report.check(screenshot({app.main(), dialog}, shots + L"\\" + tool.program + L"-options.bmp"), name + ": screenshot of the options dialog");
  // Defaults, then the close box: nothing is stored.
  const std::string before = app.settings();
  press(dialog, IDC_DEFAULTS);
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  report.check(app.gone(dialog) && app.settings() == before, name + ": defaults then the close box leave the settings file alone");
}

// Bindo and Splix: the one check box against the settings file.
void check_delete_source_option(App& app, const Tool& tool) {
  const std::string name = narrow_name(tool);
  HWND dialog = open_options(app, tool);
  if (!dialog) return;
  report.equal(text_of(GetDlgItem(dialog, IDC_DELETE_SOURCE)), L"変換元ファイルを削除する", name + ": check box label");
  report.check(checked(dialog, IDC_DELETE_SOURCE), name + ": the check box shows delete_source 1");
  const std::string before = app.settings();
  click(dialog, IDC_DELETE_SOURCE);
  press(dialog, IDCANCEL);
  report.check(app.gone(dialog) && app.settings() == before, name + ": Cancel stores nothing");

  dialog = open_options(app, tool);
  if (!dialog) return;
  click(dialog, IDC_DELETE_SOURCE);
  press(dialog, IDOK);
  report.check(app.gone(dialog) && settings_int(app.settings(), 1) == 0 && app.settings().size() == tool.settings_size,
               name + ": OK stores the cleared box");

  dialog = open_options(app, tool);
  if (!dialog) return;
  report.check(!checked(dialog, IDC_DELETE_SOURCE), name + ": the dialog shows the stored 0");
  press(dialog, IDC_DEFAULTS);
  Sleep(200);
  report.check(checked(dialog, IDC_DELETE_SOURCE), name + ": the defaults button ticks the box");
  press(dialog, IDCANCEL);
  report.check(app.gone(dialog) && settings_int(app.settings(), 1) == 0, name + ": defaults then Cancel keep the stored 0");

  dialog = open_options(app, tool);
  if (!dialog) return;
  press(dialog, IDC_DEFAULTS);
  Sleep(200);
  press(dialog, IDOK);
  report.check(app.gone(dialog) && settings_int(app.settings(), 1) == 1, name + ": defaults then OK store 1");
}

bool no_dialog_titled(const App& app, const std::wstring& title) {
  for (const TopWindow& w : top_windows(app.pid())) {
    if (w.title == title) return false;
  }
  return true;
}

void check_removals(App& app, const Tool& tool) {
  const std::string name = narrow_name(tool);
  // Delete removes the selected entries at once, without a question.
  app.rows().select(0, true);
  app.status_becomes(L"1 個のオブジェクトを選択");
  PostMessageW(app.list(), WM_KEYDOWN, VK_DELETE, 0x00530001);
  PostMessageW(app.list(), WM_KEYUP, VK_DELETE, static_cast<LPARAM>(0xC0530001u));
  report.check(wait_until([&] { return app.rows().count() == 1; }, 5000) && no_dialog_titled(app, L"確認"),
               name + ": Delete removes the selected entry without a question");
  report.check(app.status_becomes(L"1 個のオブジェクト"), name + ": the status text follows the removal", app.status());

  // The menu's removals ask first; No keeps the list.
  app.rows().select(0, true);
  app.command(kDeleteSelected);
  std::wstring text;
  HWND box = app.box(L"確認", text);
  report.equal(text, L"選択項目を削除しても宜しいですか？", name + ": delete-selected asks");
  if (box) press(box, IDNO);
  Sleep(300);
  report.check(app.rows().count() == 1, name + ": No keeps the entry");

  app.command(kClear);
  box = app.box(L"確認", text);
  report.equal(text, L"リストを全てクリアしても宜しいですか？", name + ": clear asks");
  if (box) press(box, IDYES);
  report.check(wait_until([&] { return app.rows().count() == 0; }, 5000), name + ": Yes clears the list");
  report.check(app.status_becomes(L""), name + ": an empty list shows no status text", app.status());
  check_menu_states(app, false, false, "with an empty list");
}

void check_second_start(App& app, const Tool& tool, const std::wstring& work) {
  const std::string name = narrow_name(tool);
  PostMessageW(app.main(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  wait_until([&] { return IsIconic(app.main()) != FALSE; }, 5000);
  Process second;
  DWORD code = 99;
  const bool ended = second.start(app.exe(), {}, work) && second.wait_exit(20000, code);
  report.check(ended && code == 0, name + ": a second start of the same program file ends at once", L"exit " + std::to_wstring(code));
  report.check(app.process().running(), name + ": the first copy keeps running");
  report.check(wait_until([&] { return IsIconic(app.main()) == FALSE; }, 5000), name + ": the first copy is restored");
}

void check_close(App& app, const Tool& tool) {
  const std::string name = narrow_name(tool);
  WIN32_FILE_ATTRIBUTE_DATA before{}, after{};
  GetFileAttributesExW(app.settings_path().c_str(), GetFileExInfoStandard, &before);
  const std::string bytes = app.settings();
  Sleep(50);
  report.check(app.close(), name + ": closing the main window ends the program with 0");
  GetFileAttributesExW(app.settings_path().c_str(), GetFileExInfoStandard, &after);
  report.check(app.settings() == bytes && CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime) == 0,
               name + ": closing does not write the settings file");
}

// The language submenu: switching loads the file, rebuilds the list with
// its headings and stores the name.
void check_language_switch(App& app, const Tool& tool) {
  const std::string name = narrow_name(tool);
  app.command(10000);  // the first file of languages\, in name order
  report.check(wait_until([&] { return app.find_children() && app.rows().heading(0) == L"Name"; }, 5000),
               name + ": switching language renames the columns",
               app.rows().heading(0));
  const std::string settings = app.settings();
  report.check(settings.compare(0, 12, std::string("English.lng\0", 12)) == 0, name + ": the language name is stored");
  report.check(app.rows().count() == 0, name + ": a language switch empties the list");
}

// ---------------------------------------------------------------- runs

// Runs convert-all to its completion message and closes it; the message text.
std::wstring convert_all(App& app, const Tool& tool) {
  app.command(kConvertAll);
  std::wstring text;
  HWND box = app.box(tool.caption, text, 60000);
  if (box) press(box, IDOK);
  HWND progress = app.dialog(L"変換中...", 1000);
  if (progress) app.gone(progress);
  return text;
}

// "N <completion text>\n\n処理時間  ... 秒." (any N when `count` < 0).
bool is_completion(const std::wstring& text, int count, const Tool& tool) {
  std::size_t at = 0;
  if (count >= 0) {
    const std::wstring number = std::to_wstring(count);
    if (text.compare(0, number.size(), number) != 0) return false;
    at = number.size();
  } else {
    while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') ++at;
    if (at == 0) return false;
  }
  const std::wstring rest = L" " + std::wstring(tool.completion) + L"\n\n処理時間  ";
  return text.compare(at, rest.size(), rest) == 0 && text.size() > at + rest.size() && text.substr(text.size() - 2) == L"秒.";
}

// Cancel during a long run: the first press greys the button and retitles
// the dialog; the run ends with the abort message and no completion; the
// next run starts with the flag clear. The progress dialog is photographed.
void check_cancel(App& app, const Tool& tool, const std::wstring& shots) {
  const std::string name = narrow_name(tool);
  app.command(kConvertAll);
  HWND progress = app.dialog(L"変換中...", 20000);
  if (!report.check(progress != nullptr, name + ": the progress dialog opens")) return;
  wait_until([&] { return !text_of(GetDlgItem(progress, IDC_PROGRESS_COUNT)).empty(); }, 5000);
  report.check(screenshot({app.main(), progress}, shots + L"\\" + tool.program + L"-progress.bmp"), name + ": screenshot of the progress dialog");
  report.equal(text_of(GetDlgItem(progress, IDCANCEL)), L"キャンセル", name + ": the Cancel button");
  report.check(IsWindowEnabled(GetDlgItem(progress, IDCANCEL)) != FALSE, name + ": Cancel is enabled during the run");
  PostMessageW(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  std::wstring text;
  HWND box = app.box(tool.caption, text, 60000);
  report.check(text_of(progress) == L"変換中...[キャンセル中、しばらくお待ちください]" && !IsWindowEnabled(GetDlgItem(progress, IDCANCEL)),
               name + ": Cancel greys the button and retitles the dialog", text_of(progress));
  report.equal(text, L"処理を中断しました。", name + ": a cancelled run ends with the abort message");
  if (box) {
    report.check(GetWindow(box, GW_OWNER) == progress, name + ": the abort message is owned by the progress dialog");
    press(box, IDOK);
  }
  report.check(app.gone(progress), name + ": the dialog closes after the run");
  const std::wstring again = convert_all(app, tool);
  report.check(is_completion(again, -1, tool), name + ": the next run completes (the flag was cleared)", again);
}

void check_bindo_runs(const Tool& tool, const std::wstring& work, const std::wstring& home, const std::wstring& shots) {
  const std::wstring scn = work + L"\\pack";
  make_folder(scn + L"\\第1章\\sub");
  write_file(scn + L"\\第1章\\a.txt", "x");
  write_file(scn + L"\\第1章\\B.txt", "y\r\n");
  write_file(scn + L"\\第1章\\sub\\c.txt", "z\n");
  write_file(scn + L"\\第1章\\skip.csv", "no");
  App app(tool, home);
  if (!report.check(app.start({L"pack"}, work), "bindo: starts with a folder to pack")) return;
  const std::wstring text = convert_all(app, tool);
  report.check(is_completion(text, 3, tool), "bindo: convert-all ends with the completion message", text);
  const std::string m(kMarker);
  file_is(scn + L"\\第1章\\第1章.txt", m + "a.txt\r\nx\r\n" + m + "B.txt\r\ny\r\n\r\n", "bindo: the folder's pack file");
  file_is(scn + L"\\第1章\\sub\\sub.txt", m + "c.txt\r\nz\r\n\r\n", "bindo: the sub-folder's own pack file");
  report.check(!exists(scn + L"\\第1章\\a.txt") && exists(scn + L"\\第1章\\skip.csv"), "bindo: packed sources are deleted, others stay");
  report.check(app.close(), "bindo: closes after the run");

  // A long run to cancel: many files in one folder.
  const std::wstring many = work + L"\\many";
  make_folder(many);
  const std::string body(4000, 'a');
  for (int i = 0; i < 4000; ++i) write_file(many + L"\\f" + std::to_wstring(10000 + i) + L".txt", body);
  App long_run(tool, home);
  if (!report.check(long_run.start({L"many"}, work), "bindo: starts with a large folder")) return;
  check_cancel(long_run, tool, shots);
  long_run.close();
}

void check_splix_runs(const Tool& tool, const std::wstring& work, const std::wstring& home, const std::wstring& shots) {
  const std::wstring packs = work + L"\\packs";
  make_folder(packs);
  const std::string m(kMarker);
  write_file(packs + L"\\ch1.txt", m + "第1話.txt\r\n\r\nあいう\r\n" + m + "sub\\b.txt\r\nb\r\n");
  App app(tool, home);
  if (!report.check(app.start({L"packs"}, work), "splix: starts with a folder of pack files")) return;
  const std::wstring text = convert_all(app, tool);
  report.check(is_completion(text, 1, tool), "splix: convert-all ends with the completion message", text);
  file_is(packs + L"\\ch1\\第1話.txt", "あいう\r\n", "splix: a piece with a Japanese name");
  file_is(packs + L"\\ch1\\sub\\b.txt", "b\r\n", "splix: a piece in a sub-folder");
  report.check(!exists(packs + L"\\ch1.txt"), "splix: the divided pack file is deleted");
  report.check(app.close(), "splix: closes after the run");

  const std::wstring many = work + L"\\many";
  make_folder(many);
  for (int i = 0; i < 3000; ++i) {
    write_file(many + L"\\p" + std::to_wstring(10000 + i) + L".txt", m + "a.txt\r\n" + std::string(2000, 'a') + "\r\n");
  }
  App long_run(tool, home);
  if (!report.check(long_run.start({L"many"}, work), "splix: starts with a large folder")) return;
  check_cancel(long_run, tool, shots);
  long_run.close();
}

constexpr std::string_view kEnglish =
    "&File\r\n&Edit\r\n&View\r\n&Tools\r\n&Help\r\nConvert &all...\r\nConvert &selected...\r\nE&xit\r\n&Delete selected\r\n"
    "Delete &unselected\r\n&Clear the list\r\nAlways on &top\r\n&Language\r\n&Options...\r\n&About...\r\nName\r\nSize\r\nType\r\n"
    "Full path\r\nFile\r\nFolder\r\nConfirm\r\nClear the whole list?\r\nDelete the selected entries?\r\n"
    "Delete the entries not selected?\r\nStart the conversion with these settings?\r\nToo many folders.\r\n"
    "The file could not be created.\r\nThe file could not be opened.\r\nOut of memory.\r\nThe run was cancelled.\r\n"
    "Collecting files\r\nConverting...\r\nConverting... [cancelling, please wait]\r\nTime\r\ns\r\nmin\r\nh\r\n"
    "files converted.\r\n%d objects\r\n%d objects selected\r\nOK\r\nCancel\r\nDefaults\r\nOptions\r\nReplacing\r\nAbout\r\n";

int run(const Tool& tool, const std::wstring& program, const std::wstring& work, const std::wstring& shots) {
  const std::string name = narrow_name(tool);
  const std::wstring home = work + L"\\home";
  make_folder(home);
  make_folder(shots);
  if (!report.check(CopyFileW(program.c_str(), (home + L"\\" + tool.program).c_str(), FALSE) != FALSE, name + ": program copied")) return 1;

  // The files of the frame's checks: a Japanese folder, a file of 1025
  // bytes, and a file that is not ".txt".
  make_folder(work + L"\\シナリオ\\第1章");
  write_file(work + L"\\シナリオ\\第1章\\a.txt", "あ\r\n");
  write_file(work + L"\\one.txt", std::string(1025, 'x'));
  write_file(work + L"\\two.doc", "x");

  {
    App app(tool, home);
    if (!report.check(app.start({L"シナリオ", L"one.txt", L"two.doc"}, work), name + ": starts with paths on its command line")) return 1;
    check_start_and_list(app, tool, work);
    check_selection(app, tool, shots);
    check_version_box(app, tool);
    check_always_on_top(app, tool);
    check_options_frame(app, tool, shots);
    if (std::wstring(tool.key) == L"bindo" || std::wstring(tool.key) == L"splix") check_delete_source_option(app, tool);
    check_removals(app, tool);
    check_second_start(app, tool, work);
    check_close(app, tool);
  }
  {
    // Languages: the submenu lists "languages\*.lng".
    make_folder(home + L"\\languages");
    write_file(home + L"\\languages\\English.lng", kEnglish);
    App app(tool, home);
    if (report.check(app.start({L"one.txt"}, work), name + ": starts with a language file present")) {
      check_language_switch(app, tool);
      app.close();
    }
    App again(tool, home);
    if (report.check(again.start({}, work), name + ": restarts")) {
      report.equal(again.rows().heading(0), L"Name", name + ": the stored language is loaded at start-up");
      again.close();
    }
    DeleteFileW((home + L"\\languages\\English.lng").c_str());
    RemoveDirectoryW((home + L"\\languages").c_str());
    DeleteFileW((home + L"\\" + tool.settings_file).c_str());
  }

  if (std::wstring(tool.key) == L"bindo") check_bindo_runs(tool, work, home, shots);
  if (std::wstring(tool.key) == L"splix") check_splix_runs(tool, work, home, shots);

  return 0;
}

std::wstring windows_path(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

}  // namespace
}  // namespace lumeno::win32_test

int wmain(int argc, wchar_t** argv) {
  using namespace lumeno::win32_test;
  if (argc != 5) {
    std::fprintf(stderr, "usage: desktop_test TOOL PROGRAM WORK SHOTS\n");
    return 2;
  }
  const Tool* tool = nullptr;
  for (const Tool& t : kTools) {
    if (std::wstring(t.key) == argv[1]) tool = &t;
  }
  if (!tool) {
    std::fprintf(stderr, "unknown tool\n");
    return 2;
  }
  run(*tool, windows_path(argv[2]), windows_path(argv[3]), windows_path(argv[4]));
  std::printf("%s: %d passed, %d failed\n", utf8(tool->program).c_str(), report.passed, report.failed);
  return report.failed == 0 ? 0 : 1;
}
