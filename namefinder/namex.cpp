#include "namefinder/namex.h"

#include <new>

#include "shell/dialogue_marks.h"
#include "shell/files.h"
#include "shell/names.h"

namespace lumeno::namefinder {

namespace {

std::string check_dialogue_marks(std::string_view text) {
  return text.empty() ? std::string(kMsgNoDialogueMarks) : std::string();
}

using Kind = SettingDef::Kind;

constexpr SettingDef kSettings[] = {
    {.key = "max_name_length", .kind = Kind::integer, .index = kMaxNameLength, .default_value = 16, .min_value = 1, .max_value = 24,
     .label = "キャラ名最大文字数（半角文字は0.5文字として計算）"},
    {.key = "list_order", .kind = Kind::integer, .index = kListOrder, .default_value = 0, .label = "リスト表示: 0 名前順 / 1 検出数順"},
    {.key = "list_reverse", .kind = Kind::integer, .index = kListReverse, .default_value = 0, .label = "逆順（降順）にする"},
    // Spare slots: cleared by the defaults, read by nothing.
    {.key = "spare_4", .kind = Kind::integer, .index = 4, .shown = false},
    {.key = "spare_5", .kind = Kind::integer, .index = 5, .shown = false},
    {.key = "spare_6", .kind = Kind::integer, .index = 6, .shown = false},
    {.key = "spare_7", .kind = Kind::integer, .index = 7, .shown = false},
    {.key = "dialogue_marks", .kind = Kind::text, .index = kDialogueMarksText, .default_text = "「/『/（", .check = check_dialogue_marks,
     .label = "セリフとして認識させる記号（複数記述の場合は「/」で区切る）"},
    {.key = "name_start_mark", .kind = Kind::text, .index = kNameStartMark, .default_text = "", .label = "名前開始記号"},
};

constexpr std::string_view kOwnNames[] = {kExclusionListName, kReportName, kWorkFileName};

constexpr ToolInfo kTool{
    .key = "namex",
    .program = "Namex",
    .caption = "Lumeno Character Name Finder",
    .settings_file = "Namex.dat",
    .int_count = 16,
    .string_count = 2,
    .completion_text = "個のファイルを変換しました。",
    .options_group = "セリフ認識記号",
    .summary = "name finder: counts the names found in front of dialogue marks",
    .settings = kSettings,
    .own_names = kOwnNames,
};

// The run's files are scanned as they come, in run order, as one text with
// nothing between them: a last line without a line break runs on into the
// next file. No work file is written; one left by an earlier run is removed
// at the start and at the end, so that it can never be counted again.
class NamexRun final : public ToolRun {
 public:
  bool prepare_run(AppState& app, std::string& why) override;
  int collect_files(RunContext& ctx) override;
  int convert_file(RunContext& ctx, const RunFile& file) override;
  int finish_run(RunContext& ctx) override;

 private:
  void remove_work_file(RunContext& ctx) { ctx.fs.remove_file(ctx.app.home_path(kWorkFileName)); }
  void release() {
    scanner_.reset();
    found_ = CandidateTable();
    buffer_ = FileBuffer();
    scanned_any_ = false;
  }

  DialogueMarks marks_;
  std::optional<CandidateScanner> scanner_;
  CandidateTable found_;
  FileBuffer buffer_;  // reused from file to file
  bool scanned_any_ = false;
};

bool NamexRun::prepare_run(AppState& app, std::string& why) {
  const std::string text = app.settings.get_string(kDialogueMarksText);
  auto marks = parse_dialogue_marks(text);
  if (!marks) {
    why = dialogue_marks_refusal(text);
    return false;
  }
  marks_ = std::move(*marks);
  return true;
}

int NamexRun::collect_files(RunContext& ctx) {
  release();
  remove_work_file(ctx);
  const Settings& settings = ctx.app.settings;
  ScanOptions options;
  options.marks = marks_;
  options.name_start_mark = settings.get_string(kNameStartMark);
  options.max_name_length = settings.get_int(kMaxNameLength);
  scanner_.emplace(std::move(options), [this](std::string_view name) { found_.count(name); });
  return ToolRun::collect_files(ctx);
}

int NamexRun::convert_file(RunContext& ctx, const RunFile& file) {
  if (read_whole_file(ctx.fs, ctx.host, buffer_, file.path, true) != kReadOk) return 1;
  try {
    scanner_->feed(buffer_.data);
    scanned_any_ = true;
  } catch (const std::bad_alloc&) {
    ctx.host.message(kMsgNoMemory);
    ctx.host.request_cancel();
  }
  return ctx.cancelled() ? -1 : 0;
}

int NamexRun::finish_run(RunContext& ctx) {
  // A run that read no file has no text, as when the work file was never made.
  if (!scanned_any_) {
    ctx.host.message(kMsgFileMissing);
    release();
    remove_work_file(ctx);
    return 1;
  }
  // A missing exclusion list excludes nothing; one that is there but cannot
  // be read stops the run rather than give a report without its exclusions.
  FileBuffer exclusion;
  const std::filesystem::path list_path = ctx.app.home_path(kExclusionListName);
  const int list_read = read_whole_file(ctx.fs, ctx.host, exclusion, list_path, false);
  if (list_read != kReadOk && (list_read == kReadFailed || ctx.fs.kind(list_path) != EntryKind::missing)) {
    if (list_read == kReadMissing) ctx.host.message(cannot_open_message(names::display_name(list_path)));
    ctx.host.request_cancel();
    release();
    remove_work_file(ctx);
    return -1;
  }
  const bool have_list = list_read == kReadOk;
  const Settings& settings = ctx.app.settings;
  try {
    scanner_->finish();
    const std::string report = make_report(found_, have_list ? std::optional<std::string_view>(exclusion.data) : std::nullopt,
                                           list_order_from_setting(settings.get_int(kListOrder)), settings.get_int(kListReverse) != 0);
    const std::filesystem::path path = ctx.app.home_path(kReportName);
    if (!ctx.fs.write(path, report)) {
      ctx.host.message(cannot_open_message(names::display_name(path)));
      ctx.host.request_cancel();
    }
  } catch (const std::bad_alloc&) {
    ctx.host.message(kMsgNoMemory);
    ctx.host.request_cancel();
  }
  release();
  remove_work_file(ctx);
  return ctx.cancelled() ? -1 : 0;
}

}  // namespace

std::string make_report(const CandidateTable& found, std::optional<std::string_view> exclusion_list, ListOrder order, bool reverse) {
  // Counting the found names into a table that holds the exclusion entries
  // first gives the table the scan would have filled had the list been
  // loaded before it.
  CandidateTable table;
  if (exclusion_list) table.load_exclusion_list(*exclusion_list);
  for (const Candidate& entry : found.entries()) table.count(entry.name, entry.count);
  return format_report(table, report_order(table.entries(), order, reverse));
}

std::string build_report(std::string_view text, std::optional<std::string_view> exclusion_list, const ReportOptions& options) {
  CandidateTable found;
  scan_candidates(text, options.scan, [&](std::string_view name) { found.count(name); });
  return make_report(found, exclusion_list, options.order, options.reverse);
}

const ToolInfo& namex_tool() { return kTool; }
std::unique_ptr<ToolRun> make_namex_run() { return std::make_unique<NamexRun>(); }

}  // namespace lumeno::namefinder
