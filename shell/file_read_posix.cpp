// Whole-file reads on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <stdexcept>

#include "shell/file_read.h"

namespace lumeno::detail {

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

ReadStatus read_file_bytes(const std::filesystem::path& path, std::string& out) {
  // Without blocking, so that a pipe that bears a file's name cannot hang the
  // run; only a plain file is read.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return ReadStatus::cannot_open;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadStatus::cannot_open;
  try {
    out.resize(static_cast<std::size_t>(st.st_size));
  } catch (const std::bad_alloc&) {
    return ReadStatus::no_memory;
  } catch (const std::length_error&) {
    return ReadStatus::no_memory;
  }
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t got = ::read(fd.get(), out.data() + done, out.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return ReadStatus::short_read;
    done += static_cast<std::size_t>(got);
  }
  return ReadStatus::ok;
}

// POSIX systems let a program replace a file another one holds open: the
// other program's lock files are the caller's business.
bool file_held_open(const std::filesystem::path&) { return false; }

}  // namespace lumeno::detail
