#include <gtest/gtest.h>

#include <random>

#include "scriptbuilder/lists/staff_list_scan.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {
namespace {

BuilderSettings list_settings() {
  BuilderSettings s;
  s.second_string = "A1_";
  s.start_number = "0001";
  return s;
}

struct SourceFile {
  std::string relative_name;
  std::string text;
};

// What the scan gives: each voiced character's text list and its count per
// file, and the file voice list's count per file and voiced character.
struct Lists {
  std::vector<std::string> text;
  std::vector<std::vector<std::int64_t>> counts;       // [voiced][file]
  std::vector<std::vector<std::int64_t>> file_counts;  // [file][voiced]
  bool operator==(const Lists&) const = default;
};

Lists scan(const CharacterTable& table, const DialogueMarks& marks, const BuilderSettings& s,
           const std::vector<SourceFile>& files) {
  const DialogueMatcher matcher(table, marks);
  VoiceNumbering voices(table, s);
  StaffListScan scan(table, matcher);
  for (const SourceFile& file : files) {
    voices.prepare_file(file.relative_name, s.reset_per_file);
    scan.scan_file(file.text, file.relative_name, voices);
  }
  Lists out;
  const std::size_t voiced = scan.characters().size();
  out.file_counts.assign(files.size(), std::vector<std::int64_t>(voiced, 0));
  for (const CharacterLists& list : scan.characters()) {
    out.text.push_back(list.text_list);
    out.counts.emplace_back(files.size(), 0);
    for (const auto& f : list.files) out.counts.back()[f.file] = f.count;
  }
  for (std::size_t k = 0; k < files.size(); ++k) {
    for (const FileVoiceCount& c : scan.file_counts(k)) out.file_counts[k][c.voiced] = c.count;
  }
  return out;
}

// The lists the plain way: one character at a time over every file, only
// its own names tried at each line start; then every file once more with the
// first character in table order taking the line.
Lists literal_lists(const CharacterTable& table, const DialogueMarks& marks, const BuilderSettings& s,
                    const std::vector<SourceFile>& files) {
  const long long start = std::stoll(s.start_number);
  const int digits = static_cast<int>(s.start_number.size());
  auto hit = [&](const std::string& guarded, std::size_t i, std::size_t c) -> const std::string* {
    for (const std::string& name : table.characters[c].names) {
      for (const std::string& mark : marks) {
        if (guarded.compare(i, name.size() + mark.size(), name + mark) == 0) return &name;
      }
    }
    return nullptr;
  };
  Lists out;
  out.file_counts.assign(files.size(), {});
  for (std::size_t c = 0; c < table.characters.size(); ++c) {
    if (table.characters[c].voice_prefix.empty()) continue;
    std::string text;
    std::vector<std::int64_t> counts;
    long long counter = start;
    for (const SourceFile& file : files) {
      if (s.reset_per_file) counter = start;
      const long long before = counter;
      const std::string middle = s.second_string_from_file_name ? name_middle_from_file(file.relative_name) : "_" + s.second_string;
      const std::string& t = file.text;
      const std::string guarded = t + "\r\n" + std::string(16, '\0');
      std::size_t i = 0;
      long long line = 1;
      bool at_line_start = true;
      while (i < t.size()) {
        if (guarded[i] == '\r' || guarded[i] == '\n') {
          i += (guarded[i] == '\r' && guarded[i + 1] == '\n') ? 2 : 1;
          ++line;
          at_line_start = true;
          continue;
        }
        const std::string* name = at_line_start ? hit(guarded, i, c) : nullptr;
        at_line_start = false;
        if (name == nullptr) {
          i += sjis_char_length(t, i);
          continue;
        }
        text += format("%s(%lld): %s%s%0*lld\t", file.relative_name.c_str(), line, table.characters[c].voice_prefix.c_str(),
                       middle.c_str(), digits, counter++);
        std::size_t end = i + name->size();
        while (end < t.size() && t[end] != '\r' && t[end] != '\n') end += sjis_char_length(t, end);
        text += t.substr(i, end - i) + "\r\n";
        i = end;
      }
      counts.push_back(counter - before);
    }
    out.text.push_back(text);
    out.counts.push_back(counts);
    for (std::size_t k = 0; k < files.size(); ++k) out.file_counts[k].push_back(0);
  }
  for (std::size_t k = 0; k < files.size(); ++k) {
    const std::string& t = files[k].text;
    const std::string guarded = t + "\r\n" + std::string(16, '\0');
    std::size_t i = 0;
    while (i < t.size()) {
      if (t[i] == '\r' || t[i] == '\n') {
        i += (t[i] == '\r' && guarded[i + 1] == '\n') ? 2 : 1;
        continue;
      }
      std::size_t voiced = 0;
      for (std::size_t c = 0; c < table.characters.size(); ++c) {
        const std::string* name = hit(guarded, i, c);
        if (name != nullptr) {
          if (!table.characters[c].voice_prefix.empty()) ++out.file_counts[k][voiced];
          i += name->size();
          break;
        }
        if (!table.characters[c].voice_prefix.empty()) ++voiced;
      }
      while (i < t.size() && t[i] != '\r' && t[i] != '\n') i += sjis_char_length(t, i);
    }
  }
  return out;
}

CharacterTable table_of(std::vector<std::pair<std::string, std::vector<std::string>>> rows) {
  CharacterTable table;
  for (auto& [prefix, names] : rows) table.characters.push_back({prefix, prefix.empty() ? "" : names.back(), names});
  return table;
}

const DialogueMarks kMarks = {"「", "『", "（"};

TEST(VocarListsScan, LinesAreListedRawWithTheirSourceLineNumbers) {
  const CharacterTable table = table_of({{"ERI", {"エリ"}}, {"NOB", {"ノブ"}}});
  // CR, LF and CR LF each end one line; a lead byte takes the CR after it
  // along, so that is no line end; tabs, commands and trailing blanks stay.
  const std::string text = "（地の文）\rエリ「a」\n\r\nエリ『\\wait(1)\tb』 \r\n 　エリ「c」\nエリ（\x81\rx）\r\n\nエリ「d」";
  const Lists lists = scan(table, kMarks, list_settings(), {{"s\\a.txt", text}, {"b.txt", "ノブ「…」"}});
  EXPECT_EQ(lists.text[0],
            "s\\a.txt(2): ERI_A1_0001\tエリ「a」\r\n"
            "s\\a.txt(4): ERI_A1_0002\tエリ『\\wait(1)\tb』 \r\n"
            "s\\a.txt(6): ERI_A1_0003\tエリ（\x81\rx）\r\n"
            "s\\a.txt(8): ERI_A1_0004\tエリ「d」\r\n");
  EXPECT_EQ(lists.counts, (std::vector<std::vector<std::int64_t>>{{4, 0}, {0, 1}}));
  EXPECT_EQ(lists.text[1], "b.txt(1): NOB_A1_0001\tノブ「…」\r\n");
}

TEST(VocarListsScan, ASharedNameIsListedForBothButCountedForTheFirst) {
  // エリ is both ERI's and MIO's name; 先生, without voice, shares it with SEN.
  const CharacterTable table = table_of({{"ERI", {"エリ"}}, {"", {"先生"}}, {"MIO", {"ミオ", "エリ"}}, {"SEN", {"先生"}}});
  const Lists lists = scan(table, kMarks, list_settings(), {{"a.txt", "ミオ「1」\r\nエリ「2」\r\n先生「3」\r\nミオ「4」"}});
  EXPECT_EQ(lists.text[0], "a.txt(2): ERI_A1_0001\tエリ「2」\r\n");
  // MIO's numbers run ahead of those the other outputs give its lines.
  EXPECT_EQ(lists.text[1],
            "a.txt(1): MIO_A1_0001\tミオ「1」\r\na.txt(2): MIO_A1_0002\tエリ「2」\r\na.txt(4): MIO_A1_0003\tミオ「4」\r\n");
  EXPECT_EQ(lists.text[2], "a.txt(3): SEN_A1_0001\t先生「3」\r\n");
  EXPECT_EQ(lists.counts, (std::vector<std::vector<std::int64_t>>{{1}, {3}, {1}}));
  // In the file voice list the line of エリ is ERI's, and that of 先生 nobody's.
  EXPECT_EQ(lists.file_counts, (std::vector<std::vector<std::int64_t>>{{1, 2, 0}}));
}

// Random tables whose names and marks share prefixes, random line ends and
// stray lead bytes, with and without numbering per file: the one scan for
// all lists gives what the per-character loops give.
TEST(VocarListsScan, AgreesWithTheLiteralProcedureOnRandomScenarios) {
  const std::vector<std::string> units = {"エ", "リ", "「", "（", "a", "\r", "\n", "\r\n", "\x81", " ", "\t"};
  std::mt19937 gen(11);
  auto pick = [&](std::size_t hi) { return std::uniform_int_distribution<std::size_t>(0, hi)(gen); };
  for (int round = 0; round < 1500; ++round) {
    CharacterTable table;
    for (std::size_t c = pick(4); c > 0; --c) {
      Character ch;
      if (pick(3) != 0) ch.voice_prefix = "C" + std::to_string(c);
      for (std::size_t k = pick(2) + 1; k > 0; --k) ch.names.push_back(units[pick(4)] + (pick(1) ? units[pick(4)] : ""));
      table.characters.push_back(ch);
    }
    const DialogueMarks marks = pick(3) == 0 ? DialogueMarks{"リ「"} : DialogueMarks{"「", "（"};
    BuilderSettings s = list_settings();
    s.reset_per_file = pick(1) == 0;
    s.second_string_from_file_name = pick(1) == 0;
    s.start_number = pick(1) == 0 ? "0001" : "7";
    std::vector<SourceFile> files;
    for (std::size_t f = pick(3); f > 0; --f) {
      std::string text;
      for (std::size_t k = pick(40); k > 0; --k) text += units[pick(units.size() - 1)];
      files.push_back({"d\\f" + std::to_string(f) + ".txt", text});
    }
    ASSERT_EQ(scan(table, marks, s, files), literal_lists(table, marks, s, files)) << "round " << round;
  }
}

}  // namespace
}  // namespace lumeno::scriptbuilder
