// Every failing file operation shows a message, ends the run with status 1
// and never the completion message, and no input is lost.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "packer/pack.h"
#include "tests/fault_fs.h"
#include "tests/support.h"

namespace lumeno {
namespace {

using testing::FaultyFileSystem;
using testing::FsOp;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

constexpr FsOp kOps[] = {FsOp::open, FsOp::read, FsOp::write, FsOp::append, FsOp::mkdir, FsOp::remove};

// Runs `tool` over the folder "scn" once for every operation and every call
// number that the run makes, each time on fresh files made by `prepare`.
template <class Prepare, class Check>
void for_each_fault(const std::string& tool, Prepare prepare, Check check, std::vector<std::string> extra = {}) {
  for (FsOp op : kOps) {
    for (std::size_t n = 1;; ++n) {
      TempDir dir;
      std::filesystem::create_directories(dir / "home");
      prepare(dir);
      FaultyFileSystem fs;
      // The settings and language files fail silently by design.
      fs.spare(".dat");
      fs.spare(".lng");
      fs.fail_at(op, n);
      std::vector<std::string> args = {tool, "run", "--home", (dir / "home").string(), "--no-progress", "--yes"};
      args.insert(args.end(), extra.begin(), extra.end());
      args.push_back("scn");
      const auto result = testing::run_cli(args, dir.path(), fs);
      SCOPED_TRACE(std::string(testing::op_name(op)) + " #" + std::to_string(n));
      if (!fs.failed()) {
        EXPECT_EQ(result.status, 0) << result.err;
        check(dir, false);
        break;
      }
      EXPECT_EQ(result.status, 1);
      EXPECT_NE(result.err, "");
      EXPECT_EQ(result.out, "");
      check(dir, true);
    }
  }
}

TEST(FaultInjection, BindoNeverLosesAnInput) {
  const std::string marker(packer::kPackMarker);
  const std::map<std::string, std::string> inputs = {{"a.txt", "aa\n"}, {"b.txt", "bb"}, {"c.txt", "cc\r\n"}};
  for_each_fault(
      "bindo",
      [&](const TempDir& dir) {
        for (const auto& [name, text] : inputs) write_file(dir / "scn" / name, text);
      },
      [&](const TempDir& dir, bool failed) {
        const std::string pack = std::filesystem::exists(dir / "scn" / "scn.txt") ? read_file(dir / "scn" / "scn.txt") : "";
        // The pack holds whole entries, in order; every input is either
        // where it was, unchanged, or packed.
        std::string expected;
        std::size_t whole = 0;
        for (const auto& [name, text] : inputs) {
          const std::string entry = packer::pack_entry(name, text);
          if (pack.compare(expected.size(), entry.size(), entry) != 0) break;
          expected += entry;
          ++whole;
        }
        EXPECT_EQ(pack, expected);
        std::size_t i = 0;
        for (const auto& [name, text] : inputs) {
          if (std::filesystem::exists(dir / "scn" / name)) {
            EXPECT_EQ(read_file(dir / "scn" / name), text);
          } else {
            EXPECT_LT(i, whole) << name << " was deleted without its entry";
          }
          ++i;
        }
        if (!failed) {
          EXPECT_EQ(whole, inputs.size());
        }
      });
}

TEST(FaultInjection, SplixNeverLosesAnInputOrWritesHalfAPiece) {
  const std::string marker(packer::kPackMarker);
  const std::string pack = marker + "a.txt\r\nA\r\n" + marker + "sub\\b.txt\r\nB\r\n" + marker + "c.txt\r\nC";
  const std::map<std::string, std::string> pieces = {{"a.txt", "A\r\n"}, {"sub/b.txt", "B\r\n"}, {"c.txt", "C"}};
  for_each_fault(
      "splix", [&](const TempDir& dir) { write_file(dir / "scn" / "p.txt", pack); },
      [&](const TempDir& dir, bool failed) {
        bool all = true;
        for (const auto& [name, text] : pieces) {
          const auto path = dir / "scn" / "p" / name;
          if (std::filesystem::exists(path)) {
            EXPECT_EQ(read_file(path), text);
          } else {
            all = false;
          }
        }
        if (std::filesystem::exists(dir / "scn" / "p.txt")) {
          EXPECT_EQ(read_file(dir / "scn" / "p.txt"), pack);
        } else {
          EXPECT_TRUE(all) << "the input went without all its pieces";
        }
        if (!failed) {
          EXPECT_TRUE(all);
        }
      });
}

// The scenario every text tool reads in these tests.
const std::map<std::string, std::string> kScenario = {
    {"a.txt", "エリ「おはよう」 // c\r\n/* b */地の文\r\n"},
    {"sub/b.txt", "ユウト「やあ」\n\\wait(10)\n"},
};

void write_scenario(const TempDir& dir) {
  for (const auto& [name, text] : kScenario) write_file(dir / "scn" / name, text);
}

void expect_scenario_unchanged(const TempDir& dir) {
  for (const auto& [name, text] : kScenario) EXPECT_EQ(read_file(dir / "scn" / name), text) << name;
}

TEST(FaultInjection, PrunaStopsOnEveryFailureAndNeverTouchesItsInputs) {
  for_each_fault(
      "pruna",
      [&](const TempDir& dir) {
        write_scenario(dir);
        // An earlier run's outputs, which this run replaces.
        write_file(dir / "home" / testing::u8path(u8"出力テキスト") / "old" / "x.txt", "old");
        write_file(dir / "home" / "log.txt", "old log");
      },
      [&](const TempDir& dir, bool failed) {
        expect_scenario_unchanged(dir);
        const auto out = dir / "home" / testing::u8path(u8"出力テキスト");
        if (!failed) {
          EXPECT_FALSE(std::filesystem::exists(out / "old"));
          EXPECT_TRUE(std::filesystem::exists(out / "scn" / "sub" / "b.txt"));
          EXPECT_NE(read_file(dir / "home" / "log.txt"), "old log");
        }
      });
}

TEST(FaultInjection, NamexStopsOnEveryFailureAndLeavesAWholeReport) {
  std::string full_report;
  for_each_fault(
      "namex",
      [&](const TempDir& dir) {
        write_scenario(dir);
        write_file(dir / "home" / "output.txt", "old report");
        write_file(dir / "home" / testing::u8path(u8"除外リスト.txt"), "ユウト\r\n");
      },
      [&](const TempDir& dir, bool failed) {
        expect_scenario_unchanged(dir);
        const std::string report = read_file(dir / "home" / "output.txt");
        if (!failed) {
          full_report = report;
          EXPECT_NE(report.find("エリ"), std::string::npos);
          EXPECT_EQ(report.find("ユウト"), std::string::npos);
        } else {
          EXPECT_TRUE(report == "old report" || report.find("エリ") != std::string::npos) << report;
        }
        EXPECT_FALSE(std::filesystem::exists(dir / "home" / "output.tmp"));
      });
}

// Every file below `folder`, by its path relative to it.
std::map<std::string, std::string> files_below(const std::filesystem::path& folder) {
  std::map<std::string, std::string> out;
  if (!std::filesystem::exists(folder)) return out;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) out[std::filesystem::relative(entry.path(), folder).string()] = read_file(entry.path());
  }
  return out;
}

TEST(FaultInjection, VocarStopsOnEveryFailureAndWritesNoHalfFile) {
  const std::string definitions = "ERI,エリ\r\nYUTO,ユウト\r\n";
  const testing::ScratchTmpdir tmpdir;
  auto prepare = [&](const TempDir& dir) {
    write_scenario(dir);
    write_file(dir / "home" / testing::u8path(u8"キャラ定義.txt"), definitions);
    tmpdir.use(dir / "scratch");
  };
  // What a run without failures writes.
  std::map<std::string, std::string> reference;
  std::string counts_csv;
  {
    TempDir dir;
    prepare(dir);
    const auto result = testing::run_cli({"vocar", "run", "--home", (dir / "home").string(), "--no-progress", "--yes", "scn"}, dir.path());
    tmpdir.restore();
    ASSERT_EQ(result.status, 0) << result.err;
    reference = files_below(dir / "home" / testing::u8path(u8"ボイス命令埋込済テキスト"));
    ASSERT_EQ(reference.size(), 2u);
    counts_csv = read_file(dir / "home" / testing::u8path(u8"スタッフ用リスト/ボイス集計.csv"));
  }
  for_each_fault("vocar", prepare, [&](const TempDir& dir, bool failed) {
    tmpdir.restore();
    expect_scenario_unchanged(dir);
    EXPECT_EQ(read_file(dir / "home" / testing::u8path(u8"キャラ定義.txt")), definitions);
    // A voice-embedded text is there whole or not at all.
    const auto written = files_below(dir / "home" / testing::u8path(u8"ボイス命令埋込済テキスト"));
    for (const auto& [name, text] : written) {
      ASSERT_TRUE(reference.count(name)) << name;
      EXPECT_EQ(text, reference.at(name)) << name;
    }
    // A workbook is there whole or not at all, and so is its scratch file
    // once the run is over (unless its removal was the failure). The same
    // for the counts, written on a thread of their own.
    std::map<std::string, std::string> workbooks = files_below(dir / "home" / testing::u8path(u8"声優用台本"));
    const std::filesystem::path counts = dir / "home" / testing::u8path(u8"スタッフ用リスト/ボイス集計.xlsx");
    if (std::filesystem::exists(counts)) workbooks.emplace("counts.xlsx", read_file(counts));
    for (const auto& [name, bytes] : workbooks) {
      if (!name.ends_with(".xlsx")) continue;
      EXPECT_EQ(bytes.rfind("PK\x03\x04", 0), 0u) << name;
      EXPECT_NE(bytes.find("PK\x05\x06", bytes.size() > 64 ? bytes.size() - 64 : 0), std::string::npos) << name;
    }
    const std::filesystem::path csv = dir / "home" / testing::u8path(u8"スタッフ用リスト/ボイス集計.csv");
    if (std::filesystem::exists(csv)) {
      EXPECT_EQ(read_file(csv), counts_csv);
    }
    if (!failed) {
      EXPECT_TRUE(std::filesystem::exists(counts));
      EXPECT_TRUE(std::filesystem::exists(csv));
      EXPECT_EQ(written.size(), reference.size());
      EXPECT_TRUE(std::filesystem::is_empty(dir / "scratch"));
      EXPECT_TRUE(std::filesystem::exists(dir / "home" / testing::u8path(u8"声優用台本/[全キャラ一括台本].xlsx")));
    }
  });
}

TEST(FaultInjection, VocarReplacesItsLedgerOnlyWhenTheWholeRunSucceeded) {
  const std::string definitions = "ERI,エリ\r\nYUTO,ユウト\r\n";
  const auto ledger_of = [](const TempDir& dir) { return dir / "home" / testing::u8path(u8"ボイス番号台帳.txt"); };
  auto run = [](const TempDir& dir) { return testing::vocar_run(dir / "home", dir.path()); };
  // The ledger of an earlier run over the scenario before an edit.
  const testing::ScratchTmpdir tmpdir;
  auto prepare = [&](const TempDir& dir) {
    tmpdir.use(dir / "scratch");
    write_file(dir / "home" / testing::u8path(u8"キャラ定義.txt"), definitions);
    ASSERT_EQ(testing::vocar_config(dir / "home", dir.path(), {"keep_voice_numbers=1"}).status, 0);
    write_file(dir / "scn" / "a.txt", "エリ「前の行」\r\n");
    ASSERT_EQ(run(dir).status, 0);
    std::filesystem::remove_all(dir / "scn");
    write_scenario(dir);
  };
  std::string before;
  std::string after;
  {
    TempDir dir;
    prepare(dir);
    before = read_file(ledger_of(dir));
    ASSERT_EQ(run(dir).status, 0);
    tmpdir.restore();
    after = read_file(ledger_of(dir));
    ASSERT_NE(before, after);
  }
  for_each_fault("vocar", prepare, [&](const TempDir& dir, bool failed) {
    tmpdir.restore();
    expect_scenario_unchanged(dir);
    EXPECT_EQ(read_file(ledger_of(dir)), failed ? before : after);
    EXPECT_EQ(testing::scratch_files_below(dir / "home"), std::vector<std::string>{});
  });
}

// Every failure on the way (reading the scenario and the book, writing any
// output, the backup or the book) leaves the take book as it was, whole;
// a run that succeeds replaces it and keeps the earlier one as the backup.
TEST(FaultInjection, VocarReplacesItsTakeBookOnlyWhenTheWholeRunSucceeded) {
  const std::string definitions = "ERI,エリ\r\nYUTO,ユウト\r\n";
  const auto book_of = [](const TempDir& dir) { return dir / "home" / testing::u8path(u8"収録台帳.xlsx"); };
  const auto backup_of = [](const TempDir& dir) { return dir / "home" / testing::u8path(u8"収録台帳.bak.xlsx"); };
  auto run = [](const TempDir& dir) { return testing::vocar_run(dir / "home", dir.path()); };
  const testing::ScratchTmpdir tmpdir;
  auto prepare = [&](const TempDir& dir) {
    tmpdir.use(dir / "scratch");
    write_file(dir / "home" / testing::u8path(u8"キャラ定義.txt"), definitions);
    ASSERT_EQ(testing::vocar_config(dir / "home", dir.path(), {"track_takes=1", "script_spreadsheets=0"}).status, 0);
    write_file(dir / "scn" / "a.txt", "エリ「前の行」\r\n");
    ASSERT_EQ(run(dir).status, 0);
    // The book as it stands before the run under test (each holds the
    // time it was made).
    std::filesystem::copy_file(book_of(dir), dir / "book-before.xlsx");
    std::filesystem::remove_all(dir / "scn");
    write_scenario(dir);
  };
  for_each_fault("vocar", prepare, [&](const TempDir& dir, bool failed) {
    tmpdir.restore();
    expect_scenario_unchanged(dir);
    const std::string before = read_file(dir / "book-before.xlsx");
    const std::string book = read_file(book_of(dir));
    // (Compared whole: a workbook's bytes make no message.)
    if (failed) {
      EXPECT_TRUE(book == before) << "the book changed in a failed run";
    } else {
      EXPECT_TRUE(book != before) << "the book stayed after a run that succeeded";
      EXPECT_TRUE(read_file(backup_of(dir)) == before) << "the backup is not the earlier book";
    }
    // Whatever happened, the book is a whole workbook.
    EXPECT_EQ(book.rfind("PK\x03\x04", 0), 0u);
    EXPECT_NE(book.find("PK\x05\x06", book.size() > 64 ? book.size() - 64 : 0), std::string::npos);
  });
}

}  // namespace
}  // namespace lumeno
