#include "shell/files.h"

#include <vector>

#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno {

namespace fs = std::filesystem;

namespace {

// A message of the form "%s <what went wrong>".
std::string named_message(std::string_view name, std::string_view text) {
  std::string message(name);
  message += text;
  return message;
}

}  // namespace

std::string cannot_open_message(std::string_view name) { return named_message(name, " ファイルを開けませんでした。"); }

std::string cannot_delete_message(std::string_view name) { return named_message(name, " ファイルを削除できませんでした。"); }

bool file_exists(FileSystem& files, FileBuffer& buffer, const fs::path& path) {
  buffer.exists = false;
  if (!files.can_open(path)) return false;
  buffer.exists = true;
  return true;
}

std::string_view read_failure_message(ReadStatus status) {
  switch (status) {
    case ReadStatus::cannot_open:
      return kMsgFileMissing;
    case ReadStatus::no_memory:
      return kMsgNoMemoryToRead;
    case ReadStatus::ok:
    case ReadStatus::short_read:
      break;
  }
  return kMsgCannotRead;
}

int read_whole_file(FileSystem& files, Host& host, FileBuffer& buffer, const fs::path& path, bool report) {
  buffer.data.clear();
  // One attempt both probes and reads: a file that does not open is missing.
  buffer.exists = false;
  const ReadStatus status = files.read(path, buffer.data);
  if (status == ReadStatus::ok) {
    buffer.exists = true;
    return kReadOk;
  }
  buffer.data.clear();
  if (status == ReadStatus::cannot_open) {
    if (report) host.message(read_failure_message(status));
    return kReadMissing;
  }
  buffer.exists = true;
  host.message(read_failure_message(status));
  return kReadFailed;
}

void create_directory_path(FileSystem& files, std::string_view name) {
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t len = sjis_char_length(name, i);
    if (len == 1 && (name[i] == '\\' || name[i] == '/') && i > 0) {
      auto folder = names::to_path(name.substr(0, i));
      if (folder) files.create_directory(*folder);
    }
    i += len;
  }
}

void create_parent_directories(FileSystem& files, const fs::path& path) {
  std::vector<fs::path> missing;
  for (fs::path p = path.parent_path(); !p.empty() && p != p.root_path(); p = p.parent_path()) {
    if (files.kind(p) == EntryKind::directory) break;
    missing.push_back(p);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) files.create_directory(*it);
}

bool delete_folder_tree(FileSystem& files, const fs::path& folder) {
  std::vector<DirEntry> entries;
  if (!files.list(folder, entries)) return false;
  for (const DirEntry& entry : entries) {
    if (entry.kind == EntryKind::directory) {
      delete_folder_tree(files, entry.path);
    } else {
      files.remove_file(entry.path);
    }
  }
  return files.remove_directory(folder);
}

}  // namespace lumeno

namespace lumeno {

bool remove_output_folder(FileSystem& files, const fs::path& folder) {
  std::vector<DirEntry> items;
  if (!files.list(folder.parent_path(), items)) return true;
  for (const DirEntry& item : items) {
    if (item.path.filename() != folder.filename()) continue;
    return item.kind != EntryKind::directory || delete_folder_tree(files, item.path);
  }
  return true;
}

std::string cannot_delete_folder_message(std::string_view name) {
  return named_message(name, " フォルダを削除できませんでした。");
}

std::string cannot_create_folder_message(std::string_view name) {
  return named_message(name, " フォルダを作成できませんでした。");
}

}  // namespace lumeno
