// A run that checks the files of the list and ends in a report instead of
// outputs: a tool's checks, offered beside its conversion (a command of the
// `lumeno` program, a command of the desktop program's ツール menu). It
// collects the files as the tool's run does but saves no settings and writes
// nothing; the front end shows the report.
#pragma once

#include <string>

#include "shell/batch_run.h"

namespace lumeno {

struct Report {
  std::string text;     // CP932, lines ended by CR LF, the summary line last
  std::string summary;  // CP932: the last line, without its line end
  bool found = false;   // something to see to (the command's exit status 1)
};

class ReportRun : public ToolRun {
 public:
  int collect_files(RunContext& ctx) override { return collect_run_files(ctx, *this); }
  // The report takes the completion message's place.
  void show_completion(RunContext&, int) override {}
  // Once the run has completed.
  const Report& report() const { return report_; }

 protected:
  // Sets the report: its body (CP932, CR LF), then the summary line.
  void set_report(std::string body, std::string summary, bool found) {
    report_.text = std::move(body);
    report_.text += summary;
    report_.text += "\r\n";
    report_.summary = std::move(summary);
    report_.found = found;
  }

 private:
  Report report_;
};

}  // namespace lumeno
