#include "shell/file_system.h"

#include "shell/file_read.h"

#include <fstream>
#include <thread>
#include <system_error>

namespace lumeno {

namespace fs = std::filesystem;

namespace {
constexpr int kReplaceAttempts = 10;
constexpr int kReplaceRetryMs = 20;
}  // namespace

EntryKind RealFileSystem::kind(const fs::path& path) {
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (ec || st.type() == fs::file_type::not_found) return EntryKind::missing;
  if (st.type() == fs::file_type::directory) return EntryKind::directory;
  if (st.type() == fs::file_type::regular) return EntryKind::file;
  return EntryKind::other;
}

bool RealFileSystem::list(const fs::path& folder, std::vector<DirEntry>& out) {
  out.clear();
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return false;
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return false;
    DirEntry entry;
    entry.path = it->path();
    std::error_code kind_ec;
    if (it->is_symlink(kind_ec)) {
      // A linked file is read like a file; a linked folder is not walked, so
      // a link cycle can never make the walk endless.
      entry.kind = it->is_regular_file(kind_ec) ? EntryKind::file : EntryKind::other;
    } else if (it->is_directory(kind_ec)) {
      entry.kind = EntryKind::directory;
    } else if (it->is_regular_file(kind_ec)) {
      entry.kind = EntryKind::file;
    }
    out.push_back(std::move(entry));
  }
  return !ec;
}

std::optional<std::uint64_t> RealFileSystem::size(const fs::path& path) {
  std::error_code ec;
  const auto n = fs::file_size(path, ec);
  if (ec) return std::nullopt;
  return static_cast<std::uint64_t>(n);
}

bool RealFileSystem::can_open(const fs::path& path) {
  if (kind(path) == EntryKind::directory) return false;
  std::ifstream in(path, std::ios::binary);
  return in.is_open();
}

ReadStatus RealFileSystem::read(const fs::path& path, std::string& out) {
  return detail::read_file_bytes(path, out);
}

bool RealFileSystem::write(const fs::path& path, std::string_view bytes) {
  fs::path temp = path;
  temp += ".lumeno-part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ec;
      fs::remove(temp, ec);
      return false;
    }
  }
  std::error_code ec;
  // On Windows a file another program holds open for a moment (a reader, a
  // virus scanner) cannot be replaced: try again a few times before giving up.
  for (int attempt = 1;; ++attempt) {
    fs::rename(temp, path, ec);
    if (!ec || attempt == kReplaceAttempts) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(kReplaceRetryMs));
  }
  if (ec) {
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

bool RealFileSystem::append(const fs::path& path, std::string_view bytes) {
  std::error_code ec;
  std::uintmax_t before = fs::file_size(path, ec);
  const bool existed = !ec;
  if (!existed) {
    if (fs::exists(path, ec)) return false;  // there, but not a file whose size can be had
    before = 0;
  }
  std::ofstream out(path, std::ios::binary | std::ios::app);
  if (!out.is_open()) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (out) return true;
  // Cut back what a short write left, so earlier entries stay as they were.
  if (existed) {
    fs::resize_file(path, before, ec);
  } else {
    fs::remove(path, ec);
  }
  return false;
}

bool RealFileSystem::create_directory(const fs::path& path) {
  std::error_code ec;
  return fs::create_directory(path, ec) && !ec;
}

bool RealFileSystem::remove_file(const fs::path& path) {
  std::error_code ec;
  const fs::file_status st = fs::symlink_status(path, ec);
  if (ec || st.type() == fs::file_type::directory) return false;
  return fs::remove(path, ec) && !ec;
}

bool RealFileSystem::remove_directory(const fs::path& path) {
  std::error_code ec;
  const fs::file_status st = fs::symlink_status(path, ec);
  if (ec || st.type() != fs::file_type::directory) return false;
  return fs::remove(path, ec) && !ec;
}

bool RealFileSystem::same_entry(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  const bool same = fs::equivalent(a, b, ec);
  return !ec && same;
}

bool RealFileSystem::held_open(const fs::path& path) { return detail::file_held_open(path); }

}  // namespace lumeno
