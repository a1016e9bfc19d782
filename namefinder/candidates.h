// The candidate table: the names of the exclusion list and the candidates
// the scan found, with their counts; the report's order and the report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lumeno::namefinder {

struct Candidate {
  std::string name;
  std::int64_t count = 0;
  bool excluded = false;  // a name of the exclusion list: counted, never listed
};

class CandidateTable {
 public:
  // One entry per line of the exclusion list's text, in file order, with
  // count 1: every line that is not empty and does not begin with "//",
  // taken whole (blanks included) up to its first zero byte. A name listed
  // twice makes two entries; the first one receives the counts.
  void load_exclusion_list(std::string_view text);

  // Counts `times` findings of `name`, which ends at its first zero byte:
  // the first entry of that name gets them, an excluded one too; an unknown
  // name becomes a new entry.
  void count(std::string_view name, std::int64_t times = 1);

  const std::deque<Candidate>& entries() const { return entries_; }
  // Entries added by `count` (the exclusion entries not included).
  std::size_t new_count() const { return new_count_; }

 private:
  std::size_t add(std::string_view name, std::int64_t count, bool excluded);

  // A deque, so that the names the index views never move.
  std::deque<Candidate> entries_;
  std::unordered_map<std::string_view, std::size_t> index_;
  std::size_t new_count_ = 0;
};

enum class ListOrder { by_name, by_count, table };

// `list_order` of the settings: 0 by name, 1 by count, anything else the
// table's own order.
ListOrder list_order_from_setting(std::int32_t value);

// The order of the entries in the report: ascending names (descending with
// `reverse`), or descending counts (ascending with `reverse`), names compared
// as unsigned bytes with a prefix first. Equal keys come in the order that an
// exchange sort of the table leaves them in (for each position, every later
// entry that must come first is swapped into it), which is not the table's
// own order.
std::vector<std::size_t> report_order(const std::deque<Candidate>& entries, ListOrder order, bool reverse);

// The order an exchange sort leaves n items in, as indices into the items:
// for a from 0 to n - 2, for b from a + 1 to n - 1, items a and b are swapped
// when before(item at b, item at a). `before` must be a strict weak order.
// Computed in O(n log n): entries of equal keys are placed as the exchanges
// would place them.
std::vector<std::size_t> exchange_sort_order(std::size_t n, const std::function<bool(std::size_t, std::size_t)>& before);

// The report: every entry that is not excluded, in `order`, as
// "[%5d個] ," + name + CR LF; then CR LF, "//" and 68 "-"; then
// CR LF "// %d 件のキャラ名候補が見つかりました。" CR LF with the new count.
std::string format_report(const CandidateTable& table, const std::vector<std::size_t>& order);

}  // namespace lumeno::namefinder
