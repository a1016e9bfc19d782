#include "stripper/pruna.h"

#include <array>
#include <new>

#include "shell/files.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::stripper {

namespace fs = std::filesystem;

namespace {

constexpr SettingDef kSettings[] = {
    {.key = "target_line_comments", .index = kTargetLineComments, .default_value = 1, .min_value = 0, .max_value = 1, .label = "対象:  // 内"},
    {.key = "target_block_comments", .index = kTargetBlockComments, .default_value = 1, .min_value = 0, .max_value = 1, .label = "対象:  /* ～ */ 内"},
    {.key = "target_commands", .index = kTargetCommands, .default_value = 0, .min_value = 0, .max_value = 1, .label = "対象:  \\ 命令"},
    {.key = "blank_line_mode", .index = kBlankLineMode, .default_value = 1, .min_value = 0, .max_value = 2,
     .label = "行削除: 0 空行・空白行を削除しない / 1 対象削除後に空行・空白行になった行を削除 / 2 空行・空白行は全て削除"},
    {.key = "strip_mode", .index = kStripMode, .default_value = 0, .min_value = 0, .max_value = 1,
     .label = "処理: 0 上で指定したものを削除 / 1 上で指定したもの以外を削除"},
    {.key = "single_output", .index = kSingleOutput, .default_value = 0, .min_value = 0, .max_value = 1,
     .label = "ファイル出力: 単ファイル連結出力 --> output.txt"},
    // A spare slot: the defaults clear it, nothing reads it.
    {.key = "spare", .index = 7, .default_value = 0, .shown = false},
};

// What a run writes into the tool folder; a run never reads them.
// The joined output.txt lies inside the output folder.
constexpr std::array<std::string_view, 2> kOwnNames = {kOutputFolder, kLogFile};

constexpr ToolInfo kTool{
    .key = "pruna",
    .program = "Pruna",
    .caption = "Lumeno Thinout Tool",
    .settings_file = "Pruna.dat",
    .int_count = 16,
    .string_count = 0,
    .completion_text = "処理が完了しました。",
    .options_group = "セリフ認識記号",
    .summary = "comment stripper: removes // and /* */ comments and \\ commands (or keeps only them)",
    .settings = kSettings,
    .own_names = kOwnNames,
};

class PrunaRun final : public ToolRun {
 public:
  int collect_files(RunContext& ctx) override;
  int run_files(RunContext& ctx) override;
  void show_completion(RunContext& ctx, int count) override;
};

// Shows a message of a failed file, sets the cancel flag and answers -1.
int fail(RunContext& ctx, std::string_view message) {
  ctx.host.message(message);
  ctx.host.request_cancel();
  return -1;
}

// Queues the result of one file: it replaces its file under the output
// folder, or is appended to the joined output. A failure (of this output or
// an earlier one) is shown and sets the cancel flag.
void write_output(RunContext& ctx, const RunFile& file, std::string bytes, StripRun& run) {
  const fs::path folder = ctx.app.home_path(kOutputFolder);
  const bool joined = ctx.app.settings.get_int(kSingleOutput) == 1;
  fs::path path;
  if (joined) {
    path = ctx.app.home_path(std::string(kOutputFolder) + "\\" + std::string(kJoinedOutput));
  } else {
    auto relative = output_file_path(folder, file.relative_name);
    if (!relative) {
      fail(ctx, cannot_open_message(file.relative_name));
      return;
    }
    path = std::move(*relative);
  }
  const bool make_folders = path.parent_path() != run.output_folder_made;
  if (make_folders) run.output_folder_made = path.parent_path();
  const auto mode = joined && run.joined_output_begun ? WriteBehind::Mode::append : WriteBehind::Mode::replace;
  if (!run.writes.submit(std::move(path), std::move(bytes), mode, make_folders)) {
    run.writes.show_failure(ctx.host);
  } else if (joined) {
    run.joined_output_begun = true;
  }
}

void write_log(RunContext& ctx, const StripCounts& counts) {
  const fs::path path = ctx.app.home_path(kLogFile);
  const std::string text = log_text(strip_options(ctx.app.settings), ctx.files.size(), counts);
  create_parent_directories(ctx.fs, path);
  if (!ctx.fs.write(path, text)) fail(ctx, cannot_open_message(names::display_name(path)));
}

int PrunaRun::collect_files(RunContext& ctx) {
  save_settings(ctx.fs, ctx.app.settings_path(), ctx.app.settings);
  // The results of earlier runs go once the new run has its files: the
  // first thing run_files queues for the writer.
  return collect_run_files(ctx, *this) != 0 ? -1 : 0;
}

int PrunaRun::run_files(RunContext& ctx) {
  Host& host = ctx.host;
  host.progress_set_range(1024);
  ctx.order = sorted_run_order(ctx.files);
  StripRun run(ctx.fs);
  // Removed while the first files are read and stripped; nothing is written
  // before it is gone.
  run.writes.submit_folder_removal(ctx.app.home_path(kOutputFolder));
  bool stopped = false;
  for (const std::size_t index : ctx.order) {
    if (strip_file(ctx, ctx.files[index], run) != 0) {
      stopped = true;
      break;
    }
  }
  // Every output is on disk before the log is written or the run stops.
  if (!run.writes.finish()) {
    run.writes.show_failure(ctx.host);
    stopped = true;
  }
  if (stopped) return -1;
  host.progress_set_position(512);
  host.pause_ms(20);
  write_log(ctx, run.counts);
  host.progress_set_position(1024);
  host.pause_ms(20);
  if (ctx.cancelled()) return -1;
  return static_cast<int>(ctx.files.size());
}

void PrunaRun::show_completion(RunContext& ctx, int) {
  // The completion text alone: no count, no time.
  ctx.host.completion(ctx.app.texts[kUiCompletion], ctx.app.tool.caption);
}

}  // namespace

StripOptions strip_options(const Settings& settings) {
  StripOptions options;
  options.target_line_comments = settings.get_int(kTargetLineComments);
  options.target_block_comments = settings.get_int(kTargetBlockComments);
  options.target_commands = settings.get_int(kTargetCommands);
  options.blank_line_mode = settings.get_int(kBlankLineMode);
  options.strip_mode = settings.get_int(kStripMode);
  return options;
}

std::string log_text(const StripOptions& options, std::size_t file_count, const StripCounts& counts) {
  const bool lines = options.target_line_comments == 1;
  const bool blocks = options.target_block_comments == 1;
  const bool commands = options.target_commands == 1;
  std::string text = "■ファイル数\r\n";
  text += format("  ファイル数 = %5lld\r\n", static_cast<long long>(file_count));
  text += "\r\n■削除対象\r\n";
  if (lines) text += "　／／\r\n";
  if (blocks) text += "　／＊～＊／\r\n";
  if (commands) text += "　￥命令\r\n";
  text += "\r\n■削除数\r\n";
  if (lines) text += format("  ／／       = %5lld\r\n", static_cast<long long>(counts.line_comments));
  if (blocks) text += format("  ／＊～＊／ = %5lld\r\n", static_cast<long long>(counts.block_comments));
  if (commands) text += format("  ￥命令     = %5lld\r\n", static_cast<long long>(counts.commands));
  text += "\r\n";
  return text;
}

Result<fs::path> output_file_path(const fs::path& folder, std::string_view relative_name) {
  auto native = names::to_path(relative_name);
  if (!native) return Error{native.error()};
  // A dropped root folder has no name: its relative names start with "\".
  const fs::path relative = native->relative_path();
  if (relative.empty()) return Error{names::unconvertible_message(relative_name)};
  for (const fs::path& part : relative) {
    if (part == "..") return Error{names::unconvertible_message(relative_name)};
  }
  return folder / relative;
}

int strip_file(RunContext& ctx, const RunFile& file, StripRun& run) {
  // A source far too large is refused before it is read whole; the reader
  // still speaks first for a file that cannot be opened.
  if (auto size = ctx.fs.size(file.path); size && *size > kMaxSourceSize && ctx.fs.can_open(file.path)) {
    return fail(ctx, kMsgSourceTooLarge);
  }
  FileBuffer buffer;
  if (read_whole_file(ctx.fs, ctx.host, buffer, file.path, true) != kReadOk) return 1;
  if (buffer.data.size() > kMaxSourceSize) return fail(ctx, kMsgSourceTooLarge);
  std::string output;
  try {
    // Most sources have CR LF line ends already and are stripped as read.
    const bool convert = !line_breaks_unified(buffer.data);
    std::string unified;
    if (convert) {
      unified = unify_line_breaks(buffer.data);
      buffer.data = std::string();
    }
    const std::string_view text = convert ? unified : buffer.data;
    if (text.size() > kMaxUnifiedSize) return fail(ctx, kMsgSourceTooLarge);
    output = strip_text(text, strip_options(ctx.app.settings), run.counts);
  } catch (const std::bad_alloc&) {
    return fail(ctx, kMsgNoMemory);
  }
  write_output(ctx, file, std::move(output), run);
  return ctx.cancelled() ? -1 : 0;
}

const ToolInfo& pruna_tool() { return kTool; }
std::unique_ptr<ToolRun> make_pruna_run() { return std::make_unique<PrunaRun>(); }

}  // namespace lumeno::stripper
