#include "divider/divide.h"

#include "packer/pack.h"
#include "shell/files.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::divider {

namespace {

constexpr int kDeleteSource = 1;

constexpr SettingDef kSettings[] = {
    {.key = "delete_source", .kind = SettingDef::Kind::integer, .index = kDeleteSource, .default_value = 1, .label = "変換元ファイルを削除する"},
};

constexpr ToolInfo kTool{
    .key = "splix",
    .program = "Splix",
    .caption = "Lumeno Text Divide Tool",
    .settings_file = "Splix.dat",
    .int_count = 16,
    .string_count = 0,
    .completion_text = "個のファイルを変換しました。",
    .options_group = "置換処理",
    .summary = "text divider: splits pack files back into their files",
    .settings = kSettings,
    .own_names = {},
};

class SplixRun final : public ToolRun {
 public:
  int convert_file(RunContext& ctx, const RunFile& file) override;
};

int SplixRun::convert_file(RunContext& ctx, const RunFile& file) {
  FileBuffer buffer;
  if (read_whole_file(ctx.fs, ctx.host, buffer, file.path, true) != kReadOk) return 1;
  const std::string_view text = buffer.data;
  const std::vector<Piece> pieces = split_pack(text);

  auto base = names::to_path(base_name_part(file.full_name));
  const std::filesystem::path folder = file.path.parent_path() / (base ? *base : std::filesystem::path());
  int written = 0;
  bool all_written = true;
  for (const Piece& piece : pieces) {
    std::filesystem::path target;
    bool ok = base.ok() && is_safe_piece_name(piece.name);
    if (ok) {
      auto relative = names::to_path(piece.name);
      ok = relative.ok();
      if (ok) target = folder / *relative;
    }
    if (ok) {
      create_parent_directories(ctx.fs, target);
      ok = ctx.fs.write(target, text.substr(piece.begin, piece.end - piece.begin));
    }
    if (ok) {
      ++written;
    } else {
      ctx.host.message(cannot_open_message(piece.name));
      ctx.host.request_cancel();
      all_written = false;
    }
  }
  // The input goes only when it gave its pieces, every one of them.
  if (ctx.app.settings.get_int(kDeleteSource) == 1 && written > 0 && all_written && !ctx.fs.remove_file(file.path)) {
    ctx.host.message(cannot_delete_message(names::display_name(file.path)));
    ctx.host.request_cancel();
  }
  return ctx.cancelled() ? -1 : 0;
}

}  // namespace

std::vector<Piece> split_pack(std::string_view text) {
  const std::string_view marker = packer::kPackMarker;
  const std::size_t n = text.size();
  std::vector<Piece> pieces;
  std::string name;
  std::size_t start = 0;
  std::size_t pos = text.find(marker);
  while (pos != std::string_view::npos) {
    if (!name.empty()) pieces.push_back({name, start, pos});
    std::size_t p = pos + marker.size();
    const std::size_t name_start = p;
    while (p < n && text[p] != '\r' && text[p] != '\n') p += sjis_char_length(text, p);
    name.assign(text.substr(name_start, p - name_start));
    // The name is a zero-terminated string: a zero byte ends it.
    const std::size_t nul = name.find('\0');
    if (nul != std::string::npos) name.resize(nul);
    while (p < n && (text[p] == '\r' || text[p] == '\n')) ++p;
    start = p;
    pos = text.find(marker, p);
  }
  if (!name.empty()) pieces.push_back({name, start, n});
  return pieces;
}

bool is_safe_piece_name(std::string_view name) {
  if (name.empty() || name.size() > kMaxPieceName) return false;
  if (name[0] == '\\' || name[0] == '/') return false;
  std::size_t component_start = 0;
  for (std::size_t i = 0; i <= name.size();) {
    const std::size_t len = i < name.size() ? sjis_char_length(name, i) : 1;
    const bool single = len == 1;
    if (i < name.size() && single && name[i] == ':') return false;
    if (i == name.size() || (single && (name[i] == '\\' || name[i] == '/'))) {
      if (name.substr(component_start, i - component_start) == "..") return false;
      component_start = i + 1;
    }
    i += len;
  }
  return true;
}

const ToolInfo& splix_tool() { return kTool; }
std::unique_ptr<ToolRun> make_splix_run() { return std::make_unique<SplixRun>(); }

}  // namespace lumeno::divider
