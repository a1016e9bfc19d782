// The order in which every output takes the run's files.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "shell/batch_run.h"

namespace lumeno::scriptbuilder {

// The order of the run's files: ascending full names, compared byte by byte
// with ASCII letters folded and a prefix first.
//
// Files whose names compare equal (one file collected twice under two
// relative names, or names that differ in letter case only) come in the
// order that this exchange sort leaves them in:
//
//   for i: for j > i: if key[order[i]] > key[order[j]]: swap(order[i], order[j])
//
// which is not the collection order. That order decides which copy gets the
// lower voice numbers, so it is kept exactly, in O(n log n) (see the .cpp).
std::vector<std::size_t> builder_run_order(const std::vector<RunFile>& files);

// True when the file of relative name `file` ("\\" separators) is the list
// entry `entry` (a file) or lies below it (a folder), ASCII letters folded:
// whether a run over that entry reads the file. The names may be CP932 or
// UTF-8, both the same.
bool within_entry(std::string_view file, std::string_view entry, bool folder);

// The same over keys already folded (ascending byte order).
std::vector<std::size_t> exchange_sort_order(const std::vector<std::string>& keys);

}  // namespace lumeno::scriptbuilder
