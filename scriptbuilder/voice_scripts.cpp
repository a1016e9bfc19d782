// The voice-actor scripts (声優用台本): one script a voiced character and
// file, and the all-character script.
#include "scriptbuilder/builder_run.h"

namespace lumeno::scriptbuilder {

// Not written yet: the phase keeps its place in the run (its progress text
// and its share of the bar) and produces nothing.
int write_voice_actor_scripts(BuilderRun&) { return 0; }

}  // namespace lumeno::scriptbuilder
