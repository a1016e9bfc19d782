// The terminal as the command-line program sees it. One implementation per
// platform (console_posix.cpp, console_win32.cpp); tests use their own.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lumeno::console {

class Console {
 public:
  virtual ~Console() = default;

  // Texts are UTF-8; a Windows console gets them as UTF-16.
  virtual void write_out(std::string_view text) = 0;
  virtual void write_err(std::string_view text) = 0;
  virtual bool stdin_is_terminal() = 0;
  virtual bool stderr_is_terminal() = 0;
  // Columns of the terminal behind stderr.
  virtual int terminal_width() = 0;
  // One line from stdin without its line end; nothing at its end.
  virtual std::optional<std::string> read_line() = 0;
  // Runs `work`; an interrupt from the user (Ctrl-C) while it runs calls
  // `on_interrupt` instead of ending the process.
  virtual void run_interruptible(const std::function<void()>& work, const std::function<void()>& on_interrupt) = 0;

  // An exclusive lock on a lock file, held until the returned object goes:
  // nothing when another process holds it (or it cannot be made). The
  // system drops the lock when a process ends, however it ends.
  class Lock {
   public:
    virtual ~Lock() = default;
  };
  virtual std::unique_ptr<Lock> try_lock(const std::filesystem::path& lock_file) = 0;
};

// The process's own terminal.
Console& system_console();

}  // namespace lumeno::console
