// Pruna, the comment stripper: its settings, its run (collection, one strip
// per file, the log) and where the results go.
//
// Outputs, in the tool folder: "出力テキスト\" with one file per source under
// its relative name (the dropped tree rebuilt), or "出力テキスト\output.txt"
// with every result appended in run order; and "log.txt", the counts of the
// run. A successful collection deletes the output folder of earlier runs.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "shell/batch_run.h"
#include "shell/result.h"
#include "shell/settings.h"
#include "shell/tool.h"
#include "shell/write_behind.h"
#include "stripper/strip.h"

namespace lumeno::stripper {

// Settings ints.
inline constexpr int kTargetLineComments = 1;
inline constexpr int kTargetBlockComments = 2;
inline constexpr int kTargetCommands = 3;
inline constexpr int kBlankLineMode = 4;
inline constexpr int kStripMode = 5;
inline constexpr int kSingleOutput = 6;

inline constexpr std::string_view kOutputFolder = "出力テキスト";
inline constexpr std::string_view kJoinedOutput = "output.txt";
inline constexpr std::string_view kLogFile = "log.txt";

// Larger texts are refused with "元ファイルサイズが大きすぎます。": a source
// of more bytes, and a text of more bytes once its line ends are CR LF.
inline constexpr std::size_t kMaxSourceSize = 15728640;
inline constexpr std::size_t kMaxUnifiedSize = 10485760;

StripOptions strip_options(const Settings& settings);

// The log of a run: the file count, the targets, and the count of each
// target kind.
std::string log_text(const StripOptions& options, std::size_t file_count, const StripCounts& counts);

// The file below the output folder that a relative name selects: the
// name's components joined under `folder`. An empty first component (a
// dropped root folder has no name) is passed over; a name that would lead
// out of the folder is refused.
Result<std::filesystem::path> output_file_path(const std::filesystem::path& folder, std::string_view relative_name);

// What a run carries from file to file.
struct StripRun {
  explicit StripRun(FileSystem& fs) : writes(fs) {}

  StripCounts counts;
  // The outputs go out through this while the next file is stripped.
  WriteBehind writes;
  // The joined output was begun in this run: later results are appended.
  // The first one replaces whatever a failed wipe may have left, so that
  // "output.txt" holds the results of this run only.
  bool joined_output_begun = false;
  // The folder of the last output queued: it is made before that output
  // is written.
  std::filesystem::path output_folder_made;
};

// Converts one collected file and queues the result for the output step.
// 0: done; 1: the file could not be read (the reader showed why); -1: too
// large, out of memory, an output could not be written (the cancel flag is
// then set), or the cancel flag was set when the file was done.
int strip_file(RunContext& ctx, const RunFile& file, StripRun& run);

const ToolInfo& pruna_tool();
std::unique_ptr<ToolRun> make_pruna_run();

}  // namespace lumeno::stripper
