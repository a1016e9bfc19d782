#include "tests/support.h"

#include <fstream>
#include <random>
#include <sstream>

#include "programs/tools.h"
#include "shell/console/cli.h"
#include "shell/names.h"

namespace lumeno::testing {

TempDir::TempDir() {
  std::random_device rd;
  std::mt19937_64 gen(rd());
  for (;;) {
    path_ = fs::temp_directory_path() / ("lumeno-test-" + std::to_string(gen()));
    if (fs::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

fs::path u8path(std::u8string_view utf8) { return fs::path(std::u8string(utf8)); }

std::string u8(std::u8string_view utf8) { return std::string(reinterpret_cast<const char*>(utf8.data()), utf8.size()); }

void write_file(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> scratch_files_below(const fs::path& folder) {
  std::vector<std::string> out;
  if (!fs::exists(folder)) return out;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_directory() && entry.path().filename().native().starts_with('~')) out.push_back(fs::relative(entry.path(), folder).string());
  }
  return out;
}

std::string utf8(std::string_view cp932) { return names::utf8_from_cp932_lossy(cp932); }

CliResult run_cli(const std::vector<std::string>& args, const fs::path& cwd, FakeConsole console) {
  RealFileSystem files;
  return run_cli(args, cwd, files, std::move(console));
}

CliResult run_cli(const std::vector<std::string>& args, const fs::path& cwd, FileSystem& files, FakeConsole console) {
  CliResult result;
  result.status = console::run_cli(programs::all_tools(), args, console, files, cwd);
  result.out = console.out;
  result.err = console.err;
  return result;
}

CliResult vocar_run(const fs::path& home, const fs::path& cwd, const std::vector<std::string>& paths) {
  std::vector<std::string> args = {"vocar", "run", "--home", home.string(), "--yes", "--no-progress"};
  args.insert(args.end(), paths.begin(), paths.end());
  return run_cli(args, cwd);
}

CliResult vocar_config(const fs::path& home, const fs::path& cwd, const std::vector<std::string>& pairs) {
  std::vector<std::string> args = {"vocar", "config", "--home", home.string()};
  args.insert(args.end(), pairs.begin(), pairs.end());
  return run_cli(args, cwd);
}

}  // namespace lumeno::testing
