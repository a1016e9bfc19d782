#include "scriptbuilder/check_run.h"

#include <new>

#include "scriptbuilder/run_context.h"
#include "scriptbuilder/run_order.h"
#include "shell/files.h"

namespace lumeno::scriptbuilder {

bool VocarCheckRun::prepare_run(AppState& app, std::string& why) {
  marks_ = run_dialogue_marks(app, why);
  return marks_.has_value();
}

int VocarCheckRun::run_files(RunContext& ctx) {
  try {
    return check(ctx);
  } catch (const std::bad_alloc&) {
    ctx.host.message(kMsgNoMemory);
    return -1;
  }
}

bool VocarCheckRun::start(RunContext& ctx) {
  settings_ = read_builder_settings(ctx.app.settings);
  characters_ = load_character_definitions(ctx.app, ctx.fs, ctx.host);
  if (!characters_) return false;
  ctx.order = builder_run_order(ctx.files);
  matcher_.emplace(*characters_, *marks_);
  return true;
}

}  // namespace lumeno::scriptbuilder
