#include "namefinder/candidates.h"

#include <algorithm>
#include <numeric>
#include <string>

#include "shell/sjis.h"

namespace lumeno::namefinder {

namespace {

// A name is a zero-terminated text, like every text of the tools: it ends
// at its first zero byte.
std::string_view up_to_zero(std::string_view name) { return name.substr(0, name.find('\0')); }

}  // namespace

void CandidateTable::load_exclusion_list(std::string_view list) {
  // The list as read, with CR LF after it. A line ends at its first CR or
  // LF and the run of CR and LF after it is passed over, so only a first
  // line can be empty; it is an entry like any other (a name no scan finds,
  // which still takes its place when equal counts are ordered).
  std::string text(list);
  text += "\r\n";
  std::size_t i = 0;
  const std::size_t size = text.size();
  while (i < size) {
    const std::size_t start = i;
    while (i < size && text[i] != '\r' && text[i] != '\n') i += sjis_char_length(text, i);
    const std::string_view line = std::string_view(text).substr(start, std::min(i, size) - start);
    while (i < size && (text[i] == '\r' || text[i] == '\n')) ++i;
    if (line.starts_with("//")) continue;
    add(up_to_zero(line), 1, true);
  }
}

std::size_t CandidateTable::add(std::string_view name, std::int64_t count, bool excluded) {
  entries_.push_back(Candidate{std::string(name), count, excluded});
  const std::size_t at = entries_.size() - 1;
  // The first entry of a name keeps the index: it receives the counts.
  index_.emplace(std::string_view(entries_.back().name), at);
  return at;
}

void CandidateTable::count(std::string_view found, std::int64_t times) {
  const std::string_view name = up_to_zero(found);
  const auto it = index_.find(name);
  if (it != index_.end()) {
    entries_[it->second].count += times;
    return;
  }
  add(name, times, false);
  ++new_count_;
}

ListOrder list_order_from_setting(std::int32_t value) {
  if (value == 0) return ListOrder::by_name;
  if (value == 1) return ListOrder::by_count;
  return ListOrder::table;
}

namespace {

// Counts over positions 0..n-1: add one at a position, count the positions
// below a bound, find the k-th position still counted.
class Fenwick {
 public:
  explicit Fenwick(std::size_t n) : tree_(n + 1, 0) {}

  void add(std::size_t pos, int delta) {
    for (std::size_t i = pos + 1; i < tree_.size(); i += i & (~i + 1)) tree_[i] += delta;
  }
  // Sum over positions [0, end).
  std::int64_t prefix(std::size_t end) const {
    std::int64_t sum = 0;
    for (std::size_t i = end; i > 0; i -= i & (~i + 1)) sum += tree_[i];
    return sum;
  }
  // The position p at which prefix(p + 1) first exceeds k (every count 0 or 1).
  std::size_t find_kth(std::int64_t k) const {
    std::size_t pos = 0;
    std::size_t mask = 1;
    while (mask * 2 < tree_.size()) mask *= 2;
    for (; mask > 0; mask /= 2) {
      const std::size_t next = pos + mask;
      if (next < tree_.size() && tree_[next] <= k) {
        pos = next;
        k -= tree_[next];
      }
    }
    return pos;
  }

 private:
  std::vector<std::int64_t> tree_;
};

// How the exchange sort arranges one class of equal keys, found at the table
// positions `members` (ascending), given `before_count` (the positions of all
// entries of lower keys). Only the entries of lower keys move members of the
// class relative to one another: at each sort position the first member, while
// no lower entry precedes it, is swapped on to the place of the first lower
// entry, past the members before that place. Taken over the whole sort, the
// members form a queue that, at each lower entry passed, turns by one: read
// as a ring with a head, every run of r lower entries moves the head on by r,
// and every member is inserted just before the head.
std::vector<std::size_t> arrange_class(const std::vector<std::size_t>& members, const Fenwick& lower, std::int64_t lower_total) {
  const std::size_t k = members.size();
  if (k < 2) return members;
  // Insertion positions into the growing ring, and the head at the end.
  std::vector<std::size_t> insert_at(k);
  std::size_t head = 0;
  for (std::size_t j = 0; j < k; ++j) {
    if (j > 0) {
      const std::int64_t passed = lower.prefix(members[j]) - lower.prefix(members[j - 1]);
      head = (head + static_cast<std::size_t>(passed % static_cast<std::int64_t>(j))) % j;
    }
    insert_at[j] = head;
    head = (head + 1) % (j + 1);
  }
  const std::int64_t after = lower_total - lower.prefix(members[k - 1]);
  head = (head + static_cast<std::size_t>(after % static_cast<std::int64_t>(k))) % k;

  // Replay the insertions backwards: the last one takes its slot among all
  // k, each earlier one the slot of its index among those still free.
  Fenwick free_slots(k);
  for (std::size_t s = 0; s < k; ++s) free_slots.add(s, 1);
  std::vector<std::size_t> ring(k);
  for (std::size_t j = k; j-- > 0;) {
    const std::size_t slot = free_slots.find_kth(static_cast<std::int64_t>(insert_at[j]));
    ring[slot] = members[j];
    free_slots.add(slot, -1);
  }
  std::vector<std::size_t> arranged;
  arranged.reserve(k);
  for (std::size_t s = 0; s < k; ++s) arranged.push_back(ring[(head + s) % k]);
  return arranged;
}

}  // namespace

std::vector<std::size_t> exchange_sort_order(std::size_t n, const std::function<bool(std::size_t, std::size_t)>& before) {
  std::vector<std::size_t> sorted(n);
  std::iota(sorted.begin(), sorted.end(), std::size_t{0});
  std::stable_sort(sorted.begin(), sorted.end(), [&](std::size_t a, std::size_t b) { return before(a, b); });

  std::vector<std::size_t> order;
  order.reserve(n);
  Fenwick lower(n);
  std::int64_t lower_total = 0;
  std::vector<std::size_t> members;
  for (std::size_t g = 0; g < n;) {
    std::size_t end = g + 1;
    while (end < n && !before(sorted[end - 1], sorted[end])) ++end;
    // Within a class the stable sort keeps table order: ascending positions.
    members.assign(sorted.begin() + static_cast<std::ptrdiff_t>(g), sorted.begin() + static_cast<std::ptrdiff_t>(end));
    const std::vector<std::size_t> arranged = arrange_class(members, lower, lower_total);
    order.insert(order.end(), arranged.begin(), arranged.end());
    for (std::size_t m : members) lower.add(m, 1);
    lower_total += static_cast<std::int64_t>(members.size());
    g = end;
  }
  return order;
}

std::vector<std::size_t> report_order(const std::deque<Candidate>& entries, ListOrder order, bool reverse) {
  const std::size_t n = entries.size();
  if (order == ListOrder::table) {
    std::vector<std::size_t> same(n);
    std::iota(same.begin(), same.end(), std::size_t{0});
    return same;
  }
  // std::string_view compares bytes as unsigned values, a prefix first.
  if (order == ListOrder::by_name) {
    if (reverse) return exchange_sort_order(n, [&](std::size_t a, std::size_t b) { return std::string_view(entries[a].name) > std::string_view(entries[b].name); });
    return exchange_sort_order(n, [&](std::size_t a, std::size_t b) { return std::string_view(entries[a].name) < std::string_view(entries[b].name); });
  }
  if (reverse) return exchange_sort_order(n, [&](std::size_t a, std::size_t b) { return entries[a].count < entries[b].count; });
  return exchange_sort_order(n, [&](std::size_t a, std::size_t b) { return entries[a].count > entries[b].count; });
}

std::string format_report(const CandidateTable& table, const std::vector<std::size_t>& order) {
  std::string out;
  for (std::size_t i : order) {
    const Candidate& entry = table.entries()[i];
    if (entry.excluded) continue;
    // "%5d": at least five places, every digit of a wider count.
    const std::string count = std::to_string(entry.count);
    out += '[';
    if (count.size() < 5) out.append(5 - count.size(), ' ');
    out += count;
    out += "個] ,";
    out += entry.name;
    out += "\r\n";
  }
  out += "\r\n//";
  out.append(68, '-');
  out += "\r\n// " + std::to_string(table.new_count()) + " 件のキャラ名候補が見つかりました。\r\n";
  return out;
}

}  // namespace lumeno::namefinder
