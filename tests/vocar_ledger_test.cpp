// The voice ledger's pieces: its file format, the alignment of two files'
// lines, and the naming steps over scanned lines.
#include <gtest/gtest.h>

#include <random>

#include "scriptbuilder/recording/run_voices.h"
#include "scriptbuilder/recording/voice_diff.h"
#include "scriptbuilder/recording/voice_ledger.h"

namespace lumeno::scriptbuilder {
namespace {

// --- the file ---------------------------------------------------------------

std::string header() { return std::string(kLedgerHeader) + "\r\n"; }

TEST(VoiceLedgerFile, ReadsWhatItWritesTabsAndBrokenCharactersIncluded) {
  const std::string text = header() +
                           "ERI_A1_0001\tERI\t使用中\tscn\\a.txt\t3\tエリ「a\tb」\r\n"
                           "ERI_A1_0002\tERI\t欠番\tscn\\a.txt\t12\t\r\n"
                           "YUU_A1_0001\tYUU\t使用中\tscn\\b.txt\t1\tユウ「\x82?」\r\n";
  Result<Ledger> ledger = parse_ledger(text);
  ASSERT_TRUE(ledger) << ledger.error();
  ASSERT_EQ(ledger->rows.size(), 3u);
  const LedgerRow& first = ledger->rows[0];
  EXPECT_EQ(first.voice_name, "ERI_A1_0001");
  EXPECT_EQ(first.voice_prefix, "ERI");
  EXPECT_TRUE(first.in_use);
  EXPECT_EQ(first.file, "scn\\a.txt");
  EXPECT_EQ(first.line, 3u);
  EXPECT_EQ(first.text, "エリ「a\tb」");
  EXPECT_FALSE(ledger->rows[1].in_use);
  EXPECT_EQ(ledger->rows[1].text, "");
  EXPECT_EQ(format_ledger(ledger->rows), text);

  // Any line ends, and empty lines, read the same.
  std::string lf = text;
  for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.replace(at, 2, "\n\n");
  Result<Ledger> again = parse_ledger(lf);
  ASSERT_TRUE(again) << again.error();
  EXPECT_EQ(format_ledger(again->rows), text);
  Result<Ledger> cr = parse_ledger(header() + "A_1\tA\t使用中\tf\t1\tx\r");
  ASSERT_TRUE(cr) << cr.error();
  EXPECT_EQ(cr->rows.size(), 1u);

  // A line end inside a source line (the trail of a broken character) is
  // written as "?", so that the ledger keeps one row a line.
  std::string out;
  append_ledger_text(out, "エ\x82\r\x82\nz");
  EXPECT_EQ(out, "エ\x82?\x82?z");
}

TEST(VoiceLedgerFile, RefusesAHandEditGoneWrongNamingItsLine) {
  const std::string good = "ERI_A1_0001\tERI\t使用中\tscn\\a.txt\t3\tx\r\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "ボイス番号台帳.txt の 1 行目: 見出し行がありません。"},
      {good, "ボイス番号台帳.txt の 1 行目: 見出し行がありません。"},
      {header() + "\r\n" + good + "ERI_A1_0002\tERI\t使用中\tscn\\a.txt\t4\r\n",
       "ボイス番号台帳.txt の 4 行目: 項目が足りません（タブ区切りで 6 項目）。"},
      {header() + "\tERI\t使用中\tf\t1\tx\r\n", "ボイス番号台帳.txt の 2 行目: ボイス名がありません。"},
      {header() + "ERI_1\t\t使用中\tf\t1\tx\r\n", "ボイス番号台帳.txt の 2 行目: ボイス接頭辞がありません。"},
      {header() + "YUU_1\tERI\t使用中\tf\t1\tx\r\n", "ボイス番号台帳.txt の 2 行目: ボイス名がボイス接頭辞で始まっていません。"},
      {header() + "ERI\tERI\t使用中\tf\t1\tx\r\n", "ボイス番号台帳.txt の 2 行目: ボイス名がボイス接頭辞で始まっていません。"},
      {header() + "ERI_1\tERI\t使用\tf\t1\tx\r\n", "ボイス番号台帳.txt の 2 行目: 状態は「使用中」か「欠番」です。"},
      {header() + "ERI_1\tERI\t使用中\t\t1\tx\r\n", "ボイス番号台帳.txt の 2 行目: ファイル名がありません。"},
      {header() + "ERI_1\tERI\t使用中\tf\t0\tx\r\n", "ボイス番号台帳.txt の 2 行目: 行番号が正しくありません。"},
      {header() + "ERI_1\tERI\t使用中\tf\t-1\tx\r\n", "ボイス番号台帳.txt の 2 行目: 行番号が正しくありません。"},
      {header() + "ERI_1\tERI\t使用中\tf\t1234567890\tx\r\n", "ボイス番号台帳.txt の 2 行目: 行番号が正しくありません。"},
      {header() + good + good, "ボイス番号台帳.txt の 3 行目: ボイス名が 2 行目と重複しています。"},
  };
  for (const auto& [text, message] : cases) {
    const Result<Ledger> ledger = parse_ledger(text);
    ASSERT_FALSE(ledger) << text;
    EXPECT_EQ(ledger.error(), message) << text;
  }
  // One name in two files is no error: reset_per_file gives such names by design.
  EXPECT_TRUE(parse_ledger(header() + good + "ERI_A1_0001\tERI\t使用中\tscn\\b.txt\t3\tx\r\n"));
  EXPECT_TRUE(parse_ledger(header()));
}

TEST(VoiceLedgerFile, RowsGoInFileThenLineOrder) {
  const std::string text = header() +
                           "B_2\tB\t使用中\tscn\\b.txt\t2\tx\r\n"
                           "A_9\tA\t欠番\tSCN\\A.txt\t5\tx\r\n"
                           "A_1\tA\t使用中\tscn\\a2.txt\t1\tx\r\n"
                           "A_3\tA\t使用中\tSCN\\A.txt\t5\tx\r\n"
                           "B_1\tB\t使用中\tscn\\b.txt\t1\tx\r\n";
  Result<Ledger> ledger = parse_ledger(text);
  ASSERT_TRUE(ledger) << ledger.error();
  sort_ledger_rows(ledger->rows);
  std::vector<std::string_view> names;
  for (const LedgerRow& row : ledger->rows) names.push_back(row.voice_name);
  // Letter case folded for the files; in use before retired on one line.
  EXPECT_EQ(names, (std::vector<std::string_view>{"A_3", "A_9", "A_1", "B_1", "B_2"}));
}

// --- the alignment ----------------------------------------------------------

std::size_t lcs_length(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  std::vector<std::vector<std::size_t>> t(a.size() + 1, std::vector<std::size_t>(b.size() + 1, 0));
  for (std::size_t i = a.size(); i-- > 0;) {
    for (std::size_t j = b.size(); j-- > 0;) t[i][j] = a[i] == b[j] ? t[i + 1][j + 1] + 1 : std::max(t[i + 1][j], t[i][j + 1]);
  }
  return t[0][0];
}

TEST(VoiceDiff, FindsALongestCommonSubsequence) {
  std::mt19937 rng(7);
  for (int round = 0; round < 400; ++round) {
    std::uniform_int_distribution<std::uint32_t> letter(0, round % 3 == 0 ? 1 : 5);
    std::vector<std::uint32_t> a(rng() % 25);
    std::vector<std::uint32_t> b(rng() % 25);
    for (auto& x : a) x = letter(rng);
    for (auto& x : b) x = letter(rng);
    const auto pairs = align_lines(a, b);
    for (std::size_t k = 0; k < pairs.size(); ++k) {
      ASSERT_EQ(a[pairs[k].first], b[pairs[k].second]);
      if (k > 0) {
        ASSERT_LT(pairs[k - 1].first, pairs[k].first);
        ASSERT_LT(pairs[k - 1].second, pairs[k].second);
      }
    }
    ASSERT_EQ(pairs.size(), lcs_length(a, b)) << "round " << round;
  }
}

TEST(VoiceDiff, GivesUpOnTheMiddleBeyondItsEditsAndStaysFastForFewEdits) {
  // Too many edits: the common head and tail only.
  const std::vector<std::uint32_t> a = {1, 2, 3, 4, 5, 6, 9};
  const std::vector<std::uint32_t> b = {1, 5, 4, 3, 2, 6, 9};
  const auto few = align_lines(a, b, 2);
  EXPECT_EQ(few, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, 0}, {5, 5}, {6, 6}}));
  EXPECT_EQ(align_lines(a, b).size(), 4u);

  // 200000 lines with three edits spread out.
  std::vector<std::uint32_t> big(200000);
  for (std::size_t k = 0; k < big.size(); ++k) big[k] = static_cast<std::uint32_t>(k);
  std::vector<std::uint32_t> edited = big;
  edited.erase(edited.begin() + 1000);
  edited.insert(edited.begin() + 100000, 999999999u);
  edited[150000] = 888888888u;
  EXPECT_EQ(align_lines(big, edited).size(), big.size() - 2);
  // Everything rewritten: still linear, head and tail kept.
  std::vector<std::uint32_t> rewritten(big.size());
  for (std::size_t k = 0; k < rewritten.size(); ++k) rewritten[k] = static_cast<std::uint32_t>(k + 500000);
  rewritten.front() = 0;
  EXPECT_EQ(align_lines(big, rewritten).size(), 1u);
}

// --- the naming steps -------------------------------------------------------

CharacterTable cast() {
  CharacterTable table;
  table.characters.push_back({"ERI", "エリ", {"エリ"}});
  table.characters.push_back({"YUU", "ユウ", {"ユウ"}});
  table.characters.push_back({"", "", {"先生"}});
  table.characters.push_back({"ERI", "幼エリ", {"幼エリ"}});  // shares ERI's prefix
  return table;
}

class VoiceNaming : public ::testing::Test {
 protected:
  VoiceNaming() : table(cast()), matcher(table, *parse_dialogue_marks("「")) {
    settings.second_string = "A1_";
    settings.start_number = "0001";
  }

  // Names the files (name, text) against the ledger text (rows only).
  RunVoices name(const std::vector<std::pair<std::string, std::string>>& files, const std::string& rows,
                 const std::vector<LedgerScope>& scope = {{"scn", true}}) {
    std::vector<FileVoices> scanned(files.size());
    std::vector<VoiceFileName> names;
    for (std::size_t k = 0; k < files.size(); ++k) {
      scan_voice_lines(files[k].second, matcher, table, scanned[k]);
      names.push_back({files[k].first, "C:\\work\\" + files[k].first});
    }
    Result<Ledger> ledger = parse_ledger(header() + rows);
    EXPECT_TRUE(ledger) << ledger.error();
    Result<RunVoices> voices = name_run_voices(std::move(scanned), std::move(names), std::move(*ledger), {table, settings, scope});
    EXPECT_TRUE(voices) << voices.error();
    return std::move(*voices);
  }
  // "name:change" for every line of file k.
  static std::vector<std::string> named(const RunVoices& voices, std::size_t k) {
    static constexpr const char* kChange[] = {"", ":changed", ":moved", ":new"};
    std::vector<std::string> out;
    for (const VoiceLine& line : voices.files[k].lines) out.push_back(line.voice_name + kChange[static_cast<int>(line.change)]);
    return out;
  }
  // The rows of the ledger after the run, without the header.
  std::string after(const RunVoices& voices) { return ledger_text(voices, table).substr(header().size()); }

  CharacterTable table;
  DialogueMatcher matcher;
  BuilderSettings settings;
};

TEST_F(VoiceNaming, AFirstRunNumbersAsTodaySharingAPrefixAndSkippingTheUnvoiced) {
  const RunVoices voices = name({{"scn\\a.txt", "エリ「1」\r\n先生「x」\r\nユウ「2」\r\n幼エリ「3」\r\n"}, {"scn\\b.txt", "エリ「4」"}}, "");
  EXPECT_EQ(named(voices, 0), (std::vector<std::string>{"ERI_A1_0001:new", "YUU_A1_0001:new", "ERI_A1_0002:new"}));
  EXPECT_EQ(named(voices, 1), (std::vector<std::string>{"ERI_A1_0003:new"}));
  EXPECT_EQ(voices.files[0].lines[1].line, 3u);
  EXPECT_EQ(voices.counts.added, 4u);
  EXPECT_EQ(after(voices),
            "ERI_A1_0001\tERI\t使用中\tscn\\a.txt\t1\tエリ「1」\r\n"
            "YUU_A1_0001\tYUU\t使用中\tscn\\a.txt\t3\tユウ「2」\r\n"
            "ERI_A1_0002\tERI\t使用中\tscn\\a.txt\t4\t幼エリ「3」\r\n"
            "ERI_A1_0003\tERI\t使用中\tscn\\b.txt\t1\tエリ「4」\r\n");
}

TEST_F(VoiceNaming, SwappedLinesKeepTheirNamesAndAChangedNeighbourDoesNotTakeThem) {
  const std::string rows =
      "ERI_A1_0001\tERI\t使用中\tscn\\a.txt\t1\tエリ「p」\r\n"
      "ERI_A1_0002\tERI\t使用中\tscn\\a.txt\t2\tエリ「x」\r\n"
      "ERI_A1_0003\tERI\t使用中\tscn\\a.txt\t3\tエリ「q」\r\n"
      "ERI_A1_0004\tERI\t使用中\tscn\\a.txt\t4\tエリ「y」\r\n"
      "ERI_A1_0005\tERI\t使用中\tscn\\a.txt\t5\tエリ「r」\r\n";
  // x and y swapped: both hunks are one for one, yet neither is a change.
  RunVoices voices = name({{"scn\\a.txt", "エリ「p」\r\nエリ「y」\r\nエリ「q」\r\nエリ「x」\r\nエリ「r」\r\n"}}, rows);
  EXPECT_EQ(named(voices, 0), (std::vector<std::string>{"ERI_A1_0001", "ERI_A1_0004", "ERI_A1_0003", "ERI_A1_0002", "ERI_A1_0005"}));
  EXPECT_EQ(voices.counts.changed + voices.counts.added + voices.counts.retired, 0u);

  // q fixed in place: changed; p and r unchanged around it.
  voices = name({{"scn\\a.txt", "エリ「p」\r\nエリ「x」\r\nエリ「Q」\r\nエリ「y」\r\nエリ「r」\r\n"}}, rows);
  EXPECT_EQ(named(voices, 0)[2], "ERI_A1_0003:changed");
  EXPECT_EQ(voices.counts.changed, 1u);
  EXPECT_NE(after(voices).find("ERI_A1_0003\tERI\t使用中\tscn\\a.txt\t3\tエリ「Q」\r\n"), std::string::npos);

  // Two lines for one: no change can be told, so new, and the old retired.
  voices = name({{"scn\\a.txt", "エリ「p」\r\nエリ「x」\r\nエリ「Q1」\r\nエリ「Q2」\r\nエリ「y」\r\nエリ「r」\r\n"}}, rows);
  EXPECT_EQ(named(voices, 0)[2], "ERI_A1_0006:new");
  EXPECT_EQ(named(voices, 0)[3], "ERI_A1_0007:new");
  EXPECT_EQ(voices.counts.retired, 1u);
  EXPECT_NE(after(voices).find("ERI_A1_0003\tERI\t欠番\tscn\\a.txt\t3\tエリ「q」\r\n"), std::string::npos);
}

TEST_F(VoiceNaming, MovedLinesKeepTheirNamesBeforeAnyChangeAndRetiredNumbersNeverComeBack) {
  const std::string rows =
      "ERI_A1_0001\tERI\t使用中\tscn\\a.txt\t1\tエリ「p」\r\n"
      "ERI_A1_0002\tERI\t使用中\tscn\\a.txt\t2\tエリ「m」\r\n"
      "ERI_A1_0009\tERI\t欠番\tscn\\a.txt\t3\tエリ「gone」\r\n"
      "ERI_A1_0003\tERI\t使用中\tscn\\b.txt\t1\tエリ「s」\r\n"
      "ERI_A1_0004\tERI\t使用中\tscn\\old.txt\t1\tエリ「o」\r\n";
  // m went from a to b, in the place of s that was rewritten; old.txt was
  // renamed to new.txt; gone came back as new text.
  const RunVoices voices = name({{"scn\\a.txt", "エリ「p」\r\nエリ「gone」\r\n"},
                                 {"scn\\b.txt", "エリ「m」\r\nエリ「S」\r\n"},
                                 {"scn\\new.txt", "エリ「o」\r\n"}},
                                rows);
  EXPECT_EQ(named(voices, 0), (std::vector<std::string>{"ERI_A1_0001", "ERI_A1_0010:new"}));
  EXPECT_EQ(named(voices, 1), (std::vector<std::string>{"ERI_A1_0002:moved", "ERI_A1_0003:changed"}));
  EXPECT_EQ(named(voices, 2), (std::vector<std::string>{"ERI_A1_0004:moved"}));
  EXPECT_EQ(voices.counts.moved, 2u);
  EXPECT_EQ(voices.counts.retired, 0u);
  // The moved row stands at its new place; the retired one stays retired.
  const std::string ledger = after(voices);
  EXPECT_NE(ledger.find("ERI_A1_0002\tERI\t使用中\tscn\\b.txt\t1\tエリ「m」\r\n"), std::string::npos) << ledger;
  EXPECT_NE(ledger.find("ERI_A1_0009\tERI\t欠番\tscn\\a.txt\t3\tエリ「gone」\r\n"), std::string::npos);
  EXPECT_EQ(ledger.find("old.txt"), std::string::npos);
}

TEST_F(VoiceNaming, ResetPerFileKeepsEachFileItsOwnSpaceAndMovesNothing) {
  settings.reset_per_file = true;
  const std::string rows =
      "ERI_A1_0001\tERI\t使用中\tscn\\a.txt\t1\tエリ「p」\r\n"
      "ERI_A1_0002\tERI\t使用中\tscn\\a.txt\t2\tエリ「m」\r\n"
      "ERI_A1_0001\tERI\t使用中\tscn\\b.txt\t1\tエリ「s」\r\n";
  const RunVoices voices = name({{"scn\\a.txt", "エリ「p」\r\n"}, {"scn\\b.txt", "エリ「s」\r\nエリ「m」\r\n"}}, rows);
  EXPECT_EQ(named(voices, 0), (std::vector<std::string>{"ERI_A1_0001"}));
  // m went to b: new there (b's own next number), retired in a.
  EXPECT_EQ(named(voices, 1), (std::vector<std::string>{"ERI_A1_0001", "ERI_A1_0002:new"}));
  EXPECT_EQ(voices.counts.retired, 1u);
  EXPECT_NE(after(voices).find("ERI_A1_0002\tERI\t欠番\tscn\\a.txt\t2\tエリ「m」\r\n"), std::string::npos);
}

TEST_F(VoiceNaming, AMoveNeverBringsANameItsNewFileHoldsAlready) {
  // Left by a run with reset_per_file: one name in two files, retired in one.
  const std::string rows =
      "ERI_A1_0001\tERI\t欠番\tscn\\a.txt\t1\tエリ「old」\r\n"
      "ERI_A1_0001\tERI\t使用中\tscn\\b.txt\t1\tエリ「m」\r\n";
  const RunVoices voices = name({{"scn\\a.txt", "エリ「m」\r\n"}, {"scn\\b.txt", ""}}, rows);
  EXPECT_EQ(named(voices, 0), (std::vector<std::string>{"ERI_A1_0002:new"}));
  EXPECT_TRUE(parse_ledger(ledger_text(voices, table)));
}

TEST_F(VoiceNaming, NewNumbersStandAboveEverythingTheSpaceGaveWhateverItsForm) {
  settings.second_string = "B2_";
  settings.start_number = "0005";
  // Names of an earlier second string and number width; a retired one the
  // highest; rows of a file outside the run's scope count as well.
  const std::string rows =
      "ERI_A1_0003\tERI\t使用中\tscn\\a.txt\t1\tエリ「p」\r\n"
      "ERI_A1_0007\tERI\t欠番\tscn\\a.txt\t2\tエリ「q」\r\n"
      "ERI_A1_00012\tERI\t使用中\tother\\x.txt\t1\tエリ「r」\r\n"
      "YUU_A1_0002\tYUU\t使用中\tscn\\b.txt\t3\tユウ「y」\r\n";
  const RunVoices voices = name({{"scn\\a.txt", "エリ「p」\r\nエリ「new」\r\nユウ「new」\r\n"}}, rows);
  EXPECT_EQ(named(voices, 0), (std::vector<std::string>{"ERI_A1_0003", "ERI_B2_0013:new", "YUU_B2_0005:new"}));
  // YUU's row left over is retired; the file outside the scope is left alone.
  EXPECT_EQ(voices.counts.retired, 1u);
  const std::string ledger = after(voices);
  EXPECT_NE(ledger.find("ERI_A1_00012\tERI\t使用中\tother\\x.txt\t1\tエリ「r」\r\n"), std::string::npos) << ledger;
  EXPECT_NE(ledger.find("YUU_A1_0002\tYUU\t欠番\t"), std::string::npos);
  // A kept name in another form is not tested for width.
  EXPECT_EQ(voices.files[0].lines[0].number, 0);
  EXPECT_EQ(voices.files[0].lines[1].number, 13);
}

TEST_F(VoiceNaming, RefusesNamesTheLedgerCannotHold) {
  std::vector<FileVoices> scanned(1);
  scan_voice_lines("エリ「p」", matcher, table, scanned[0]);
  Result<RunVoices> voices =
      name_run_voices(std::move(scanned), {{"scn\\a\tb.txt", "C:\\a\tb.txt"}}, Ledger{}, {table, settings, {}});
  ASSERT_FALSE(voices);
  EXPECT_NE(voices.error().find("タブや改行を含むファイル名"), std::string::npos);

  settings.second_string = "A\t";
  scanned.assign(1, {});
  scan_voice_lines("エリ「p」", matcher, table, scanned[0]);
  voices = name_run_voices(std::move(scanned), {{"scn\\a.txt", "C:\\a.txt"}}, Ledger{}, {table, settings, {}});
  ASSERT_FALSE(voices);
  EXPECT_NE(voices.error().find("タブや改行を含むボイス名"), std::string::npos);
}

TEST_F(VoiceNaming, TheReportGroupsByCharacterWithOldTextsAndPlaces) {
  const std::string rows =
      "ERI_A1_0001\tERI\t使用中\tscn\\a.txt\t1\tエリ「p」\r\n"
      "ERI_A1_0002\tERI\t使用中\tscn\\a.txt\t2\tエリ「q」\r\n"
      "ERI_A1_0003\tERI\t使用中\tscn\\b.txt\t1\tエリ「m」\r\n"
      "ZZZ_A1_0001\tZZZ\t使用中\tscn\\b.txt\t2\tゼット「z」\r\n"
      "YUU_A1_0001\tYUU\t使用中\tscn\\b.txt\t3\tユウ「y」\r\n";
  const RunVoices voices = name({{"scn\\a.txt", "ユウ「n」\r\nエリ「P」\r\nエリ「q」\r\nエリ「m」\r\n"}, {"scn\\b.txt", "ユウ「y」\r\n"}}, rows);
  EXPECT_EQ(voice_change_report(voices, table),
            "ボイス番号変更リスト\r\n新規 1 / 変更 1 / 移動 1 / 欠番 1\r\n"
            "\r\n[ERI] エリ\r\n"
            "変更\tERI_A1_0001\tscn\\a.txt(2)\tエリ「P」\r\n"
            "\t変更前\tscn\\a.txt(1)\tエリ「p」\r\n"
            "移動\tERI_A1_0003\tscn\\a.txt(4)\tエリ「m」\r\n"
            "\t移動前\tscn\\b.txt(1)\r\n"
            "\r\n[YUU] ユウ\r\n"
            "新規\tYUU_A1_0002\tscn\\a.txt(1)\tユウ「n」\r\n"
            "\r\n[ZZZ]\r\n"
            "欠番\tZZZ_A1_0001\tscn\\b.txt(2)\tゼット「z」\r\n");
  EXPECT_EQ(voice_counts_line(voices.counts), "ボイス番号台帳: 新規 1 / 変更 1 / 移動 1 / 欠番 1");
}

}  // namespace
}  // namespace lumeno::scriptbuilder
