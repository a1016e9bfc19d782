// AppState: everything one tool holds for its whole life — its constants,
// its folder, its settings, its texts and its file list. A value, handed to
// whoever needs it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "shell/file_list.h"
#include "shell/file_system.h"
#include "shell/result.h"
#include "shell/settings.h"
#include "shell/tool.h"
#include "shell/ui_texts.h"

namespace lumeno {

struct AppState {
  AppState(const ToolInfo& tool_info, std::filesystem::path home_folder, std::string home_folder_name);

  const ToolInfo& tool;
  // The tool's own folder (the program's folder): settings, languages,
  // definitions and outputs live here.
  std::filesystem::path home;
  // The same folder as a CP932 name ending in "\".
  std::string home_name;
  Settings settings;
  UiTexts texts;
  FileList list;

  std::filesystem::path settings_path() const;
  // A file or folder of the tool folder, named in CP932.
  std::filesystem::path home_path(std::string_view name) const;
};

// Start-up: the tool folder must exist; the settings file is loaded, or
// created with the defaults; the language file it names is loaded, or the
// built-in texts are used.
Result<AppState> start_tool(const ToolInfo& tool, const std::filesystem::path& home, FileSystem& fs);
// The same without writing anything: a missing settings file gives the
// defaults and stays missing (for the checks that must leave the tool
// folder as it is).
Result<AppState> open_tool(const ToolInfo& tool, const std::filesystem::path& home, FileSystem& fs);

// Fills the UI texts from "languages\" + name in the tool folder and keeps
// the name; when the file cannot be opened, the built-in texts and an empty
// name.
void load_language(AppState& app, FileSystem& fs, const std::string& name);

// The language files of a folder: the names (CP932) of its files ending in
// ".lng" (any case), in name order with ASCII letters folded. None when the
// folder cannot be listed.
std::vector<std::string> language_files(FileSystem& fs, const std::filesystem::path& folder);

}  // namespace lumeno
