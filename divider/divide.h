// Splix, the text divider: splits a text at its pack-marker lines into the
// files that were packed into it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "shell/batch_run.h"
#include "shell/tool.h"

namespace lumeno::divider {

// One piece: the name on its marker line and the bytes that follow up to
// the next marker (or the end of the text).
struct Piece {
  std::string name;
  std::size_t begin = 0;
  std::size_t end = 0;
};

// Every marker line of the text with its piece; a marker counts wherever it
// stands, also inside a line. Pieces with an empty name are left out (their
// text is never written); so is the text before the first marker.
std::vector<Piece> split_pack(std::string_view text);

// Longest piece name accepted.
inline constexpr std::size_t kMaxPieceName = 1023;

// True when a piece name stays below the output folder: not empty, at most
// 1023 bytes, not absolute, no drive letter or other ":", no ".." component.
bool is_safe_piece_name(std::string_view name);

const ToolInfo& splix_tool();
std::unique_ptr<ToolRun> make_splix_run();

}  // namespace lumeno::divider
