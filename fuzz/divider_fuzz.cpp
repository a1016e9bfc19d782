// The pack divider with its piece names, and the packer's entries.
#include "divider/divide.h"
#include "fuzz/fuzz_target.h"
#include "packer/pack.h"
#include "shell/names.h"

LUMENO_FUZZ_TARGET(divider) {
  using namespace lumeno;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const auto& piece : divider::split_pack(text)) {
    if (piece.begin > piece.end || piece.end > text.size() || piece.name.empty()) __builtin_trap();
    if (divider::is_safe_piece_name(piece.name)) {
      // A safe name never climbs out of the output folder.
      auto path = names::to_path(piece.name);
      if (path && (path->is_absolute() || path->has_root_path())) __builtin_trap();
    }
  }
  // Packing a file and dividing the entry gives the packed text back.
  const std::string entry = packer::pack_entry("a.txt", text);
  const auto pieces = divider::split_pack(entry);
  if (pieces.empty() || pieces[0].name != "a.txt") __builtin_trap();
  return 0;
}
