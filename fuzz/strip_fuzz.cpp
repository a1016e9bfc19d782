// The comment stripping pass and the line-break unification.
#include "fuzz/fuzz_target.h"
#include "stripper/strip.h"

LUMENO_FUZZ_TARGET(strip) {
  using namespace lumeno::stripper;
  lumeno::fuzz::Parts parts(data, size);
  const unsigned char options = parts.byte();
  const std::string unified = unify_line_breaks(parts.rest());
  if (!line_breaks_unified(unified)) __builtin_trap();
  StripOptions strip;
  strip.target_line_comments = options & 1;
  strip.target_block_comments = (options >> 1) & 1;
  strip.target_commands = (options >> 2) & 1;
  strip.strip_mode = (options >> 3) & 1;
  strip.blank_line_mode = (options >> 4) & 3;
  StripCounts counts;
  const std::string out = strip_text(unified, strip, counts);
  if (out.size() > unified.size()) __builtin_trap();
  return 0;
}
