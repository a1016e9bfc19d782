// The name candidate scan and the report: options byte, marks, name start
// mark, exclusion list, text.
#include "fuzz/fuzz_target.h"
#include "namefinder/namex.h"
#include "shell/dialogue_marks.h"

LUMENO_FUZZ_TARGET(names) {
  using namespace lumeno;
  using namespace lumeno::namefinder;
  fuzz::Parts parts(data, size);
  const unsigned char options = parts.byte();
  auto marks = parse_dialogue_marks(parts.next());
  if (!marks) return 0;
  ReportOptions report;
  report.scan.marks = *marks;
  report.scan.name_start_mark = std::string(parts.next());
  report.scan.max_name_length = 1 + options % 24;
  report.order = list_order_from_setting((options >> 5) % 3);
  report.reverse = options & 0x80;
  const std::string_view exclusion = parts.next();
  const std::string out = build_report(parts.rest(), (options & 16) ? std::optional<std::string_view>(exclusion) : std::nullopt, report);
  if (out.empty()) __builtin_trap();
  return 0;
}
