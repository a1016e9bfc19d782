#include "shell/write_behind.h"

#include <gtest/gtest.h>

#include "tests/fault_fs.h"
#include "tests/support.h"

namespace lumeno {
namespace {

using testing::FaultyFileSystem;
using testing::FsOp;
using testing::read_file;
using testing::RecordingHost;
using testing::TempDir;

std::string name_of(int k) { return "f" + std::to_string(k) + ".txt"; }

// Many files, appends to one file among them, a queue small enough that the
// run must wait for the writer: everything lands, in order, with its folders.
TEST(WriteBehind, WritesEveryFileInOrderWithItsFolders) {
  for (const std::size_t max_pending : {std::size_t{8}, std::size_t{16} << 20}) {
    TempDir dir;
    RealFileSystem fs;
    std::string joined;
    {
      WriteBehind writes(fs, max_pending);
      for (int k = 0; k < 300; ++k) {
        const std::string bytes = "file " + std::to_string(k) + "\r\n";
        ASSERT_TRUE(writes.submit(dir / "a" / "b" / name_of(k), bytes));
        const auto mode = k == 0 ? WriteBehind::Mode::replace : WriteBehind::Mode::append;
        ASSERT_TRUE(writes.submit(dir / "joined.txt", bytes, mode, false));
        joined += bytes;
      }
      ASSERT_TRUE(writes.finish());
      EXPECT_TRUE(writes.failed_path().empty());
      // A buffer comes back empty.
      EXPECT_TRUE(writes.take_buffer().empty());
    }
    EXPECT_EQ(read_file(dir / "joined.txt"), joined);
    for (int k = 0; k < 300; ++k) EXPECT_EQ(read_file(dir / "a" / "b" / name_of(k)), "file " + std::to_string(k) + "\r\n");
  }
}

// A folder written into before is not looked for again, but one that went
// meanwhile (another program removed it) is made again, and so is one that
// an output folder's removal took.
TEST(WriteBehind, AFolderThatWentSinceItsLastFileIsMadeAgain) {
  TempDir dir;
  RealFileSystem fs;
  WriteBehind writes(fs);
  ASSERT_TRUE(writes.submit(dir / "out" / "a" / name_of(1), "1"));
  ASSERT_TRUE(writes.finish());
  std::filesystem::remove_all(dir / "out" / "a");
  ASSERT_TRUE(writes.submit(dir / "out" / "a" / name_of(2), "2"));
  ASSERT_TRUE(writes.finish());
  EXPECT_EQ(read_file(dir / "out" / "a" / name_of(2)), "2");
  ASSERT_TRUE(writes.submit_folder_removal(dir / "out"));
  ASSERT_TRUE(writes.submit(dir / "out" / "a" / name_of(3), "3"));
  ASSERT_TRUE(writes.finish());
  EXPECT_EQ(read_file(dir / "out" / "a" / name_of(3)), "3");
  EXPECT_FALSE(std::filesystem::exists(dir / "out" / "a" / name_of(2)));
}

TEST(WriteBehind, WhatIsQueuedIsWrittenWhenItEndsWithoutAFinish) {
  TempDir dir;
  RealFileSystem fs;
  {
    WriteBehind writes(fs);
    for (int k = 0; k < 10; ++k) ASSERT_TRUE(writes.submit(dir / name_of(k), "x"));
  }
  for (int k = 0; k < 10; ++k) EXPECT_EQ(read_file(dir / name_of(k)), "x");
}

// The third write fails: the two before it stand, nothing after it is
// written, every later submit is refused, and the failure is shown once.
TEST(WriteBehind, AFailedWriteStopsTheRestAndIsShownOnce) {
  TempDir dir;
  FaultyFileSystem fs;
  fs.fail_at(FsOp::write, 3);
  RecordingHost host;
  WriteBehind writes(fs);
  bool refused = false;
  for (int k = 0; k < 10 && !refused; ++k) refused = !writes.submit(dir / name_of(k), "x");
  EXPECT_FALSE(writes.finish());
  EXPECT_EQ(writes.failed_path(), dir / name_of(2));
  EXPECT_FALSE(writes.submit(dir / "late.txt", "x"));
  EXPECT_FALSE(writes.show_failure(host));
  EXPECT_FALSE(writes.show_failure(host));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find("f2.txt ファイルを開けませんでした。"), std::string::npos) << host.messages[0];
  EXPECT_TRUE(host.cancel_requested());
  EXPECT_TRUE(std::filesystem::exists(dir / name_of(0)));
  EXPECT_TRUE(std::filesystem::exists(dir / name_of(1)));
  for (int k = 2; k < 10; ++k) EXPECT_FALSE(std::filesystem::exists(dir / name_of(k))) << k;
  EXPECT_FALSE(std::filesystem::exists(dir / "late.txt"));
}

// An earlier run's folder goes before the new files land in it; when it
// cannot go, nothing is written and the folder is named.
TEST(WriteBehind, AnOutputFolderIsRemovedBeforeTheFilesQueuedAfterIt) {
  for (const bool fail : {false, true}) {
    TempDir dir;
    testing::write_file(dir / "out" / "deep" / "old.txt", "old");
    FaultyFileSystem fs;
    if (fail) fs.fail_at(FsOp::remove, 1);
    RecordingHost host;
    WriteBehind writes(fs);
    writes.submit_folder_removal(dir / "out");
    writes.submit(dir / "out" / "new.txt", "new");
    EXPECT_EQ(writes.finish(), !fail);
    EXPECT_EQ(std::filesystem::exists(dir / "out" / "new.txt"), !fail);
    if (!fail) {
      EXPECT_FALSE(std::filesystem::exists(dir / "out" / "deep"));
      continue;
    }
    writes.show_failure(host);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("out フォルダを削除できませんでした。"), std::string::npos) << host.messages[0];
  }
}

TEST(WriteBehind, AFolderThatCannotBeMadeIsNamed) {
  TempDir dir;
  testing::write_file(dir / "taken", "a file, not a folder");
  RealFileSystem fs;
  RecordingHost host;
  WriteBehind writes(fs);
  writes.submit_folder(dir / "made");
  EXPECT_TRUE(writes.finish());
  EXPECT_TRUE(std::filesystem::is_directory(dir / "made"));
  writes.submit_folder(dir / "taken");
  EXPECT_FALSE(writes.finish());
  writes.show_failure(host);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find("taken フォルダを作成できませんでした。"), std::string::npos) << host.messages[0];
}

}  // namespace
}  // namespace lumeno
