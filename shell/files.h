// Reading whole files with the toolkit's messages, making the folders of an
// output path, and deleting folder trees.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "shell/file_system.h"
#include "shell/host.h"

namespace lumeno {

// The three fixed messages of the reader (they are not part of the
// language file).
inline constexpr std::string_view kMsgFileMissing = "ファイルが存在しません";
inline constexpr std::string_view kMsgCannotRead = "ファイルを読み込めませんでした。";
inline constexpr std::string_view kMsgNoMemoryToRead = "メモリ不足のためファイルを読み込めませんでした。";
// Messages the conversions share.
inline constexpr std::string_view kMsgNoMemory = "[エラー]メモリ不足です。";
inline constexpr std::string_view kMsgSourceTooLarge = "元ファイルサイズが大きすぎます。";
// "%s ファイルを開けませんでした。" with the name of the file.
std::string cannot_open_message(std::string_view name);
// "%s ファイルを削除できませんでした。" with the name of the file.
std::string cannot_delete_message(std::string_view name);

struct FileBuffer {
  std::string data;
  bool exists = false;  // the file could be opened for reading
};

enum ReadResult : int { kReadOk = 0, kReadMissing = -1, kReadFailed = -3 };

// Opens the file for reading as a probe; sets buffer.exists.
bool file_exists(FileSystem& fs, FileBuffer& buffer, const std::filesystem::path& path);

// The reader's message for a read that failed: "ファイルが存在しません" when
// the file does not open, else the messages below.
std::string_view read_failure_message(ReadStatus status);

// Reads a whole file. 0 on success; -1 when it does not exist (with
// `report`, "ファイルが存在しません" is shown); -3 when it cannot be read
// ("ファイルを読み込めませんでした。", also for a short read) or held in
// memory ("メモリ不足のためファイルを読み込めませんでした。"), shown whatever
// `report` says.
int read_whole_file(FileSystem& fs, Host& host, FileBuffer& buffer, const std::filesystem::path& path, bool report);

// Creates every folder named by a prefix of the CP932 name that ends just
// before a single-byte "\" (or "/"). The last component is not created.
// Failures (an existing folder among them) are ignored.
void create_directory_path(FileSystem& fs, std::string_view name);
// The same for a native path: creates the folders that will hold it.
void create_parent_directories(FileSystem& fs, const std::filesystem::path& path);

// Deletes an output folder of the tool with everything in it, when it is a
// folder of its own: a link standing in its place is left alone, and so is
// what it points to. False when some of it stays (a run must then stop with
// "%s フォルダを削除できませんでした。": it must not mix an earlier run's
// outputs with its own).
bool remove_output_folder(FileSystem& fs, const std::filesystem::path& folder);
// "%s フォルダを削除できませんでした。" / "%s フォルダを作成できませんでした。"
std::string cannot_delete_folder_message(std::string_view name);
std::string cannot_create_folder_message(std::string_view name);

// Deletes the folder and everything below it. Links are removed, never
// followed; the process's current folder is never changed. Items that cannot
// be deleted stay, and then the result is false.
bool delete_folder_tree(FileSystem& fs, const std::filesystem::path& folder);

}  // namespace lumeno
