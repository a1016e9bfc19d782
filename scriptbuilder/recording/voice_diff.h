// The alignment of two sequences of line texts (each text given as a number,
// equal texts equal numbers): a longest common subsequence, found by the
// greedy O((N+M)D) algorithm of Myers, after the common head and tail are
// taken off. It costs next to nothing for the few edits between two runs;
// when the sequences differ in more than `max_edits` lines it gives up on
// the middle and keeps the common head and tail only, so that a file whose
// lines were all rewritten costs linear time, not quadratic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace lumeno::scriptbuilder {

inline constexpr std::size_t kMaxDiffEdits = 1000;

// The pairs (index in a, index in b) of equal elements that the alignment
// keeps, both indices rising.
std::vector<std::pair<std::uint32_t, std::uint32_t>> align_lines(std::span<const std::uint32_t> a,
                                                                 std::span<const std::uint32_t> b,
                                                                 std::size_t max_edits = kMaxDiffEdits);

}  // namespace lumeno::scriptbuilder
