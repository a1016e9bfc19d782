// Bindo, the text packer: appends each file to the pack file of its folder,
// introduced by a marker line that carries its name.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "shell/batch_run.h"
#include "shell/tool.h"

namespace lumeno::packer {

// "////≪≪■■": four "/" and ≪ ≪ ■ ■.
inline constexpr std::string_view kPackMarker = "////\x81\xE1\x81\xE1\x81\xA1\x81\xA1";

// Line ends made CR LF: CR LF stays, a lone CR and a lone LF become CR LF;
// a lead byte and the byte after it are copied together.
std::string unify_line_ends(std::string_view text);

// One pack entry: marker, name, CR LF, the content with CR LF line ends,
// and the trailer CR LF.
std::string pack_entry(std::string_view name, std::string_view content);

// The pack file of a file, as a CP932 name: the file's folder, the folder's
// own name, ".txt". "\scn\ch1\001.txt" packs into "\scn\ch1\ch1.txt"; a file
// directly in a root packs into ".txt" there.
std::string pack_file_name(std::string_view full_name);

const ToolInfo& bindo_tool();
std::unique_ptr<ToolRun> make_bindo_run();

}  // namespace lumeno::packer
