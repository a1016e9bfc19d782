// The staff lists (スタッフ用リスト): each voiced character's text list and
// voice count list, the file voice list, and the counts for the budget
// (dialogue_counts.h), from one read of the run's files (staff_list_scan.h).
//
// The room "lists" makes these and holds the rules of what a line says aloud
// (spoken_text.h); it may use the scripts' and the workbooks' rooms and the
// root, never the recording records, the checks or the driver.
#pragma once

#include "scriptbuilder/run_context.h"

namespace lumeno::scriptbuilder {

// The phase: writes スタッフ用リスト. 0, or nonzero when the run must stop
// (its messages shown).
int write_staff_lists(BuilderRun& run);

}  // namespace lumeno::scriptbuilder
