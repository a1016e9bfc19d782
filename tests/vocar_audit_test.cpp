// `lumeno vocar audit`: the scenario's voice names, as a run gives them,
// against a folder of recordings.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <tuple>

#include "scriptbuilder/recording/voice_audit.h"
#include "tests/support.h"

namespace lumeno::scriptbuilder {
namespace {

using namespace lumeno::testing;

// Every file below a folder with its bytes and its time of change.
std::map<std::string, std::pair<std::string, fs::file_time_type>> snapshot(const fs::path& folder) {
  std::map<std::string, std::pair<std::string, fs::file_time_type>> out;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(entry.path(), folder).string();
    out[name] = {entry.is_regular_file() ? read_file(entry.path()) : std::string("<folder>"), entry.last_write_time()};
  }
  return out;
}

// (file, source line, voice name) of every numbered line of the voice-embedded text.
using VoicedLines = std::vector<std::tuple<std::string, std::string, std::string>>;

class VocarAuditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(home() / u8path(u8"キャラ定義.txt"), "ERI,エリ\r\nYUU,ユウ\r\n,先生\r\n");
    write_file(scn() / u8path(u8"序章.txt"), "エリ「おはよう」\r\n地の文\r\nユウ「やあ」\r\n先生「席について」\r\n");
    write_file(scn() / u8path(u8"第1話") / "a.txt", "エリ「行こう」\nユウ「うん」\nエリ「待って」\n");
    fs::create_directories(voices());
  }
  fs::path home() const { return tmp / "home"; }
  fs::path scn() const { return tmp / "scn"; }
  fs::path voices() const { return tmp / "voices"; }
  void record(const std::u8string& name) { write_file(voices() / u8path(name), ""); }

  CliResult audit(const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"vocar", "audit", "--home", home().string(), "--voices", voices().string()};
    args.insert(args.end(), more.begin(), more.end());
    if (more.empty()) args.push_back("scn");
    return run_cli(args, tmp.path());
  }

  // The lines the audit finds without a recording, as (file, line, voice name).
  VoicedLines missing(const std::string& out) const {
    VoicedLines lines;
    const std::regex entry(R"((.+)\((\d+)\): (\S+) (.*))");
    std::smatch m;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
      if (std::regex_match(line, m, entry)) lines.emplace_back(m[1].str(), m[4].str(), m[3].str());
    }
    return lines;
  }
  // The numbered lines of a run's voice-embedded text, in run order.
  VoicedLines embedded(const std::vector<std::pair<std::string, fs::path>>& files) const {
    VoicedLines lines;
    for (const auto& [name, path] : files) {
      std::istringstream in(read_file(home() / u8path(u8"ボイス命令埋込済テキスト") / path));
      std::string command;
      for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with("\\VO(")) {
          command = line.substr(4, line.size() - 5);
        } else if (!command.empty()) {
          lines.emplace_back(name, utf8(line), command);
          command.clear();
        }
      }
    }
    return lines;
  }

  TempDir tmp;
};

TEST_F(VocarAuditTest, ReportsTheMissingTheOrphanedAndTheDuplicated) {
  // Recordings in sub-folders and in any letter case; a second take of one
  // voice; one that no line names; files that are no recordings.
  record(u8"ERI/ERI_A1_0001.OGG");
  record(u8"yuu/yuu_a1_0001.Wav");
  record(u8"ERI/ERI_A1_0002.flac");
  record(u8"old/take1/eri_a1_0002.mp3");
  record(u8"ERI/ERI_A1_0099.opus");
  record(u8"notes.txt");
  record(u8"ERI_A1_0003.ogg.bak");
  const CliResult r = audit();
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, u8(u8"■録音のないボイス (2)\n"
                      u8"scn\\第1話\\a.txt(2): YUU_A1_0002 ユウ「うん」\n"
                      u8"scn\\第1話\\a.txt(3): ERI_A1_0003 エリ「待って」\n"
                      u8"■どのボイスにもない録音 (1)\n"
                      u8"ERI\\ERI_A1_0099.opus\n"
                      u8"■同じボイスの録音が複数 (1)\n"
                      u8"ERI_A1_0002: ERI\\ERI_A1_0002.flac, old\\take1\\eri_a1_0002.mp3\n"
                      u8"ボイス 5 件 / 録音あり 3 / 録音なし 2 / 余分な録音 1 / 重複 1\n"));
}

TEST_F(VocarAuditTest, NothingToReportGivesTheSummaryAlone) {
  for (const char8_t* name : {u8"ERI_A1_0001.ogg", u8"ERI_A1_0002.ogg", u8"ERI_A1_0003.ogg", u8"YUU_A1_0001.m4a", u8"YUU_A1_0002.ogg"}) {
    record(name);
  }
  const CliResult r = audit();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, u8(u8"ボイス 5 件 / 録音あり 5 / 録音なし 0 / 余分な録音 0 / 重複 0\n"));
  // Recordings no line names alone leave the status 0.
  record(u8"ERI_A1_0004.ogg");
  EXPECT_EQ(audit().status, 0);
}

TEST_F(VocarAuditTest, NamesFromTheFileNamesMiddleAndNumbersPerFile) {
  ASSERT_EQ(vocar_config(home(), tmp.path(), {"second_string_from_file_name=1", "reset_per_file=1"}).status, 0);
  record(u8"ERI_A_0001.ogg");
  const CliResult r = audit();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(missing(r.out), (VoicedLines{{u8(u8"scn\\序章.txt"), u8(u8"エリ「おはよう」"), u8(u8"ERI_序章_0001")},
                                         {u8(u8"scn\\序章.txt"), u8(u8"ユウ「やあ」"), u8(u8"YUU_序章_0001")},
                                         {"scn\\" + u8(u8"第1話") + "\\a.txt", u8(u8"ユウ「うん」"), "YUU_A_0001"},
                                         {"scn\\" + u8(u8"第1話") + "\\a.txt", u8(u8"エリ「待って」"), "ERI_A_0002"}}));
}

TEST_F(VocarAuditTest, TheVoiceNamesAreThoseOfARunWithAndWithoutTheLedger) {
  const std::vector<std::pair<std::string, fs::path>> files = {{u8(u8"scn\\序章.txt"), u8path(u8"scn/序章.txt")},
                                                                {"scn\\" + u8(u8"第1話") + "\\a.txt", u8path(u8"scn/第1話/a.txt")}};
  // Without the ledger, then with it after an edit that the ledger keeps
  // the names of: the audit made before each run names what the run names.
  for (const bool ledger : {false, true}) {
    if (ledger) {
      ASSERT_EQ(vocar_config(home(), tmp.path(), {"keep_voice_numbers=1"}).status, 0);
      ASSERT_EQ(vocar_run(home(), tmp.path()).status, 0);
      write_file(scn() / u8path(u8"序章.txt"), "ユウ「先に」\r\nエリ「おはよう」\r\nエリ「新しい」\r\nユウ「やあ」\r\n");
    }
    const CliResult before = audit();
    ASSERT_EQ(before.status, 1) << before.err;
    ASSERT_EQ(vocar_run(home(), tmp.path()).status, 0);
    const VoicedLines run = embedded(files);
    EXPECT_EQ(missing(before.out), run) << (ledger ? "with the ledger" : "without it");
    EXPECT_EQ(run.size(), ledger ? 7u : 5u);
  }
  // With the ledger the kept names are not in counter order.
  EXPECT_NE(audit().out.find(u8(u8"scn\\序章.txt(2): ERI_A1_0001 エリ「おはよう」")), std::string::npos);
}

TEST_F(VocarAuditTest, WritesNothingAndTheOutputFileHoldsTheReportInShiftJis) {
  record(u8"ERI_A1_0001.ogg");
  const auto home_before = snapshot(home());
  const auto voices_before = snapshot(voices());
  const CliResult r = audit();
  EXPECT_EQ(snapshot(home()), home_before);  // not even the settings file
  EXPECT_FALSE(fs::exists(home() / "Vocar.dat"));
  EXPECT_EQ(snapshot(voices()), voices_before);

  const CliResult to_file = audit({"--output", "report.txt", "scn"});
  EXPECT_EQ(to_file.status, 1);
  EXPECT_EQ(to_file.out, u8(u8"ボイス 5 件 / 録音あり 1 / 録音なし 4 / 余分な録音 0 / 重複 0\n"));
  std::string want = r.out;
  for (std::size_t at = want.find('\n'); at != std::string::npos; at = want.find('\n', at + 2)) want.replace(at, 1, "\r\n");
  EXPECT_EQ(utf8(read_file(tmp / "report.txt")), want);
  EXPECT_EQ(read_file(tmp / "report.txt").find("■録音のないボイス (4)\r\nscn\\序章.txt(3): YUU_A1_0001 ユウ「やあ」\r\n"), 0u);
}

TEST_F(VocarAuditTest, UsageErrorsAndRefusals) {
  const std::string h = home().string();
  auto status = [&](const std::vector<std::string>& args) { return run_cli(args, tmp.path()).status; };
  EXPECT_EQ(status({"vocar", "audit", "--home", h, "scn"}), 2);                                     // no --voices
  EXPECT_EQ(status({"vocar", "audit", "--home", h, "--voices", "nowhere", "scn"}), 2);               // no such folder
  EXPECT_EQ(status({"vocar", "audit", "--home", h, "--voices", "scn/" + u8(u8"序章.txt"), "scn"}), 2);  // not a folder
  EXPECT_EQ(status({"vocar", "audit", "--home", h, "--voices", "voices"}), 2);                       // no PATH
  EXPECT_EQ(status({"vocar", "audit", "--home", h, "--voices", "voices", "missing"}), 2);            // no such PATH
  EXPECT_EQ(status({"vocar", "audit", "--home", "nohome", "--voices", "voices", "scn"}), 2);
  EXPECT_EQ(status({"vocar", "audit", "--home", h, "--voices", "voices", "--output", "voices", "scn"}), 2);
  EXPECT_EQ(status({"vocar", "audit", "--home", h, "--voices", "voices", "--bogus", "scn"}), 2);
  // Marks the run refuses refuse the audit (3); definitions that cannot be
  // read stop it (1) with the run's messages.
  ASSERT_EQ(vocar_config(home(), tmp.path(), {"dialogue_marks=123456789"}).status, 0);
  EXPECT_EQ(status({"vocar", "audit", "--home", h, "--voices", "voices", "scn"}), 3);
  ASSERT_EQ(vocar_config(home(), tmp.path(), {"--defaults"}).status, 0);
  fs::remove(home() / u8path(u8"キャラ定義.txt"));
  const CliResult r = audit();
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(u8(u8"キャラ定義.txt が見つかりませんでした。")), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST_F(VocarAuditTest, WithTheLedgerTwoFilesOfOneNameAreRefusedAsByTheRun) {
  ASSERT_EQ(vocar_config(home(), tmp.path(), {"keep_voice_numbers=1"}).status, 0);
  write_file(tmp / "other" / "scn" / u8path(u8"序章.txt"), "エリ「別」\r\n");
  const CliResult r = audit({"scn", "other/scn"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(u8(u8"同じ名前のファイルが２つあります")), std::string::npos) << r.err;
  // A ledger that does not parse stops it with its message.
  write_file(home() / u8path(u8"ボイス番号台帳.txt"), "no header\r\n");
  EXPECT_EQ(audit().status, 1);
}

TEST(RecordingVoiceName, TheAudioExtensionsInAnyCase) {
  EXPECT_EQ(recording_voice_name("ERI_A1_0001.ogg"), "ERI_A1_0001");
  EXPECT_EQ(recording_voice_name("a.b.OPUS"), "a.b");
  EXPECT_EQ(recording_voice_name("x.M4a"), "x");
  EXPECT_EQ(recording_voice_name(".wav"), "");
  EXPECT_EQ(recording_voice_name("x.ogg.bak"), std::nullopt);
  EXPECT_EQ(recording_voice_name("ogg"), std::nullopt);
  EXPECT_EQ(recording_voice_name("x.aac"), std::nullopt);
}

}  // namespace
}  // namespace lumeno::scriptbuilder
