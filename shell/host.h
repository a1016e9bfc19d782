// Host: what a run needs of its front end (a window, a terminal, a test).
//
// Every text handed to a host is CP932; the host converts it for display.
#pragma once

#include <atomic>
#include <string_view>

namespace lumeno {

class Host {
 public:
  virtual ~Host() = default;

  // A plain message box: no owner, no caption of its own (the platform's
  // default error caption). Errors of conversions and file utilities.
  virtual void message(std::string_view text) = 0;
  // A message box owned by the progress dialog, with the program's caption
  // (the run's own messages, such as the abort message).
  virtual void run_message(std::string_view text, std::string_view caption) = 0;
  // The completion message: owned by the progress dialog, program's caption.
  virtual void completion(std::string_view text, std::string_view caption) = 0;
  // A question with OK and Cancel; true for OK.
  virtual bool confirm(std::string_view text, std::string_view caption) = 0;

  // The progress dialog: the bar's range (position back to 0), the bar's
  // position, the text line above the bar and the one below it.
  virtual void progress_set_range(int max) = 0;
  virtual void progress_set_position(int position) = 0;
  virtual void progress_set_count_text(std::string_view text) = 0;
  virtual void progress_set_file_text(std::string_view text) = 0;

  // A short pause the run makes between its phases.
  virtual void pause_ms(int milliseconds) = 0;

  // The cancel flag: set by the front end (Cancel, Escape, Ctrl-C), read by
  // the run and the conversions, cleared by the run at its end.
  bool cancel_requested() const { return cancel_.load(std::memory_order_relaxed); }
  void request_cancel() { cancel_.store(true, std::memory_order_relaxed); }
  void clear_cancel() { cancel_.store(false, std::memory_order_relaxed); }

 private:
  std::atomic<bool> cancel_{false};
};

}  // namespace lumeno
