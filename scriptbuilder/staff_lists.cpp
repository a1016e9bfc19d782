// The staff lists (スタッフ用リスト): each character's text and voice count
// lists, then the file voice list, with fresh counters before each.
#include "scriptbuilder/builder_run.h"

namespace lumeno::scriptbuilder {

// Not written yet: the phase keeps its place in the run (its progress text
// and its share of the bar) and produces nothing.
int write_staff_lists(BuilderRun&) { return 0; }

}  // namespace lumeno::scriptbuilder
