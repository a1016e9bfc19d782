#include "shell/file_list.h"

#include <algorithm>

#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno {

std::string size_text(std::uint64_t size) {
  // The arithmetic of a signed 32-bit value, wrapping like the original.
  const auto low = static_cast<std::uint32_t>(size & 0xFFFFFFFFu);
  const auto rounded = static_cast<std::int32_t>(low + 1023u);
  return format("%d KB", rounded / 1024);
}

void FileList::add_dropped_paths(FileSystem& fs, const UiTexts& texts, const std::vector<std::filesystem::path>& paths,
                                 std::vector<std::filesystem::path>* refused) {
  for (const auto& path : paths) {
    auto full = names::to_name(path);
    if (!full) {
      if (refused) refused->push_back(path);
      continue;
    }
    if (paths_.count(*full)) continue;
    ListEntry entry;
    entry.path = path;
    entry.full_path = *full;
    file_name_part(entry.full_path, entry.name);
    if (fs.kind(path) == EntryKind::directory) {
      entry.is_folder = true;
      entry.size_text = "---";
      entry.type_text = texts[20];
    } else {
      if (!has_txt_extension(entry.full_path)) continue;
      entry.size_text = size_text(fs.size(path).value_or(0));
      entry.type_text = texts[19];
    }
    paths_.insert(entry.full_path);
    entries_.push_front(std::move(entry));
  }
}

void FileList::delete_selected_entries() {
  std::deque<ListEntry> kept;
  for (auto& entry : entries_) {
    if (entry.selected) {
      paths_.erase(entry.full_path);
    } else {
      kept.push_back(std::move(entry));
    }
  }
  entries_ = std::move(kept);
}

void FileList::delete_unselected_entries() {
  std::deque<ListEntry> kept;
  for (auto& entry : entries_) {
    if (entry.selected) {
      kept.push_back(std::move(entry));
    } else {
      paths_.erase(entry.full_path);
    }
  }
  entries_ = std::move(kept);
}

void FileList::clear_file_list() {
  entries_.clear();
  paths_.clear();
}

std::size_t FileList::selected_count() const {
  return static_cast<std::size_t>(std::count_if(entries_.begin(), entries_.end(), [](const ListEntry& e) { return e.selected; }));
}

std::string FileList::status_text(const ToolInfo& tool, const UiTexts& texts) const {
  const std::size_t selected = selected_count();
  if (selected > 0) return format_status(tool, texts, kUiStatusSelected, static_cast<long long>(selected));
  if (!entries_.empty()) return format_status(tool, texts, kUiStatusCount, static_cast<long long>(entries_.size()));
  return std::string();
}

}  // namespace lumeno
