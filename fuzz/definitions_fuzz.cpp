// The character definitions file.
#include "fuzz/fuzz_target.h"
#include "scriptbuilder/characters.h"

LUMENO_FUZZ_TARGET(definitions) {
  using namespace lumeno;
  auto table = scriptbuilder::parse_character_definitions(std::string_view(reinterpret_cast<const char*>(data), size));
  if (table) {
    for (const auto& c : table->characters) {
      if (c.voice_prefix.size() > 31 || c.names.empty() || c.names.size() > 16) __builtin_trap();
    }
  }
  return 0;
}
