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

}  // namespace

int main(int argc, char** argv) {
  std::error_code ec;
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  lumeno::RealFileSystem files;
  return lumeno::console::run_cli(lumeno::programs::all_tools(), utf8_arguments(argc, argv), lumeno::console::system_console(), files,
                                 cwd);
}
