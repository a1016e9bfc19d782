// The file list: the tool's work queue of dropped ".txt" files and folders.
// A model; the list view of a window only mirrors it.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "shell/file_system.h"
#include "shell/tool.h"
#include "shell/ui_texts.h"

namespace lumeno {

struct ListEntry {
  std::string name;       // column 0: file or folder name (CP932)
  std::string size_text;  // column 1: "%d KB", or "---" for a folder
  std::string type_text;  // column 2: UI text 19 or 20
  std::string full_path;  // column 3: the path as dropped (CP932); the identity
  std::filesystem::path path;  // the same path, native
  bool is_folder = false;
  bool selected = false;
};

// The size column of a file: the low 32 bits of its size taken as a signed
// number, (size + 1023) / 1024 KB.
std::string size_text(std::uint64_t size);

class FileList {
 public:
  // Adds the paths of one drop, in the order given: a path already in the
  // list (byte for byte, case-sensitive) is skipped, a file whose extension
  // is not ".txt" in any case is skipped, every other path is inserted at the
  // top. Paths whose names cannot be written in CP932 are skipped and
  // returned in `refused`.
  void add_dropped_paths(FileSystem& fs, const UiTexts& texts, const std::vector<std::filesystem::path>& paths,
                         std::vector<std::filesystem::path>* refused = nullptr);

  void delete_selected_entries();
  void delete_unselected_entries();
  void clear_file_list();

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const ListEntry& operator[](std::size_t i) const { return entries_[i]; }
  void set_selected(std::size_t i, bool selected) { entries_[i].selected = selected; }
  std::size_t selected_count() const;

  // The status text: UI text 40 with the selected count when there is a
  // selection, else UI text 39 with the entry count, else empty.
  std::string status_text(const ToolInfo& tool, const UiTexts& texts) const;

 private:
  std::deque<ListEntry> entries_;  // index 0 is the top of the list
  std::unordered_set<std::string> paths_;
};

}  // namespace lumeno
