// Packing a random tree and dividing it again gives back every file, with
// CR LF line ends, without its leading empty lines, with one extra CR LF.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "packer/pack.h"
#include "shell/names.h"
#include "shell/sjis.h"
#include "tests/support.h"

namespace lumeno {
namespace {

using testing::read_file;
using testing::run_cli;
using testing::TempDir;
using testing::write_file;

std::string random_text(std::mt19937& rng) {
  static const std::vector<std::string> pieces = {"エリ「", "」", "あ", "表", "ソ", "abc", " ", "\t", "\r\n", "\r", "\n", "//", "\\cmd(1)", "　", "x"};
  std::string text;
  const int n = std::uniform_int_distribution<int>(0, 40)(rng);
  for (int i = 0; i < n; ++i) text += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(rng)];
  return text;
}

// What a divided file holds.
std::string expected_back(const std::string& text) {
  std::string packed = packer::unify_line_ends(text) + "\r\n";
  const std::size_t first = packed.find_first_not_of("\r\n");
  return first == std::string::npos ? "" : packed.substr(first);
}

TEST(RoundTripProperty, RandomTreesWithJapaneseNames) {
  std::mt19937 rng(20261208);
  const std::vector<std::string> folder_names = {"第1章", "表", "ソース", "sub", "おまけ"};
  const std::vector<std::string> file_names = {"冒頭.txt", "a.txt", "表.TXT", "ソ.txt", "scene01.txt", "エピローグ.txt"};
  for (int round = 0; round < 12; ++round) {
    TempDir dir;
    std::filesystem::create_directories(dir / "home");
    // name (CP932, "\" separated, below scn) -> content
    std::map<std::string, std::string> files;
    const int count = std::uniform_int_distribution<int>(1, 8)(rng);
    for (int i = 0; i < count; ++i) {
      std::string folder;
      const int depth = std::uniform_int_distribution<int>(0, 2)(rng);
      for (int d = 0; d < depth; ++d) folder += folder_names[std::uniform_int_distribution<std::size_t>(0, folder_names.size() - 1)(rng)] + "\\";
      files[folder + file_names[std::uniform_int_distribution<std::size_t>(0, file_names.size() - 1)(rng)]] = random_text(rng);
    }
    for (const auto& [name, text] : files) write_file(dir / "scn" / *names::to_path(name), text);
    const std::string home = (dir / "home").string();
    ASSERT_EQ(run_cli({"bindo", "run", "--home", home, "--no-progress", "scn"}, dir.path()).status, 0);
    ASSERT_EQ(run_cli({"splix", "run", "--home", home, "--no-progress", "scn"}, dir.path()).status, 0);
    for (const auto& [name, text] : files) {
      // scn\A\b.txt comes back as scn\A\A\b.txt; scn\b.txt as scn\scn\b.txt.
      const std::string folder(folder_part(name));
      std::string pack_folder;
      file_name_part(folder.empty() ? "scn" : folder.substr(0, folder.size() - 1), pack_folder);
      const auto back = dir / "scn" / *names::to_path(folder + pack_folder + "\\" + file_name_part(name));
      ASSERT_TRUE(std::filesystem::exists(back)) << testing::utf8(name);
      EXPECT_EQ(read_file(back), expected_back(text)) << testing::utf8(name);
    }
  }
}

}  // namespace
}  // namespace lumeno
