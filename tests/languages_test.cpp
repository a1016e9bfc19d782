// The shipped language files (resources/languages/PROGRAM/*.lng), loaded
// from a tool folder by the programs' own loader.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>

#include "packer/pack.h"
#include "programs/tools.h"
#include "scriptbuilder/driver/vocar_run.h"
#include "shell/app_state.h"
#include "shell/console/cli.h"
#include "shell/names.h"
#include "tests/fault_fs.h"
#include "tests/support.h"

namespace lumeno {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;
using testing::utf8;
using testing::write_file;

const fs::path kShipped = fs::path(LUMENO_SOURCE_DIR) / "resources" / "languages";

// The texts a language file gives a tool, loaded as the program loads it:
// from "languages\" in the tool folder, over slots that all hold a mark, so
// that a slot the file does not reach shows.
std::array<std::string, kUiTextCount> load_shipped(const ToolInfo& tool, const std::string& file) {
  TempDir home;
  RealFileSystem fs;
  const fs::path source = kShipped / std::string(tool.program) / file;
  EXPECT_TRUE(fs::is_regular_file(source)) << source;
  write_file(home / "languages" / file, read_file(source));
  auto app = start_tool(tool, home.path(), fs);
  std::array<std::string, kUiTextCount> texts;
  if (!app) {
    ADD_FAILURE() << app.error();
    return texts;
  }
  for (int slot = 0; slot < kUiTextCount; ++slot) app->texts[slot] = "<unset>";
  load_language(*app, fs, file);
  EXPECT_EQ(app->settings.language_name(), file) << tool.program << " " << file << " did not load";
  for (int slot = 0; slot < kUiTextCount; ++slot) texts[static_cast<std::size_t>(slot)] = app->texts[slot];
  return texts;
}

// One text per line, CR LF after each, no line beyond the 47th, CP932 throughout.
void expect_written_plainly(const ToolInfo& tool, const std::string& file) {
  const std::string bytes = read_file(kShipped / std::string(tool.program) / file);
  std::size_t lines = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ++lines;
      EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << file << ": a line end that is not CR LF";
    }
  }
  EXPECT_EQ(lines, static_cast<std::size_t>(kUiTextCount)) << tool.program << " " << file;
  EXPECT_TRUE(bytes.ends_with("\r\n")) << file;
  EXPECT_TRUE(names::utf8_from_cp932(bytes)) << file << " is not CP932 text";
}

// The accelerator of a menu text: the character after its "&".
char accelerator(const std::string& text) {
  const std::size_t amp = text.find('&');
  if (amp == std::string::npos || amp + 1 >= text.size()) return '\0';
  const char c = text[amp + 1];
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

TEST(Languages, JapaneseHoldsEveryToolsBuiltInTexts) {
  for (const console::ToolEntry& entry : programs::all_tools()) {
    const ToolInfo& tool = entry.info();
    expect_written_plainly(tool, "Japanese.lng");
    const auto texts = load_shipped(tool, "Japanese.lng");
    for (int slot = 0; slot < kUiTextCount; ++slot) {
      EXPECT_EQ(texts[static_cast<std::size_t>(slot)], builtin_ui_text(tool, slot))
          << tool.program << " slot " << slot << ": " << utf8(texts[static_cast<std::size_t>(slot)]);
    }
  }
}

TEST(Languages, EnglishFillsEverySlotForEveryTool) {
  // The menus: bar titles, then each menu's items; accelerators are unique within each.
  const std::vector<std::vector<int>> menus = {{0, 1, 2, 3, 4}, {5, 6, 7}, {8, 9, 10}, {11, 12}, {13}, {14}};
  std::map<int, std::set<std::string>> shared;  // slot -> the texts the five files give it
  for (const console::ToolEntry& entry : programs::all_tools()) {
    const ToolInfo& tool = entry.info();
    expect_written_plainly(tool, "English.lng");
    const auto texts = load_shipped(tool, "English.lng");
    for (int slot = 0; slot < kUiTextCount; ++slot) {
      const std::string& text = texts[static_cast<std::size_t>(slot)];
      EXPECT_FALSE(text.empty() || text == "<unset>") << tool.program << " slot " << slot;
      for (char c : text) EXPECT_TRUE(static_cast<unsigned char>(c) < 0x80) << tool.program << " slot " << slot << " is not English";
      // The same text for every tool where the built-in one is.
      if (slot != kUiCompletion && slot != kUiOptionsGroup) shared[slot].insert(text);
    }
    for (const std::vector<int>& menu : menus) {
      std::set<char> keys;
      for (int slot : menu) {
        const char key = accelerator(texts[static_cast<std::size_t>(slot)]);
        EXPECT_TRUE(key >= 'A' && key <= 'Z') << tool.program << " slot " << slot << ": " << texts[static_cast<std::size_t>(slot)];
        EXPECT_TRUE(keys.insert(key).second) << tool.program << " slot " << slot << ": accelerator " << key << " twice in one menu";
      }
    }
    // The escape survives: the start question spans two lines, as the built-in one does.
    EXPECT_NE(texts[25].find("\r\n"), std::string::npos);
    EXPECT_EQ(texts[25].find('\\'), std::string::npos);
    // The status texts are formats of one integer, as their built-in texts.
    EXPECT_TRUE(is_single_int_format(texts[kUiStatusCount]));
    EXPECT_TRUE(is_single_int_format(texts[kUiStatusSelected]));
    UiTexts ui(tool);
    ui[kUiStatusSelected] = texts[kUiStatusSelected];
    EXPECT_EQ(format_status(tool, ui, kUiStatusSelected, 3), "Selected: 3");
  }
  for (const auto& [slot, texts] : shared) EXPECT_EQ(texts.size(), 1u) << "slot " << slot << " differs between the tools";

  // A tool's own texts (completion, options group) differ between two tools
  // exactly where their built-in texts do.
  const auto tools = programs::all_tools();
  for (const console::ToolEntry& a : tools) {
    for (const console::ToolEntry& b : tools) {
      const auto en_a = load_shipped(a.info(), "English.lng");
      const auto en_b = load_shipped(b.info(), "English.lng");
      for (int slot : {int(kUiCompletion), int(kUiOptionsGroup)}) {
        EXPECT_EQ(en_a[static_cast<std::size_t>(slot)] == en_b[static_cast<std::size_t>(slot)],
                  builtin_ui_text(a.info(), slot) == builtin_ui_text(b.info(), slot))
            << a.info().program << " and " << b.info().program << " slot " << slot;
      }
    }
  }
}

// An English completion message as a user of the three counting tools reads it.
TEST(Languages, EnglishCompletionMessage) {
  const auto texts = load_shipped(packer::bindo_tool(), "English.lng");
  UiTexts ui(packer::bindo_tool());
  for (int slot = 0; slot < kUiTextCount; ++slot) ui[slot] = texts[static_cast<std::size_t>(slot)];
  EXPECT_EQ(completion_text(ui, 12, 3725), "12 file(s) converted.\n\nTime taken  1 h 2 min 5 s.");
}

// An installed `lumeno` offers its language files to a tool folder: config
// copies the one named into languages/, never over a file already there.
TEST(Languages, ConfigCopiesAnInstalledLanguageFileIntoTheToolFolder) {
  TempDir dir;
  RealFileSystem fs;
  const fs::path home = dir / "home";
  fs::create_directories(home);
  const console::Program program{programs::all_tools(), kShipped};
  auto config = [&](std::vector<std::string> args) {
    testing::FakeConsole console;
    const int status = console::run_cli(program, args, console, fs, dir.path());
    return std::make_pair(status, console.err);
  };
  testing::FakeConsole help;
  console::run_cli(program, {"vocar", "--help"}, help, fs, dir.path());
  EXPECT_NE(help.out.find("language files installed with lumeno: English.lng Japanese.lng\n"), std::string::npos) << help.out;

  auto [status, err] = config({"vocar", "config", "--home", home.string(), "language_name=English.lng"});
  EXPECT_EQ(status, 0);
  EXPECT_NE(err.find("copied the installed language file English.lng"), std::string::npos) << err;
  EXPECT_EQ(read_file(home / "languages" / "English.lng"), read_file(kShipped / "Vocar" / "English.lng"));
  auto app = start_tool(scriptbuilder::vocar_tool(), home, fs);
  ASSERT_TRUE(app);
  EXPECT_EQ(app->texts[kUiCompletion], "Script building finished.");

  // The tool folder's own file stays; a name the installation lacks is stored as it stands.
  write_file(home / "languages" / "Japanese.lng", "mine\r\n");
  std::tie(status, err) = config({"vocar", "config", "--home", home.string(), "language_name=Japanese.lng"});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(err, "");
  EXPECT_EQ(read_file(home / "languages" / "Japanese.lng"), "mine\r\n");
  std::tie(status, err) = config({"vocar", "config", "--home", home.string(), "language_name=../Vocar/English.lng"});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(err, "");
  EXPECT_FALSE(fs::exists(home / "Vocar"));

  // A copy that cannot be written stores nothing and says so.
  fs::remove_all(home / "languages");
  testing::FaultyFileSystem faulty;
  faulty.fail_at(testing::FsOp::write, 1);
  testing::FakeConsole console;
  EXPECT_EQ(console::run_cli(program, {"vocar", "config", "--home", home.string(), "language_name=English.lng"}, console, faulty, dir.path()),
            console::kExitStopped);
  EXPECT_NE(console.err.find("cannot copy the installed language file"), std::string::npos) << console.err;
  EXPECT_FALSE(fs::exists(home / "languages" / "English.lng"));
  EXPECT_NE(read_file(home / "Vocar.dat").substr(0, 11), "English.lng");

  // A refused value copies nothing.
  fs::remove_all(home / "languages");
  std::tie(status, err) = config({"vocar", "config", "--home", home.string(), "language_name=English.lng", "start_number=x"});
  EXPECT_EQ(status, 2);
  EXPECT_FALSE(fs::exists(home / "languages"));
}

}  // namespace
}  // namespace lumeno
