#include <gtest/gtest.h>

#include <random>

#include "scriptbuilder/run_order.h"
#include "scriptbuilder/scanner.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {
namespace {

CharacterTable table_of(std::vector<std::pair<std::string, std::vector<std::string>>> rows) {
  CharacterTable table;
  for (auto& [prefix, names] : rows) {
    Character c;
    c.voice_prefix = prefix;
    c.display_name = names.empty() ? "" : names.back();
    c.names = names;
    table.characters.push_back(std::move(c));
  }
  return table;
}

// Every character, each of its names, each mark, in that order: the first
// name + mark the line begins with (the text followed by its CR LF guard).
std::optional<DialogueMatch> literal_match(const CharacterTable& table, const DialogueMarks& marks, std::string_view text,
                                           std::size_t pos, int only_character = -1) {
  const std::string guarded = std::string(text) + "\r\n";
  for (std::size_t c = 0; c < table.characters.size(); ++c) {
    if (only_character >= 0 && static_cast<int>(c) != only_character) continue;
    for (const std::string& name : table.characters[c].names) {
      for (const std::string& mark : marks) {
        if (guarded.compare(pos, name.size() + mark.size(), name + mark) == 0) return DialogueMatch{static_cast<int>(c), name.size()};
      }
    }
  }
  return std::nullopt;
}

const DialogueMarks kMarks = {"「", "『", "（"};

TEST(VocarScanner, DialogueIsANameFollowedAtOnceByAMark) {
  const CharacterTable table = table_of({{"ERI", {"エリ"}}});
  const DialogueMatcher matcher(table, kMarks);
  EXPECT_EQ(matcher.match("エリ「こんにちは」", 0), (DialogueMatch{0, 4}));
  EXPECT_EQ(matcher.match("エリ（心の声）", 0), (DialogueMatch{0, 4}));
  EXPECT_FALSE(matcher.match("エリ 「…」", 0));
  EXPECT_FALSE(matcher.match("　エリ「…」", 0));
  EXPECT_FALSE(matcher.match("「…」", 0));
  EXPECT_FALSE(matcher.match("//エリ「…」", 0));
  EXPECT_FALSE(matcher.match("エリ", 0));  // the guard is CR LF, never a mark
  EXPECT_FALSE(DialogueMatcher(table, {}).match("エリ「…」", 0));
}

TEST(VocarScanner, EarlierCharacterTakesASharedName) {
  // ユウ is both characters' name; the longer ユウト of the second character
  // still loses to the first character's ユウ + mark when both match.
  const CharacterTable table = table_of({{"", {"ユウ"}}, {"YUTO", {"ユウト", "ユウ"}}});
  const DialogueMatcher matcher(table, kMarks);
  EXPECT_EQ(matcher.match("ユウ「…」", 0), (DialogueMatch{0, 4}));
  EXPECT_EQ(matcher.match("ユウト「…」", 0), (DialogueMatch{1, 6}));
  std::vector<DialogueMatch> all;
  matcher.match_all("ユウ「…」", 0, all);
  EXPECT_EQ(all, (std::vector<DialogueMatch>{{0, 4}, {1, 4}}));
}

TEST(VocarScanner, EveryCharacterOfMoreNamesAtOnePlaceThanTheWalkKeepsAtHand) {
  // Twenty-one characters share one name; the last has its first character
  // as a second name, which the line does not begin with.
  std::vector<std::pair<std::string, std::vector<std::string>>> rows;
  for (int c = 0; c < 20; ++c) rows.push_back({"", {"ミイ"}});
  rows.push_back({"", {"ミイ", "ミ"}});
  const CharacterTable table = table_of(rows);
  const DialogueMatcher matcher(table, kMarks);
  std::vector<DialogueMatch> all;
  matcher.match_all("ミイ「…」", 0, all);
  ASSERT_EQ(all.size(), 21u);
  for (std::uint32_t c = 0; c < 21; ++c) EXPECT_EQ(all[c], (DialogueMatch{static_cast<int>(c), 4})) << c;
  matcher.match_all("ミ「…」", 0, all);
  EXPECT_EQ(all, (std::vector<DialogueMatch>{{20, 2}}));
}

// Random tables over a few single- and double-byte units, so that names,
// marks and lines share prefixes often: the trie must give exactly what the
// literal loops give, for the first match and for each character's own.
TEST(VocarScanner, MatcherAgreesWithTheLiteralLoopsOnRandomTables) {
  const std::vector<std::string> units = {"a", "b", "ア", "「", "\x83", "\r"};
  std::mt19937 gen(7);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
  auto word = [&](int lo, int hi) {
    std::string w;
    for (int k = pick(lo, hi); k > 0; --k) w += units[static_cast<std::size_t>(pick(0, 4))];
    return w;
  };
  for (int round = 0; round < 300; ++round) {
    CharacterTable table;
    for (int c = pick(0, 6); c > 0; --c) {
      Character ch;
      for (int n = pick(1, 4); n > 0; --n) ch.names.push_back(word(1, 3));
      table.characters.push_back(ch);
    }
    DialogueMarks marks;
    for (int m = pick(0, 3); m > 0; --m) marks.push_back(word(1, 2));
    const DialogueMatcher matcher(table, marks);
    std::vector<DialogueMatch> all;
    for (int t = 0; t < 40; ++t) {
      std::string text;
      for (int k = pick(0, 14); k > 0; --k) text += units[static_cast<std::size_t>(pick(0, 5))];
      const std::size_t pos = text.empty() ? 0 : static_cast<std::size_t>(pick(0, static_cast<int>(text.size()) - 1));
      ASSERT_EQ(matcher.match(text, pos), literal_match(table, marks, text, pos)) << "round " << round << " text " << text;
      std::vector<DialogueMatch> expected;
      for (std::size_t c = 0; c < table.characters.size(); ++c) {
        if (auto m = literal_match(table, marks, text, pos, static_cast<int>(c))) expected.push_back(*m);
      }
      matcher.match_all(text, pos, all);
      ASSERT_EQ(all, expected) << "round " << round << " text " << text;
      // The staff lists take the speaker from the first of them.
      ASSERT_EQ(all.empty() ? std::nullopt : std::optional<DialogueMatch>(all.front()), matcher.match(text, pos)) << "round " << round;
    }
  }
}

TEST(VocarScanner, LineEndsAndDoubleByteSteps) {
  EXPECT_EQ(find_line_end("ab\r\ncd", 0), 2u);
  EXPECT_EQ(find_line_end("ab", 0), 2u);
  // A lead byte takes the byte after it, even a line end; at the very end it stands alone.
  EXPECT_EQ(find_line_end("a\x81\nb\n", 0), 4u);
  EXPECT_EQ(find_line_end("a\x81", 0), 2u);
  EXPECT_EQ(line_break_length("\r\nx", 0), 2u);
  EXPECT_EQ(line_break_length("\rx", 0), 1u);
  EXPECT_EQ(line_break_length("\r", 0), 1u);
  EXPECT_EQ(line_break_length("\n\r", 0), 1u);
  EXPECT_EQ(line_break_length("x", 1), 0u);
}

// The line end found in blocks, with its lead-byte parity test, against a
// walk one character at a time, on texts long enough for the block search.
TEST(VocarScanner, LineEndAgreesWithACharacterWalk) {
  const std::vector<std::string> units = {"a", "\r", "\n", "\x81", "\x82\xE9", "\x9F", "\xE0", "@", "ア"};
  std::mt19937 gen(3);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int k = std::uniform_int_distribution<int>(0, 60)(gen); k > 0; --k) {
      text += units[std::uniform_int_distribution<std::size_t>(0, units.size() - 1)(gen)];
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t expected = pos;
      while (expected < text.size() && text[expected] != '\r' && text[expected] != '\n') {
        expected += sjis_char_length(text, expected);
      }
      ASSERT_EQ(find_line_end(text, pos), expected) << "round " << round << " from " << pos;
      pos = expected + 1;
    }
  }
}

TEST(VocarScanner, VoiceNamesAndCounters) {
  const CharacterTable table = table_of({{"ERI", {"エリ"}}, {"", {"先生"}}});
  BuilderSettings settings;
  settings.second_string = "A1_";
  settings.start_number = "0001";
  VoiceNumbering voices(table, settings);
  EXPECT_EQ(voices.take_voice_number(0), 1);
  EXPECT_EQ(voices.take_voice_number(1), -1);  // no prefix: no number, no counter
  EXPECT_EQ(voices.format_voice_name(0, 2), "ERI_A1_0002");
  EXPECT_EQ(voices.format_voice_name(0, 123456), "ERI_A1_123456");  // printed in full
  EXPECT_FALSE(voices.exceeds_digits(9999));
  EXPECT_TRUE(voices.exceeds_digits(10000));
  voices.reset_voice_counters();
  EXPECT_EQ(voices.counter(0), 1);
  EXPECT_EQ(voices.counter(1), -1);

  settings.second_string = "";
  settings.start_number = "8";
  settings.second_string_from_file_name = true;
  VoiceNumbering by_file(table, settings);
  EXPECT_EQ(by_file.format_voice_name(0, 8), "ERI_8");  // "_" + an empty second string
  by_file.prepare_file("\\scn\\ch1\\prologue.txt", false);
  EXPECT_EQ(by_file.format_voice_name(0, 10), "ERI_PROLOGUE_10");
  // Only ASCII letters change; the trail byte of ソ (0x5C) is no separator.
  EXPECT_EQ(name_middle_from_file("ソa.b.txt"), "_ソA.B_");
}

// The exchange sort as it stands, over folded keys.
std::vector<std::size_t> literal_exchange_order(const std::vector<std::string>& keys) {
  std::vector<std::size_t> order(keys.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  for (std::size_t i = 0; i < order.size(); ++i) {
    for (std::size_t j = i + 1; j < order.size(); ++j) {
      if (keys[order[i]] > keys[order[j]]) std::swap(order[i], order[j]);
    }
  }
  return order;
}

TEST(VocarRunOrder, EqualNamesComeOutAsTheExchangeSortLeavesThem) {
  std::mt19937 gen(11);
  for (int round = 0; round < 3000; ++round) {
    // Mostly short tables with many ties; now and then a long one.
    const int n = round % 1000 == 0 ? 1500 : std::uniform_int_distribution<int>(0, 40)(gen);
    const int distinct = round % 1000 == 0 ? 40 : std::uniform_int_distribution<int>(1, 8)(gen);
    std::vector<std::string> keys;
    for (int k = 0; k < n; ++k) keys.push_back(std::to_string(std::uniform_int_distribution<int>(0, distinct - 1)(gen)));
    ASSERT_EQ(exchange_sort_order(keys), literal_exchange_order(keys)) << "round " << round;
  }
}

TEST(VocarRunOrder, FullNamesFoldLetterCase) {
  std::vector<RunFile> files;
  for (const char* name : {"C:\\s\\b.txt", "C:\\s\\B.TXT", "C:\\s\\A.txt"}) files.push_back({{}, name, name});
  // A.txt first; b.txt and B.TXT tie, and the exchange sort leaves them
  // swapped: b.txt was carried past B.TXT when A.txt came to the front.
  EXPECT_EQ(builder_run_order(files), (std::vector<std::size_t>{2, 1, 0}));
}

}  // namespace
}  // namespace lumeno::scriptbuilder
