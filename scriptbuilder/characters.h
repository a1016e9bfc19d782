// The character definitions "キャラ定義.txt": one character a line, as
// voice prefix, name, and up to three further names, separated by commas.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/app_state.h"
#include "shell/file_system.h"
#include "shell/host.h"
#include "shell/result.h"

namespace lumeno::scriptbuilder {

inline constexpr std::string_view kCharacterFile = "キャラ定義.txt";

inline constexpr std::size_t kMaxCharacters = 1024;
inline constexpr std::size_t kMaxFieldBytes = 255;
inline constexpr std::size_t kMaxPrefixBytes = 31;  // voice prefix and display name

struct Character {
  std::string voice_prefix;  // empty: the character's lines get no voice number
  std::string display_name;  // the line's second field; kept for voiced characters only
  // The texts that identify the character at the start of a line: the
  // line's third, fourth and fifth field (those not empty), then the second.
  // At most four, well below the table's 16 names a character.
  std::vector<std::string> names;
  int line = 0;  // its line in the definitions file, from 1

  bool voiced() const { return !voice_prefix.empty(); }
};

struct CharacterTable {
  std::vector<Character> characters;  // in the order of their lines
};

// Reads the definitions from the file's bytes.
//
// A line is a comment when "//" are its first two bytes; blanks before "//"
// make it data. Fields are split at ","; blanks (space, tab) at the start of
// the line and right after a comma are dropped, blanks before a comma or the
// line end are kept. Line ends are CR LF, CR or LF; blank lines are skipped.
// A line whose second field is empty is dropped whole. Fields from the sixth
// on are ignored.
//
// Refuses the file, with a message naming the line, when a field holds more
// than 255 bytes, a voice prefix or display name more than 31, or the file
// defines more than 1024 characters.
Result<CharacterTable> parse_character_definitions(std::string_view bytes);

// Loads "キャラ定義.txt" from the tool folder, showing the failures: the
// reader's message then "キャラ定義.txt が見つかりませんでした。" when it cannot
// be read, "[エラー]メモリ不足です。" when it cannot be held, the refusal of a
// file beyond the limits. Nothing on a failure: the run must end.
std::optional<CharacterTable> load_character_definitions(const AppState& app, FileSystem& fs, Host& host);

}  // namespace lumeno::scriptbuilder
