// The `lumeno` program: the tool shell with a terminal in place of a window.
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "programs/tools.h"
#include "shell/console/cli.h"
#include "shell/console/console.h"
#include "shell/file_system.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

std::vector<std::string> utf8_arguments(int argc, char** argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide && i < count; ++i) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
    args.push_back(std::move(arg));
  }
  if (wide) LocalFree(wide);
  return args;
#else
  return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

// The language files installed with this program: LUMENO_LANGUAGES_FROM_BIN
// from the program's folder (share/lumeno/languages beside bin/); nothing
// when the program's own path cannot be had.
std::filesystem::path installed_languages() {
#ifdef _WIN32
  std::wstring path(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (n == 0 || n >= path.size()) return {};
  path.resize(n);
  const std::filesystem::path program(path);
#else
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
#endif
  return (program.parent_path() / LUMENO_LANGUAGES_FROM_BIN).lexically_normal();
}

}  // namespace

int main(int argc, char** argv) {
  std::error_code ec;
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  lumeno::RealFileSystem files;
  const lumeno::console::Program program{lumeno::programs::all_tools(), installed_languages()};
  return lumeno::console::run_cli(program, utf8_arguments(argc, argv), lumeno::console::system_console(), files, cwd);
}
