#include "packer/pack.h"

#include <new>

#include "shell/files.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::packer {

namespace {

constexpr int kDeleteSource = 1;

constexpr SettingDef kSettings[] = {
    {.key = "delete_source", .kind = SettingDef::Kind::integer, .index = kDeleteSource, .default_value = 1, .label = "変換元ファイルを削除する"},
};

constexpr ToolInfo kTool{
    .key = "bindo",
    .program = "Bindo",
    .caption = "Lumeno Text Pack Tool",
    .settings_file = "Bindo.dat",
    .int_count = 16,
    .string_count = 0,
    .completion_text = "個のファイルを変換しました。",
    .options_group = "置換処理",
    .summary = "text packer: appends each file to one pack file per folder",
    .settings = kSettings,
    .own_names = {},
};

class BindoRun final : public ToolRun {
 public:
  int convert_file(RunContext& ctx, const RunFile& file) override;
  bool leave_out(RunContext& ctx, const RunFile& file) override;
};

std::filesystem::path pack_path_of(const RunFile& file) {
  const std::string name = file_name_part(pack_file_name(file.full_name));
  auto native = names::to_path(name);
  return file.path.parent_path() / (native ? *native : std::filesystem::path(".txt"));
}

int BindoRun::convert_file(RunContext& ctx, const RunFile& file) {
  FileBuffer buffer;
  if (read_whole_file(ctx.fs, ctx.host, buffer, file.path, true) != kReadOk) return 1;
  std::string entry;
  try {
    entry = pack_entry(file_name_part(file.full_name), buffer.data);
  } catch (const std::bad_alloc&) {
    ctx.host.message(kMsgNoMemory);
    ctx.host.request_cancel();
    return -1;
  }
  buffer.data = std::string();
  const std::filesystem::path pack = pack_path_of(file);
  if (!ctx.fs.append(pack, entry)) {
    ctx.host.message(cannot_open_message(names::display_name(pack)));
    ctx.host.request_cancel();
  } else if (ctx.app.settings.get_int(kDeleteSource) == 1 && !ctx.fs.remove_file(file.path)) {
    // The entry is in the pack; the source stays. Say so rather than let
    // the next run pack it twice unnoticed.
    ctx.host.message(cannot_delete_message(names::display_name(file.path)));
    ctx.host.request_cancel();
  }
  return ctx.cancelled() ? -1 : 0;
}

bool BindoRun::leave_out(RunContext& ctx, const RunFile& file) {
  // A pack file is never packed into itself.
  const std::string pack_name = file_name_part(pack_file_name(file.full_name));
  if (compare_folded(file_name_part(file.full_name), pack_name) != 0) return false;
  return ctx.fs.same_entry(file.path, pack_path_of(file));
}

}  // namespace

namespace {

void append_unified(std::string& out, std::string_view text) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      i += (i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
    } else if (c == '\n') {
      out += "\r\n";
      ++i;
    } else if (is_sjis_lead(static_cast<unsigned char>(c)) && i + 1 < n) {
      out.append(text.data() + i, 2);
      i += 2;
    } else {
      // Ordinary bytes, and a lead byte that ends the text, are copied as they stand.
      const std::size_t start = i;
      ++i;
      while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '\r' || b == '\n' || is_sjis_lead(b)) break;
        ++i;
      }
      out.append(text.data() + start, i - start);
    }
  }
}

}  // namespace

std::string unify_line_ends(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16 + 16);
  append_unified(out, text);
  return out;
}

std::string pack_entry(std::string_view name, std::string_view content) {
  std::string entry;
  entry.reserve(kPackMarker.size() + name.size() + content.size() + content.size() / 16 + 8);
  entry += kPackMarker;
  entry += name;
  entry += "\r\n";
  append_unified(entry, content);
  entry += "\r\n";
  return entry;
}

std::string pack_file_name(std::string_view full_name) {
  const std::string_view folder = folder_part(full_name);
  std::string folder_name;
  if (!folder.empty()) folder_name_of(folder.substr(0, folder.size() - 1), folder_name);
  std::string pack(folder);
  pack += folder_name;
  pack += ".txt";
  return pack;
}

const ToolInfo& bindo_tool() { return kTool; }
std::unique_ptr<ToolRun> make_bindo_run() { return std::make_unique<BindoRun>(); }

}  // namespace lumeno::packer
