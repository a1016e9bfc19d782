#include "shell/file_system.h"

#include "shell/file_read.h"
#include "shell/file_write.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <functional>
#include <random>
#include <string_view>
#include <system_error>
#include <thread>

namespace lumeno {

namespace fs = std::filesystem;

namespace {
constexpr int kReplaceAttempts = 10;
constexpr int kReplaceRetryMs = 20;
// Scratch names tried before a write gives up: with seven random characters
// a taken one is rare, and with a short name's few there are a few more to try.
constexpr int kScratchAttempts = 64;

// Where a file system's scratch names start: random bits, so that writers
// of other processes draw other names. Without a source of entropy, the
// process and the moment still set them apart (a taken name is passed over).
// Drawn once: the system's entropy can cost more than a small file's write
// (on a virtual machine every draw may leave it for the host).
std::uint64_t scratch_seed() {
  try {
    std::random_device entropy;
    return (static_cast<std::uint64_t>(entropy()) << 32) ^ entropy();
  } catch (const std::exception&) {
    const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return now * 0x9E3779B97F4A7C15u ^ std::hash<std::thread::id>{}(std::this_thread::get_id());
  }
}

// One step of the sequence, its bits spread (splitmix64): each write of any
// thread takes the next, and no two take the same.
std::uint64_t next_scratch_bits(std::atomic<std::uint64_t>& sequence) {
  std::uint64_t z = sequence.fetch_add(0x9E3779B97F4A7C15u, std::memory_order_relaxed) + 0x9E3779B97F4A7C15u;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

bool same_name_any_case(const fs::path::string_type& a, const fs::path::string_type& b) {
  auto lower = [](fs::path::value_type c) { return c >= 'A' && c <= 'Z' ? static_cast<fs::path::value_type>(c - 'A' + 'a') : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](auto x, auto y) { return lower(x) == lower(y); });
}
}  // namespace

namespace detail {

fs::path::string_type scratch_name(std::size_t name_length, std::uint64_t bits) {
  constexpr std::string_view kDigits = "0123456789abcdefghijklmnopqrstuvwxyz";
  constexpr std::size_t kLongest = 8;
  fs::path::string_type name;
  if (name_length <= 1) {
    const std::size_t pick = bits % (kDigits.size() + 1);
    name += static_cast<fs::path::value_type>(pick == kDigits.size() ? '~' : kDigits[pick]);
    return name;
  }
  name += static_cast<fs::path::value_type>('~');
  while (name.size() < std::min(name_length, kLongest)) {
    name += static_cast<fs::path::value_type>(kDigits[bits % kDigits.size()]);
    bits /= kDigits.size();
  }
  return name;
}

}  // namespace detail

RealFileSystem::RealFileSystem() : scratch_sequence_(scratch_seed()) {}

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
  const std::size_t name_length = path.filename().native().size();
  if (name_length == 0) return false;
  // A scratch name of this writer's own: one that is taken is passed over,
  // whoever holds it.
  fs::path temp;
  for (int attempt = 1;; ++attempt) {
    if (attempt > kScratchAttempts) return false;
    temp = path.parent_path() / detail::scratch_name(name_length, next_scratch_bits(scratch_sequence_));
    // Never the file's own name (in any letter case, as Windows matches
    // names): a half-written file would stand under it.
    if (same_name_any_case(temp.filename().native(), path.filename().native())) continue;
    const detail::NewFile made = detail::write_new_file(temp, bytes);
    if (made == detail::NewFile::written) break;
    if (made == detail::NewFile::failed) return false;
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

bool RealFileSystem::remove_file(const fs::path& path) { return detail::remove_plain_file(path); }

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

std::optional<std::uint64_t> RealFileSystem::free_space(const fs::path& path) {
  std::error_code ec;
  const fs::space_info space = fs::space(path, ec);
  if (ec || space.available == static_cast<std::uintmax_t>(-1)) return std::nullopt;
  return static_cast<std::uint64_t>(space.available);
}

}  // namespace lumeno
