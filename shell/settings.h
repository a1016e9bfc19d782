// The settings file: the language file name, a block of 32-bit integers
// (slot 0 = always on top) and the tool's text fields, little-endian, with no
// header. Sizes: 264 + 4 x ints + 264 x strings bytes.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "shell/file_system.h"
#include "shell/tool.h"

namespace lumeno {

class Settings {
 public:
  static constexpr std::size_t kFieldSize = 264;
  static constexpr int kAlwaysOnTop = 0;

  Settings(int int_count, int string_count);

  // Text fields keep the bytes after their terminator as they stand, like
  // the fixed buffers they are written from.
  std::string language_name() const;
  void set_language_name(std::string_view name);
  std::int32_t get_int(int slot) const { return ints_.at(static_cast<std::size_t>(slot)); }
  void set_int(int slot, std::int32_t value) { ints_.at(static_cast<std::size_t>(slot)) = value; }
  std::string get_string(int index) const;
  void set_string(int index, std::string_view text);

  int int_count() const { return static_cast<int>(ints_.size()); }
  int string_count() const { return static_cast<int>(strings_.size()); }
  std::size_t file_size() const { return kFieldSize + 4 * ints_.size() + kFieldSize * strings_.size(); }

  // The file's bytes.
  std::string serialize() const;
  // Takes the fields from the file's bytes in file order; fields the bytes
  // do not reach keep their values.
  void deserialize(std::string_view bytes);

 private:
  using Field = std::array<char, kFieldSize>;
  static std::string field_text(const Field& field);
  static void set_field(Field& field, std::string_view text);

  Field language_{};
  std::vector<std::int32_t> ints_;
  std::vector<Field> strings_;
};

// The built-in defaults: "Japanese.lng", always on top off, then the tool's.
void reset_settings(Settings& settings, const ToolInfo& tool);
// The tool's own defaults only (the options dialog's defaults button).
void reset_tool_settings(Settings& settings, const ToolInfo& tool);

// Reads the file; false when it cannot be opened (nothing changed then).
bool load_settings(FileSystem& fs, const std::filesystem::path& path, Settings& settings);
// Writes the whole file; false, silently, when it cannot be written.
bool save_settings(FileSystem& fs, const std::filesystem::path& path, const Settings& settings);

}  // namespace lumeno
