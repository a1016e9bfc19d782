#include "programs/tools.h"

#include "divider/divide.h"
#include "namefinder/namex.h"
#include "packer/pack.h"
#include "programs/vocar_commands.h"
#include "scriptbuilder/driver/vocar_run.h"
#include "stripper/pruna.h"

namespace lumeno::programs {

namespace {

using console::ToolEntry;

const ToolEntry kTools[] = {
    {scriptbuilder::vocar_tool, scriptbuilder::make_vocar_run, vocar_commands(), vocar_menu_commands()},
    {stripper::pruna_tool, stripper::make_pruna_run},
    {namefinder::namex_tool, namefinder::make_namex_run},
    {divider::splix_tool, divider::make_splix_run},
    {packer::bindo_tool, packer::make_bindo_run},
};

}  // namespace

std::span<const ToolEntry> all_tools() { return kTools; }

}  // namespace lumeno::programs
