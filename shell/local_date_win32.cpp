// Today's date on Windows.
#include <windows.h>

#include "shell/local_date.h"

namespace lumeno {

LocalDate local_date() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay};
}

}  // namespace lumeno
