#include "shell/settings.h"

#include <algorithm>
#include <cstring>

namespace lumeno {

Settings::Settings(int int_count, int string_count)
    : ints_(static_cast<std::size_t>(int_count), 0), strings_(static_cast<std::size_t>(string_count), Field{}) {}

std::string Settings::field_text(const Field& field) {
  const auto end = std::find(field.begin(), field.end(), '\0');
  return std::string(field.begin(), end);
}

void Settings::set_field(Field& field, std::string_view text) {
  // Copy up to the first zero byte, at most 263 bytes, and terminate; the
  // bytes after the terminator stay as they were.
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  const std::size_t n = std::min(text.size(), kFieldSize - 1);
  std::memcpy(field.data(), text.data(), n);
  field[n] = '\0';
}

std::string Settings::language_name() const { return field_text(language_); }
void Settings::set_language_name(std::string_view name) { set_field(language_, name); }
std::string Settings::get_string(int index) const { return field_text(strings_.at(static_cast<std::size_t>(index))); }
void Settings::set_string(int index, std::string_view text) { set_field(strings_.at(static_cast<std::size_t>(index)), text); }

std::string Settings::serialize() const {
  std::string out;
  out.reserve(file_size());
  out.append(language_.data(), kFieldSize);
  for (std::int32_t value : ints_) {
    const auto u = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((u >> shift) & 0xFF));
  }
  for (const Field& field : strings_) out.append(field.data(), kFieldSize);
  return out;
}

void Settings::deserialize(std::string_view bytes) {
  std::size_t pos = 0;
  auto take = [&](char* dst, std::size_t n) {
    const std::size_t avail = pos < bytes.size() ? std::min(n, bytes.size() - pos) : 0;
    std::memcpy(dst, bytes.data() + pos, avail);
    pos += n;
  };
  take(language_.data(), kFieldSize);
  for (std::int32_t& value : ints_) {
    unsigned char raw[4];
    const auto u = static_cast<std::uint32_t>(value);
    for (int k = 0; k < 4; ++k) raw[k] = static_cast<unsigned char>((u >> (8 * k)) & 0xFF);
    take(reinterpret_cast<char*>(raw), 4);
    value = static_cast<std::int32_t>(raw[0] | (raw[1] << 8) | (raw[2] << 16) | (static_cast<std::uint32_t>(raw[3]) << 24));
  }
  for (Field& field : strings_) take(field.data(), kFieldSize);
}

void reset_tool_settings(Settings& settings, const ToolInfo& tool) {
  for (const SettingDef& def : tool.settings) {
    if (def.kind == SettingDef::Kind::integer) {
      settings.set_int(def.index, def.default_value);
    } else {
      settings.set_string(def.index, def.default_text);
    }
  }
}

void reset_settings(Settings& settings, const ToolInfo& tool) {
  settings.set_language_name("Japanese.lng");
  settings.set_int(Settings::kAlwaysOnTop, 0);
  reset_tool_settings(settings, tool);
}

bool load_settings(FileSystem& fs, const std::filesystem::path& path, Settings& settings) {
  std::string bytes;
  if (fs.read(path, bytes) != ReadStatus::ok) return false;
  settings.deserialize(bytes);
  return true;
}

bool save_settings(FileSystem& fs, const std::filesystem::path& path, const Settings& settings) {
  return fs.write(path, settings.serialize());
}

}  // namespace lumeno
