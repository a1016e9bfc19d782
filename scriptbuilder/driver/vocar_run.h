// Vocar's run on top of everything it makes: the tool (its settings table
// and hooks, which the shell runs) and the driver that runs the phases in
// order. A run saves the settings, collects the files with their relative
// names, wipes the three output folders, loads "キャラ定義.txt", puts the
// files in the run order, then runs the enabled phases one after another;
// each starts from fresh voice counters, so a line has the same number in
// every output.
//
// It may use every room below scriptbuilder/; no room includes it: what a
// phase needs of the run comes from run_context.h.
#pragma once

#include <memory>
#include <string_view>

#include "scriptbuilder/builder_settings.h"
#include "scriptbuilder/run_context.h"
#include "shell/batch_run.h"
#include "shell/tool.h"

namespace lumeno::scriptbuilder {

// A phase: 0 when done, nonzero when the run must stop (its messages shown).
using PhaseFunction = int (*)(BuilderRun& run);

// The phases, each switched by its output setting; they run in this order.
struct Phase {
  int setting_slot;
  std::string_view progress_text;  // the progress dialog's upper line while it runs
  PhaseFunction run;
};

inline constexpr std::string_view kConfirmation =
    "変換開始してよろしいですか？\r\n\r\n【注意】\r\n・「ボイス命令埋込済テキスト」 フォルダ\r\n・「スタッフ用リスト」 フォルダ\r\n"
    "・「声優用台本」 フォルダ\r\nこの３つのフォルダがすでに存在している場合、一度フォルダごと消去されます。";
inline constexpr std::string_view kMsgVoiceOverflow =
    "ボイス番号の桁あふれが発生しました。\r\n桁数またはボイス開始番号を修正してください。";

const ToolInfo& vocar_tool();
std::unique_ptr<ToolRun> make_vocar_run();

}  // namespace lumeno::scriptbuilder
