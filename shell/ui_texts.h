// The UI text table: 47 texts by slot, from a language file in "languages\"
// of the tool folder or built in.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "shell/tool.h"

namespace lumeno {

inline constexpr int kUiTextCount = 47;

// Slots the shell uses by name.
enum UiTextSlot : int {
  kUiConfirmCaption = 21,
  kUiFolderLimit = 26,
  kUiNoMemory = 29,
  kUiAborted = 30,
  kUiProgressTitle = 32,
  kUiProgressCancelling = 33,
  kUiElapsed = 34,
  kUiSeconds = 35,
  kUiMinutes = 36,
  kUiHours = 37,
  kUiCompletion = 38,
  kUiStatusCount = 39,
  kUiStatusSelected = 40,
  kUiOk = 41,
  kUiCancel = 42,
  kUiDefaults = 43,
  kUiOptions = 44,
  kUiOptionsGroup = 45,
  kUiVersion = 46,
};

class UiTexts {
 public:
  explicit UiTexts(const ToolInfo& tool);  // the built-in texts

  const std::string& operator[](int slot) const { return slots_.at(static_cast<std::size_t>(slot)); }
  std::string& operator[](int slot) { return slots_.at(static_cast<std::size_t>(slot)); }

 private:
  std::array<std::string, kUiTextCount> slots_;
};

// The built-in text of a slot for a tool.
std::string_view builtin_ui_text(const ToolInfo& tool, int slot);

// Fills slots from a language file's bytes: the n-th text goes to slot n;
// "\n" (backslash, small n) becomes CR LF; a text ends at a line end or once
// 263 or more bytes are stored (the rest of a longer line is the next text);
// runs of CR and LF after a text are skipped; texts after the 47th are
// ignored; slots the file does not reach keep their texts.
void parse_language_file(std::string_view bytes, UiTexts& texts);

// True when `format` holds exactly one integer conversion ("%d" or "%i",
// with flags and width) and otherwise only "%%".
bool is_single_int_format(std::string_view format);
// A status format (slot 39 or 40) filled with `n`; the built-in format is
// used when the text is not a single-integer format.
std::string format_status(const ToolInfo& tool, const UiTexts& texts, int slot, long long n);

}  // namespace lumeno
