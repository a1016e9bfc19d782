// The Host of the command-line program: message boxes become lines on
// stderr, the completion message a line on stdout, the progress dialog a
// progress line on stderr (only on a terminal, never with --no-progress).
#pragma once

#include <thread>  // clocks; <chrono> itself holds a literal CP932 cannot encode
#include <string>
#include <string_view>

#include "shell/console/console.h"
#include "shell/host.h"

namespace lumeno::console {

class ConsoleHost final : public Host {
 public:
  ConsoleHost(Console& console, bool show_progress, bool assume_yes);

  void message(std::string_view text) override;
  void run_message(std::string_view text, std::string_view caption) override;
  void completion(std::string_view text, std::string_view caption) override;
  bool confirm(std::string_view text, std::string_view caption) override;
  void progress_set_range(int max) override;
  void progress_set_position(int position) override;
  void progress_set_count_text(std::string_view text) override;
  void progress_set_file_text(std::string_view text) override;
  void pause_ms(int milliseconds) override;

  // Clears the progress line (before other output, and at the end).
  void clear_progress();

 private:
  void draw(bool force);
  void print_err(std::string_view cp932);

  Console& console_;
  bool show_progress_;
  bool assume_yes_;
  int max_ = 1024;
  int position_ = 0;
  std::string count_text_;
  std::string file_text_;  // CP932: converted when drawn, as a run may set it for every file it writes
  bool line_shown_ = false;
  std::chrono::steady_clock::time_point last_draw_{};
};

// Cuts a UTF-8 text to at most `columns` terminal columns (East Asian wide
// characters take two).
std::string fit_columns(std::string_view utf8, int columns);

}  // namespace lumeno::console
