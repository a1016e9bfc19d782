#include "shell/settings.h"

#include <gtest/gtest.h>

#include "packer/pack.h"
#include "shell/app_state.h"
#include "tests/support.h"

namespace lumeno {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

TEST(Settings, FileSizesFollowTheToolsIntsAndStrings) {
  EXPECT_EQ(Settings(128, 5).file_size(), 2096u);
  EXPECT_EQ(Settings(16, 2).file_size(), 856u);
  EXPECT_EQ(Settings(16, 0).file_size(), 328u);
  EXPECT_EQ(Settings(16, 2).serialize().size(), 856u);
}

TEST(Settings, FirstStartCreatesTheFileWithDefaults) {
  TempDir dir;
  RealFileSystem fs;
  auto app = start_tool(packer::bindo_tool(), dir.path(), fs);
  ASSERT_TRUE(app) << app.error();
  const std::string bytes = read_file(dir / "Bindo.dat");
  ASSERT_EQ(bytes.size(), 328u);
  EXPECT_EQ(bytes.substr(0, 13), std::string("Japanese.lng\0", 13));
  EXPECT_EQ(bytes.substr(13, 251), std::string(251, '\0'));
  EXPECT_EQ(bytes.substr(264, 4), std::string(4, '\0'));                 // always on top
  EXPECT_EQ(bytes.substr(268, 4), std::string("\x01\0\0\0", 4));         // delete_source
  EXPECT_EQ(bytes.substr(272), std::string(56, '\0'));
}

TEST(Settings, IntegersAreLittleEndianAndStringsKeepStaleBytes) {
  Settings s(16, 2);
  s.set_int(1, -2);
  s.set_int(2, 0x01020304);
  s.set_string(0, "「/『/（");
  s.set_string(0, "A");
  const std::string bytes = s.serialize();
  EXPECT_EQ(bytes.substr(268, 8), std::string("\xfe\xff\xff\xff\x04\x03\x02\x01", 8));
  // "A", its terminator, then what the longer text left behind.
  EXPECT_EQ(bytes.substr(328, 3), std::string("A\0/", 3));
  EXPECT_EQ(s.get_string(0), "A");
}

TEST(Settings, AShortFileLeavesTheRestAsItWas) {
  TempDir dir;
  RealFileSystem fs;
  // Language name and the first two ints only.
  std::string bytes(264 + 8, '\0');
  bytes.replace(0, 5, "X.lng");
  bytes[264] = 1;
  bytes[268] = 7;
  write_file(dir / "s.dat", bytes);
  Settings s(16, 2);
  s.set_int(5, 42);
  s.set_string(1, "kept");
  ASSERT_TRUE(load_settings(fs, dir / "s.dat", s));
  EXPECT_EQ(s.language_name(), "X.lng");
  EXPECT_EQ(s.get_int(0), 1);
  EXPECT_EQ(s.get_int(1), 7);
  EXPECT_EQ(s.get_int(5), 42);
  EXPECT_EQ(s.get_string(1), "kept");
}

TEST(Settings, AFileOfAnotherToolIsReadByOffsets) {
  Settings vocar(128, 5);
  vocar.set_language_name("Japanese.lng");
  vocar.set_int(1, 0);
  vocar.set_int(3, 5);
  Settings bindo(16, 0);
  bindo.deserialize(vocar.serialize());
  EXPECT_EQ(bindo.get_int(1), 0);
  EXPECT_EQ(bindo.get_int(3), 5);
  EXPECT_EQ(bindo.language_name(), "Japanese.lng");
}

}  // namespace
}  // namespace lumeno
