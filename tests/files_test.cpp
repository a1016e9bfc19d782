#include "shell/files.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "shell/file_write.h"
#include "shell/names.h"
#include "tests/support.h"

namespace lumeno {
namespace {

using testing::RecordingHost;
using testing::TempDir;
using testing::u8path;
using testing::write_file;

TEST(ReadWholeFile, MissingFileIsSilentUnlessReported) {
  TempDir dir;
  RealFileSystem fs;
  RecordingHost host;
  FileBuffer buffer;
  EXPECT_EQ(read_whole_file(fs, host, buffer, dir / "none.txt", false), kReadMissing);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(buffer.exists);
  EXPECT_EQ(read_whole_file(fs, host, buffer, dir / "none.txt", true), kReadMissing);
  EXPECT_EQ(host.messages, std::vector<std::string>{"ファイルが存在しません"});
}

TEST(ReadWholeFile, EmptyAndOrdinaryFiles) {
  TempDir dir;
  RealFileSystem fs;
  RecordingHost host;
  FileBuffer buffer;
  write_file(dir / "empty.txt", "");
  EXPECT_EQ(read_whole_file(fs, host, buffer, dir / "empty.txt", true), kReadOk);
  EXPECT_EQ(buffer.data.size(), 0u);
  EXPECT_TRUE(buffer.exists);
  write_file(dir / "a.txt", std::string("x\0y\r\n", 5));
  EXPECT_EQ(read_whole_file(fs, host, buffer, dir / "a.txt", true), kReadOk);
  EXPECT_EQ(buffer.data, std::string("x\0y\r\n", 5));
  EXPECT_TRUE(host.messages.empty());
}

TEST(ReadWholeFile, AFolderOrAPipeIsNoFileAndNeverBlocks) {
  TempDir dir;
  RealFileSystem fs;
  RecordingHost host;
  FileBuffer buffer;
  std::filesystem::create_directory(dir / "folder.txt");
  EXPECT_EQ(read_whole_file(fs, host, buffer, dir / "folder.txt", true), kReadMissing);
#ifndef _WIN32
  ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0600), 0);
  EXPECT_EQ(read_whole_file(fs, host, buffer, dir / "pipe.txt", true), kReadMissing);
#endif
  EXPECT_FALSE(buffer.exists);
}

// A file system whose reads come up short.
class ShortReads : public RealFileSystem {
 public:
  using RealFileSystem::RealFileSystem;
  ReadStatus read(const std::filesystem::path&, std::string& out) override {
    out = "part";
    return ReadStatus::short_read;
  }
};

TEST(ReadWholeFile, AShortReadIsAFailureWithAMessage) {
  TempDir dir;
  ShortReads fs;
  RecordingHost host;
  FileBuffer buffer;
  write_file(dir / "a.txt", "whole");
  EXPECT_EQ(read_whole_file(fs, host, buffer, dir / "a.txt", false), kReadFailed);
  EXPECT_EQ(host.messages, std::vector<std::string>{"ファイルを読み込めませんでした。"});
}

TEST(CreateDirectoryPath, MakesEveryFolderBeforeABackslashButNotTheLast) {
  TempDir dir;
  RealFileSystem fs;
  auto base = names::to_name(dir.path());
  ASSERT_TRUE(base);
  // 表 ends in 0x5C: no folder is made at its trail byte.
  create_directory_path(fs, *base + "\\図表\\sub\\file.txt");
  EXPECT_TRUE(std::filesystem::is_directory(dir / u8path(u8"図表") / "sub"));
  EXPECT_FALSE(std::filesystem::exists(dir / u8path(u8"図表") / "sub" / "file.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / u8path(u8"図")));
  create_directory_path(fs, *base + "\\last\\");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "last"));
}

TEST(DeleteFolderTree, DeletesEverythingButNeverFollowsLinksOrMovesTheCurrentFolder) {
  TempDir dir;
  RealFileSystem fs;
  write_file(dir / "keep" / "precious.txt", "keep me");
  write_file(dir / "out" / "a.txt", "a");
  write_file(dir / "out" / "sub" / "deeper" / "b.txt", "b");
  std::filesystem::create_directory_symlink(dir / "keep", dir / "out" / "link");
  const auto cwd = std::filesystem::current_path();
  EXPECT_TRUE(delete_folder_tree(fs, dir / "out"));
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));
  EXPECT_EQ(testing::read_file(dir / "keep" / "precious.txt"), "keep me");
  EXPECT_EQ(std::filesystem::current_path(), cwd);
  EXPECT_FALSE(delete_folder_tree(fs, dir / "out"));
}

TEST(RemoveFile, RemovesAFileOrALinkButNeverAFolder) {
  TempDir dir;
  RealFileSystem fs;
  write_file(dir / "a.txt", "a");
  std::filesystem::create_directory(dir / "empty");
  write_file(dir / "keep" / "precious.txt", "keep me");
  std::filesystem::create_directory_symlink(dir / "keep", dir / "link");
  EXPECT_TRUE(fs.remove_file(dir / "a.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "a.txt"));
  EXPECT_FALSE(fs.remove_file(dir / "a.txt"));
  // A folder stays, even an empty one.
  EXPECT_FALSE(fs.remove_file(dir / "empty"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "empty"));
  // A link goes, and what it points to stays.
  EXPECT_TRUE(fs.remove_file(dir / "link"));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "link")));
  EXPECT_EQ(testing::read_file(dir / "keep" / "precious.txt"), "keep me");
}

// The names in a folder, sorted.
std::vector<std::filesystem::path> names_in(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> out;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) out.push_back(entry.path().filename());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(ReplaceFile, ANameAsLongAsTheFileSystemTakesIsWrittenAndReplaced) {
  TempDir dir;
  RealFileSystem fs;
  // 85 characters of three bytes: 255 bytes, the longest name there is.
  std::u8string longest;
  for (int k = 0; k < 85; ++k) longest += u8"あ";
  const std::filesystem::path name = u8path(longest);
  ASSERT_EQ(name.native().size(), 255u);
  // Short names too: the scratch file's name is never longer than them.
  const std::vector<std::filesystem::path> names = {name, "a", "ab", "~", "A~", "abcdefghij.txt"};
  for (const auto& n : names) {
    EXPECT_TRUE(fs.write(dir / n, "first")) << n;
    EXPECT_TRUE(fs.write(dir / n, "second")) << n;
    EXPECT_EQ(testing::read_file(dir / n), "second") << n;
  }
  std::vector<std::filesystem::path> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(names_in(dir.path()), sorted);

  // The scratch name: "~" then letters and digits, as long as the name up
  // to eight characters; a one-character name's is one character.
  for (std::size_t length = 1; length <= 300; ++length) {
    for (std::uint64_t bits : {std::uint64_t{0}, std::uint64_t{36}, ~std::uint64_t{0}}) {
      const auto scratch = detail::scratch_name(length, bits);
      EXPECT_EQ(scratch.size(), std::min<std::size_t>(length, 8)) << length;
      if (length > 1) {
        EXPECT_EQ(scratch[0], '~');
      }
      EXPECT_TRUE(std::all_of(scratch.begin() + (length > 1 ? 1 : 0), scratch.end(), [](auto c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '~';
      })) << length;
    }
  }
}

TEST(ReplaceFile, AFailedReplacementLeavesNoScratchFile) {
  TempDir dir;
  RealFileSystem fs;
  // A folder stands where the file would go: the rename fails.
  write_file(dir / "out" / "inside.txt", "x");
  EXPECT_FALSE(fs.write(dir / "out", "bytes"));
  EXPECT_EQ(names_in(dir.path()), std::vector<std::filesystem::path>{"out"});
  EXPECT_EQ(testing::read_file(dir / "out" / "inside.txt"), "x");
  // No folder to write in; no name at all.
  EXPECT_FALSE(fs.write(dir / "missing" / "a.txt", "bytes"));
  EXPECT_FALSE(fs.write(dir / "out" / "", "bytes"));
  EXPECT_EQ(names_in(dir.path()), std::vector<std::filesystem::path>{"out"});
  EXPECT_EQ(names_in(dir / "out"), std::vector<std::filesystem::path>{"inside.txt"});
}

TEST(ReplaceFile, WritersAtOnceEachReplaceTheFileWhole) {
  // Each writer has a scratch file of its own: with one shared name they
  // would write into each other's, or rename it from under each other. Half
  // of them write through a second file system, as a second run would.
  TempDir dir;
  RealFileSystem fs;
  RealFileSystem other;
  constexpr int kWriters = 4;
  constexpr int kWrites = 100;
  std::vector<std::string> contents;
  for (int w = 0; w < kWriters; ++w) contents.push_back(std::string(std::size_t{1} << 16, static_cast<char>('a' + w)));
  std::vector<int> failures(kWriters, 0);
  {
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
      writers.emplace_back([&, w] {
        FileSystem& writer = w % 2 == 0 ? static_cast<FileSystem&>(fs) : other;
        for (int k = 0; k < kWrites; ++k) failures[static_cast<std::size_t>(w)] += writer.write(dir / "shared.txt", contents[static_cast<std::size_t>(w)]) ? 0 : 1;
      });
    }
    for (std::thread& t : writers) t.join();
  }
  EXPECT_EQ(failures, std::vector<int>(kWriters, 0));
  const std::string last = testing::read_file(dir / "shared.txt");
  EXPECT_NE(std::find(contents.begin(), contents.end(), last), contents.end());
  EXPECT_EQ(names_in(dir.path()), std::vector<std::filesystem::path>{"shared.txt"});
}

}  // namespace
}  // namespace lumeno
