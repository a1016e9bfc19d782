#include "scriptbuilder/run_context.h"

#include "shell/files.h"
#include "shell/names.h"

namespace lumeno::scriptbuilder {

std::optional<DialogueMarks> run_dialogue_marks(const AppState& app, std::string& why) {
  const std::string marks_text = app.settings.get_string(kDialogueMarks);
  std::optional<DialogueMarks> marks = parse_dialogue_marks(marks_text);
  if (!marks) {
    why = dialogue_marks_refusal(marks_text);
    return std::nullopt;
  }
  // A settings file edited by hand may hold a start number the options
  // dialog would refuse: refuse the run with the dialog's message.
  const std::string refusal = check_start_number(app.settings.get_string(kStartNumber));
  if (!refusal.empty()) {
    why = "start_number: " + names::utf8_from_cp932_lossy(refusal);
    return std::nullopt;
  }
  return marks;
}

BuilderRun::SourceStatus BuilderRun::read_source(const RunFile& file, std::string& text) const { return read_run_source(ctx, file, text); }

BuilderRun::SourceStatus read_run_source(RunContext& ctx, const RunFile& file, std::string& text) {
  const ReadStatus status = ctx.fs.read(file.path, text);
  const BuilderRun::SourceStatus accepted = accept_run_source(ctx, status, text.size());
  if (status != ReadStatus::ok) text.clear();
  return accepted;
}

BuilderRun::SourceStatus accept_run_source(RunContext& ctx, ReadStatus status, std::uint64_t size) {
  if (status != ReadStatus::ok) {
    ctx.host.message(read_failure_message(status));
    return BuilderRun::SourceStatus::unreadable;
  }
  if (size > kMaxSourceBytes) {
    ctx.host.message(kMsgSourceTooLarge);
    ctx.host.request_cancel();
    return BuilderRun::SourceStatus::too_large;
  }
  return BuilderRun::SourceStatus::ok;
}

bool BuilderRun::write_output(std::string_view name, std::string bytes) {
  return writes.submit(ctx.app.home_path(name), std::move(bytes)) || writes.show_failure(ctx.host);
}

bool BackgroundOutputs::finish() {
  for (std::size_t k = 0; k < outputs_.size(); ++k) {
    if (!outputs_[k]->finish()) {
      for (std::size_t rest = k + 1; rest < outputs_.size(); ++rest) outputs_[rest]->stop();
      outputs_.clear();
      return false;
    }
  }
  outputs_.clear();
  return true;
}

void BackgroundOutputs::stop() {
  for (const std::unique_ptr<BackgroundOutput>& output : outputs_) output->stop();
  outputs_.clear();
}

bool BuilderRun::finish_writes() { return writes.finish() || writes.show_failure(ctx.host); }

}  // namespace lumeno::scriptbuilder
