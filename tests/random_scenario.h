// Random scenarios and random edits of them, for the property tests of
// what Vocar keeps across runs (the voice ledger, the take book).
#pragma once

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/support.h"

namespace lumeno::testing {

using Files = std::map<std::string, std::vector<std::string>>;  // file name in scn/ -> its lines

class RandomScenario {
 public:
  // With `speeches`, some lines are speeches that go on over a second line
  // (an element of a file holding CR LF).
  RandomScenario(unsigned seed, std::filesystem::path dir, bool speeches = false)
      : rng_(seed), dir_(std::move(dir)), speeches_(speeches) {}

  std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

  // A line: mostly dialogue of the two voiced characters, with texts from a
  // small stock so that equal lines happen.
  std::string random_line() {
    static const std::vector<std::string> heads = {"エリ「", "エリ「", "ユウ「", "ユウ（", "先生「", "", "//エリ「", "\\wait(1)", "　エリ「"};
    static const std::vector<std::string> words = {"はい", "おはよう", "text", "ソ表", "\t", "…"};
    std::string line = heads[pick(heads.size())];
    for (std::size_t k = 1 + pick(2); k > 0; --k) line += words[pick(words.size())];
    if (pick(3) > 0) line += std::to_string(serial_++);
    if (speeches_ && pick(4) == 0 && line.find("「") != std::string::npos) line += "\r\n" + words[pick(words.size())] + "」";
    return line;
  }
  Files random_scenario() {
    Files files;
    for (std::size_t f = 2 + pick(3); f > 0; --f) {
      std::vector<std::string>& lines = files["f" + std::to_string(next_file_++) + ".txt"];
      for (std::size_t k = 5 + pick(25); k > 0; --k) lines.push_back(random_line());
    }
    return files;
  }

  // One random edit: lines inserted, deleted, changed, duplicated, moved
  // between files or swapped; files added, removed, renamed.
  void edit(Files& files) {
    auto any_file = [&]() -> std::vector<std::string>& {
      auto it = files.begin();
      std::advance(it, static_cast<long>(pick(files.size())));
      return it->second;
    };
    std::vector<std::string>& lines = any_file();
    auto at = [&](const std::vector<std::string>& v) { return v.empty() ? 0 : pick(v.size()); };
    switch (pick(10)) {
      case 0:
        lines.insert(lines.begin() + static_cast<long>(lines.empty() ? 0 : pick(lines.size() + 1)), random_line());
        break;
      case 1:
        if (!lines.empty()) lines.erase(lines.begin() + static_cast<long>(at(lines)));
        break;
      case 2:
        if (!lines.empty()) lines[at(lines)] += "x";
        break;
      case 3:
        if (!lines.empty()) {
          const std::string copy = lines[at(lines)];
          lines.insert(lines.begin() + static_cast<long>(pick(lines.size() + 1)), copy);
        }
        break;
      case 4: {
        std::vector<std::string>& to = any_file();
        if (!lines.empty()) {
          const std::size_t from = at(lines);
          const std::string moved = lines[from];
          lines.erase(lines.begin() + static_cast<long>(from));
          to.insert(to.begin() + static_cast<long>(to.empty() ? 0 : pick(to.size() + 1)), moved);
        }
        break;
      }
      case 5:
        if (lines.size() > 1) std::swap(lines[at(lines)], lines[at(lines)]);
        break;
      case 6: {
        std::vector<std::string>& added = files["f" + std::to_string(next_file_++) + ".txt"];
        for (std::size_t k = 1 + pick(8); k > 0; --k) added.push_back(random_line());
        break;
      }
      case 7:
        if (files.size() > 1) files.erase(std::next(files.begin(), static_cast<long>(pick(files.size()))));
        break;
      case 8: {
        auto it = std::next(files.begin(), static_cast<long>(pick(files.size())));
        std::vector<std::string> moved = std::move(it->second);
        files.erase(it);
        files["f" + std::to_string(next_file_++) + ".txt"] = std::move(moved);
        break;
      }
      default:
        for (std::size_t k = 0; k < 3 && !lines.empty(); ++k) lines[at(lines)] = random_line();
        break;
    }
  }

  void write_scenario(const Files& files) {
    fs::remove_all(dir_ / "scn");
    fs::create_directories(dir_ / "scn");
    for (const auto& [name, lines] : files) {
      std::string text;
      for (const std::string& line : lines) text += line + "\r\n";
      write_file(dir_ / "scn" / name, text);
    }
  }

  std::mt19937& rng() { return rng_; }

 private:
  std::mt19937 rng_;
  std::filesystem::path dir_;
  bool speeches_;
  std::size_t serial_ = 0;
  std::size_t next_file_ = 0;
};

}  // namespace lumeno::testing
