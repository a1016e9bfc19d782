// New files on POSIX systems.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "shell/file_write.h"

namespace lumeno::detail {

NewFile write_new_file(const std::filesystem::path& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno == EEXIST ? NewFile::exists : NewFile::failed;
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    ok = put > 0;
    if (ok) done += static_cast<std::size_t>(put);
  }
  // A full disk may show only when the file is closed (network file systems).
  if (::close(fd) != 0) ok = false;
  if (!ok) ::unlink(path.c_str());
  return ok ? NewFile::written : NewFile::failed;
}

// One call: unlink refuses a folder on every POSIX system, so there is no
// need to look first (the removal of an earlier run's outputs does this for
// every file).
bool remove_plain_file(const std::filesystem::path& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace lumeno::detail
