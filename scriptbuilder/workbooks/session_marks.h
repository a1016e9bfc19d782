// What the recording session has marked of each voice, shown in the script
// workbooks' 収録 and 備考 columns when the take book keeps the marks: by
// voice name (CP932, as the scripts write it), the status and the notes
// (UTF-8, as the take book holds them).
#pragma once

#include <string>
#include <unordered_map>

namespace lumeno::scriptbuilder {

struct SessionMark {
  std::string status;
  std::string notes;
};

using SessionMarks = std::unordered_map<std::string, SessionMark>;

}  // namespace lumeno::scriptbuilder
