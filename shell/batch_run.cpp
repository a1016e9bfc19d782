#include "shell/batch_run.h"

#include <algorithm>
#include <thread>  // clocks; <chrono> itself holds a literal CP932 cannot encode
#include <numeric>

#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno {

namespace fs = std::filesystem;

std::uint32_t steady_clock_ms() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool ToolRun::prepare_run(AppState&, std::string&) { return true; }
std::string_view ToolRun::confirmation() const { return {}; }
int ToolRun::convert_file(RunContext&, const RunFile&) { return 0; }
int ToolRun::finish_run(RunContext&) { return 0; }
bool ToolRun::leave_out(RunContext&, const RunFile&) { return false; }

int ToolRun::collect_files(RunContext& ctx) {
  save_settings(ctx.fs, ctx.app.settings_path(), ctx.app.settings);
  return collect_run_files(ctx, *this);
}

namespace {

template <class Char>
bool native_txt_extension(const std::basic_string<Char>& name) {
  const std::size_t dot = name.rfind(Char('.'));
  if (dot == std::basic_string<Char>::npos || name.size() - dot != 4) return false;
  auto lower = [](Char c) { return (c >= Char('A') && c <= Char('Z')) ? Char(c - Char('A') + Char('a')) : c; };
  return lower(name[dot + 1]) == Char('t') && lower(name[dot + 2]) == Char('x') && lower(name[dot + 3]) == Char('t');
}

bool has_native_txt_extension(const fs::path& path) { return native_txt_extension(path.filename().native()); }

struct PendingFolder {
  fs::path path;
  std::string full_name;
  std::string relative_name;
};

class Collector {
 public:
  Collector(RunContext& ctx, ToolRun& tool) : ctx_(ctx), tool_(tool) {
    for (std::string_view own : ctx.app.tool.own_names) own_.push_back({std::string(own), ctx.app.home_path(own)});
  }

  // False when the run must stop.
  bool add_file(const fs::path& path, std::string full_name, std::string relative_name) {
    if (!has_txt_extension(full_name)) return true;
    if (is_own(path, full_name)) return true;
    RunFile file{path, std::move(full_name), std::move(relative_name)};
    if (tool_.leave_out(ctx_, file)) return true;
    ctx_.files.push_back(std::move(file));
    return true;
  }

  void add_folder(const fs::path& path, std::string full_name, std::string relative_name) {
    if (is_own(path, full_name)) return;
    if (queue_.size() >= ctx_.max_pending_folders) {
      ctx_.host.message(ctx_.app.texts[kUiFolderLimit]);
      return;
    }
    queue_.push_back({path, std::move(full_name), std::move(relative_name)});
  }

  // Walks the queued folders breadth first. False when a name cannot be
  // converted (its message shown).
  bool walk() {
    std::vector<DirEntry> items;
    for (std::size_t k = 0; k < queue_.size() && !ctx_.cancelled(); ++k) {
      // Copy: the queue grows while this folder is listed.
      const PendingFolder folder = queue_[k];
      if (ctx_.fs.kind(folder.path) != EntryKind::directory) continue;
      if (!ctx_.fs.list(folder.path, items)) continue;
      std::sort(items.begin(), items.end(), [](const DirEntry& a, const DirEntry& b) { return a.path.filename() < b.path.filename(); });
      for (const DirEntry& item : items) {
        if (ctx_.cancelled()) break;
        // Only folders are walked; every other entry is a file of the run,
        // so that one that cannot be read (a link to nothing, say) stops the
        // run with the reader's message instead of being left out unheard.
        const bool is_folder = item.kind == EntryKind::directory;
        if (!is_folder && !has_native_txt_extension(item.path)) continue;
        auto name = names::to_name(item.path.filename());
        if (!name) {
          ctx_.host.message(names::unconvertible_message(names::display_name(item.path)));
          return false;
        }
        std::string full = folder.full_name + "\\" + *name;
        std::string relative = folder.relative_name + "\\" + *name;
        if (is_folder) {
          add_folder(item.path, std::move(full), std::move(relative));
        } else {
          add_file(item.path, std::move(full), std::move(relative));
        }
      }
    }
    return true;
  }

 private:
  struct OwnName {
    std::string name;
    fs::path path;
  };

  bool is_own(const fs::path& path, std::string_view full_name) {
    const std::string name = file_name_part(full_name);
    for (const OwnName& own : own_) {
      if (compare_folded(name, own.name) == 0 && ctx_.fs.same_entry(path, own.path)) return true;
    }
    return false;
  }

  RunContext& ctx_;
  ToolRun& tool_;
  std::vector<OwnName> own_;
  std::vector<PendingFolder> queue_;
};

}  // namespace

int collect_run_files(RunContext& ctx, ToolRun& tool) {
  ctx.files.clear();
  ctx.order.clear();
  Collector collector(ctx, tool);
  const FileList& list = ctx.app.list;
  for (std::size_t j = 0; j < list.size(); ++j) {
    const ListEntry& entry = list[j];
    if (ctx.selected_only && !entry.selected) continue;
    if (ctx.fs.kind(entry.path) == EntryKind::directory) {
      collector.add_folder(entry.path, entry.full_path, entry.name);
    } else {
      collector.add_file(entry.path, entry.full_path, entry.name);
    }
  }
  if (!collector.walk()) return -1;
  return ctx.cancelled() ? -1 : 0;
}

std::vector<std::size_t> sorted_run_order(const std::vector<RunFile>& files) {
  std::vector<std::string> keys;
  keys.reserve(files.size());
  for (const RunFile& f : files) keys.push_back(fold_ascii(f.full_name));
  std::vector<std::size_t> order(files.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  return order;
}

int ToolRun::run_files(RunContext& ctx) {
  Host& host = ctx.host;
  host.progress_set_range(1024);
  ctx.order = sorted_run_order(ctx.files);
  const std::size_t total = ctx.order.size();
  std::size_t done = 0;
  for (std::size_t i = 0; i < total; ++i) {
    const RunFile& file = ctx.files[ctx.order[i]];
    host.progress_set_position(static_cast<int>(static_cast<std::uint64_t>(done) * 1024 / total));
    ++done;
    host.progress_set_count_text(format("[ %d / %d ]", static_cast<int>(done), static_cast<int>(total)));
    if (convert_file(ctx, file) != 0) return -1;
    const int percent = static_cast<int>((i + 1) * 100 / total);
    host.progress_set_file_text(format("[%3d %%] %s ", percent, file_name_part(file.full_name).c_str()));
  }
  if (finish_run(ctx) != 0) return -1;
  if (ctx.cancelled()) return -1;
  host.progress_set_position(1024);
  host.progress_set_count_text(format("[ %d / %d ]", static_cast<int>(total), static_cast<int>(total)));
  return static_cast<int>(done);
}

std::string elapsed_text(const UiTexts& texts, std::uint32_t seconds) {
  const char* sec = texts[kUiSeconds].c_str();
  if (seconds < 60) return format("%d %s.", static_cast<int>(seconds), sec);
  std::uint32_t s = seconds;
  int hours = 0;
  int minutes = 0;
  // Whole hours and minutes by repeated subtraction, in constant time.
  hours = static_cast<int>(s / 3600);
  s %= 3600;
  minutes = static_cast<int>(s / 60);
  s %= 60;
  if (hours > 0) {
    return format("%d %s %d %s %d %s.", hours, texts[kUiHours].c_str(), minutes, texts[kUiMinutes].c_str(), static_cast<int>(s), sec);
  }
  return format("%d %s %d %s.", minutes, texts[kUiMinutes].c_str(), static_cast<int>(s), sec);
}

std::string completion_text(const UiTexts& texts, int count, std::uint32_t seconds) {
  return format("%d %s\n\n%s  %s", count, texts[kUiCompletion].c_str(), texts[kUiElapsed].c_str(), elapsed_text(texts, seconds).c_str());
}

void ToolRun::show_completion(RunContext& ctx, int count) {
  const std::uint32_t seconds = (ctx.clock_ms() - ctx.start_ms) / 1000u;
  ctx.host.completion(completion_text(ctx.app.texts, count, seconds), ctx.app.tool.caption);
}

RunOutcome worker_main(RunContext& ctx, ToolRun& tool) {
  RunOutcome outcome;
  ctx.start_ms = ctx.clock_ms();
  if (tool.collect_files(ctx) == 0) {
    const int count = tool.run_files(ctx);
    if (count >= 0) {
      tool.show_completion(ctx, count);
      outcome.completed = true;
    }
  }
  ctx.files.clear();
  ctx.order.clear();
  if (ctx.host.cancel_requested()) {
    ctx.host.clear_cancel();
    ctx.host.run_message(ctx.app.texts[kUiAborted], ctx.app.tool.caption);
    outcome.aborted = true;
  }
  return outcome;
}

}  // namespace lumeno
