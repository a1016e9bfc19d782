#include "scriptbuilder/characters.h"

#include <new>

#include "shell/files.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

constexpr std::size_t kUsedFields = 5;

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_break(char c) { return c == '\r' || c == '\n'; }

std::string line_message(int line, const char* what) {
  return format("キャラ定義.txt の %d 行目: %s", line, what);
}

class DefinitionReader {
 public:
  explicit DefinitionReader(std::string_view text) : text_(text) {}

  Result<CharacterTable> read() {
    skip_breaks();
    while (pos_ < text_.size()) {
      if (text_.substr(pos_, 2) == "//") {
        pos_ = line_end(pos_);
      } else {
        std::optional<std::string> refusal = read_data_line();
        if (refusal) return Error{*refusal};
      }
      skip_breaks();
    }
    return std::move(table_);
  }

 private:
  // The first CR or LF from `from`, double-byte characters stepped over.
  std::size_t line_end(std::size_t from) const {
    std::size_t i = from;
    while (i < text_.size() && !is_break(text_[i])) i += sjis_char_length(text_, i);
    return i;
  }

  // Past every CR and LF byte, counting lines (CR LF is one line end).
  void skip_breaks() {
    while (pos_ < text_.size() && is_break(text_[pos_])) {
      if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
      ++pos_;
      ++line_;
    }
  }

  void skip_blanks() {
    while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
  }

  // Reads the data line at pos_; the refusal message when it breaks a limit.
  std::optional<std::string> read_data_line() {
    std::string fields[kUsedFields];
    std::size_t field = 0;
    skip_blanks();
    for (;;) {
      const std::size_t start = pos_;
      while (pos_ < text_.size() && text_[pos_] != ',' && !is_break(text_[pos_])) pos_ += sjis_char_length(text_, pos_);
      if (pos_ - start > kMaxFieldBytes) return line_message(line_, "項目が長すぎます。255 バイト以内に抑えてください。");
      if (field < kUsedFields) fields[field].assign(text_.substr(start, pos_ - start));
      ++field;
      if (pos_ >= text_.size() || text_[pos_] != ',') break;
      ++pos_;
      skip_blanks();
    }
    const std::string& prefix = fields[0];
    const std::string& name = fields[1];
    if (name.empty()) return std::nullopt;  // no character, and nothing carried to the next
    Character character;
    character.line = line_;
    if (!prefix.empty()) {
      if (prefix.size() > kMaxPrefixBytes) return line_message(line_, "ボイス名の接頭辞が長すぎます。31 バイト以内に抑えてください。");
      if (name.size() > kMaxPrefixBytes) return line_message(line_, "キャラ名が長すぎます。31 バイト以内に抑えてください。");
      character.voice_prefix = prefix;
      character.display_name = name;
    }
    for (std::size_t k = 2; k < kUsedFields; ++k) {
      if (!fields[k].empty()) character.names.push_back(fields[k]);
    }
    character.names.push_back(name);
    if (table_.characters.size() >= kMaxCharacters) {
      return line_message(line_, "キャラの数が多すぎます。1024 人以内に抑えてください。");
    }
    table_.characters.push_back(std::move(character));
    return std::nullopt;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
  CharacterTable table_;
};

}  // namespace

Result<CharacterTable> parse_character_definitions(std::string_view bytes) { return DefinitionReader(bytes).read(); }

std::optional<CharacterTable> load_character_definitions(const AppState& app, FileSystem& fs, Host& host) {
  FileBuffer buffer;
  if (read_whole_file(fs, host, buffer, app.home_path(kCharacterFile), true) != kReadOk) {
    host.message("キャラ定義.txt が見つかりませんでした。");
    return std::nullopt;
  }
  try {
    Result<CharacterTable> table = parse_character_definitions(buffer.data);
    if (!table) {
      host.message(table.error());
      return std::nullopt;
    }
    return std::move(*table);
  } catch (const std::bad_alloc&) {
    host.message(kMsgNoMemory);
    return std::nullopt;
  }
}

}  // namespace lumeno::scriptbuilder
