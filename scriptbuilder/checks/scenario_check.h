// The scenario check, for the scenario writer: `lumeno vocar check` and the
// ツール menu's check. It reads as every check does (check_run.h).
//
// The check reports, one finding a line in the form of the staff lists
// ("relative\name.txt(line): message", which editors jump to), in run order:
//   - a line that seems to begin with a speaker's name and a dialogue mark
//     but whose name no definition has (see below);
//   - a line of dialogue whose brackets 「」『』（） do not balance on the
//     line (the first fault of the line: a bracket never closed, a closing
//     one never opened, or one closed by another's partner);
// then the lines per unknown name (most first), then the definitions,
// "キャラ定義.txt(line): message":
//   - a character who speaks no line of the scenario (a line goes to the
//     first character whose name and mark begin it, as in every output);
//   - a voice prefix that an earlier character has (ASCII letters folded):
//     their voice names and lists collide;
//   - a voice prefix or display name that no Windows file name can hold:
//     one of \ / : * ? " < > |, a control character, or a trailing dot or
//     space (the prefix begins the recordings' and lists' names, the display
//     name names the scripts' folder).
// Commands, comments and blanks in a line are seen as spoken_text.h says.
//
// An unknown speaker: a line that no definition's name and mark begin is
// taken for one only when all of these hold, so that narration and
// quotations are left alone:
//   - it is not within a block comment that an earlier line opened, and
//     does not begin with "//", "/*", a backslash or a blank;
//   - one of the dialogue marks follows 1 to 10 characters from its start,
//     and none of those characters is a blank, "、", "。", "，", "．", a
//     bracket, a backslash or "/";
//   - after the mark the line ends (commands, comments and blanks left out)
//     with the mark's closing partner, or holds no such partner at all (a
//     line whose quotation closes before more narration follows, as in
//     彼は「うん」と言った, is narration).
//
// The room "checks" may use every other room and the root; no room uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scriptbuilder/scanner.h"
#include "shell/dialogue_marks.h"
#include "shell/report_run.h"

namespace lumeno::scriptbuilder {

std::unique_ptr<ReportRun> make_scenario_check();

// What one file gives the scenario check.
struct FileFindings {
  std::string findings;                 // its lines of the report (CP932, CR LF), in line order
  std::vector<std::string> unknown;     // the unknown speakers' names, one a line, in order
  std::size_t bracket_lines = 0;
  std::vector<std::uint32_t> speakers;  // the characters who speak in it (table indices)
};
// The scenario check of one file, `characters` the size of the matcher's table.
FileFindings check_scenario_file(std::string_view text, std::string_view relative_name, const DialogueMatcher& matcher,
                                 const DialogueMarks& marks, std::size_t characters);

}  // namespace lumeno::scriptbuilder
