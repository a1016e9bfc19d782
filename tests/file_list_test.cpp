#include "shell/file_list.h"

#include <gtest/gtest.h>

#include "packer/pack.h"
#include "tests/support.h"

namespace lumeno {
namespace {

using testing::TempDir;
using testing::write_file;

class FileListTest : public ::testing::Test {
 protected:
  const ToolInfo& tool = packer::bindo_tool();
  UiTexts texts{tool};
  RealFileSystem fs;
  TempDir dir;
  FileList list;
};

TEST_F(FileListTest, OnlyTxtFilesAndFoldersAreAddedAtTheTop) {
  write_file(dir / "a.txt", "a");
  write_file(dir / "b.TXT", "b");
  write_file(dir / "c.doc", "c");
  std::filesystem::create_directory(dir / "folder.doc");
  list.add_dropped_paths(fs, texts, {dir / "a.txt", dir / "b.TXT", dir / "c.doc", dir / "folder.doc"});
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name, "folder.doc");
  EXPECT_EQ(list[0].size_text, "---");
  EXPECT_EQ(list[0].type_text, "フォルダ");
  EXPECT_EQ(list[1].name, "b.TXT");
  EXPECT_EQ(list[1].type_text, "ファイル");
  EXPECT_EQ(list[2].name, "a.txt");
}

TEST_F(FileListTest, DuplicatesAreByteForByteAndCaseSensitive) {
  write_file(dir / "a.txt", "a");
  write_file(dir / "sub" / "x.txt", "x");
  list.add_dropped_paths(fs, texts, {dir / "a.txt", dir / "a.txt"});
  list.add_dropped_paths(fs, texts, {dir / "a.txt", dir / "A.txt"});
  // A folder and a file inside it are both kept.
  list.add_dropped_paths(fs, texts, {dir / "sub"});
  list.add_dropped_paths(fs, texts, {dir / "sub" / "x.txt"});
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].name, "x.txt");
  EXPECT_EQ(list[1].name, "sub");
  EXPECT_EQ(list[2].name, "A.txt");
  EXPECT_EQ(list[3].name, "a.txt");
}

TEST_F(FileListTest, SizesAreRoundedUpToWholeKilobytes) {
  write_file(dir / "0.txt", "");
  write_file(dir / "1024.txt", std::string(1024, 'x'));
  write_file(dir / "1025.txt", std::string(1025, 'x'));
  list.add_dropped_paths(fs, texts, {dir / "0.txt", dir / "1024.txt", dir / "1025.txt"});
  EXPECT_EQ(list[2].size_text, "0 KB");
  EXPECT_EQ(list[1].size_text, "1 KB");
  EXPECT_EQ(list[0].size_text, "2 KB");
  // The low 32 bits, taken as a signed number.
  EXPECT_EQ(size_text(0x100000400ull), "1 KB");
  EXPECT_EQ(size_text(0x80000000ull), "-2097151 KB");
}

TEST_F(FileListTest, RemovalsAndStatusText) {
  for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"}) write_file(dir / name, "x");
  list.add_dropped_paths(fs, texts, {dir / "1.txt", dir / "2.txt", dir / "3.txt", dir / "4.txt", dir / "5.txt"});
  EXPECT_EQ(list.status_text(tool, texts), "5 個のオブジェクト");
  list.set_selected(0, true);
  list.set_selected(3, true);
  EXPECT_EQ(list.status_text(tool, texts), "2 個のオブジェクトを選択");
  list.delete_selected_entries();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name, "4.txt");
  EXPECT_EQ(list.status_text(tool, texts), "3 個のオブジェクト");
  list.set_selected(1, true);
  list.delete_unselected_entries();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].name, "3.txt");
  // A removed path may be dropped again.
  list.add_dropped_paths(fs, texts, {dir / "5.txt"});
  EXPECT_EQ(list.size(), 2u);
  // With nothing selected, deleting the unselected entries empties the list.
  list.set_selected(1, false);
  list.delete_unselected_entries();
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.status_text(tool, texts), "");
  list.add_dropped_paths(fs, texts, {dir / "1.txt"});
  list.clear_file_list();
  EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace lumeno
