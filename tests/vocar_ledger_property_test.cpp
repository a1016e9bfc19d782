// Voice numbers that survive edits: random scenarios, random edits between
// runs of `lumeno vocar run` with the ledger, and what must hold after each.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "scriptbuilder/recording/voice_ledger.h"
#include "tests/random_scenario.h"
#include "tests/support.h"

namespace lumeno {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::u8path;
using testing::write_file;
namespace fs = std::filesystem;

using testing::Files;

// Every file below `folder`, by its path relative to it.
std::map<std::string, std::string> files_below(const fs::path& folder) {
  std::map<std::string, std::string> out;
  if (!fs::exists(folder)) return out;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) out[fs::relative(entry.path(), folder).generic_string()] = read_file(entry.path());
  }
  return out;
}

// A dialogue line as the outputs show it: its text, the voice name, and the file.
struct Voiced {
  std::string file;
  std::string text;
  std::string name;
};

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 2;
  }
  return lines;
}

std::int64_t number_of(const std::string& name) { return std::stoll(name.substr(name.rfind('_') + 1)); }
std::string prefix_of(const std::string& name) { return name.substr(0, name.find('_')); }

class LedgerProperty {
 public:
  explicit LedgerProperty(unsigned seed) : scenario_(seed, dir_.path()) {
    for (const fs::path& home : {home_, reference_}) {
      write_file(home / u8path(u8"キャラ定義.txt"), "ERI,エリ\r\nYUU,ユウ\r\n,先生\r\n");
    }
  }

  std::size_t pick(std::size_t n) { return scenario_.pick(n); }
  Files random_scenario() { return scenario_.random_scenario(); }
  void edit(Files& files) { scenario_.edit(files); }
  void write_scenario(const Files& files) { scenario_.write_scenario(files); }

  testing::CliResult run(const fs::path& home) { return testing::vocar_run(home, dir_.path()); }
  void configure(const std::vector<std::string>& pairs) {
    // The workbooks are made from the scripts compared here, and hold the
    // time they were made: left out.
    std::vector<std::string> all = pairs;
    all.push_back("script_spreadsheets=0");
    for (const fs::path& home : {home_, reference_}) ASSERT_EQ(testing::vocar_config(home, dir_.path(), all).status, 0);
    ASSERT_EQ(testing::vocar_config(home_, dir_.path(), {"keep_voice_numbers=1"}).status, 0);
  }

  // The outputs of a run in `home`, the report, the ledger and the counts'
  // workbook left out.
  std::map<std::string, std::string> outputs(const fs::path& home) const {
    std::map<std::string, std::string> out;
    for (std::u8string_view folder : {u8"声優用台本", u8"スタッフ用リスト", u8"ボイス命令埋込済テキスト"}) {
      for (auto& [name, bytes] : files_below(home / u8path(folder))) out[testing::u8(folder) + "/" + name] = bytes;
    }
    out.erase(testing::u8(u8"スタッフ用リスト/ボイス番号変更リスト.txt"));
    // The counts' workbook holds the time it was made; its CSV stays.
    out.erase(testing::u8(u8"スタッフ用リスト/ボイス集計.xlsx"));
    return out;
  }

  // The voice-embedded text's dialogue lines, file by file, in order.
  std::vector<Voiced> voiced(const Files& files) const {
    std::vector<Voiced> out;
    for (const auto& [name, unused] : files) {
      const std::vector<std::string> lines =
          split_lines(read_file(home_ / u8path(u8"ボイス命令埋込済テキスト") / "scn" / name));
      for (std::size_t k = 0; k + 1 < lines.size(); ++k) {
        if (lines[k].rfind("\\VO(", 0) == 0 && lines[k].back() == ')') {
          out.push_back({"scn\\" + name, lines[k + 1], lines[k].substr(4, lines[k].size() - 5)});
          ++k;
        }
      }
    }
    return out;
  }

  scriptbuilder::Ledger ledger() const {
    Result<scriptbuilder::Ledger> ledger = scriptbuilder::parse_ledger(read_file(home_ / u8path(u8"ボイス番号台帳.txt")));
    EXPECT_TRUE(ledger) << ledger.error();
    return ledger ? std::move(*ledger) : scriptbuilder::Ledger{};
  }
  std::string report() const { return read_file(home_ / u8path(u8"スタッフ用リスト/ボイス番号変更リスト.txt")); }

  const fs::path& home() const { return home_; }
  const fs::path& reference() const { return reference_; }

 private:
  TempDir dir_;
  testing::RandomScenario scenario_;
  fs::path home_ = dir_ / "home";
  fs::path reference_ = dir_ / "reference";
};

// What must hold between two runs: `before` and `now` are the voiced lines
// of the two runs, `old` the ledger the second run started from.
void check_edit(const std::vector<Voiced>& before, const std::vector<Voiced>& now, const scriptbuilder::Ledger& old,
                const scriptbuilder::Ledger& ledger, bool reset_per_file) {
  auto scope = [&](const std::string& file) { return reset_per_file ? file : std::string(); };
  // A line whose text and file did not change keeps its name: of the lines
  // with one text in one file, as many as stood there before keep names
  // they had.
  std::map<std::pair<std::string, std::string>, std::multiset<std::string>> had;
  for (const Voiced& v : before) had[{v.file, v.text}].insert(v.name);
  std::map<std::pair<std::string, std::string>, std::size_t> kept;
  std::map<std::pair<std::string, std::string>, std::size_t> count;
  for (const Voiced& v : now) {
    auto it = had.find({v.file, v.text});
    ++count[{v.file, v.text}];
    if (it != had.end() && it->second.count(v.name) > 0) {
      it->second.erase(it->second.find(v.name));
      ++kept[{v.file, v.text}];
    }
  }
  for (const auto& [key, n] : count) {
    std::size_t stood = 0;
    for (const Voiced& v : before) stood += (v.file == key.first && v.text == key.second) ? 1 : 0;
    EXPECT_EQ(kept[key], std::min(stood, n)) << testing::utf8(key.first + ": " + key.second);
  }
  // No voice name names two lines (of one file, with reset_per_file).
  std::set<std::pair<std::string, std::string>> names;
  for (const Voiced& v : now) EXPECT_TRUE(names.insert({scope(v.file), v.name}).second) << v.name;
  // A new name's number is above every number its space gave; a retired
  // name never comes back; no row of the ledger is ever dropped.
  std::map<std::pair<std::string, std::string>, std::int64_t> highest;
  std::set<std::pair<std::string, std::string>> given;
  std::set<std::pair<std::string, std::string>> retired;
  for (const scriptbuilder::LedgerRow& row : old.rows) {
    const std::pair<std::string, std::string> space{std::string(row.voice_prefix), scope(std::string(row.file))};
    highest[space] = std::max(highest[space], number_of(std::string(row.voice_name)));
    given.insert({scope(std::string(row.file)), std::string(row.voice_name)});
    if (!row.in_use) retired.insert({scope(std::string(row.file)), std::string(row.voice_name)});
  }
  for (const Voiced& v : now) {
    EXPECT_EQ(retired.count({scope(v.file), v.name}), 0u) << v.name << " came back";
    if (given.count({scope(v.file), v.name}) == 0) {
      const std::pair<std::string, std::string> space{prefix_of(v.name), scope(v.file)};
      EXPECT_GT(number_of(v.name), highest[space]) << v.name;
    }
  }
  std::set<std::pair<std::string, std::string>> rows;
  for (const scriptbuilder::LedgerRow& row : ledger.rows) rows.insert({scope(std::string(row.file)), std::string(row.voice_name)});
  for (const auto& name : given) EXPECT_EQ(rows.count(name), 1u) << name.second << " left the ledger";
  for (const auto& name : retired) {
    bool still = false;
    for (const scriptbuilder::LedgerRow& row : ledger.rows) {
      still = still || (!row.in_use && row.voice_name == name.second && scope(std::string(row.file)) == name.first);
    }
    EXPECT_TRUE(still) << name.second;
  }
}

// The report tells the truth: a moved voice comes from another file, a
// changed one had another text, a new one was never given, a retired one was
// in use and now is not; and it holds every change of the run.
void check_report(const std::string& report, const std::vector<Voiced>& now, const scriptbuilder::Ledger& old,
                  const scriptbuilder::Ledger& ledger) {
  std::set<std::string> given;
  std::set<std::string> in_use_before;
  for (const scriptbuilder::LedgerRow& row : old.rows) {
    given.insert(std::string(row.voice_name));
    if (row.in_use) in_use_before.insert(std::string(row.voice_name));
  }
  std::set<std::string> in_use_now;
  for (const scriptbuilder::LedgerRow& row : ledger.rows) {
    if (row.in_use) in_use_now.insert(std::string(row.voice_name));
  }
  std::size_t added = 0;
  std::size_t retired = 0;
  const std::vector<std::string> lines = split_lines(report);
  auto cells = [](const std::string& line) {
    std::vector<std::string> out;
    for (std::size_t at = 0;;) {
      const std::size_t tab = line.find('\t', at);
      out.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
      if (tab == std::string::npos) return out;
      at = tab + 1;
    }
  };
  auto file_of = [](const std::string& place) { return place.substr(0, place.rfind('(')); };
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::vector<std::string> c = cells(lines[k]);
    if (c.size() < 3) continue;
    if (c[0] == "新規") {
      ++added;
      EXPECT_EQ(given.count(c[1]), 0u) << c[1];
    } else if (c[0] == "移動") {
      ASSERT_LT(k + 1, lines.size());
      const std::vector<std::string> from = cells(lines[k + 1]);
      ASSERT_GE(from.size(), 3u);
      EXPECT_EQ(from[1], "移動前");
      EXPECT_NE(file_of(from[2]), file_of(c[2])) << c[1] << " moved within its file";
    } else if (c[0] == "変更") {
      ASSERT_LT(k + 1, lines.size());
      const std::vector<std::string> was = cells(lines[k + 1]);
      ASSERT_GE(was.size(), 4u);
      EXPECT_EQ(was[1], "変更前");
      EXPECT_NE(was[3], c[3]) << c[1] << " did not change";
    } else if (c[0] == "欠番") {
      ++retired;
      EXPECT_EQ(in_use_before.count(c[1]), 1u) << c[1];
      EXPECT_EQ(in_use_now.count(c[1]), 0u) << c[1];
    }
  }
  std::size_t fresh = 0;
  for (const Voiced& v : now) fresh += given.count(v.name) == 0 ? 1 : 0;
  EXPECT_EQ(added, fresh);
  std::size_t gone = 0;
  for (const std::string& name : in_use_before) gone += in_use_now.count(name) == 0 ? 1 : 0;
  EXPECT_EQ(retired, gone);
}

// Every output gives a line the name the voice-embedded text gives it: the
// character text lists, each character's scripts and the all-character one.
void check_outputs_agree(const fs::path& home, const std::vector<Voiced>& now) {
  std::map<std::string, std::vector<std::string>> by_character;                 // prefix -> names in run order
  std::map<std::pair<std::string, std::string>, std::vector<std::string>> by_file;  // (prefix or "", file) -> names
  for (const Voiced& v : now) {
    by_character[prefix_of(v.name)].push_back(v.name);
    by_file[{prefix_of(v.name), v.file}].push_back(v.name);
    by_file[{"", v.file}].push_back(v.name);
  }
  for (const auto& [prefix, names] : by_character) {
    const std::string list = read_file(home / u8path(u8"スタッフ用リスト/キャラ別テキストリスト") / ("CTX_List_" + prefix + ".txt"));
    std::vector<std::string> listed;
    for (const std::string& line : split_lines(list)) {
      const std::size_t colon = line.find("): ");
      if (colon != std::string::npos) listed.push_back(line.substr(colon + 3, line.find('\t') - colon - 3));
    }
    EXPECT_EQ(listed, names) << prefix;
  }
  for (const auto& [key, names] : by_file) {
    const std::u8string_view folder = key.first == "ERI" ? u8"[ERI]エリ" : key.first == "YUU" ? u8"[YUU]ユウ" : u8"[全キャラ一括台本]";
    const std::string base = key.second.substr(4, key.second.size() - 8);  // scn\NAME.txt
    const std::string script = read_file(home / u8path(u8"声優用台本") / u8path(folder) / "scn" / (base + ".zd"));
    std::vector<std::string> rows;
    for (const std::string& line : split_lines(script)) {
      if ((line.rfind("ERI_", 0) == 0 || line.rfind("YUU_", 0) == 0) && line.find('\t') != std::string::npos) {
        rows.push_back(line.substr(0, line.find('\t')));
      }
    }
    EXPECT_EQ(rows, names) << testing::u8(folder) << " " << key.second;
  }
}

// The ledger's rows in use are the run's lines, file by file in order.
void check_ledger_matches(const std::vector<Voiced>& now, const scriptbuilder::Ledger& ledger) {
  std::vector<Voiced> in_use;
  for (const scriptbuilder::LedgerRow& row : ledger.rows) {
    if (row.in_use) in_use.push_back({std::string(row.file), std::string(row.text), std::string(row.voice_name)});
  }
  ASSERT_EQ(in_use.size(), now.size());
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> a, b;
  for (const Voiced& v : in_use) a[v.file].emplace_back(v.text, v.name);
  for (const Voiced& v : now) b[v.file].emplace_back(v.text, v.name);
  EXPECT_EQ(a, b);
}

TEST(VocarLedgerProperty, NamesSurviveRandomEdits) {
  const std::vector<std::vector<std::string>> settings = {
      {},
      {"second_string_from_file_name=1"},
      {"reset_per_file=1", "second_string_from_file_name=1"},
      {"reset_per_file=1", "second_string=B_", "start_number=01"},
  };
  for (unsigned round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    LedgerProperty p(round);
    const bool reset = round % settings.size() >= 2;
    p.configure(settings[round % settings.size()]);
    Files files = p.random_scenario();
    p.write_scenario(files);

    // The first run numbers as a run without the ledger does.
    testing::CliResult r = p.run(p.home());
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(p.run(p.reference()).status, 0);
    EXPECT_EQ(p.outputs(p.home()), p.outputs(p.reference()));
    std::vector<Voiced> before = p.voiced(files);
    scriptbuilder::Ledger old = p.ledger();
    check_ledger_matches(before, old);

    for (int step = 0; step < 6; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      for (std::size_t k = 1 + p.pick(3); k > 0; --k) p.edit(files);
      p.write_scenario(files);
      r = p.run(p.home());
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_NE(r.out.find(testing::u8(u8"ボイス番号台帳: 新規 ")), std::string::npos) << r.out;
      const std::vector<Voiced> now = p.voiced(files);
      const scriptbuilder::Ledger ledger = p.ledger();
      check_ledger_matches(now, ledger);
      check_outputs_agree(p.home(), now);
      check_edit(before, now, old, ledger, reset);
      if (!reset) check_report(p.report(), now, old, ledger);
      before = now;
      old = p.ledger();
    }

    // No edit: the same outputs, the same ledger, an empty report.
    const auto outputs = p.outputs(p.home());
    const std::string ledger = read_file(p.home() / u8path(u8"ボイス番号台帳.txt"));
    r = p.run(p.home());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(p.outputs(p.home()), outputs);
    EXPECT_EQ(read_file(p.home() / u8path(u8"ボイス番号台帳.txt")), ledger);
    EXPECT_EQ(p.report(), "ボイス番号変更リスト\r\n新規 0 / 変更 0 / 移動 0 / 欠番 0\r\n");

    // The setting off: the outputs of a run that never had the ledger, which stays untouched.
    ASSERT_EQ(testing::vocar_config(p.home(), p.home().parent_path(), {"keep_voice_numbers=0"}).status, 0);
    ASSERT_EQ(p.run(p.home()).status, 0);
    ASSERT_EQ(p.run(p.reference()).status, 0);
    EXPECT_EQ(p.outputs(p.home()), p.outputs(p.reference()));
    EXPECT_EQ(read_file(p.home() / u8path(u8"ボイス番号台帳.txt")), ledger);
    EXPECT_FALSE(fs::exists(p.home() / u8path(u8"スタッフ用リスト/ボイス番号変更リスト.txt")));
  }
}

}  // namespace
}  // namespace lumeno
