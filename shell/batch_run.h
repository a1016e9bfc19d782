// The batch run: collect the run's files from the file list, convert them
// one by one through the tool's hooks, report completion.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/app_state.h"
#include "shell/file_system.h"
#include "shell/host.h"

namespace lumeno {

// One collected file.
struct RunFile {
  std::filesystem::path path;  // native
  std::string full_name;       // CP932 full path with "\" separators
  // CP932: the list name of the dropped item, then "\" and each subfolder
  // and "\", then the file name (a dropped file: its own name).
  std::string relative_name;
};

// Milliseconds of a steady clock, wrapping at 32 bits.
std::uint32_t steady_clock_ms();

struct RunContext {
  RunContext(AppState& app_state, Host& run_host, FileSystem& file_system)
      : app(app_state), host(run_host), fs(file_system) {}

  AppState& app;
  Host& host;
  FileSystem& fs;
  bool selected_only = false;  // the selected list entries only
  std::vector<RunFile> files;  // in the order found
  std::vector<std::size_t> order;  // indices into `files`, the order of conversion
  std::uint32_t start_ms = 0;
  std::function<std::uint32_t()> clock_ms = steady_clock_ms;
  // Folders a run may queue for its walk; each one beyond gets UI text 26.
  std::size_t max_pending_folders = 65535;

  bool cancelled() const { return host.cancel_requested(); }
};

// The tool's hooks. The defaults are the generic collection, per-file loop
// and completion message that Namex, Splix and Bindo use.
class ToolRun {
 public:
  virtual ~ToolRun() = default;

  // On the start command, before anything else; false refuses the start
  // (nothing is shown in a window; `why` is for a terminal).
  virtual bool prepare_run(AppState& app, std::string& why);
  // The question asked before the start, or empty for none.
  virtual std::string_view confirmation() const;

  // 0 to go on, -1 to stop.
  virtual int collect_files(RunContext& ctx);
  // The number of files converted, or -1 when the run stopped early.
  virtual int run_files(RunContext& ctx);
  // 0 to go on; nonzero stops the run (the hook has shown its message).
  virtual int convert_file(RunContext& ctx, const RunFile& file);
  // After the last file; nonzero stops the run as a failure.
  virtual int finish_run(RunContext& ctx);
  virtual void show_completion(RunContext& ctx, int count);
  // True for a collected file that must not take part (for instance a file
  // the tool itself writes during the run).
  virtual bool leave_out(RunContext& ctx, const RunFile& file);
};

struct RunOutcome {
  bool completed = false;  // the completion message was shown
  bool aborted = false;    // the abort message was shown (the cancel flag was set)
};

// The worker: collect, run, completion; then the abort message when the
// cancel flag is set (the flag is cleared).
RunOutcome worker_main(RunContext& ctx, ToolRun& tool);

// Collects the run's files: the list entries that take part (folders walked
// breadth first, each folder's items in name order), ".txt" files only,
// never the tool's own files. Shows UI text 26 for every folder beyond the
// queue's 65535. Returns 0, or -1 when the cancel flag is set or a name
// cannot be converted (its message shown).
int collect_run_files(RunContext& ctx, ToolRun& tool);

// The run order: ascending full names, ASCII letters folded, equal names in
// collection order.
std::vector<std::size_t> sorted_run_order(const std::vector<RunFile>& files);

// The elapsed-time text of the completion message.
std::string elapsed_text(const UiTexts& texts, std::uint32_t seconds);

// "%d %s\n\n%s  %s": count, UI text 38, UI text 34, elapsed text.
std::string completion_text(const UiTexts& texts, int count, std::uint32_t seconds);

}  // namespace lumeno
