#include "shell/app_state.h"

#include <algorithm>

#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno {

namespace fs = std::filesystem;

AppState::AppState(const ToolInfo& tool_info, fs::path home_folder, std::string home_folder_name)
    : tool(tool_info),
      home(std::move(home_folder)),
      home_name(std::move(home_folder_name)),
      settings(tool_info.int_count, tool_info.string_count),
      texts(tool_info) {}

fs::path AppState::settings_path() const { return home_path(tool.settings_file); }

fs::path AppState::home_path(std::string_view name) const {
  auto native = names::to_path(name);
  return native ? home / *native : home / std::string(name);
}

namespace {

Result<AppState> open_tool_folder(const ToolInfo& tool, const fs::path& home, FileSystem& files, bool save_defaults) {
  if (files.kind(home) != EntryKind::directory) {
    return Error{names::display_name(home) + " フォルダが見つかりません。"};
  }
  auto name = names::to_name(home);
  if (!name) return Error{name.error()};
  std::string home_name = *name;
  if (!ends_with_byte_sjis(home_name, '\\')) home_name += '\\';
  AppState app(tool, home, std::move(home_name));
  if (!load_settings(files, app.settings_path(), app.settings)) {
    reset_settings(app.settings, tool);
    if (save_defaults) save_settings(files, app.settings_path(), app.settings);
  }
  load_language(app, files, app.settings.language_name());
  return app;
}

}  // namespace

Result<AppState> start_tool(const ToolInfo& tool, const fs::path& home, FileSystem& files) {
  return open_tool_folder(tool, home, files, true);
}

Result<AppState> open_tool(const ToolInfo& tool, const fs::path& home, FileSystem& files) {
  return open_tool_folder(tool, home, files, false);
}

void load_language(AppState& app, FileSystem& files, const std::string& name) {
  std::string bytes;
  auto relative = names::to_path(name);
  const fs::path path = app.home / "languages" / (relative ? *relative : fs::path());
  if (!name.empty() && relative && files.read(path, bytes) == ReadStatus::ok) {
    parse_language_file(bytes, app.texts);
    app.settings.set_language_name(name);
    return;
  }
  app.texts = UiTexts(app.tool);
  app.settings.set_language_name("");
}

std::vector<std::string> language_files(FileSystem& fs, const std::filesystem::path& folder) {
  std::vector<std::string> found;
  std::vector<DirEntry> items;
  if (!fs.list(folder, items)) return found;
  for (const DirEntry& item : items) {
    if (item.kind != EntryKind::file) continue;
    auto name = names::to_name(item.path.filename());
    if (name && name->size() > 4 && compare_folded(std::string_view(*name).substr(name->size() - 4), ".lng") == 0) found.push_back(*name);
  }
  std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) { return compare_folded(a, b) < 0; });
  return found;
}

}  // namespace lumeno
