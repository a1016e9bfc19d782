// One line, one voice number: for random scenarios, every output of a run
// gives each character's lines the same numbers in the same order.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <regex>

#include "shell/names.h"
#include "tests/support.h"

namespace lumeno {
namespace {

using testing::read_file;
using testing::run_cli;
using testing::TempDir;
using testing::u8path;
using testing::write_file;

// The voice names in a text, in order, by their prefix (ERI, YUU).
std::map<std::string, std::vector<std::string>> voices_in(const std::string& text, const std::regex& pattern) {
  std::map<std::string, std::vector<std::string>> out;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
    out[(*it)[1].str()].push_back((*it)[0].str().substr((*it)[0].str().find((*it)[1].str())));
  }
  return out;
}

TEST(VocarProperty, VoiceNumbersAgreeAcrossTheOutputs) {
  std::mt19937 rng(42);
  auto pick = [&](std::size_t hi) { return std::uniform_int_distribution<std::size_t>(0, hi)(rng); };
  const std::vector<std::string> heads = {"エリ「", "ユウ（", "先生『", "\\wait(1)エリ「", "//エリ「", "　", "エリ 「", ""};
  const std::vector<std::string> units = {"あ", "text", "\t", "ソ表", "\\se(a(b)c)", "\\[c d]", std::string(60, 'w')};
  const std::vector<std::string> ends = {"\r\n", "\n", "\r", "\r\n\r\n"};
  for (int round = 0; round < 6; ++round) {
    TempDir dir;
    write_file(dir / "home" / u8path(u8"キャラ定義.txt"), "ERI,エリ\r\nYUU,ユウ\r\n,先生\r\n");
    std::vector<std::string> files;
    for (std::size_t f = 1 + pick(4); f > 0; --f) {
      std::string text;
      for (std::size_t line = pick(120); line > 0; --line) {
        text += heads[pick(heads.size() - 1)];
        for (std::size_t k = pick(4); k > 0; --k) text += units[pick(units.size() - 1)];
        text += ends[pick(ends.size() - 1)];
      }
      files.push_back("f" + std::to_string(files.size()) + ".txt");
      write_file(dir / "scn" / files.back(), text);
    }
    if (round % 2) {
      ASSERT_EQ(run_cli({"vocar", "config", "--home", (dir / "home").string(), "reset_per_file=1", "second_string_from_file_name=1"},
                        dir.path())
                    .status,
                0);
    }
    const auto r = run_cli({"vocar", "run", "--home", (dir / "home").string(), "--yes", "--no-progress", "scn"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;

    const std::regex command(R"(\\VO\(((ERI|YUU))_[^)]*\))");
    const std::regex row("(?:^|\n)((ERI|YUU))_[^\t]*\t");
    const std::regex listed(R"(: ((ERI|YUU))_[^\t]*\t)");
    std::map<std::string, std::vector<std::string>> embedded, scripted, listed_all;
    for (const std::string& file : files) {
      for (auto& [who, names] : voices_in(read_file(dir / "home" / u8path(u8"ボイス命令埋込済テキスト") / "scn" / file), command)) {
        for (auto& name : names) embedded[who].push_back(name.substr(0, name.size() - 1));
      }
      for (const char* who : {"ERI", "YUU"}) {
        const std::string folder = who == std::string("ERI") ? "[ERI]エリ" : "[YUU]ユウ";
        const auto path = dir / "home" / u8path(u8"声優用台本") / *names::to_path(folder) / "scn" /
                          (file.substr(0, file.size() - 4) + ".zd");
        if (!std::filesystem::exists(path)) continue;
        for (auto& [w, names] : voices_in(read_file(path), row)) {
          for (auto& name : names) scripted[w].push_back(name.substr(0, name.size() - 1));
        }
      }
    }
    for (const char* who : {"ERI", "YUU"}) {
      const auto path = dir / "home" / u8path(u8"スタッフ用リスト") / u8path(u8"キャラ別テキストリスト") / (std::string("CTX_List_") + who + ".txt");
      if (!std::filesystem::exists(path)) continue;
      for (auto& [w, names] : voices_in(read_file(path), listed)) {
        for (auto& name : names) listed_all[w].push_back(name.substr(0, name.size() - 1));
      }
    }
    SCOPED_TRACE("round " + std::to_string(round));
    EXPECT_FALSE(embedded.empty());
    EXPECT_EQ(scripted, embedded);
    EXPECT_EQ(listed_all, embedded);
  }
}

}  // namespace
}  // namespace lumeno
