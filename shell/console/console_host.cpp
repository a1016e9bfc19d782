#include "shell/console/console_host.h"

#include <thread>

#include "shell/names.h"

namespace lumeno::console {

namespace {

// Columns a code point takes on a terminal.
int columns_of(char32_t c) {
  if (c >= 0x1100 && (c <= 0x115F || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x20000)) {
    return 2;
  }
  return 1;
}

}  // namespace

std::string fit_columns(std::string_view utf8, int columns) {
  int used = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    std::size_t len = 1;
    char32_t c = b;
    if (b >= 0xF0) {
      len = 4;
      c = b & 0x07;
    } else if (b >= 0xE0) {
      len = 3;
      c = b & 0x0F;
    } else if (b >= 0xC0) {
      len = 2;
      c = b & 0x1F;
    }
    if (i + len > utf8.size()) break;
    for (std::size_t k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    const int w = columns_of(c);
    if (used + w > columns) break;
    used += w;
    i += len;
  }
  return std::string(utf8.substr(0, i));
}

ConsoleHost::ConsoleHost(Console& console, bool show_progress, bool assume_yes)
    : console_(console), show_progress_(show_progress && console.stderr_is_terminal()), assume_yes_(assume_yes) {}

void ConsoleHost::print_err(std::string_view cp932) {
  clear_progress();
  std::string line = names::utf8_from_cp932_lossy(cp932);
  line += '\n';
  console_.write_err(line);
}

void ConsoleHost::message(std::string_view text) { print_err(text); }

void ConsoleHost::run_message(std::string_view text, std::string_view) { print_err(text); }

void ConsoleHost::completion(std::string_view text, std::string_view) {
  clear_progress();
  std::string line = names::utf8_from_cp932_lossy(text);
  line += '\n';
  console_.write_out(line);
}

bool ConsoleHost::confirm(std::string_view text, std::string_view caption) {
  if (assume_yes_) return true;
  if (!console_.stdin_is_terminal()) return false;
  clear_progress();
  std::string question = "[" + names::utf8_from_cp932_lossy(caption) + "]\n";
  std::string body = names::utf8_from_cp932_lossy(text);
  for (std::size_t pos = body.find("\r\n"); pos != std::string::npos; pos = body.find("\r\n", pos)) body.erase(pos, 1);
  question += body;
  question += "\nOK? [y/N] ";
  console_.write_err(question);
  const auto answer = console_.read_line();
  return answer && (*answer == "y" || *answer == "Y" || *answer == "yes" || *answer == "ok" || *answer == "OK");
}

void ConsoleHost::progress_set_range(int max) {
  max_ = max > 0 ? max : 1;
  position_ = 0;
}

void ConsoleHost::progress_set_position(int position) {
  position_ = position;
  draw(false);
}

void ConsoleHost::progress_set_count_text(std::string_view text) {
  count_text_ = names::utf8_from_cp932_lossy(text);
  draw(false);
}

void ConsoleHost::progress_set_file_text(std::string_view text) {
  if (!show_progress_) return;
  file_text_.assign(text);
  draw(false);
}

void ConsoleHost::pause_ms(int milliseconds) {
  // The pauses let a user see the bar move; without a bar they only cost time.
  if (!show_progress_) return;
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ConsoleHost::draw(bool force) {
  if (!show_progress_ || count_text_.empty()) return;
  const auto now = std::chrono::steady_clock::now();
  // Redraw at most 20 times a second: a tree of thousands of small files
  // must not spend its time on the terminal.
  if (!force && line_shown_ && now - last_draw_ < std::chrono::milliseconds(50)) return;
  last_draw_ = now;
  constexpr int kBar = 24;
  const int filled = static_cast<int>(static_cast<long long>(position_) * kBar / max_);
  std::string line = count_text_;
  line += " [";
  for (int i = 0; i < kBar; ++i) line += i < filled ? '#' : '.';
  line += "] ";
  line += names::utf8_from_cp932_lossy(file_text_);
  const int width = console_.terminal_width();
  console_.write_err("\r" + fit_columns(line, width > 1 ? width - 1 : 1) + "\x1b[K");
  line_shown_ = true;
}

void ConsoleHost::clear_progress() {
  if (!line_shown_) return;
  console_.write_err("\r\x1b[K");
  line_shown_ = false;
}

}  // namespace lumeno::console
