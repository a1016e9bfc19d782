// Namex, the name finder: joins the run's files, finds the text in front of
// the first dialogue mark of every line, counts each candidate name, leaves
// out the names of the exclusion list and writes the ranked report.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "namefinder/candidates.h"
#include "namefinder/scan.h"
#include "shell/batch_run.h"
#include "shell/tool.h"

namespace lumeno::namefinder {

// Files of the tool folder (CP932 names).
inline constexpr std::string_view kExclusionListName = "除外リスト.txt";
inline constexpr std::string_view kReportName = "output.txt";
inline constexpr std::string_view kWorkFileName = "output.tmp";

inline constexpr std::string_view kMsgNoDialogueMarks = "セリフ認識記号の指定がありません。";

// Settings slots.
inline constexpr int kMaxNameLength = 1;
inline constexpr int kListOrder = 2;
inline constexpr int kListReverse = 3;
inline constexpr int kDialogueMarksText = 0;  // string index
inline constexpr int kNameStartMark = 1;      // string index

struct ReportOptions {
  ScanOptions scan;
  ListOrder order = ListOrder::by_name;
  bool reverse = false;
};

// The finish step: the exclusion list's entries (none when the list is
// missing) first, then the names found, in the order first found, with their
// counts; the sort; the report's bytes.
std::string make_report(const CandidateTable& found, std::optional<std::string_view> exclusion_list, ListOrder order, bool reverse);

// The scan of the joined text and the finish step.
std::string build_report(std::string_view text, std::optional<std::string_view> exclusion_list, const ReportOptions& options);

const ToolInfo& namex_tool();
std::unique_ptr<ToolRun> make_namex_run();

}  // namespace lumeno::namefinder
