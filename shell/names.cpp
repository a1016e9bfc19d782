// Platform-independent half of the name codec.
#include "shell/names.h"

namespace lumeno::names {

std::string unconvertible_message(std::string_view what) {
  std::string message(what);
  message += " の名前は Shift_JIS で表せません。";
  return message;
}

}  // namespace lumeno::names
