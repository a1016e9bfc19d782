// The scenario check, for the scenario writer: `lumeno vocar check` and the
// ツール menu's check. It reads as every check does (check_run.h).
//
// The check reports, one finding a line in the form of the staff lists
// ("relative\name.txt(line): message", which editors jump to), in run order:
//   - a line that seems to begin with a speaker's name and a dialogue mark
//     but whose name no definition has (see below);
//   - a speech whose brackets 「」『』（） do not balance (its first fault:
//     a bracket never closed, a closing one never opened, or one closed by
//     another's partner), at the line the fault stands on (see below);
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
// Commands, comments and blanks are read as spoken_text.h says where a line
// is told from narration, and as speech.h says within a speech.
//
// A speech (speech.h) is the line of dialogue, a known or an unknown
// speaker's, and the lines that continue it up to its closing bracket, read
// as the engine reads them; here the next line of dialogue that ends one
// early is any line the check takes for dialogue. A speech that ends before
// its bracket closes (at a blank line, a command, the next dialogue or the
// end of the file) has its unclosed bracket named at its last line, the
// note saying on which line it began and whether a "//" comment held the
// closing bracket (as in a URL):
//   閉じていない括弧（12 行目からのセリフ。閉じ括弧が // 以降のコメントに入っています）: 「
// A speech begun within a block comment that an earlier line opened is
// not looked at.
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
