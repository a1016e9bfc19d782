// The file layer every tool goes through. One interface, so that tests can
// make any operation fail; `RealFileSystem` is the only production one.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumeno {

enum class EntryKind { missing, file, directory, other };

struct DirEntry {
  std::filesystem::path path;
  EntryKind kind = EntryKind::other;  // links to folders are `other`
};

enum class ReadStatus { ok, cannot_open, no_memory, short_read };

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // What `path` is (links followed).
  virtual EntryKind kind(const std::filesystem::path& path) = 0;
  // Lists a folder's items ("." and ".." excluded). False when the folder
  // cannot be listed.
  virtual bool list(const std::filesystem::path& folder, std::vector<DirEntry>& out) = 0;
  virtual std::optional<std::uint64_t> size(const std::filesystem::path& path) = 0;
  // True when the file can be opened for reading.
  virtual bool can_open(const std::filesystem::path& path) = 0;
  // Reads the whole file into `out`; `cannot_open` when there is no file
  // that opens for reading (a folder included).
  virtual ReadStatus read(const std::filesystem::path& path, std::string& out) = 0;
  // Replaces the file with `bytes`: written to a scratch file in the same
  // folder, then renamed over it, so the old file or the new one stands,
  // never half of one. The scratch file is one this writer made ("~" and a
  // few random characters, no longer than the file's own name, so that it
  // fits wherever that fits) and is gone again whatever the outcome.
  virtual bool write(const std::filesystem::path& path, std::string_view bytes) = 0;
  // Appends `bytes` (creating the file). On a failed or short write the file
  // is cut back to its earlier length.
  virtual bool append(const std::filesystem::path& path, std::string_view bytes) = 0;
  // Creates one folder; false when it could not be made (an existing folder
  // also answers false, like the platform call).
  virtual bool create_directory(const std::filesystem::path& path) = 0;
  virtual bool remove_file(const std::filesystem::path& path) = 0;
  // Removes an empty folder.
  virtual bool remove_directory(const std::filesystem::path& path) = 0;
  // True when both paths name the same file or folder.
  virtual bool same_entry(const std::filesystem::path& a, const std::filesystem::path& b) = 0;
  // True when another program holds the file open so that it may not be
  // replaced (a workbook open in a spreadsheet program, on Windows); false
  // where the platform cannot tell.
  virtual bool held_open(const std::filesystem::path&) { return false; }
  // The room free to this process on the volume that holds `path`, in
  // bytes; nullopt when it cannot be told.
  virtual std::optional<std::uint64_t> free_space(const std::filesystem::path& path) = 0;
};

class RealFileSystem : public FileSystem {
 public:
  RealFileSystem();
  EntryKind kind(const std::filesystem::path& path) override;
  bool list(const std::filesystem::path& folder, std::vector<DirEntry>& out) override;
  std::optional<std::uint64_t> size(const std::filesystem::path& path) override;
  bool can_open(const std::filesystem::path& path) override;
  ReadStatus read(const std::filesystem::path& path, std::string& out) override;
  bool write(const std::filesystem::path& path, std::string_view bytes) override;
  bool append(const std::filesystem::path& path, std::string_view bytes) override;
  bool create_directory(const std::filesystem::path& path) override;
  bool remove_file(const std::filesystem::path& path) override;
  bool remove_directory(const std::filesystem::path& path) override;
  bool same_entry(const std::filesystem::path& a, const std::filesystem::path& b) override;
  bool held_open(const std::filesystem::path& path) override;
  std::optional<std::uint64_t> free_space(const std::filesystem::path& path) override;

 private:
  // Where the scratch names of writes are drawn from: a sequence of this
  // file system's own, its start drawn once from the system's entropy.
  std::atomic<std::uint64_t> scratch_sequence_;
};

}  // namespace lumeno
