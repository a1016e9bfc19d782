// `lumeno vocar audit`: the scenario's voice names, as a run gives them,
// against a folder of recordings; with the take book, the book's statuses
// against the recordings too.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include "scriptbuilder/recording/take_book_run.h"
#include "scriptbuilder/recording/voice_audit.h"
#include "scriptbuilder/workbooks/library_files.h"
#include "scriptbuilder/workbooks/table_workbook.h"
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

std::string u(std::u8string_view text) { return {reinterpret_cast<const char*>(text.data()), text.size()}; }

// The audit with the take book: a run has written the book, the director
// has marked it, the scenario has changed since.
class VocarTakeAuditTest : public VocarAuditTest {
 protected:
  void SetUp() override {
    VocarAuditTest::SetUp();
    ASSERT_EQ(vocar_config(home(), tmp.path(), {"track_takes=1", "script_spreadsheets=0"}).status, 0);
  }
  fs::path book_path() const { return home() / u8path(u8"収録台帳.xlsx"); }

  TakeBook book() const {
    Result<std::vector<BookSheet>> sheets = read_book_sheets(read_file(book_path()), decoder);
    EXPECT_TRUE(sheets.ok());
    if (!sheets) return {};
    Result<TakeBook> book = take_book_from_sheets(std::move(*sheets));
    EXPECT_TRUE(book.ok());
    return book ? std::move(*book) : TakeBook{};
  }
  std::map<std::string, std::string> statuses() const {
    std::map<std::string, std::string> out;
    for (const TakeRow& row : book().rows) out[row.voice()] = cell_text(row.own[takes::kStatus]);
    return out;
  }

  // The director's marks, by voice (UTF-8): a status, and the recorded text
  // when given; the book written back as a spreadsheet program writes it.
  struct Mark {
    std::string status;
    std::optional<std::string> recorded;
  };
  void mark(const std::map<std::string, Mark>& marks) {
    TakeBook taken = book();
    for (TakeRow& row : taken.rows) {
      const auto it = marks.find(row.voice());
      if (it == marks.end()) continue;
      row.own[takes::kStatus] = CellValue::of_text(it->second.status);
      if (it->second.recorded) row.own[takes::kRecordedText] = CellValue::of_text(*it->second.recorded);
    }
    std::map<std::string, std::vector<const TakeRow*>> by_sheet;
    for (const TakeRow& row : taken.rows) by_sheet[row.retired ? std::string(takes::retired_sheet()) : row.sheet].push_back(&row);
    std::vector<TableSheet> sheets;
    for (const auto& [name, rows] : by_sheet) {
      TableSheet& sheet = sheets.emplace_back();
      sheet.name = name;
      for (int c = 0; c < takes::kColumnCount; ++c) sheet.columns.push_back({std::string(takes::header(static_cast<takes::Column>(c))), 10, false, {}});
      for (const TakeRow* row : rows) {
        for (const CellValue& value : row->own) sheet.cells.push_back(value.empty() ? nullptr : &value);
      }
    }
    const fs::path scratch = tmp / "scratch.xlsx";
    const WorkbookTarget target{*library_files::library_name(scratch), *library_files::library_name(tmp.path())};
    ASSERT_EQ(write_table_workbook(target, sheets, [] { return false; }), WorkbookStatus::written);
    fs::rename(scratch, book_path());
  }

  Cp932Decoder decoder;
};

TEST_F(VocarTakeAuditTest, MissingStaleAndUnmarkedRecordings) {
  ASSERT_EQ(vocar_run(home(), tmp.path()).status, 0);
  // OK and recorded; OK (full-width) without its file; OK (lower case),
  // recorded, then its speech rewritten over two lines; NG and recorded;
  // recorded, not marked.
  mark({{"ERI_A1_0001", {"OK", {}}},
        {"YUU_A1_0001", {u(u8"ＯＫ"), {}}},
        {"ERI_A1_0002", {"ok", {}}},
        {"YUU_A1_0002", {"NG", {}}}});
  write_file(scn() / u8path(u8"第1話") / "a.txt", "エリ「行こうよ\n早く」\nユウ「うん」\nエリ「待って」\n");
  for (const char8_t* name : {u8"ERI_A1_0001.ogg", u8"ERI_A1_0002.wav", u8"YUU_A1_0002.ogg", u8"ERI_A1_0003.ogg"}) record(name);
  const auto home_before = snapshot(home());
  const CliResult r = audit();
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, u8(u8"■録音のないボイス (1)\n"
                      u8"scn\\序章.txt(3): YUU_A1_0001 ユウ「やあ」\n"
                      u8"■OK なのに録音がないボイス (1)\n"
                      u8"scn\\序章.txt(3): YUU_A1_0001 ユウ「やあ」\n"
                      u8"■録音後に本文が変わったボイス (1)\n"
                      u8"scn\\第1話\\a.txt(1): ERI_A1_0002\n"
                      u8"    収録時: 「行こう」\n"
                      u8"    現在:   「行こうよ\n"
                      u8"            早く」\n"
                      u8"■OK になっていない録音 (2)\n"
                      u8"scn\\第1話\\a.txt(3): YUU_A1_0002 ［NG］ ユウ「うん」\n"
                      u8"scn\\第1話\\a.txt(4): ERI_A1_0003 ［空欄］ エリ「待って」\n"
                      u8"ボイス 5 件 / 録音あり 4 / 録音なし 1 / 余分な録音 0 / 重複 0 / OK で録音なし 1 / 録音後の本文変更 1 / OK でない録音 2\n"));
  // The audit wrote nothing: the book stands as the director left it.
  EXPECT_EQ(snapshot(home()), home_before);

  // Every voice recorded: the stale recording alone is still owed.
  record(u8"YUU_A1_0001.ogg");
  EXPECT_EQ(audit().status, 1);
  // A recorded text the code page cannot hold is shown as near as it can
  // be, in the report file too.
  mark({{"ERI_A1_0002", {u(u8"要再収録"), u(u8"「行こう🎤」")}}});
  const CliResult to_file = audit({"--output", "report.txt", "scn"});
  EXPECT_EQ(to_file.status, 1);
  EXPECT_NE(read_file(tmp / "report.txt").find("■録音後に本文が変わったボイス (1)\r\nscn\\第1話\\a.txt(1): ERI_A1_0002\r\n"
                                               "    収録時: 「行こう?」\r\n    現在:   「行こうよ\r\n            早く」\r\n■"),
            std::string::npos)
      << utf8(read_file(tmp / "report.txt"));
  // The edit undone, the 要再収録 is OK again, as the next run makes it;
  // recordings not marked OK alone leave the status 0.
  mark({{"ERI_A1_0002", {u(u8"要再収録"), u(u8"「行こう」")}}});
  write_file(scn() / u8path(u8"第1話") / "a.txt", "エリ「行こう」\nユウ「うん」\nエリ「待って」\n");
  const CliResult done = audit();
  EXPECT_EQ(done.status, 0) << done.out;
  EXPECT_EQ(done.out.find(u8(u8"■録音後")), std::string::npos) << done.out;
  EXPECT_NE(done.out.find(u8(u8"/ OK で録音なし 0 / 録音後の本文変更 0 / OK でない録音 2\n")), std::string::npos) << done.out;
}

TEST_F(VocarTakeAuditTest, WhatTheAuditCallsStaleTheNextRunMarks) {
  // A speech longer than a cell holds, kept; short ones edited and kept;
  // every voice recorded and marked OK. The audit made before the next run
  // names as stale exactly the voices that run marks 要再収録.
  const std::string long_speech = "エリ「" + std::string(2 * 40000, 'a') + "」\r\n";
  write_file(scn() / "long.txt", long_speech + "エリ「ね」\r\n");
  ASSERT_EQ(vocar_run(home(), tmp.path()).status, 0);
  std::map<std::string, Mark> marks;
  for (const auto& [voice, status] : statuses()) {
    marks[voice] = {"OK", {}};
    record(std::u8string(voice.begin(), voice.end()) + u8".ogg");
  }
  mark(marks);
  write_file(scn() / u8path(u8"序章.txt"), "エリ「おはよう！」\r\n地の文\r\nユウ「やあ」\r\n先生「席について」\r\n");
  write_file(scn() / "long.txt", long_speech + "エリ「ねえ」\r\n");
  const CliResult before = audit();
  EXPECT_EQ(before.status, 1) << before.err;
  // The voice names of the section's entries (the lines that are no speech).
  std::set<std::string> stale;
  std::istringstream in(before.out);
  bool in_stale = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(u8(u8"■"))) in_stale = line.starts_with(u8(u8"■録音後に本文が変わったボイス"));
    if (in_stale && line.starts_with("scn") && line.find("): ") != std::string::npos) stale.insert(line.substr(line.find("): ") + 3));
  }
  ASSERT_EQ(vocar_run(home(), tmp.path()).status, 0);
  std::set<std::string> marked_redo;
  for (const auto& [voice, status] : statuses()) {
    if (status == u(u8"要再収録")) marked_redo.insert(voice);
  }
  EXPECT_EQ(stale, marked_redo);
  EXPECT_EQ(stale.size(), 2u) << before.out;
}

TEST_F(VocarTakeAuditTest, TheBookAsTheRunTakesItOrNotAtAll) {
  // No book: every voice is new; a recording is not OK yet.
  record(u8"ERI_A1_0001.ogg");
  CliResult r = audit();
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.out.find(u8(u8"■OK になっていない録音 (1)\nscn\\序章.txt(1): ERI_A1_0001 ［空欄］ エリ「おはよう」\n")), std::string::npos)
      << r.out;
  EXPECT_FALSE(fs::exists(book_path()));
  // A book open in another program is read all the same (the audit writes nothing).
  ASSERT_EQ(vocar_run(home(), tmp.path()).status, 0);
  write_file(home() / u8path(u8".~lock.収録台帳.xlsx#"), "x");
  r = audit();
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find(u8(u8"ボイス 5 件 / 録音あり 1 / 録音なし 4")), std::string::npos) << r.out;
  fs::remove(home() / u8path(u8".~lock.収録台帳.xlsx#"));
  // A book that cannot be taken stops the audit with the run's message.
  const std::string good = read_file(book_path());
  write_file(book_path(), "not a workbook");
  r = audit();
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(u8(u8"収録台帳.xlsx を読み込めませんでした")), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  // Without the take book the book is not read, and the report is as it was.
  ASSERT_EQ(vocar_config(home(), tmp.path(), {"track_takes=0", "keep_voice_numbers=1"}).status, 0);
  r = audit();
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.out.find(u8(u8"■OK")), std::string::npos);
  EXPECT_NE(r.out.find(u8(u8"ボイス 5 件 / 録音あり 1 / 録音なし 4 / 余分な録音 0 / 重複 0\n")), std::string::npos) << r.out;
}

// The audit's view for the pick-up scripts: which voices are owed, and why.
TEST(VoiceStandings, EveryVoiceButTheRecordedOkOnesInRunOrder) {
  // The book's rows: statuses as typed, each its own voice; the run's
  // voices in another order, one of them new.
  const std::vector<std::string> typed = {"OK", "ok", u(u8"ＯＫ"), "NG", u(u8"保留"), u(u8"要再収録"), u(u8"録り直し"), ""};
  TakeBook book;
  std::vector<RunTake> voices;
  for (std::size_t k = 0; k < typed.size(); ++k) {
    TakeRow& row = book.rows.emplace_back();
    const std::string voice = "V" + std::to_string(k);
    row.own[takes::kVoice] = CellValue::of_text(voice);
    row.own[takes::kText] = CellValue::of_text("t");
    // A 要再収録 stays one while its speech differs from the recorded text.
    row.own[takes::kRecordedText] = CellValue::of_text(typed[k] == u(u8"要再収録") ? "t0" : "t");
    if (!typed[k].empty()) row.own[takes::kStatus] = CellValue::of_text(typed[k]);
    voices.push_back({voice, 0, "a.txt", static_cast<std::uint32_t>(k + 1), "t"});
  }
  std::reverse(voices.begin(), voices.end());
  voices.push_back({"NEW", 0, "a.txt", 99, "t"});
  const MergedBook merged = merge_take_book(std::move(book), {voices, {}, 0});
  using S = TakeState;

  // Every other voice recorded: the OK ones with a recording drop out (an
  // OK typed in any case or width); a recorded 要再収録 is owed, other
  // recorded ones are not.
  std::vector<bool> recorded;
  for (std::size_t k = 0; k < voices.size(); ++k) recorded.push_back(k % 2 == 0);
  std::vector<std::tuple<std::uint32_t, S, bool, bool>> got;
  for (const VoiceStanding& s : voice_standings(merged, recorded)) got.emplace_back(s.voice, s.state, s.recorded, s.owed());
  EXPECT_EQ(got, (std::vector<std::tuple<std::uint32_t, S, bool, bool>>{{0, S::open, true, false},
                                                                      {1, S::other, false, true},
                                                                      {2, S::redo, true, true},
                                                                      {3, S::hold, false, true},
                                                                      {4, S::ng, true, false},
                                                                      {5, S::ok, false, true},
                                                                      {7, S::ok, false, true},
                                                                      {8, S::open, true, false}}));
  // Voices the set does not reach have no recording.
  EXPECT_EQ(voice_standings(merged, {}).size(), voices.size());
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
