// A workbook made in a scratch file: the library writes files itself, so a
// workbook is made in the system's temporary folder (library_files.h), read
// back, and the scratch file removed; the caller writes the bytes to their
// place through the FileSystem like every other output.
#pragma once

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
