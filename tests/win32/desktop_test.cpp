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

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cstdint>
#include <functional>
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

// A text field of the settings file: string `index` after `int_count` ints.
std::string settings_string(const std::string& bytes, int int_count, int index) {
  const std::size_t at = 264 + 4 * static_cast<std::size_t>(int_count) + 264 * static_cast<std::size_t>(index);
  if (bytes.size() < at + 264) return "<missing>";
  const std::string field = bytes.substr(at, 264);
  return field.substr(0, field.find('\0'));
}

// The tool's fields of a settings file (the ints, then each text cut at its
// terminator), for comparing files. The language name is left out: without
// a languages folder the built-in texts are in use, and every save after
// the first writes an empty name. The bytes after a text's terminator are
// what an earlier, longer text left there.
std::string tool_fields(const std::string& bytes, int int_count) {
  const std::size_t ints_end = 264 + 4 * static_cast<std::size_t>(int_count);
  if (bytes.size() < ints_end) return "<short file>";
  std::string fields = bytes.substr(264, ints_end - 264);
  for (std::size_t at = ints_end; at < bytes.size(); at += 264) {
    const std::string field = bytes.substr(at, 264);
    fields += field.substr(0, field.find('\0'));
    fields += '|';
  }
  return fields;
}

// Where two settings files differ after the language name, for a failure message.
std::wstring difference(const std::string& got, const std::string& want) {
  auto byte = [](const std::string& s, std::size_t i) { return i < s.size() ? std::to_wstring(static_cast<unsigned char>(s[i])) : L"end"; };
  std::wstring bytes;
  for (std::size_t i = 264; i < got.size() && i < want.size(); ++i) {
    if (got[i] != want[i]) bytes += std::to_wstring(i) + L":" + byte(got, i) + L"/" + byte(want, i) + L" ";
  }
  return L"sizes " + std::to_wstring(got.size()) + L" and " + std::to_wstring(want.size()) + L", differences (offset:got/want) " + bytes;
}

// ---------------------------------------------------------------- the tools

struct Tool {
  const wchar_t* key;
  const wchar_t* program;
  const wchar_t* caption;
  const wchar_t* settings_file;
  std::size_t settings_size;
  int int_count;               // the settings file's ints
  const wchar_t* completion;   // UI text 38
  const wchar_t* group_label;  // UI text 45; null without a group
  int version_text;            // control of the version box's text
  int progress_count;          // the progress dialog's two text lines
  int progress_file;
  bool asks_first;             // convert-all asks before it starts
  bool shows_count;            // the completion message counts the files
};

const Tool kTools[] = {
    {L"vocar", L"Vocar.exe", L"Lumeno Scenify Tool", L"Vocar.dat", 2096, 128, L"台本化処理が完了しました。", L"セリフとして認識させる記号",
     IDC_VOCAR_VERSION_TEXT, IDC_VOCAR_PROGRESS_COUNT, IDC_VOCAR_PROGRESS_FILE, true, false},
    {L"pruna", L"Pruna.exe", L"Lumeno Thinout Tool", L"Pruna.dat", 328, 16, L"処理が完了しました。", nullptr, IDC_VERSION_TEXT,
     IDC_PROGRESS_COUNT, IDC_PROGRESS_FILE, false, false},
    {L"namex", L"Namex.exe", L"Lumeno Character Name Finder", L"Namex.dat", 856, 16, L"個のファイルを変換しました。", L"セリフ認識記号",
     IDC_VERSION_TEXT, IDC_PROGRESS_COUNT, IDC_PROGRESS_FILE, false, true},
    {L"splix", L"Splix.exe", L"Lumeno Text Divide Tool", L"Splix.dat", 328, 16, L"個のファイルを変換しました。", L"置換処理", IDC_VERSION_TEXT,
     IDC_PROGRESS_COUNT, IDC_PROGRESS_FILE, false, true},
    {L"bindo", L"Bindo.exe", L"Lumeno Text Pack Tool", L"Bindo.dat", 328, 16, L"個のファイルを変換しました。", L"置換処理", IDC_VERSION_TEXT,
     IDC_PROGRESS_COUNT, IDC_PROGRESS_FILE, false, true},
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

void check_menu_states(const App& app, const std::string& name, bool any, bool selection, const std::string& situation) {
  const bool ok = app.enabled(kConvertAll) == any && app.enabled(kConvertSelected) == (any && selection) &&
                  app.enabled(kClear) == any && app.enabled(kDeleteSelected) == selection && app.enabled(kDeleteUnselected) == selection &&
                  app.enabled(kExit) && app.enabled(kAlwaysOnTop) && app.enabled(kOptions) && app.enabled(kVersion);
  std::wstring states;
  for (int id : {kConvertAll, kConvertSelected, kDeleteSelected, kDeleteUnselected, kClear}) {
    states += std::to_wstring(id) + (app.enabled(id) ? L" on  " : L" off  ");
  }
  report.check(ok, name + ": menu states " + situation, states);
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
  check_menu_states(app, name, true, false, "with entries and no selection");
  app.rows().select(0, true);
  report.check(app.status_becomes(L"1 個のオブジェクトを選択"), name + ": selecting shows the selected count", app.status());
  check_menu_states(app, name, true, true, "with a selection");
  report.check(screenshot({app.main()}, shots + L"\\" + tool.program + L"-main.bmp"), name + ": screenshot of the main window");
  app.rows().select(0, false);
  report.check(app.status_becomes(L"2 個のオブジェクト"), name + ": clearing the selection shows the count again", app.status());
}

// The list fills the client area above the status bar, at any size.
void check_layout(App& app, const Tool& tool) {
  const std::string name = narrow_name(tool);
  auto fits = [&] {
    RECT client{}, list{}, status{};
    GetClientRect(app.main(), &client);
    GetWindowRect(app.list(), &list);
    GetWindowRect(FindWindowExW(app.main(), nullptr, STATUSCLASSNAMEW, nullptr), &status);
    return list.right - list.left == client.right && list.bottom == status.top && status.bottom - list.top == client.bottom;
  };
  RECT window{};
  GetWindowRect(app.main(), &window);
  report.check(window.right - window.left == 400 && window.bottom - window.top == 300 && fits(), name + ": a 400 x 300 window, the list filling it");
  SetWindowPos(app.main(), nullptr, 0, 0, 640, 420, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  report.check(wait_until(fits, 5000), name + ": after a resize the list still fills it");
  SetWindowPos(app.main(), nullptr, window.left, window.top, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
  wait_until(fits, 5000);
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
  // Stored in the settings file, the window in the top-most band, the item checked.
  auto state = [&](bool on) {
    const bool stored = settings_int(app.settings(), 0) == (on ? 1 : 0);
    const bool topmost = ((GetWindowLongPtrW(app.main(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) == on;
    const bool mark = ((app.menu_state(kAlwaysOnTop) & MF_CHECKED) != 0) == on;
    return std::wstring(stored ? L"" : L"not stored ") + (topmost ? L"" : L"band wrong ") + (mark ? L"" : L"check mark wrong");
  };
  app.command(kAlwaysOnTop);
  wait_until([&] { return state(true).empty(); }, 10000);
  report.check(state(true).empty(), name + ": always on top checks the item, raises the window and rewrites the settings file", state(true));
  app.command(kAlwaysOnTop);
  wait_until([&] { return state(false).empty(); }, 10000);
  report.check(state(false).empty(), name + ": toggled again, it is off and stored", state(false));
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

// The defaults button then Cancel leaves the settings file as `stored`; the
// defaults button then OK stores the first start's settings again.
void check_defaults_buttons(App& app, const Tool& tool, const std::string& name, const std::string& stored, const std::string& defaults) {
  HWND dialog = open_options(app, tool);
  if (!dialog) return;
  press(dialog, IDC_DEFAULTS);
  Sleep(200);
  press(dialog, IDCANCEL);
  report.check(app.gone(dialog) && app.settings() == stored, name + ": defaults then Cancel leave the settings file alone");
  dialog = open_options(app, tool);
  if (!dialog) return;
  press(dialog, IDC_DEFAULTS);
  Sleep(200);
  press(dialog, IDOK);
  const bool closed = app.gone(dialog);
  const std::string after = app.settings();
  report.check(closed && tool_fields(after, tool.int_count) == tool_fields(defaults, tool.int_count),
               name + ": defaults then OK store the first start's settings again", difference(after, defaults));
}

// Bindo and Splix: the one check box against the settings file.
void check_delete_source_option(App& app, const Tool& tool, const std::string& defaults) {
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
  check_defaults_buttons(app, tool, name, app.settings(), defaults);
}

// A message box of the program showing `text` (plain boxes carry the
// system's caption, so they are found by their text); it is answered OK.
bool answer_box_with_text(const App& app, const std::wstring& text) {
  HWND found = nullptr;
  wait_until(
      [&] {
        for (const TopWindow& w : top_windows(app.pid())) {
          if (w.class_name == L"#32770" && box_text(w.window) == text) {
            found = w.window;
            return true;
          }
        }
        return false;
      },
      10000);
  if (found) press(found, IDOK);
  return found != nullptr && app.gone(found);
}

void set_edit(HWND dialog, int id, const std::wstring& text) {
  SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Vocar: the start number's checks, the enable rule of the second string,
// what OK stores, and the hidden check box kept as it was.
void check_vocar_options(App& app, const std::string& defaults) {
  HWND dialog = open_options(app, kTools[0]);
  if (!dialog) return;
  report.check(checked(dialog, IDC_V_OUTPUT_SCRIPTS) && checked(dialog, IDC_V_VOICE_CR_LF) && !checked(dialog, IDC_V_RESET_PER_FILE) &&
                   checked(dialog, IDC_V_SECOND_FIXED) && !checked(dialog, IDC_V_SECOND_FROM_FILE),
               "vocar: the controls show the default settings");
  report.equal(text_of(GetDlgItem(dialog, IDC_V_START_NUMBER)) + L"," + text_of(GetDlgItem(dialog, IDC_V_SECOND_STRING)) + L"," +
                   text_of(GetDlgItem(dialog, IDC_V_DIALOGUE_MARKS)) + L"," + text_of(GetDlgItem(dialog, IDC_V_COMMAND_PREFIX)) + L"," +
                   text_of(GetDlgItem(dialog, IDC_V_COMMAND_SUFFIX)),
               L"0001,A1_,「/『/（,\\VO(,)", "vocar: the edit boxes show the default texts");
  report.check(!IsWindowVisible(GetDlgItem(dialog, IDC_V_KEEP_COMMENT_HIDDEN)), "vocar: the reserved check box is not shown");
  report.check(IsWindowVisible(GetDlgItem(dialog, IDC_V_SCRIPT_SPREADSHEETS)) && checked(dialog, IDC_V_SCRIPT_SPREADSHEETS) &&
                   text_of(GetDlgItem(dialog, IDC_V_SCRIPT_SPREADSHEETS)) == L"台本をExcel形式（.xlsx）でも出力する",
               "vocar: the workbooks check box is shown, ticked by default");
  click(dialog, IDC_V_SECOND_FROM_FILE);
  const bool greyed = !IsWindowEnabled(GetDlgItem(dialog, IDC_V_SECOND_STRING));
  click(dialog, IDC_V_SECOND_FIXED);
  report.check(greyed && IsWindowEnabled(GetDlgItem(dialog, IDC_V_SECOND_STRING)), "vocar: the file-name radio greys the second string");

  const std::string before = app.settings();
  const std::pair<const wchar_t*, const wchar_t*> refused[] = {
      {L"12a", L"ボイス番号開始値に、0～9の半角数字以外は設定できません。"},
      {L"   ", L"ボイス番号開始値に、0～9の半角数字以外は設定できません。"},
      {L"", L"ボイス番号開始値の指定がありません。"},
      {L"000000000", L"ボイス番号の桁数が多すぎます。8桁以内に抑えてください。"},
      {L"abcdefghi", L"ボイス番号開始値に、0～9の半角数字以外は設定できません。"},
  };
  for (const auto& [text, message] : refused) {
    set_edit(dialog, IDC_V_START_NUMBER, text);
    press(dialog, IDOK);
    report.check(answer_box_with_text(app, message) && IsWindowVisible(dialog) && app.settings() == before,
                 "vocar: start number \"" + utf8(text) + "\" is refused with its message");
  }
  set_edit(dialog, IDC_V_START_NUMBER, L"00000000");
  set_edit(dialog, IDC_V_SECOND_STRING, L"B2_");
  click(dialog, IDC_V_SECOND_FROM_FILE);
  click(dialog, IDC_V_OUTPUT_SCRIPTS);
  click(dialog, IDC_V_SCRIPT_SPREADSHEETS);
  press(dialog, IDOK);
  const bool closed = app.gone(dialog);
  const std::string after = app.settings();
  report.check(closed && after.size() == 2096 && settings_int(after, 11) == 1 && settings_int(after, 2) == 0 && settings_int(after, 91) == 1 &&
                   settings_int(after, 15) == 0 &&
                   settings_string(after, 128, 4) == "00000000" && settings_string(after, 128, 1) == "B2_",
               "vocar: OK stores eight zeros, the radio, the box and the greyed second string");

  dialog = open_options(app, kTools[0]);
  if (!dialog) return;
  press(dialog, IDC_DEFAULTS);
  Sleep(200);
  report.check(checked(dialog, IDC_V_SECOND_FIXED) && text_of(GetDlgItem(dialog, IDC_V_START_NUMBER)) == L"0001" &&
                   IsWindowEnabled(GetDlgItem(dialog, IDC_V_SECOND_STRING)) && checked(dialog, IDC_V_SCRIPT_SPREADSHEETS),
               "vocar: the defaults button resets the controls and the enable rule");
  press(dialog, IDCANCEL);
  app.gone(dialog);
  check_defaults_buttons(app, kTools[0], "vocar", after, defaults);
}


// Pruna: check boxes and the two radio groups against the settings file.
void check_pruna_options(App& app, const std::string& defaults) {
  HWND dialog = open_options(app, kTools[1]);
  if (!dialog) return;
  report.check(checked(dialog, IDC_P_LINE_COMMENTS) && checked(dialog, IDC_P_BLOCK_COMMENTS) && !checked(dialog, IDC_P_COMMANDS) &&
                   checked(dialog, IDC_P_STRIP_TARGETS) && checked(dialog, IDC_P_BLANK_EMPTIED) && !checked(dialog, IDC_P_SINGLE_OUTPUT),
               "pruna: the controls show the default settings");
  click(dialog, IDC_P_LINE_COMMENTS);
  click(dialog, IDC_P_COMMANDS);
  click(dialog, IDC_P_KEEP_TARGETS);
  click(dialog, IDC_P_BLANK_ALL);
  click(dialog, IDC_P_SINGLE_OUTPUT);
  press(dialog, IDOK);
  const bool closed = app.gone(dialog);
  std::string after = app.settings();
  report.check(closed && settings_int(after, 1) == 0 && settings_int(after, 2) == 1 && settings_int(after, 3) == 1 &&
                   settings_int(after, 4) == 2 && settings_int(after, 5) == 1 && settings_int(after, 6) == 1,
               "pruna: OK stores the boxes and the radio groups");
  dialog = open_options(app, kTools[1]);
  if (!dialog) return;
  report.check(!checked(dialog, IDC_P_LINE_COMMENTS) && checked(dialog, IDC_P_KEEP_TARGETS) && checked(dialog, IDC_P_BLANK_ALL) &&
                   checked(dialog, IDC_P_SINGLE_OUTPUT),
               "pruna: the dialog shows the stored settings");
  press(dialog, IDCANCEL);
  app.gone(dialog);
  check_defaults_buttons(app, kTools[1], "pruna", after, defaults);
}

// Namex: the empty dialogue marks refused, the slider and its texts, the
// order radios and the reverse box.
void check_namex_options(App& app, const std::string& defaults) {
  HWND dialog = open_options(app, kTools[2]);
  if (!dialog) return;
  report.equal(text_of(GetDlgItem(dialog, IDC_N_LENGTH_TEXT)) + L" " + text_of(GetDlgItem(dialog, IDC_N_BYTES_TEXT)), L"最大 16 文字 (32 Byte)",
               "namex: the slider's texts");
  const std::string before = app.settings();
  set_edit(dialog, IDC_N_DIALOGUE_MARKS, L"");
  press(dialog, IDOK);
  report.check(answer_box_with_text(app, L"セリフ認識記号の指定がありません。") && IsWindowVisible(dialog) && app.settings() == before,
               "namex: empty dialogue marks are refused");
  set_edit(dialog, IDC_N_DIALOGUE_MARKS, L"「");
  set_edit(dialog, IDC_N_NAME_START, L"＠");
  HWND slider = GetDlgItem(dialog, IDC_N_LENGTH_SLIDER);
  SendMessageW(slider, TBM_SETPOS, TRUE, 24);
  SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
  report.equal(text_of(GetDlgItem(dialog, IDC_N_LENGTH_TEXT)) + L" " + text_of(GetDlgItem(dialog, IDC_N_BYTES_TEXT)), L"最大 24 文字 (48 Byte)",
               "namex: the texts follow the slider");
  click(dialog, IDC_N_BY_COUNT);
  click(dialog, IDC_N_REVERSE);
  press(dialog, IDOK);
  const bool closed = app.gone(dialog);
  std::string after = app.settings();
  report.check(closed && settings_int(after, 1) == 24 && settings_int(after, 2) == 1 && settings_int(after, 3) == 1 &&
                   settings_string(after, 16, 0) == "「" && settings_string(after, 16, 1) == "＠",
               "namex: OK stores the fields, the slider, the order and the reverse box");
  dialog = open_options(app, kTools[2]);
  if (!dialog) return;
  report.check(checked(dialog, IDC_N_BY_COUNT) && checked(dialog, IDC_N_REVERSE) &&
                   SendMessageW(GetDlgItem(dialog, IDC_N_LENGTH_SLIDER), TBM_GETPOS, 0, 0) == 24 &&
                   text_of(GetDlgItem(dialog, IDC_N_NAME_START)) == L"＠",
               "namex: the dialog shows the stored settings");
  press(dialog, IDCANCEL);
  app.gone(dialog);
  check_defaults_buttons(app, kTools[2], "namex", after, defaults);
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
  check_menu_states(app, name, false, false, "with an empty list");
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

  // A copy of the program in another folder is another program file.
  const std::wstring other_home = work + L"\\other-home";
  make_folder(other_home);
  CopyFileW(app.exe().c_str(), (other_home + L"\\" + tool.program).c_str(), FALSE);
  App other(tool, other_home);
  report.check(other.start({}, work) && app.process().running() && other.close(), name + ": the same program in another folder runs beside it");
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

// Answers convert-all's question with OK, for the tools that ask.
void confirm_start(const App& app, const Tool& tool) {
  if (!tool.asks_first) return;
  std::wstring text;
  if (HWND box = app.box(L"確認", text)) press(box, IDOK);
}

// Runs convert-all (or convert-selected) to its completion message and
// closes it; the message text.
std::wstring convert_all(App& app, const Tool& tool, int command = kConvertAll) {
  app.command(command);
  confirm_start(app, tool);
  std::wstring text;
  HWND box = app.box(tool.caption, text, 120000);
  if (box) press(box, IDOK);
  HWND progress = app.dialog(L"変換中...", 1000);
  if (progress) app.gone(progress);
  return text;
}

// The completion message: the completion text alone, or "N <text>\n\n
// 処理時間  ... 秒." (any N when `count` < 0).
bool is_completion(const std::wstring& text, int count, const Tool& tool) {
  if (!tool.shows_count) return text == tool.completion;
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

// The files of a long run: f10000.txt, f10001.txt, ... (their run order).
constexpr int kLongRunFiles = 4000;

std::wstring numbered_name(int index) { return L"f" + std::to_wstring(10000 + index) + L".txt"; }

void write_numbered_files(const std::wstring& folder, int count, std::string_view body) {
  make_folder(folder);
  for (int i = 0; i < count; ++i) write_file(folder + L"\\" + numbered_name(i), body);
}

std::size_t occurrences(std::string_view text, std::string_view part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// What the cancel check knows of a long run: when its conversion is under
// way (the moment to cancel), whether every file's result is there, and
// the count the completion message gives (-1: not checked).
struct LongRun {
  std::function<bool(HWND progress)> under_way;
  std::function<bool()> finished;
  int count = -1;
};

// Cancel during a long run: the first press greys the button and retitles
// the dialog; the run stops short of its last file and ends with the abort
// message and no completion; the next run starts with the flag clear and
// converts everything. The progress dialog is photographed.
void check_cancel(App& app, const Tool& tool, const std::wstring& shots, bool by_escape, const LongRun& run) {
  const std::string name = narrow_name(tool);
  app.command(kConvertAll);
  confirm_start(app, tool);
  HWND progress = app.dialog(L"変換中...", 20000);
  if (!report.check(progress != nullptr, name + ": the progress dialog opens")) return;
  report.check(wait_until([&] { return run.under_way(progress); }, 30000), name + ": the long run is converting");
  report.check(screenshot({app.main(), progress}, shots + L"\\" + tool.program + L"-progress.bmp"), name + ": screenshot of the progress dialog");
  report.equal(text_of(GetDlgItem(progress, IDCANCEL)), L"キャンセル", name + ": the Cancel button");
  report.check(IsWindowEnabled(GetDlgItem(progress, IDCANCEL)) != FALSE, name + ": Cancel is enabled during the run");
  // Pressed twice: the second press finds the button greyed and does nothing more.
  for (int press_count = 0; press_count < 2; ++press_count) {
    if (by_escape) {
      HWND focus = GetDlgItem(progress, IDCANCEL);
      PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      PostMessageW(focus, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001u));
    } else {
      PostMessageW(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(progress, IDCANCEL)));
    }
  }
  std::wstring text;
  HWND box = app.box(tool.caption, text, 120000);
  report.check(text_of(progress) == L"変換中...[キャンセル中、しばらくお待ちください]" && !IsWindowEnabled(GetDlgItem(progress, IDCANCEL)),
               name + (by_escape ? ": Escape" : ": Cancel") + " greys the button and retitles the dialog", text_of(progress));
  report.equal(text, L"処理を中断しました。", name + ": a cancelled run ends with the abort message");
  if (box) {
    report.check(GetWindow(box, GW_OWNER) == progress, name + ": the abort message is owned by the progress dialog");
    press(box, IDOK);
  }
  report.check(app.gone(progress), name + ": the dialog closes after the run");
  report.check(!run.finished(), name + ": the cancelled run stopped before its last file");
  const ULONGLONG begun = GetTickCount64();
  const std::wstring again = convert_all(app, tool);
  std::printf("       (%s: the next run took %llu ms)\n", name.c_str(), static_cast<unsigned long long>(GetTickCount64() - begun));
  report.check(is_completion(again, run.count, tool), name + ": the next run completes (the flag was cleared)", again);
  report.check(run.finished(), name + ": the next run converts every file");
}

// The progress dialog's upper line is set.
bool count_shown(const Tool& tool, HWND progress) { return !text_of(GetDlgItem(progress, tool.progress_count)).empty(); }

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

  // A long run to cancel: many files in one folder. Across the cancelled
  // run and the next one every file is packed exactly once.
  const std::wstring many = work + L"\\many";
  write_numbered_files(many, kLongRunFiles, std::string(4000, 'a'));
  App long_run(tool, home);
  if (!report.check(long_run.start({L"many"}, work), "bindo: starts with a large folder")) return;
  check_cancel(long_run, tool, shots, true,
               {[&](HWND progress) { return count_shown(tool, progress); },
                [&] {
                  return !exists(many + L"\\" + numbered_name(kLongRunFiles - 1)) &&
                         occurrences(read_file(many + L"\\many.txt").value_or(""), kMarker) == kLongRunFiles;
                }});
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
  constexpr int kPacks = 3000;
  write_numbered_files(many, kPacks, m + "a.txt\r\n" + std::string(2000, 'a') + "\r\n");
  const std::wstring last = many + L"\\" + numbered_name(kPacks - 1);
  App long_run(tool, home);
  if (!report.check(long_run.start({L"many"}, work), "splix: starts with a large folder")) return;
  check_cancel(long_run, tool, shots, false,
               {[&](HWND progress) { return count_shown(tool, progress); },
                [&] { return !exists(last) && exists(last.substr(0, last.size() - 4) + L"\\a.txt"); }});
  long_run.close();
}

// Vocar: the confirmation (Cancel starts nothing, OK runs), the completion
// text, the voice-embedded copy written into the home folder, and a long
// run cancelled.
void check_vocar_runs(const Tool& tool, const std::wstring& work, const std::wstring& home, const std::wstring& shots) {
  write_file(home + L"\\キャラ定義.txt", "// prefix,name\r\nERI,エリ\r\n");
  make_folder(work + L"\\台本");
  write_file(work + L"\\台本\\01.txt", "エリ「おはよう」\r\n地の文\r\n");
  App app(tool, home);
  if (!report.check(app.start({L"台本"}, work), "vocar: starts with a scenario folder")) return;
  app.command(kConvertAll);
  std::wstring text;
  HWND box = app.box(L"確認", text);
  report.check(text.rfind(L"変換開始してよろしいですか？", 0) == 0, "vocar: convert-all asks first", text);
  if (box) press(box, IDCANCEL);
  Sleep(500);
  report.check(no_dialog_titled(app, L"変換中..."), "vocar: Cancel starts no run");
  app.command(kConvertAll);
  box = app.box(L"確認", text);
  if (box) press(box, IDOK);
  HWND done = app.box(tool.caption, text, 60000);
  report.equal(text, L"台本化処理が完了しました。", "vocar: OK runs to the completion message");
  if (done) press(done, IDOK);
  file_is(home + L"\\ボイス命令埋込済テキスト\\台本\\01.txt", "\\VO(ERI_A1_0001)\r\nエリ「おはよう」\r\n地の文\r\n",
          "vocar: the voice-embedded copy beside the program numbers the dialogue");
  // The scripts' workbooks, kept for desktop.sh to compare with the ones
  // the Linux program writes from the same scenario.
  const std::wstring scripts = home + L"\\声優用台本\\";
  const std::wstring kept = work + L"\\workbooks";
  make_folder(kept);
  for (const wchar_t* book : {L"[ERI]エリ.xlsx", L"[全キャラ一括台本].xlsx"}) {
    const std::optional<std::string> bytes = read_file(scripts + book);
    report.check(bytes && bytes->rfind("PK\x03\x04", 0) == 0 && bytes->find("PK\x05\x06") != std::string::npos,
                 "vocar: the run writes the workbook " + utf8(book));
    CopyFileW((scripts + book).c_str(), (kept + L"\\" + book).c_str(), FALSE);
  }
  report.check(app.close(), "vocar: closes after the run");

  // Every file holds one line of エリ: the last file's line is voice 4000
  // only when the run after the cancelled one numbered from the start.
  write_numbered_files(work + L"\\長編", kLongRunFiles, "エリ「あ」\r\n");
  const std::wstring last = home + L"\\ボイス命令埋込済テキスト\\長編\\" + numbered_name(kLongRunFiles - 1);
  App long_run(tool, home);
  if (!report.check(long_run.start({L"長編"}, work), "vocar: starts with a large folder")) return;
  check_cancel(long_run, tool, shots, false,
               {[&](HWND progress) { return !text_of(GetDlgItem(progress, tool.progress_file)).empty(); },
                [&] { return read_file(last) == std::optional<std::string>("\\VO(ERI_A1_4000)\r\nエリ「あ」\r\n"); }});
  long_run.close();
}

// Vocar with the voice ledger: the check box ticked and stored, a first run
// that writes the ledger, and a line inserted before the others that leaves
// their voice names as they were.
void check_vocar_ledger(const Tool& tool, const std::wstring& work, const std::wstring& home, const std::wstring& shots) {
  write_file(home + L"\\キャラ定義.txt", "ERI,エリ\r\n");
  make_folder(work + L"\\台帳");
  write_file(work + L"\\台帳\\01.txt", "エリ「おはよう」\r\nエリ「またね」\r\n");
  App app(tool, home);
  if (!report.check(app.start({L"台帳"}, work), "vocar: starts for the ledger")) return;
  HWND dialog = open_options(app, tool);
  if (!dialog) return;
  report.check(IsWindowVisible(GetDlgItem(dialog, IDC_V_KEEP_VOICE_NUMBERS)) && !checked(dialog, IDC_V_KEEP_VOICE_NUMBERS),
               "vocar: the ledger's check box is shown, not ticked");
  report.equal(text_of(GetDlgItem(dialog, IDC_V_KEEP_VOICE_NUMBERS)), L"ボイス番号を台帳で固定する", "vocar: the ledger's check box label");
  click(dialog, IDC_V_KEEP_VOICE_NUMBERS);
  report.check(screenshot({app.main(), dialog}, shots + L"\\" + tool.program + L"-options-ledger.bmp"),
               "vocar: screenshot of the options with the ledger ticked");
  press(dialog, IDOK);
  report.check(app.gone(dialog) && settings_int(app.settings(), 16) == 1, "vocar: OK stores keep_voice_numbers 1 in slot 16");

  std::wstring text = convert_all(app, tool);
  report.equal(text, L"台本化処理が完了しました。\nボイス番号台帳: 新規 2 / 変更 0 / 移動 0 / 欠番 0", "vocar: the completion counts the new voices");
  file_is(home + L"\\ボイス番号台帳.txt",
          "ボイス名\tボイス接頭辞\t状態\tファイル\t行\t本文\r\n"
          "ERI_A1_0001\tERI\t使用中\t台帳\\01.txt\t1\tエリ「おはよう」\r\n"
          "ERI_A1_0002\tERI\t使用中\t台帳\\01.txt\t2\tエリ「またね」\r\n",
          "vocar: the ledger beside the program");

  write_file(work + L"\\台帳\\01.txt", "エリ「ねえ」\r\nエリ「おはよう」\r\nエリ「またね」\r\n");
  text = convert_all(app, tool);
  report.equal(text, L"台本化処理が完了しました。\nボイス番号台帳: 新規 1 / 変更 0 / 移動 0 / 欠番 0", "vocar: the second run counts one new voice");
  file_is(home + L"\\ボイス命令埋込済テキスト\\台帳\\01.txt",
          "\\VO(ERI_A1_0003)\r\nエリ「ねえ」\r\n\\VO(ERI_A1_0001)\r\nエリ「おはよう」\r\n\\VO(ERI_A1_0002)\r\nエリ「またね」\r\n",
          "vocar: the inserted line takes a new number, the others keep theirs");
  const auto change_list = read_file(home + L"\\スタッフ用リスト\\ボイス番号変更リスト.txt");
  report.check(change_list && change_list->find("新規\tERI_A1_0003\t台帳\\01.txt(1)\tエリ「ねえ」\r\n") != std::string::npos,
               "vocar: the change list names the new voice");
  report.check(app.close(), "vocar: closes after the ledger runs");
  DeleteFileW((home + L"\\" + tool.settings_file).c_str());
}

// A message box of the process, whatever its caption, whose text holds
// `part`: the box, with its whole text; null when none came within a minute.
HWND message_box_saying(DWORD pid, const std::wstring& part, std::wstring& text) {
  HWND box = nullptr;
  wait_until(
      [&] {
        for (const TopWindow& w : top_windows(pid)) {
          if (w.class_name == L"#32770" && box_text(w.window).find(part) != std::wstring::npos) {
            box = w.window;
            text = box_text(w.window);
            return true;
          }
        }
        return false;
      },
      60000);
  return box;
}

// Vocar with the take book: its check box ticks the ledger's and greys it
// (the ledger's own state comes back when it is unticked, and is what OK
// stores), a run writes the book beside the program and counts the voices
// in the completion message, and the next run keeps the earlier book as the
// backup.
void check_vocar_take_book(const Tool& tool, const std::wstring& work, const std::wstring& home, const std::wstring& shots) {
  write_file(home + L"\\キャラ定義.txt", "ERI,エリ\r\n");
  make_folder(work + L"\\収録");
  write_file(work + L"\\収録\\01.txt", "エリ「おはよう」\r\nエリ「長い話だけど\r\n聞いて」\r\n");
  App app(tool, home);
  if (!report.check(app.start({L"収録"}, work), "vocar: starts for the take book")) return;
  HWND dialog = open_options(app, tool);
  if (!dialog) return;
  report.equal(text_of(GetDlgItem(dialog, IDC_V_TRACK_TAKES)), L"収録台帳（収録台帳.xlsx）で収録状況を管理する",
               "vocar: the take book's check box label");
  HWND ledger = GetDlgItem(dialog, IDC_V_KEEP_VOICE_NUMBERS);
  report.check(!checked(dialog, IDC_V_TRACK_TAKES) && IsWindowEnabled(ledger), "vocar: the take book is off, the ledger's box free");
  click(dialog, IDC_V_TRACK_TAKES);
  report.check(checked(dialog, IDC_V_KEEP_VOICE_NUMBERS) && !IsWindowEnabled(ledger),
               "vocar: with the take book the ledger's box is ticked and greyed");
  click(dialog, IDC_V_TRACK_TAKES);
  report.check(!checked(dialog, IDC_V_KEEP_VOICE_NUMBERS) && IsWindowEnabled(ledger),
               "vocar: without it the ledger's box is as it was");
  click(dialog, IDC_V_TRACK_TAKES);
  report.check(screenshot({app.main(), dialog}, shots + L"\\" + tool.program + L"-options-take-book.bmp"),
               "vocar: screenshot of the options with the take book ticked");
  press(dialog, IDOK);
  report.check(app.gone(dialog) && settings_int(app.settings(), 17) == 1 && settings_int(app.settings(), 16) == 0,
               "vocar: OK stores track_takes 1 in slot 17 and the ledger's own 0 in slot 16");

  std::wstring text = convert_all(app, tool);
  report.equal(text,
               L"台本化処理が完了しました。\nボイス番号台帳: 新規 2 / 変更 0 / 移動 0 / 欠番 0\n収録済 0 / 2（0.0%）　要再収録 0　未収録 2",
               "vocar: the completion counts the voices of the take book");
  const auto book = read_file(home + L"\\収録台帳.xlsx");
  report.check(book && book->rfind("PK\x03\x04", 0) == 0, "vocar: the take book beside the program");
  // Nothing is recorded yet: both voices are owed, in エリ's pick-up script
  // (their numbers follow those the ledger of an earlier case gave).
  const auto pickup = read_file(home + L"\\声優用台本\\[追加収録]\\[ERI]エリ.zd");
  report.check(pickup && pickup->find("\tエリ\t「おはよう」") != std::string::npos &&
                   pickup->find("\tエリ\t「長い話だけど") != std::string::npos &&
                   pickup->find("\t \t聞いて」") != std::string::npos,
               "vocar: the pick-up script holds the voices not yet recorded, the speech whole");
  report.check(read_file(home + L"\\声優用台本\\[追加収録]\\[全キャラ].xlsx").has_value(),
               "vocar: the pick-up workbook of all characters");
  text = convert_all(app, tool);
  report.check(read_file(home + L"\\収録台帳.bak.xlsx") == book, "vocar: the next run keeps the earlier book as the backup");

  // The book held open as a spreadsheet program holds it: the run stops
  // before anything is deleted, and says so.
  const std::wstring book_path = home + L"\\収録台帳.xlsx";
  const auto before = read_file(book_path);
  HANDLE held = CreateFileW(book_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  report.check(held != INVALID_HANDLE_VALUE, "vocar: the book is held open");
  app.command(kConvertAll);
  confirm_start(app, tool);
  HWND box = message_box_saying(app.pid(), L"収録台帳.xlsx が開かれています", text);
  report.equal(text, L"収録台帳.xlsx が開かれています。閉じてからやり直してください。", "vocar: a book open elsewhere stops the run");
  if (box) {
    report.check(screenshot({app.main(), box}, shots + L"\\" + tool.program + L"-take-book-open.bmp"),
                 "vocar: screenshot of the message");
    press(box, IDOK);
  }
  if (HWND abort = app.box(tool.caption, text, 5000)) press(abort, IDOK);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  report.check(read_file(book_path) == before && exists(home + L"\\声優用台本\\[追加収録]\\[ERI]エリ.zd"),
               "vocar: the book and the scripts stay as they were");
  report.check(app.close(), "vocar: closes after the take book runs");
  DeleteFileW((home + L"\\" + tool.settings_file).c_str());
}

// The whole text of another process's control, however long.
std::wstring long_text_of(HWND window) {
  const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  return text;
}

std::wstring clipboard_text() {
  std::wstring text;
  // Another program (Wine's own clipboard keeper among them) may hold the
  // clipboard for a moment.
  bool open = false;
  for (int tries = 0; tries < 50 && !(open = OpenClipboard(nullptr) != 0); ++tries) Sleep(20);
  if (!open) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = p;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

// A window below `parent` (at any depth) of the class.
HWND find_descendant(HWND parent, const wchar_t* class_name) {
  struct Search {
    const wchar_t* name;
    HWND found;
  } search{class_name, nullptr};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        if (class_of(child) != s.name) return TRUE;
        s.found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The names of the files and folders below a folder, for "nothing was written".
std::vector<std::wstring> names_below(const std::wstring& folder) {
  std::vector<std::wstring> names;
  std::vector<std::wstring> pending = {folder};
  while (!pending.empty()) {
    const std::wstring at = pending.back();
    pending.pop_back();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((at + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      names.push_back(at.substr(folder.size()) + L"\\" + name);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) pending.push_back(at + L"\\" + name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  std::sort(names.begin(), names.end());
  return names;
}

constexpr int kToolCommandFirst = 20000;  // the tool's own commands of ツール: audit, then check

// Vocar's checks from the ツール menu: the scenario check and the audit
// (its folder chosen in the picker) run over the list and show their report
// in a dialog whose text goes to the clipboard; nothing is written.
void check_vocar_checks(const Tool& tool, const std::wstring& work, const std::wstring& home, const std::wstring& shots) {
  write_file(home + L"\\キャラ定義.txt", "ERI,エリ\r\nYUU,ユウ\r\n");
  make_folder(work + L"\\点検");
  write_file(work + L"\\点検\\01.txt", "エリ「おはよう」\r\nミキ「だれ？」\r\nエリ「閉じない\r\n");
  make_folder(work + L"\\録音\\ERI");
  write_file(work + L"\\録音\\ERI\\ERI_A1_0001.OGG", "");
  write_file(work + L"\\録音\\ERI\\ERI_A1_0009.wav", "");
  App app(tool, home);
  if (!report.check(app.start({L"点検"}, work), "vocar: starts for the checks")) return;
  const std::vector<std::wstring> before = names_below(home);
  report.check(app.enabled(kToolCommandFirst) && app.enabled(kToolCommandFirst + 1), "vocar: the checks are in the tools menu, enabled");

  app.command(kToolCommandFirst + 1);
  HWND dialog = app.dialog(L"シナリオチェック", 30000);
  if (report.check(dialog != nullptr, "vocar: the scenario check shows its report")) {
    const std::wstring want =
        L"■シナリオ (2)\r\n点検\\01.txt(2): 定義にない話者: ミキ\r\n点検\\01.txt(3): 閉じていない括弧: 「\r\n"
        L"■定義にない話者 (1)\r\nミキ: 1 行\r\n■キャラ定義 (1)\r\nキャラ定義.txt(2): セリフのないキャラ: ユウ\r\n"
        L"ファイル 1 / 定義にない話者 1 行 / 括弧 1 行 / キャラ定義 1 件\r\n";
    report.equal(long_text_of(GetDlgItem(dialog, IDC_REPORT_TEXT)), want, "vocar: the check's report");
    report.equal(text_of(GetDlgItem(dialog, IDC_REPORT_COPY)), L"クリップボードにコピー", "vocar: the copy button");
    press(dialog, IDC_REPORT_COPY);
    report.check(wait_until([&] { return text_of(GetDlgItem(dialog, IDC_REPORT_COPY)) == L"コピーしました" && clipboard_text() == want; },
                            5000),
                 "vocar: the copy button puts the whole report on the clipboard", clipboard_text());
    report.check(screenshot({app.main(), dialog}, shots + L"\\" + tool.program + L"-check-report.bmp"), "vocar: screenshot of the check's report");
    press(dialog, IDOK);
    report.check(app.gone(dialog), "vocar: the report closes");
  }

  app.command(kToolCommandFirst);
  HWND picker = app.dialog(L"ボイスの録音があるフォルダを選んでください。", 20000);
  if (report.check(picker != nullptr, "vocar: the audit asks for the recordings' folder")) {
    // The folder's path typed into the picker's name box, then its OK.
    const std::wstring folder = work + L"\\録音";
    HWND edit = find_descendant(picker, L"Edit");
    report.check(edit != nullptr, "vocar: the folder picker has a box for the folder's name");
    if (edit) SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    report.check(screenshot({app.main(), picker}, shots + L"\\" + tool.program + L"-audit-folder.bmp"), "vocar: screenshot of the folder picker");
    press(picker, IDOK);
    dialog = app.dialog(L"録音と照合", 30000);
    if (report.check(dialog != nullptr, "vocar: the audit shows its report")) {
      report.equal(long_text_of(GetDlgItem(dialog, IDC_REPORT_TEXT)),
                   L"■録音のないボイス (1)\r\n点検\\01.txt(3): ERI_A1_0002 エリ「閉じない\r\n■どのボイスにもない録音 (1)\r\n"
                   L"ERI\\ERI_A1_0009.wav\r\nボイス 2 件 / 録音あり 1 / 録音なし 1 / 余分な録音 1 / 重複 0\r\n",
                   "vocar: the audit's report");
      report.check(screenshot({app.main(), dialog}, shots + L"\\" + tool.program + L"-audit-report.bmp"), "vocar: screenshot of the audit's report");
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      report.check(app.gone(dialog), "vocar: Escape closes the report");
    }
  }
  report.check(names_below(home) == before, "vocar: the checks write nothing in the tool folder");
  report.check(app.close(), "vocar: closes after the checks");
}

// A zip archive of `parts` (name, bytes), each stored as it is.
std::string stored_zip(const std::vector<std::pair<std::string, std::string>>& parts) {
  auto crc32 = [](std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
      crc ^= static_cast<unsigned char>(c);
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
  };
  auto put = [](std::string& out, std::uint32_t value, int size) {
    for (int k = 0; k < size; ++k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
  };
  std::string out, directory;
  for (const auto& [name, bytes] : parts) {
    const std::uint32_t crc = crc32(bytes);
    const auto size = static_cast<std::uint32_t>(bytes.size());
    const auto offset = static_cast<std::uint32_t>(out.size());
    // The local header: version 2.0, no flags, stored, 1980-01-01 00:00.
    put(out, 0x04034B50u, 4);
    for (const std::uint32_t field : {20u, 0u, 0u, 0u, 0x21u}) put(out, field, 2);
    put(out, crc, 4);
    put(out, size, 4);
    put(out, size, 4);
    put(out, static_cast<std::uint32_t>(name.size()), 2);
    put(out, 0, 2);
    out += name;
    out += bytes;
    put(directory, 0x02014B50u, 4);
    for (const std::uint32_t field : {20u, 20u, 0u, 0u, 0u, 0x21u}) put(directory, field, 2);
    put(directory, crc, 4);
    put(directory, size, 4);
    put(directory, size, 4);
    put(directory, static_cast<std::uint32_t>(name.size()), 2);
    for (int k = 0; k < 4; ++k) put(directory, 0, 2);  // extra, comment, disk, internal attributes
    put(directory, 0, 4);
    put(directory, offset, 4);
    directory += name;
  }
  const auto directory_at = static_cast<std::uint32_t>(out.size());
  out += directory;
  put(out, 0x06054B50u, 4);
  put(out, 0, 2);
  put(out, 0, 2);
  put(out, static_cast<std::uint32_t>(parts.size()), 2);
  put(out, static_cast<std::uint32_t>(parts.size()), 2);
  put(out, static_cast<std::uint32_t>(directory.size()), 4);
  put(out, directory_at, 4);
  put(out, 0, 2);
  return out;
}

// A take book as a small program writes one: a sheet of texts in inline
// strings, a row a line of `rows` (the header first), nothing else.
std::string small_take_book(const std::wstring& sheet, const std::vector<std::vector<std::wstring>>& rows) {
  const std::string main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  const std::string relations_ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  std::string cells;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    cells += "<row r=\"" + std::to_string(r + 1) + "\">";
    for (const std::wstring& text : rows[r]) cells += "<c t=\"inlineStr\"><is><t>" + utf8(text) + "</t></is></c>";
    cells += "</row>";
  }
  return stored_zip({
      {"[Content_Types].xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
       "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
       "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
       "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
       "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
       "</Types>"},
      {"_rels/.rels",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
       "<Relationship Id=\"rId1\" Type=\"" + relations_ns + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"" + main_ns + "\" xmlns:r=\"" + relations_ns +
                              "\"><sheets><sheet name=\"" + utf8(sheet) + "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
       "<Relationship Id=\"rId1\" Type=\"" + relations_ns + "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
      {"xl/worksheets/sheet1.xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"" + main_ns + "\"><sheetData>" + cells + "</sheetData></worksheet>"},
  });
}

// The audit from the ツール menu with the take book: the book as the
// director marked it, merged with the scenario as it now reads, against
// the recordings; the report dialog shows the book's sections, and nothing
// is written, the book included.
void check_vocar_take_audit(const Tool& tool, const std::wstring& work, const std::wstring& home, const std::wstring& shots) {
  // A character of its own: the voice ledger of the earlier runs gives its
  // voices numbers from the first. The definitions go back as they were.
  const std::string definitions = read_file(home + L"\\キャラ定義.txt").value_or(std::string());
  write_file(home + L"\\キャラ定義.txt", "MIO,ミオ\r\n");
  make_folder(work + L"\\照合");
  write_file(work + L"\\照合\\01.txt", "ミオ「おはよう」\r\nミオ「ただいま！」\r\nミオ「またね」\r\nミオ「行こう」\r\nミオ「待って」\r\n");
  // OK and recorded; OK, recorded, then rewritten; OK without its file;
  // recorded, not in the book yet; NG and recorded.
  const std::string book = small_take_book(L"ミオ", {{L"ボイス名", L"本文", L"状態"},
                                                    {L"MIO_A1_0001", L"「おはよう」", L"OK"},
                                                    {L"MIO_A1_0002", L"「ただいま」", L"OK"},
                                                    {L"MIO_A1_0003", L"「またね」", L"OK"},
                                                    {L"MIO_A1_0005", L"「待って」", L"NG"}});
  write_file(home + L"\\収録台帳.xlsx", book);
  make_folder(work + L"\\録音済");
  for (const wchar_t* name : {L"MIO_A1_0001.ogg", L"MIO_A1_0002.ogg", L"MIO_A1_0004.wav", L"MIO_A1_0005.ogg"}) {
    write_file(work + L"\\録音済\\" + name, "");
  }
  App app(tool, home);
  if (!report.check(app.start({L"照合"}, work), "vocar: starts for the audit with the take book")) return;
  HWND options = open_options(app, tool);
  if (!options) return;
  if (!checked(options, IDC_V_TRACK_TAKES)) click(options, IDC_V_TRACK_TAKES);
  press(options, IDOK);
  report.check(app.gone(options) && settings_int(app.settings(), 17) == 1, "vocar: the take book is on for the audit");
  const std::vector<std::wstring> before = names_below(home);

  app.command(kToolCommandFirst);
  HWND picker = app.dialog(L"ボイスの録音があるフォルダを選んでください。", 20000);
  if (report.check(picker != nullptr, "vocar: the audit with the take book asks for the recordings' folder")) {
    const std::wstring folder = work + L"\\録音済";
    HWND edit = find_descendant(picker, L"Edit");
    if (edit) SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    press(picker, IDOK);
    HWND dialog = app.dialog(L"録音と照合", 30000);
    if (report.check(dialog != nullptr, "vocar: the audit with the take book shows its report")) {
      report.equal(long_text_of(GetDlgItem(dialog, IDC_REPORT_TEXT)),
                   L"■録音のないボイス (1)\r\n照合\\01.txt(3): MIO_A1_0003 ミオ「またね」\r\n"
                   L"■OK なのに録音がないボイス (1)\r\n照合\\01.txt(3): MIO_A1_0003 ミオ「またね」\r\n"
                   L"■録音後に本文が変わったボイス (1)\r\n照合\\01.txt(2): MIO_A1_0002\r\n"
                   L"    収録時: 「ただいま」\r\n    現在:   「ただいま！」\r\n"
                   L"■OK になっていない録音 (2)\r\n照合\\01.txt(4): MIO_A1_0004 ［空欄］ ミオ「行こう」\r\n"
                   L"照合\\01.txt(5): MIO_A1_0005 ［NG］ ミオ「待って」\r\n"
                   L"ボイス 5 件 / 録音あり 4 / 録音なし 1 / 余分な録音 0 / 重複 0 / OK で録音なし 1 / 録音後の本文変更 1 / OK でない録音 2\r\n",
                   "vocar: the audit's report holds the take book's sections");
      report.check(screenshot({app.main(), dialog}, shots + L"\\" + tool.program + L"-audit-take-book.bmp"),
                   "vocar: screenshot of the audit's report with the take book");
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      report.check(app.gone(dialog), "vocar: the report with the take book closes");
    }
  }
  report.check(names_below(home) == before && read_file(home + L"\\収録台帳.xlsx") == book,
               "vocar: the audit with the take book writes nothing, the book included");
  report.check(app.close(), "vocar: closes after the audit with the take book");
  DeleteFileW((home + L"\\" + tool.settings_file).c_str());
  write_file(home + L"\\キャラ定義.txt", definitions);
}

// Pruna: the completion text alone, the output tree and the log.
void check_pruna_runs(const Tool& tool, const std::wstring& work, const std::wstring& home, const std::wstring& shots) {
  make_folder(work + L"\\原稿");
  write_file(work + L"\\原稿\\a.txt", "abc//note\r\n");
  App app(tool, home);
  if (!report.check(app.start({L"原稿"}, work), "pruna: starts with a folder")) return;
  const std::wstring text = convert_all(app, tool);
  report.equal(text, L"処理が完了しました。", "pruna: convert-all shows the completion text alone");
  file_is(home + L"\\出力テキスト\\原稿\\a.txt", "abc\r\n", "pruna: the output tree holds the stripped file");
  file_is(home + L"\\log.txt",
          "■ファイル数\r\n  ファイル数 =     1\r\n\r\n■削除対象\r\n　／／\r\n　／＊～＊／\r\n\r\n■削除数\r\n"
          "  ／／       =     1\r\n  ／＊～＊／ =     0\r\n\r\n",
          "pruna: the log counts the file and the comment");
  report.check(app.close(), "pruna: closes after the run");

  // The log is written after the last file only.
  const std::wstring log = home + L"\\log.txt";
  DeleteFileW(log.c_str());
  write_numbered_files(work + L"\\長文", kLongRunFiles, "a//b\r\n");
  const std::wstring out = home + L"\\出力テキスト\\長文\\";
  App long_run(tool, home);
  if (!report.check(long_run.start({L"長文"}, work), "pruna: starts with a large folder")) return;
  check_cancel(long_run, tool, shots, true,
               {[&](HWND) { return exists(out + numbered_name(0)); },
                [&] {
                  return exists(out + numbered_name(kLongRunFiles - 1)) &&
                         read_file(log).value_or("").find("  ファイル数 =  4000\r\n") != std::string::npos;
                }});
  long_run.close();
}

// Namex: the completion message and the report beside the program.
void check_namex_runs(const Tool& tool, const std::wstring& work, const std::wstring& home, const std::wstring& shots) {
  make_folder(work + L"\\会話");
  write_file(work + L"\\会話\\a.txt", "太郎「あ」\r\n花子「い」\r\n太郎「う」\r\n");
  make_folder(work + L"\\雑談");
  write_file(work + L"\\雑談\\b.txt", "次郎「え」\r\n");
  App app(tool, home);
  if (!report.check(app.start({L"会話", L"雑談"}, work), "namex: starts with two folders")) return;
  const std::wstring report_path = home + L"\\output.txt";
  // The list shows 雑談 on top; only the selected 会話 takes part.
  app.rows().select(1, true);
  app.status_becomes(L"1 個のオブジェクトを選択");
  std::wstring text = convert_all(app, tool, kConvertSelected);
  std::string output = read_file(report_path).value_or(std::string());
  report.check(is_completion(text, 1, tool) && output.rfind("[    1個] ,花子\r\n[    2個] ,太郎\r\n", 0) == 0 && output.find("次郎") == std::string::npos,
               "namex: convert-selected reads the selected folder only", text + L" / " + shown(output));
  text = convert_all(app, tool);
  report.check(is_completion(text, 2, tool), "namex: convert-all ends with the completion message", text);
  output = read_file(report_path).value_or(std::string());
  report.check(output.rfind("[    1個] ,花子\r\n[    1個] ,次郎\r\n[    2個] ,太郎\r\n", 0) == 0,
               "namex: the report lists the names in byte order",
               shown(output));
  report.check(app.close(), "namex: closes after the run");

  // The report is written after the last file only.
  DeleteFileW(report_path.c_str());
  write_numbered_files(work + L"\\会話集", kLongRunFiles, "太郎「あ」\r\n");
  App long_run(tool, home);
  if (!report.check(long_run.start({L"会話集"}, work), "namex: starts with a large folder")) return;
  check_cancel(long_run, tool, shots, false,
               {[&](HWND progress) { return count_shown(tool, progress); },
                [&] { return read_file(report_path).value_or("").rfind("[ 4000個] ,太郎\r\n", 0) == 0; }, kLongRunFiles});
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

// Line `slot` of a language file's text, with "%d" filled with `n`.
std::wstring language_line(std::string_view file, int slot, int n) {
  std::size_t at = 0;
  for (int i = 0; i < slot && at != std::string_view::npos; ++i) {
    at = file.find("\r\n", at);
    if (at != std::string_view::npos) at += 2;
  }
  if (at == std::string_view::npos) return {};
  std::string line(file.substr(at, file.find("\r\n", at) - at));
  if (const std::size_t d = line.find("%d"); d != std::string::npos) line.replace(d, 2, std::to_string(n));
  return shown(line);
}

// `english`: the program's English language file.
int run(const Tool& tool, const std::wstring& program, const std::wstring& work, const std::wstring& shots, const std::string& english) {
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
    const std::string defaults = app.settings();
    check_selection(app, tool, shots);
    check_layout(app, tool);
    check_version_box(app, tool);
    check_always_on_top(app, tool);
    check_options_frame(app, tool, shots);
    const std::wstring key = tool.key;
    if (key == L"bindo" || key == L"splix") check_delete_source_option(app, tool, defaults);
    if (key == L"vocar") check_vocar_options(app, defaults);
    if (key == L"pruna") check_pruna_options(app, defaults);
    if (key == L"namex") check_namex_options(app, defaults);
    check_removals(app, tool);
    check_second_start(app, tool, work);
    check_close(app, tool);
  }
  {
    // Languages: the submenu lists "languages\*.lng".
    make_folder(home + L"\\languages");
    write_file(home + L"\\languages\\English.lng", english);
    App app(tool, home);
    if (report.check(app.start({L"one.txt"}, work), name + ": starts with a language file present")) {
      check_language_switch(app, tool);
      app.command(kAlwaysOnTop);
      wait_until([&] { return settings_int(app.settings(), 0) == 1; }, 5000);
      app.close();
    }
    App again(tool, home);
    if (report.check(again.start({L"one.txt"}, work), name + ": restarts")) {
      report.equal(again.rows().heading(0), L"Name", name + ": the stored language is loaded at start-up");
      again.rows().select(0, true);
      report.check(again.status_becomes(language_line(english, 40, 1)), name + ": the status text is the language file's", again.status());
      report.check(screenshot({again.main()}, shots + L"\\" + tool.program + L"-english.bmp"), name + ": screenshot in English");
      report.check(wait_until([&] { return (GetWindowLongPtrW(again.main(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 5000) &&
                       (again.menu_state(kAlwaysOnTop) & MF_CHECKED),
                   name + ": always on top is applied at start-up");
      again.close();
    }
    DeleteFileW((home + L"\\languages\\English.lng").c_str());
    RemoveDirectoryW((home + L"\\languages").c_str());
    DeleteFileW((home + L"\\" + tool.settings_file).c_str());
  }

  if (std::wstring(tool.key) == L"bindo") check_bindo_runs(tool, work, home, shots);
  if (std::wstring(tool.key) == L"splix") check_splix_runs(tool, work, home, shots);
  if (std::wstring(tool.key) == L"vocar") {
    check_vocar_runs(tool, work, home, shots);
    check_vocar_ledger(tool, work, home, shots);
    check_vocar_take_book(tool, work, home, shots);
    check_vocar_checks(tool, work, home, shots);
    check_vocar_take_audit(tool, work, home, shots);
  }
  if (std::wstring(tool.key) == L"pruna") check_pruna_runs(tool, work, home, shots);
  if (std::wstring(tool.key) == L"namex") check_namex_runs(tool, work, home, shots);

  return 0;
}

// Vocar with its temporary folder (TMP and TEMP) on a disk of 12 MB, too
// small for the scratch files of its workbooks (desktop.sh mounts one): the
// run stops with a message that names the workbook, the folder, the room
// needed and free, and TMP, then shows the abort message; no workbook is
// written.
int run_small_temp(const Tool& tool, const std::wstring& program, const std::wstring& work, const std::wstring& temp,
                   const std::wstring& shots) {
  const std::wstring home = work + L"\\temp-home";
  make_folder(home);
  make_folder(shots);
  if (!report.check(CopyFileW(program.c_str(), (home + L"\\" + tool.program).c_str(), FALSE) != FALSE, "vocar: program copied")) return 1;
  write_file(home + L"\\キャラ定義.txt", "ERI,エリ\r\n");
  make_folder(work + L"\\狭い一時");
  write_file(work + L"\\狭い一時\\01.txt", "エリ「おはよう」\r\n");
  SetEnvironmentVariableW(L"TMP", temp.c_str());
  SetEnvironmentVariableW(L"TEMP", temp.c_str());
  App app(tool, home);
  if (!report.check(app.start({L"狭い一時"}, work), "vocar: starts with a small temporary folder")) return 1;
  app.command(kConvertAll);
  confirm_start(app, tool);
  // The run's message box, whatever its caption.
  std::wstring text;
  HWND box = message_box_saying(app.pid(), L".xlsx ファイルを", text);
  report.check(text.find(L".xlsx ファイルを作成できませんでした。一時フォルダ " + temp + L" の空き容量が足りません（必要 約 ") != std::wstring::npos &&
                   text.find(L" MB、空き 12 MB）。一時フォルダは環境変数 TMP で空きのある場所に移せます。") != std::wstring::npos,
               "vocar: a temporary folder without room is named with the room needed and free, and TMP", text);
  if (box) {
    report.check(screenshot({app.main(), box}, shots + L"\\Vocar.exe-temporary-folder.bmp"), "vocar: screenshot of the message");
    press(box, IDOK);
  }
  HWND abort = app.box(tool.caption, text, 20000);
  report.equal(text, L"処理を中断しました。", "vocar: then the run ends with the abort message");
  if (abort) press(abort, IDOK);
  report.check(!exists(home + L"\\声優用台本\\[全キャラ一括台本].xlsx") && !exists(home + L"\\声優用台本\\[ERI]エリ.xlsx"),
               "vocar: no workbook is written");
  report.check(app.close(), "vocar: closes after the run");
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
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: desktop_test TOOL PROGRAM WORK SHOTS [ENGLISH_LNG]\n"
                         "       desktop_test vocar-small-temp PROGRAM WORK SHOTS TEMP\n");
    return 2;
  }
  if (std::wstring(argv[1]) == L"vocar-small-temp") {
    if (argc != 6) return 2;
    run_small_temp(kTools[0], windows_path(argv[2]), windows_path(argv[3]), windows_path(argv[5]), windows_path(argv[4]));
    std::printf("Vocar.exe (small temporary folder): %d passed, %d failed\n", report.passed, report.failed);
    return report.failed == 0 ? 0 : 1;
  }
  const Tool* tool = nullptr;
  for (const Tool& t : kTools) {
    if (std::wstring(t.key) == argv[1]) tool = &t;
  }
  if (!tool) {
    std::fprintf(stderr, "unknown tool\n");
    return 2;
  }
  // The program's shipped English.lng when given, else a file of the test's own.
  std::string english(kEnglish);
  if (argc == 6) {
    const auto shipped = read_file(windows_path(argv[5]));
    if (!report.check(shipped.has_value(), "the shipped English.lng is read", argv[5])) return 1;
    english = *shipped;
  }
  run(*tool, windows_path(argv[2]), windows_path(argv[3]), windows_path(argv[4]), english);
  std::printf("%s: %d passed, %d failed\n", utf8(tool->program).c_str(), report.passed, report.failed);
  return report.failed == 0 ? 0 : 1;
}
