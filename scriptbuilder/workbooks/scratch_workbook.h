// A workbook made in a scratch file: the library writes files itself, so a
// workbook is made in the system's temporary folder (library_files.h), read
// back, and the scratch file removed; the caller writes the bytes to their
// place through the FileSystem like every other output.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "scriptbuilder/workbooks/script_workbook.h"
#include "shell/file_system.h"

namespace lumeno::scriptbuilder {

struct ScratchWorkbook {
  // written: `bytes` hold the workbook. failed: it could not be made or read
  // back (or the scratch file cannot be named for the library). cancelled:
  // `make` gave up.
  WorkbookStatus status = WorkbookStatus::failed;
  std::string bytes;
  // The scratch file, when it could not be removed (the workbook is then
  // not to be used either: status failed).
  std::optional<std::filesystem::path> left_behind;
};

// Makes the workbook `make` writes at the target it is given, as the scratch
// file `file_name` of `folder` (whose name for the library is `folder_name`).
ScratchWorkbook make_scratch_workbook(FileSystem& fs, const std::filesystem::path& folder, const std::string& folder_name,
                                      const std::string& file_name,
                                      const std::function<WorkbookStatus(const WorkbookTarget&)>& make);

// The workbook the library wrote (or did not: `status`) at the scratch file
// `scratch`, read back; the scratch file removed whatever came of it.
ScratchWorkbook collect_scratch_workbook(FileSystem& fs, const std::filesystem::path& scratch, WorkbookStatus status);

// The room a workbook made from `text_bytes` of text takes in the scratch
// folder while it is made. The library's temporary files hold the
// workbook's XML (four to five times its text) and then the workbook, and
// it does not notice a write to them that fails: with too little room a
// workbook would come out cut short, so the room is asked for first.
std::uint64_t scratch_room(std::uint64_t text_bytes);

// The message for a scratch folder `folder` with `free` bytes where the
// workbook `workbook` needs `needed`: both paths, both amounts in MB, and
// the environment variable that moves the folder.
std::string scratch_room_message(const std::filesystem::path& workbook, const std::filesystem::path& folder, std::uint64_t needed,
                                 std::uint64_t free);

// The message above when `folder` has not the room for `workbook` made
// from `text_bytes` of text; nullopt when it has (or when `fs` cannot tell).
std::optional<std::string> scratch_room_shortage(FileSystem& fs, const std::filesystem::path& folder,
                                                 const std::filesystem::path& workbook, std::uint64_t text_bytes);

// A folder of the scratch folder, made for one workbook's files and removed
// with them: when it cannot be made, made() is false and the caller works in
// the scratch folder itself.
class ScratchFolder {
 public:
  ScratchFolder(const std::filesystem::path& parent, const std::string& name);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  bool made() const { return made_; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  bool made_ = false;
};

// A prefix for scratch names that no other run or program takes.
std::string scratch_name_prefix(const void* salt);

}  // namespace lumeno::scriptbuilder
