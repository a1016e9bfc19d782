// The settings loader, for files of any length and every tool's layout.
#include "fuzz/fuzz_target.h"
#include "shell/settings.h"

LUMENO_FUZZ_TARGET(settings) {
  using namespace lumeno;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const auto& [ints, strings] : {std::pair{16, 0}, std::pair{16, 2}, std::pair{128, 5}}) {
    Settings settings(ints, strings);
    settings.deserialize(bytes);
    const std::string again = settings.serialize();
    if (again.size() != settings.file_size()) __builtin_trap();
    // What is read back is what was written.
    Settings copy(ints, strings);
    copy.deserialize(again);
    if (copy.serialize() != again) __builtin_trap();
    settings.language_name();
    for (int i = 0; i < strings; ++i) settings.get_string(i);
  }
  return 0;
}
