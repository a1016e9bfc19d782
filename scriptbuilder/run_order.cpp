#include "scriptbuilder/run_order.h"

#include <algorithm>
#include <numeric>

#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

// How the exchange sort treats equal keys.
//
// Step i of the sort carries the smallest key seen so far from position i
// rightwards: each strictly smaller element met takes the carried one's
// place. So the elements that move in step i are the strict running minima
// of the tail, each moving to the place of the next one, and the last (the
// tail's first smallest element) lands at position i.
//
// 1. Keep only the elements with keys <= k. The running minima of a tail are
//    some greater elements first, then exactly the running minima of the
//    kept elements; the last greater one moves into the place of the first
//    kept one, and each kept one moves on to the place of the next, as in the
//    kept elements' own step. So the kept elements go through the exchange
//    sort of their own subsequence, and the final order of the elements with
//    key k is what the sort does to the subsequence of keys <= k, where k is
//    the largest.
// 2. In that subsequence an element with the largest key k moves only when
//    it stands first in the tail (nothing before it is larger): it then jumps
//    to the first smaller element after it, behind the k-run that follows it.
//    Where the smaller elements are matters, not what they are.
// 3. Until the tail reaches the first k-element nothing happens to the
//    k-elements. From then on the tail always begins with a k-run: each step
//    moves the run's first element to the run's end and lets the run swallow
//    one smaller element; when the gap to the next k-run is used up, that run
//    joins at the end. When no smaller element is left, the run's order is
//    the final order.
//
// So per key: take its elements' runs and the counts of smaller elements
// between them (a Fenwick tree over positions), then "rotate the queue by the
// gap, append the next run" for every run, and rotate by the trailing gap.
// The rotations and appends are cursor moves and inserts in a cyclic list,
// laid out by one more Fenwick tree, so the whole order costs O(n log n).
// The tests check it against the sort itself on random keys.

namespace {

class Fenwick {
 public:
  explicit Fenwick(std::size_t n) : tree_(n + 1, 0) {}
  void add(std::size_t i, int delta) {
    for (++i; i < tree_.size(); i += i & (~i + 1)) tree_[i] += delta;
  }
  // Sum over [0, i).
  int prefix(std::size_t i) const {
    int sum = 0;
    for (; i > 0; i -= i & (~i + 1)) sum += tree_[i];
    return sum;
  }
  // The smallest index whose prefix sum through it reaches k + 1 (the k-th
  // one, 0-based, when every entry is 0 or 1).
  std::size_t find_kth(int k) const {
    std::size_t pos = 0;
    std::size_t step = 1;
    while (step * 2 < tree_.size()) step *= 2;
    for (; step > 0; step /= 2) {
      if (pos + step < tree_.size() && tree_[pos + step] <= k) {
        pos += step;
        k -= tree_[pos];
      }
    }
    return pos;
  }

 private:
  std::vector<int> tree_;
};

// The final order of one key's elements (`members`, ascending positions)
// given the counts of smaller elements between them: gaps[j] smaller
// elements lie between members[j] and members[j + 1], gaps.back() after the
// last member.
std::vector<std::size_t> equal_key_order(const std::vector<std::size_t>& members, const std::vector<int>& gaps) {
  // The cyclic queue as a list of insertions: element e goes in at index
  // insert_at[e] of the list as it is then; `cursor` is where the queue
  // begins. Rotating moves the cursor; appending inserts before it.
  const std::size_t m = members.size();
  std::vector<std::size_t> insert_at(m);
  std::size_t size = 0;
  std::size_t cursor = 0;
  for (std::size_t e = 0; e < m; ++e) {
    if (e > 0 && gaps[e - 1] > 0) cursor = (cursor + static_cast<std::size_t>(gaps[e - 1])) % size;
    insert_at[e] = cursor;
    ++cursor;
    ++size;
  }
  cursor %= size;
  cursor = (cursor + static_cast<std::size_t>(gaps[m - 1])) % size;

  // Lay the insertions out: the last one takes its index among all slots,
  // each earlier one its index among the slots still free.
  Fenwick free_slots(m);
  for (std::size_t s = 0; s < m; ++s) free_slots.add(s, 1);
  std::vector<std::size_t> slots(m);
  for (std::size_t e = m; e-- > 0;) {
    const std::size_t slot = free_slots.find_kth(static_cast<int>(insert_at[e]));
    free_slots.add(slot, -1);
    slots[slot] = members[e];
  }
  std::rotate(slots.begin(), slots.begin() + static_cast<std::ptrdiff_t>(cursor), slots.end());
  return slots;
}

}  // namespace

std::vector<std::size_t> exchange_sort_order(const std::vector<std::string>& keys) {
  const std::size_t n = keys.size();
  std::vector<std::size_t> by_key(n);
  std::iota(by_key.begin(), by_key.end(), std::size_t{0});
  std::stable_sort(by_key.begin(), by_key.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });

  std::vector<std::size_t> order;
  order.reserve(n);
  Fenwick smaller(n);  // positions of the elements with smaller keys
  std::vector<std::size_t> members;
  std::vector<int> gaps;
  for (std::size_t g = 0; g < n;) {
    std::size_t end = g + 1;
    while (end < n && keys[by_key[end]] == keys[by_key[g]]) ++end;
    members.assign(by_key.begin() + static_cast<std::ptrdiff_t>(g), by_key.begin() + static_cast<std::ptrdiff_t>(end));
    if (members.size() == 1) {
      order.push_back(members[0]);
    } else {
      gaps.clear();
      for (std::size_t j = 0; j + 1 < members.size(); ++j) gaps.push_back(smaller.prefix(members[j + 1]) - smaller.prefix(members[j] + 1));
      gaps.push_back(smaller.prefix(n) - smaller.prefix(members.back() + 1));
      const std::vector<std::size_t> same = equal_key_order(members, gaps);
      order.insert(order.end(), same.begin(), same.end());
    }
    for (std::size_t p : members) smaller.add(p, 1);
    g = end;
  }
  return order;
}

std::vector<std::size_t> builder_run_order(const std::vector<RunFile>& files) {
  std::vector<std::string> keys;
  keys.reserve(files.size());
  for (const RunFile& file : files) keys.push_back(fold_ascii(file.full_name));
  return exchange_sort_order(keys);
}

bool within_entry(std::string_view file, std::string_view entry, bool folder) {
  if (!folder) return compare_folded(file, entry) == 0;
  return file.size() > entry.size() && file[entry.size()] == '\\' && compare_folded(file.substr(0, entry.size()), entry) == 0;
}

}  // namespace lumeno::scriptbuilder
