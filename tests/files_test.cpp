#include "shell/files.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

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

}  // namespace
}  // namespace lumeno
