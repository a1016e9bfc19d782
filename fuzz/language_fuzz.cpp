// The language file parser and the status formats it may carry.
#include "fuzz/fuzz_target.h"
#include "packer/pack.h"
#include "shell/ui_texts.h"

LUMENO_FUZZ_TARGET(language) {
  using namespace lumeno;
  const ToolInfo& tool = packer::bindo_tool();
  UiTexts texts(tool);
  parse_language_file(std::string_view(reinterpret_cast<const char*>(data), size), texts);
  for (int slot = 0; slot < kUiTextCount; ++slot) {
    if (texts[slot].size() > 264) __builtin_trap();
  }
  format_status(tool, texts, kUiStatusCount, 12345);
  format_status(tool, texts, kUiStatusSelected, -1);
  return 0;
}
