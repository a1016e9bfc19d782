#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <set>

#include "scriptbuilder/driver/vocar_run.h"
#include "shell/app_state.h"
#include "tests/support.h"

namespace lumeno::scriptbuilder {
namespace {

using namespace lumeno::testing;

const std::string kRule(70, '-');

// The head of a voice count list, and the tail of one whose character got
// no file scanned.
std::string count_head(std::string_view prefix, std::string_view name) {
  return kRule + "\r\n[" + std::string(prefix) + "] " + std::string(name) + "\r\n" + kRule + "\r\n\r\n■ボイス数\r\n\r\n";
}
const std::string kEmptyCountTail = "  計[    0]\r\n\r\n■ファイル数\r\n\r\n  ボイス存在ファイル数 / 全ファイル数 =   0 /   0\r\n";
// ERI's text list entries of scn\a.txt below.
const std::string kEriInA = "scn\\a.txt(1): ERI_A1_0001\tエリ「おはよう」\r\nscn\\a.txt(4): ERI_A1_0002\tエリ「また」\r\n";

// A tool folder whose definitions have a shared name (エリ is also MIO's), a
// character without voice, and one who never speaks in "scn".
class VocarListsRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(home());
    write_file(home() / u8path(u8"キャラ定義.txt"), "ERI,エリ,エリカ\r\n,先生\r\nMIO,ミオ,エリ\r\nNOB,ノブ\r\n");
    write_file(scn() / "a.txt", "エリ「おはよう」\r\n（地の文）\rミオ「\\wait(1)\tやあ」 \nエリ「また」");
    write_file(scn() / "sub" / "b.txt", "先生「…」\n\n");
  }
  fs::path home() const { return tmp / "home"; }
  fs::path scn() const { return tmp / "scn"; }
  fs::path lists() const { return home() / u8path(u8"スタッフ用リスト"); }
  fs::path text_list(std::string_view prefix) const {
    return lists() / u8path(u8"キャラ別テキストリスト") / ("CTX_List_" + std::string(prefix) + ".txt");
  }
  fs::path count_list(std::string_view prefix) const {
    return lists() / u8path(u8"キャラ別ボイス数リスト") / ("CVO_List_" + std::string(prefix) + ".txt");
  }
  fs::path file_list() const { return lists() / u8path(u8"ファイル別ボイス数リスト") / "FVO_List.txt"; }

  CliResult run() { return run_cli({"vocar", "run", "--home", home().string(), "--yes", "--no-progress", "scn"}, tmp.path()); }
  void config(const std::vector<std::string>& pairs) {
    std::vector<std::string> args = {"vocar", "config", "--home", home().string()};
    args.insert(args.end(), pairs.begin(), pairs.end());
    ASSERT_EQ(run_cli(args, tmp.path()).status, 0);
  }
  // The run through the shell's worker, for hosts and file systems that
  // cancel or fail on cue.
  RunOutcome run_with(Host& host, FileSystem& files) {
    auto app = start_tool(vocar_tool(), home(), files);
    EXPECT_TRUE(app.ok());
    app->list.add_dropped_paths(files, app->texts, {scn()});
    auto hooks = make_vocar_run();
    std::string why;
    EXPECT_TRUE(hooks->prepare_run(*app, why));
    RunContext ctx(*app, host, files);
    return worker_main(ctx, *hooks);
  }

  TempDir tmp;
};

TEST_F(VocarListsRunTest, EveryListByteForByte) {
  const CliResult r = run();
  ASSERT_EQ(r.status, 0) << r.err;
  // エリ's lines are ERI's and MIO's; MIO's numbers run on from them.
  EXPECT_EQ(read_file(text_list("ERI")), kEriInA);
  EXPECT_EQ(read_file(text_list("MIO")),
            "scn\\a.txt(1): MIO_A1_0001\tエリ「おはよう」\r\n"
            "scn\\a.txt(3): MIO_A1_0002\tミオ「\\wait(1)\tやあ」 \r\n"
            "scn\\a.txt(4): MIO_A1_0003\tエリ「また」\r\n");
  EXPECT_FALSE(fs::exists(text_list("NOB")));
  EXPECT_EQ(read_file(count_list("ERI")), count_head("ERI", "エリ") +
                                              "    [    2] scn\\a.txt\r\n    [    0] scn\\sub\\b.txt\r\n  計[    2]\r\n"
                                              "\r\n■ファイル数\r\n\r\n  ボイス存在ファイル数 / 全ファイル数 =   1 /   2\r\n");
  EXPECT_EQ(read_file(count_list("NOB")), count_head("NOB", "ノブ") +
                                              "    [    0] scn\\a.txt\r\n    [    0] scn\\sub\\b.txt\r\n  計[    0]\r\n"
                                              "\r\n■ファイル数\r\n\r\n  ボイス存在ファイル数 / 全ファイル数 =   0 /   2\r\n");
  // The character without voice has no list anywhere.
  std::size_t count_lists = 0;
  for (const auto& item : fs::directory_iterator(count_list("ERI").parent_path())) count_lists += item.is_regular_file() ? 1 : 0;
  EXPECT_EQ(count_lists, 3u);
  EXPECT_EQ(read_file(file_list()),
            "■ファイル数\r\n\r\n    ファイル数 =   2\r\n\r\n■ボイス数\r\n"
            "\r\n    [scn\\a.txt]\r\n        [    2] [ERI]エリ\r\n        [    1] [MIO]ミオ\r\n        [    0] [NOB]ノブ\r\n      計[    3]\r\n"
            "\r\n    [scn\\sub\\b.txt]\r\n        [    0] [ERI]エリ\r\n        [    0] [MIO]ミオ\r\n        [    0] [NOB]ノブ\r\n      計[    0]\r\n"
            "\r\n  ----------------------------------------------------------\r\n    <合計>\r\n"
            "        [    2] [ERI]エリ\r\n        [    1] [MIO]ミオ\r\n        [    0] [NOB]ノブ\r\n      計[    3]\r\n");
}

TEST_F(VocarListsRunTest, NumberingPerFileRestartsTheNumbersNotTheSums) {
  write_file(scn() / "sub" / "b.txt", "エリ「3」");
  ASSERT_EQ(run().status, 0);
  EXPECT_EQ(read_file(text_list("ERI")), kEriInA + "scn\\sub\\b.txt(1): ERI_A1_0003\tエリ「3」\r\n");
  const std::string counts = read_file(count_list("ERI"));
  const std::string files = read_file(file_list());
  EXPECT_NE(files.find("<合計>\r\n        [    3] [ERI]"), std::string::npos);

  config({"reset_per_file=1"});
  ASSERT_EQ(run().status, 0);
  EXPECT_EQ(read_file(text_list("ERI")), kEriInA + "scn\\sub\\b.txt(1): ERI_A1_0001\tエリ「3」\r\n");
  EXPECT_EQ(read_file(count_list("ERI")), counts);
  EXPECT_EQ(read_file(file_list()), files);
}

TEST_F(VocarListsRunTest, CharactersWithOnePrefixShareTheirListFiles) {
  // Long enough that the text lists would be written out in parts.
  write_file(home() / u8path(u8"キャラ定義.txt"), "ERI,エリ\r\nERI,ミオ\r\n");
  fs::remove_all(scn());
  std::string first;
  std::string second;
  for (const char* file : {"a.txt", "b.txt"}) {
    std::string text;
    for (int k = 1; k <= 3000; ++k) {
      const std::string line = std::string(k % 2 ? "エリ" : "ミオ") + "「" + std::string(30, 'x') + "」\r\n";
      text += line;
      (k % 2 ? first : second) += format("scn\\%s(%d): ERI_A1_%04d\t", file, k, static_cast<int>((k + 1) / 2 + (file[0] == 'b') * 1500)) +
                                  line;
    }
    write_file(scn() / file, text);
  }
  ASSERT_EQ(run().status, 0);
  EXPECT_EQ(read_file(text_list("ERI")), first + second);
  const std::string counts = read_file(count_list("ERI"));
  const std::string one = count_head("ERI", "エリ") + "    [ 1500] scn\\a.txt\r\n    [ 1500] scn\\b.txt\r\n  計[ 3000]\r\n" +
                          "\r\n■ファイル数\r\n\r\n  ボイス存在ファイル数 / 全ファイル数 =   2 /   2\r\n";
  const std::string two = count_head("ERI", "ミオ") + one.substr(count_head("ERI", "エリ").size());
  EXPECT_EQ(counts, one + two);
}

// Voice names by (relative name, source line) as one output gives them.
using VoiceNames = std::map<std::pair<std::string, int>, std::string>;

std::vector<std::string> crlf_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", from)) {
    lines.push_back(text.substr(from, at - from));
    from = at + 2;
  }
  lines.push_back(text.substr(from));
  return lines;
}

// With the command on the dialogue's own line, output line k is source line k.
VoiceNames voice_text_names(const fs::path& folder, const std::vector<std::string>& relative_names) {
  VoiceNames names;
  for (const std::string& relative : relative_names) {
    std::string native = relative;
    std::replace(native.begin(), native.end(), '\\', '/');
    const std::vector<std::string> lines = crlf_lines(read_file(folder / native));
    for (std::size_t k = 0; k < lines.size(); ++k) {
      if (lines[k].starts_with("\\VO(")) names[{relative, static_cast<int>(k + 1)}] = lines[k].substr(4, lines[k].find(')') - 4);
    }
  }
  return names;
}

// The voice names every text list gives each line.
std::map<std::pair<std::string, int>, std::vector<std::string>> text_list_names(const fs::path& folder) {
  std::map<std::pair<std::string, int>, std::vector<std::string>> names;
  for (const auto& item : fs::directory_iterator(folder)) {
    for (const std::string& entry : crlf_lines(read_file(item.path()))) {
      if (entry.empty()) continue;
      const std::size_t close = entry.find("): ");
      const std::size_t open = entry.rfind('(', close);
      names[{entry.substr(0, open), std::stoi(entry.substr(open + 1))}].push_back(
          entry.substr(close + 3, entry.find('\t') - close - 3));
    }
  }
  return names;
}

std::string prefix_of(const std::string& voice_name) { return voice_name.substr(0, voice_name.find('_')); }

TEST_F(VocarListsRunTest, VoiceNumbersAgreeAcrossTheOutputs) {
  // Dialogue of four characters (one without voice; エリ is ERI's and MIO's,
  // エリカ ERI's only), other lines, mixed line ends; long enough that the
  // text lists are written in parts.
  const std::vector<std::string> lines = {"エリ「…」", "エリカ「…」", "ミオ（…）", "ノブ『…』", "先生「…」",
                                          "（地の文）", "　エリ「…」", "//ミオ「…」", "\\wait(100)"};
  const std::vector<std::string> ends = {"\r\n", "\n", "\r"};
  std::mt19937 gen(3);
  std::vector<std::string> relative_names;
  fs::remove_all(scn());
  for (int f = 0; f < 40; ++f) {
    std::string text;
    for (int k = 0; k < 500; ++k) {
      text += lines[std::uniform_int_distribution<std::size_t>(0, lines.size() - 1)(gen)] + "　" + std::to_string(k);
      text += ends[static_cast<std::size_t>(f % 3)];
    }
    const std::string name = "f" + std::to_string(f) + ".txt";
    write_file(scn() / (f % 2 ? "odd" : "even") / name, text);
    relative_names.push_back(std::string("scn\\") + (f % 2 ? "odd\\" : "even\\") + name);
  }
  config({"voice_cr_lf=0"});
  ASSERT_EQ(run().status, 0);
  EXPECT_GT(fs::file_size(text_list("MIO")), 2u * 65536);

  const VoiceNames embedded = voice_text_names(home() / u8path(u8"ボイス命令埋込済テキスト"), relative_names);
  const auto listed = text_list_names(text_list("ERI").parent_path());
  // A line two characters claim goes to the first elsewhere; the other lists
  // it too, and its numbers run ahead from there on.
  std::set<std::string> ahead;
  for (const auto& [line, names] : listed) {
    std::set<std::string> listing;
    for (const std::string& name : names) EXPECT_TRUE(listing.insert(prefix_of(name)).second) << "listed twice: " << name;
    for (const std::string& name : names) {
      if (names.size() > 1 && name != embedded.at(line)) ahead.insert(prefix_of(name));
    }
  }
  EXPECT_EQ(ahead, std::set<std::string>{"MIO"});
  VoiceNames compared;
  for (const auto& [line, names] : listed) {
    if (names.size() == 1 && !ahead.contains(prefix_of(names[0]))) compared[line] = names[0];
  }
  VoiceNames embedded_compared = embedded;
  std::erase_if(embedded_compared, [&](const auto& entry) {
    return ahead.contains(prefix_of(entry.second)) || listed.at(entry.first).size() > 1;
  });
  EXPECT_GT(compared.size(), 1000u);
  EXPECT_EQ(compared, embedded_compared);
  // The voice-actor scripts join this comparison once they are written.
}

TEST_F(VocarListsRunTest, ProgressShowsEachListAsItIsWritten) {
  RecordingHost host;
  RealFileSystem files;
  ASSERT_TRUE(run_with(host, files).completed);
  const std::string ctx = "file スタッフ用リスト\\キャラ別テキストリスト\\CTX_List_";
  const std::string cvo = "file スタッフ用リスト\\キャラ別ボイス数リスト\\CVO_List_";
  const std::string fvo = "file スタッフ用リスト\\ファイル別ボイス数リスト\\FVO_List.txt";
  const auto begin = std::find(host.events.begin(), host.events.end(), "count スタッフ用リスト を生成しています。");
  ASSERT_NE(begin, host.events.end());
  EXPECT_EQ(std::vector<std::string>(begin + 1, begin + 11),
            (std::vector<std::string>{ctx + "ERI.txt", cvo + "ERI.txt", cvo + "ERI.txt", ctx + "MIO.txt", cvo + "MIO.txt",
                                      cvo + "MIO.txt", cvo + "NOB.txt", cvo + "NOB.txt", fvo, fvo}));
}

// A host that sets the cancel flag when it is shown a given progress event.
class CancellingHost : public RecordingHost {
 public:
  explicit CancellingHost(std::string event) : event_(std::move(event)) {}
  void progress_set_count_text(std::string_view text) override {
    RecordingHost::progress_set_count_text(text);
    check();
  }
  void progress_set_file_text(std::string_view text) override {
    RecordingHost::progress_set_file_text(text);
    check();
  }

 private:
  void check() {
    if (events.back() == event_) request_cancel();
  }
  std::string event_;
};

// A file system that can step in when a file whose name ends so is read,
// and fail every write to a path that holds a given text.
class HookFileSystem : public RealFileSystem {
 public:
  std::string read_suffix;
  std::function<bool()> on_read;  // false: the read fails
  std::string failing_writes;

  ReadStatus read(const fs::path& path, std::string& out) override {
    if (on_read && path.string().ends_with(read_suffix) && !on_read()) return ReadStatus::short_read;
    return RealFileSystem::read(path, out);
  }
  bool write(const fs::path& path, std::string_view bytes) override {
    return !fails(path) && RealFileSystem::write(path, bytes);
  }
  bool append(const fs::path& path, std::string_view bytes) override {
    return !fails(path) && RealFileSystem::append(path, bytes);
  }

 private:
  bool fails(const fs::path& path) const {
    return !failing_writes.empty() && path.string().find(failing_writes) != std::string::npos;
  }
};

TEST_F(VocarListsRunTest, ACancelBeforeTheListsLeavesEveryCountListItsHeadAndTail) {
  CancellingHost host("count スタッフ用リスト を生成しています。");
  RealFileSystem files;
  const RunOutcome outcome = run_with(host, files);
  EXPECT_TRUE(outcome.aborted);
  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(read_file(count_list("ERI")), count_head("ERI", "エリ") + kEmptyCountTail);
  EXPECT_EQ(read_file(count_list("MIO")), count_head("MIO", "ミオ") + kEmptyCountTail);
  EXPECT_EQ(read_file(count_list("NOB")), count_head("NOB", "ノブ") + kEmptyCountTail);
  EXPECT_FALSE(fs::exists(text_list("ERI").parent_path()));
  EXPECT_FALSE(fs::exists(file_list()));
  EXPECT_FALSE(fs::exists(home() / u8path(u8"ボイス命令埋込済テキスト")));
}

TEST_F(VocarListsRunTest, ACancelWithinTheListsEndsThemWhereItCame) {
  // The scripts would read the files first.
  config({"output_scripts=0"});
  write_file(scn() / "c.txt", "エリ「c」");
  // Seen after the first file of the first character: its lists end there,
  // without a tail, and no other list is written.
  CancellingHost host("file スタッフ用リスト\\キャラ別ボイス数リスト\\CVO_List_ERI.txt");
  RealFileSystem files;
  EXPECT_TRUE(run_with(host, files).aborted);
  EXPECT_EQ(read_file(count_list("ERI")), count_head("ERI", "エリ") + "    [    2] scn\\a.txt\r\n");
  EXPECT_EQ(read_file(text_list("ERI")), kEriInA);
  EXPECT_FALSE(fs::exists(count_list("MIO")));
  EXPECT_FALSE(fs::exists(file_list()));
  // The counts, made beside the lists, go only with lists that are whole.
  EXPECT_FALSE(fs::exists(lists() / u8path(u8"ボイス集計.csv")));
  EXPECT_FALSE(fs::exists(lists() / u8path(u8"ボイス集計.xlsx")));

  // The same when the flag is set while the files are read (during the
  // second one): all the first character's lists over the two files.
  fs::remove_all(lists());
  RecordingHost reading;
  HookFileSystem cancelling;
  cancelling.read_suffix = "c.txt";
  cancelling.on_read = [&] {
    reading.request_cancel();
    return true;
  };
  EXPECT_TRUE(run_with(reading, cancelling).aborted);
  EXPECT_EQ(read_file(count_list("ERI")), count_head("ERI", "エリ") + "    [    2] scn\\a.txt\r\n    [    1] scn\\c.txt\r\n");
  EXPECT_EQ(read_file(text_list("ERI")), kEriInA + "scn\\c.txt(1): ERI_A1_0003\tエリ「c」\r\n");
  EXPECT_FALSE(fs::exists(count_list("MIO")));
  EXPECT_FALSE(fs::exists(file_list()));
}

TEST_F(VocarListsRunTest, ACancelAfterTheListsLeavesTheCountsWholeOrNotAtAll) {
  // The scratch files of the counts' workbook go to a folder of the test's own.
  const ScratchTmpdir tmpdir;
  tmpdir.use(tmp / "scratch");
  ASSERT_EQ(run().status, 0);
  const std::string csv = read_file(lists() / u8path(u8"ボイス集計.csv"));
  // The counts' files are made and written while the voice-embedded text
  // is: a cancel there may come before, between or after their writes.
  for (int k = 0; k < 20; ++k) {
    CancellingHost host("count ボイス命令埋込済テキスト を生成しています。");
    RealFileSystem files;
    const RunOutcome outcome = run_with(host, files);
    EXPECT_TRUE(outcome.aborted);
    EXPECT_FALSE(outcome.completed);
    EXPECT_TRUE(host.messages.empty());
    if (fs::exists(lists() / u8path(u8"ボイス集計.csv"))) {
      EXPECT_EQ(read_file(lists() / u8path(u8"ボイス集計.csv")), csv);
    }
    if (fs::exists(lists() / u8path(u8"ボイス集計.xlsx"))) {
      const std::string book = read_file(lists() / u8path(u8"ボイス集計.xlsx"));
      EXPECT_EQ(book.rfind("PK\x03\x04", 0), 0u);
      EXPECT_NE(book.find("PK\x05\x06", book.size() > 64 ? book.size() - 64 : 0), std::string::npos);
      EXPECT_TRUE(fs::exists(lists() / u8path(u8"ボイス集計.csv")));
    }
    EXPECT_TRUE(fs::is_empty(tmp / "scratch"));
  }
}

TEST_F(VocarListsRunTest, FailuresEndTheRunWithTheirMessage) {
  config({"output_scripts=0"});
  // A source that cannot be read: the lists end at it, the run with the
  // reader's message only.
  RecordingHost host;
  HookFileSystem unreadable;
  unreadable.read_suffix = "b.txt";
  unreadable.on_read = [] { return false; };
  RunOutcome outcome = run_with(host, unreadable);
  EXPECT_FALSE(outcome.completed);
  EXPECT_FALSE(outcome.aborted);
  EXPECT_EQ(host.messages, std::vector<std::string>{"ファイルを読み込めませんでした。"});
  EXPECT_EQ(read_file(count_list("ERI")), count_head("ERI", "エリ") + "    [    2] scn\\a.txt\r\n");
  EXPECT_FALSE(fs::exists(count_list("MIO")));

  // Voice count lists that cannot be written: each says so, and the run
  // stops after the lists.
  RecordingHost counts_host;
  HookFileSystem counts_fail;
  counts_fail.failing_writes = "CVO_List_";
  outcome = run_with(counts_host, counts_fail);
  EXPECT_TRUE(outcome.aborted);
  ASSERT_EQ(counts_host.messages.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_TRUE(counts_host.messages[k].ends_with(std::string("CVO_List_") + (k == 0 ? "ERI" : k == 1 ? "MIO" : "NOB") +
                                                  ".txt ファイルを開けませんでした。"))
        << utf8(counts_host.messages[k]);
  }
  // The first character's files were scanned, the others' no more.
  EXPECT_TRUE(fs::exists(text_list("ERI")));
  EXPECT_FALSE(fs::exists(text_list("MIO")));
  EXPECT_FALSE(fs::exists(file_list()));
  EXPECT_FALSE(fs::exists(home() / u8path(u8"ボイス命令埋込済テキスト")));

  // A text list that cannot be written ends the lists with its first file.
  RecordingHost text_host;
  HookFileSystem text_fail;
  text_fail.failing_writes = "CTX_List_";
  EXPECT_TRUE(run_with(text_host, text_fail).aborted);
  ASSERT_EQ(text_host.messages.size(), 1u);
  EXPECT_TRUE(text_host.messages[0].ends_with("CTX_List_ERI.txt ファイルを開けませんでした。"));
  EXPECT_EQ(read_file(count_list("ERI")), count_head("ERI", "エリ") + "    [    2] scn\\a.txt\r\n");
  EXPECT_FALSE(fs::exists(count_list("MIO")));

  // A voice prefix that would take the lists out of their folder, over the
  // definitions themselves: refused like a list that cannot be opened.
  const std::string definitions = "\\..\\..\\..\\キャラ定義,エリ\r\n";
  write_file(home() / u8path(u8"キャラ定義.txt"), definitions);
  const CliResult r = run();
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(u8(u8"ファイルを開けませんでした。")), std::string::npos) << r.err;
  EXPECT_EQ(read_file(home() / u8path(u8"キャラ定義.txt")), definitions);
}

}  // namespace
}  // namespace lumeno::scriptbuilder
