#include "scriptbuilder/recording/voice_diff.h"

#include <algorithm>

namespace lumeno::scriptbuilder {

namespace {

using Pairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// Myers' greedy forward search over a and b (no common head or tail left),
// keeping the furthest reach of every diagonal after each edit count, then
// the walk back along the snakes. False when more than `max_edits` edits
// are needed; then nothing is added.
bool shortest_edit(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b, std::size_t max_edits,
                   std::uint32_t base, Pairs& out) {
  const auto n = static_cast<std::int64_t>(a.size());
  const auto m = static_cast<std::int64_t>(b.size());
  const std::int64_t limit = std::min<std::int64_t>(n + m, static_cast<std::int64_t>(max_edits));
  const std::int64_t offset = limit + 1;
  std::vector<std::int64_t> reach(static_cast<std::size_t>(2 * limit + 3), 0);
  // trace holds, for every edit count d, reach[-d .. d] after step d.
  std::vector<std::int64_t> trace;
  auto at = [&](std::int64_t k) -> std::int64_t& { return reach[static_cast<std::size_t>(k + offset)]; };
  auto traced = [&](std::int64_t d, std::int64_t k) { return trace[static_cast<std::size_t>(d * d + (k + d))]; };

  std::int64_t found = -1;
  for (std::int64_t d = 0; d <= limit && found < 0; ++d) {
    for (std::int64_t k = -d; k <= d; k += 2) {
      const bool down = k == -d || (k != d && at(k - 1) < at(k + 1));
      std::int64_t x = down ? at(k + 1) : at(k - 1) + 1;
      std::int64_t y = x - k;
      while (x < n && y < m && a[static_cast<std::size_t>(x)] == b[static_cast<std::size_t>(y)]) {
        ++x;
        ++y;
      }
      at(k) = x;
      if (x >= n && y >= m) found = d;
    }
    for (std::int64_t k = -d; k <= d; ++k) trace.push_back(at(k));
  }
  if (found < 0) return false;

  Pairs pairs;
  std::int64_t x = n;
  std::int64_t y = m;
  for (std::int64_t d = found; d > 0; --d) {
    const std::int64_t k = x - y;
    const bool down = k == -d || (k != d && traced(d - 1, k - 1) < traced(d - 1, k + 1));
    const std::int64_t previous_k = down ? k + 1 : k - 1;
    const std::int64_t previous_x = traced(d - 1, previous_k);
    const std::int64_t previous_y = previous_x - previous_k;
    const std::int64_t snake_x = down ? previous_x : previous_x + 1;
    while (x > snake_x) {
      --x;
      --y;
      pairs.emplace_back(base + static_cast<std::uint32_t>(x), base + static_cast<std::uint32_t>(y));
    }
    x = previous_x;
    y = previous_y;
  }
  while (x > 0 && y > 0) {
    --x;
    --y;
    pairs.emplace_back(base + static_cast<std::uint32_t>(x), base + static_cast<std::uint32_t>(y));
  }
  out.insert(out.end(), pairs.rbegin(), pairs.rend());
  return true;
}

}  // namespace

std::vector<std::pair<std::uint32_t, std::uint32_t>> align_lines(std::span<const std::uint32_t> a,
                                                                 std::span<const std::uint32_t> b,
                                                                 std::size_t max_edits) {
  Pairs pairs;
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
  for (std::size_t k = 0; k < head; ++k) pairs.emplace_back(static_cast<std::uint32_t>(k), static_cast<std::uint32_t>(k));
  const auto middle_a = a.subspan(head, a.size() - head - tail);
  const auto middle_b = b.subspan(head, b.size() - head - tail);
  if (!middle_a.empty() && !middle_b.empty()) {
    // Both middles start at `head`: one base serves both.
    shortest_edit(middle_a, middle_b, max_edits, static_cast<std::uint32_t>(head), pairs);
  }
  for (std::size_t k = tail; k > 0; --k) {
    pairs.emplace_back(static_cast<std::uint32_t>(a.size() - k), static_cast<std::uint32_t>(b.size() - k));
  }
  return pairs;
}

}  // namespace lumeno::scriptbuilder
