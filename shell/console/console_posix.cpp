// The terminal on POSIX systems: bytes in UTF-8, SIGINT as the interrupt.
#include <fcntl.h>
#include <sys/file.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <thread>

#include "shell/console/console.h"

namespace lumeno::console {

namespace {

void write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

class FileLock final : public Console::Lock {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock() override { ::close(fd_); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

class PosixConsole final : public Console {
 public:
  void write_out(std::string_view text) override { write_all(STDOUT_FILENO, text); }
  void write_err(std::string_view text) override { write_all(STDERR_FILENO, text); }
  bool stdin_is_terminal() override { return ::isatty(STDIN_FILENO) == 1; }
  bool stderr_is_terminal() override { return ::isatty(STDERR_FILENO) == 1; }

  int terminal_width() override {
    winsize ws{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
  }

  std::optional<std::string> read_line() override {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  void run_interruptible(const std::function<void()>& work, const std::function<void()>& on_interrupt) override {
    // SIGINT is blocked in every thread and taken here by sigtimedwait, so
    // no signal handler and no shared global are needed.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigset_t old;
    pthread_sigmask(SIG_BLOCK, &set, &old);
    std::atomic<bool> done{false};
    const pthread_t waiting = pthread_self();
    std::thread worker([&] {
      work();
      done.store(true);
      // Wake the waiting thread now rather than at its next tick; the SIGINT
      // it takes after `done` is not an interrupt.
      pthread_kill(waiting, SIGINT);
    });
    // The tick bounds how long a finished run waits to be noticed.
    const timespec tick{0, 5'000'000};
    while (!done.load()) {
      if (sigtimedwait(&set, nullptr, &tick) == SIGINT && !done.load()) on_interrupt();
    }
    worker.join();
    // An interrupt that came after the last check is dropped, not delivered.
    const timespec none{0, 0};
    while (sigtimedwait(&set, nullptr, &none) == SIGINT) {
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
  }

  std::unique_ptr<Lock> try_lock(const std::filesystem::path& lock_file) override {
    const int fd = ::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<FileLock>(fd);
  }
};

}  // namespace

Console& system_console() {
  static PosixConsole console;
  return console;
}

}  // namespace lumeno::console
