// Replays every input kept in fuzz/regressions/<target>/ through its fuzz
// target, and a few fixed inputs through every target.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "fuzz/fuzz_target.h"
#include "tests/support.h"

namespace lumeno::fuzz {

namespace {

std::map<std::string, Target>& targets() {
  static std::map<std::string, Target> table;
  return table;
}

}  // namespace

bool register_target(const char* name, Target target) {
  targets()[name] = target;
  return true;
}

namespace {

void run(Target target, std::string_view bytes) { target(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()); }

TEST(FuzzReplay, EveryTargetTakesEdgeInputs) {
  ASSERT_GE(targets().size(), 8u);
  const std::string inputs[] = {
      "",
      std::string(1, '\0'),
      std::string("\0\0\0\0\0\0", 6),
      "\x81",
      "\xff\x81\0\0ERI,エリ\0\0「/『\0\0a.txt\0\0エリ「x」\r\n\x81",
      "////≪≪■■a.txt\r\n\r\nx////≪≪■■..\\b\r\n\x81",
      "/* \\f(a( // \r\n\\[x",
      std::string(300, '\\') + "n",
  };
  for (const auto& [name, target] : targets()) {
    SCOPED_TRACE(name);
    for (const std::string& input : inputs) run(target, input);
  }
}

TEST(FuzzReplay, KeptFindingsStayFixed) {
  const std::filesystem::path root = std::filesystem::path(LUMENO_SOURCE_DIR) / "fuzz" / "regressions";
  if (!std::filesystem::exists(root)) return;
  for (const auto& folder : std::filesystem::directory_iterator(root)) {
    if (!folder.is_directory()) continue;
    const auto it = targets().find(folder.path().filename().string());
    ASSERT_NE(it, targets().end()) << "no fuzz target " << folder.path().filename();
    for (const auto& file : std::filesystem::directory_iterator(folder.path())) {
      SCOPED_TRACE(file.path().string());
      run(it->second, testing::read_file(file.path()));
    }
  }
}

}  // namespace
}  // namespace lumeno::fuzz
