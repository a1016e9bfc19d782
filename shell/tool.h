// What makes one tool of the toolkit: its constants and its settings table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lumeno {

// One setting of a tool: an int slot or a string of the settings file. The
// settings table drives the defaults, the settings file, the `config`
// command and the options dialogs alike.
struct SettingDef {
  enum class Kind { integer, text };

  std::string_view key;
  Kind kind = Kind::integer;
  int index = 0;                  // int slot, or string index (0-based)
  std::int32_t default_value = 0;  // integers
  std::string_view default_text;   // texts (CP932)
  std::int32_t min_value = 0;      // integers: the values the options dialog can give
  std::int32_t max_value = 1;
  bool shown = true;               // false for reserved slots that no control shows
  // The options dialog's check of a text on OK: the message to show, or an
  // empty string when the value is accepted.
  std::string (*check)(std::string_view value) = nullptr;
  // What the setting means, as the options dialog labels it (CP932): one
  // line of `lumeno TOOL --help`.
  std::string_view label;
};

struct ToolInfo {
  std::string_view key;              // the `lumeno` sub-command: "bindo"
  std::string_view program;          // "Bindo"
  std::string_view caption;          // window caption and message caption
  std::string_view settings_file;    // "Bindo.dat", in the tool folder
  int int_count = 16;
  int string_count = 0;
  std::string_view completion_text;  // UI text 38
  std::string_view options_group;    // UI text 45
  std::string_view summary;          // one line for `lumeno --help` (ASCII)
  std::span<const SettingDef> settings;
  // Files and folders in the tool folder that belong to the tool (its
  // definitions, exclusion list, outputs and logs): a run never reads them.
  std::span<const std::string_view> own_names;
};

inline constexpr double kVersion = 0.405;

}  // namespace lumeno
