#include "scriptbuilder/workbooks/script_workbooks.h"

#include <algorithm>
#include <exception>

#include "scriptbuilder/run_context.h"
#include "scriptbuilder/scanner.h"
#include "scriptbuilder/workbooks/library_files.h"
#include "scriptbuilder/workbooks/scratch_workbook.h"
#include "shell/files.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

// Builders at once: each streamed workbook holds a file open a sheet, and a
// Windows process may hold 2048.
constexpr std::size_t kMaxBuilders = 4;
constexpr int kWaitMs = 50;

}  // namespace

std::string workbook_file_name(std::string_view voice_prefix, std::string_view display_name) {
  std::string name;
  append_parts(name, {kScriptFolder, "\\[", voice_prefix, "]", display_name, ".xlsx"});
  return name;
}

ScriptWorkbooks::ScriptWorkbooks(const AppState& app, FileSystem& fs, Host& host) : app_(app), fs_(fs), host_(host) {}

ScriptWorkbooks::~ScriptWorkbooks() {
  stop_ = true;
  join();
}

void ScriptWorkbooks::add(std::string_view workbook, std::string_view relative_name, std::string_view script,
                          std::span<const std::uint32_t> speech_lines) {
  add(workbook, WorkbookScript{std::string(relative_name), std::string(script),
                               std::vector<std::uint32_t>(speech_lines.begin(), speech_lines.end())});
}

void ScriptWorkbooks::add(std::string_view workbook, WorkbookScript script) {
  if (started_) return;
  std::string key(workbook);
  auto [it, added] = index_.try_emplace(key, books_.size());
  if (added) {
    auto book = std::make_unique<Book>();
    book->name = std::move(key);
    book->path = app_.home_path(book->name);
    books_.push_back(std::move(book));
  }
  Book& book = *books_[it->second];
  book.bytes += script.script.size();
  book.scripts.push_back(std::move(script));
}

void ScriptWorkbooks::start() {
  if (started_ || books_.empty()) return;
  started_ = true;
  decoder_ = std::make_unique<Cp932Decoder>();
  scratch_folder_ = library_files::scratch_folder();
  if (scratch_folder_) scratch_folder_name_ = library_files::library_name(*scratch_folder_);
  // Scratch names no other run or program takes.
  scratch_prefix_ = scratch_name_prefix(this);

  queue_.resize(books_.size());
  for (std::size_t k = 0; k < books_.size(); ++k) queue_[k] = k;
  std::stable_sort(queue_.begin(), queue_.end(), [&](std::size_t a, std::size_t b) { return books_[a]->bytes > books_[b]->bytes; });
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t builders = std::min({cores, kMaxBuilders, books_.size()});
  library_files::allow_open_files(builders * (kStreamedSheets + 16) + 256);
  for (std::size_t k = 0; k < builders; ++k) threads_.emplace_back([this] { work(); });
}

void ScriptWorkbooks::work() {
  for (;;) {
    Book* book = nullptr;
    std::size_t number = 0;
    {
      const std::lock_guard lock(mutex_);
      if (next_ == queue_.size() || stopping()) return;
      number = queue_[next_++];
      book = books_[number].get();
      book->state = State::working;
    }
    State state = State::failed;
    try {
      state = make(*book, number);
    } catch (const std::exception&) {
      fail(cannot_open_message(names::display_name(book->path)));  // no memory for it: not written
    }
    {
      const std::lock_guard lock(mutex_);
      book->state = state;
      // What is written needs its scripts no more.
      std::vector<WorkbookScript>().swap(book->scripts);
    }
    changed_.notify_all();
  }
}

ScriptWorkbooks::State ScriptWorkbooks::make(Book& book, std::size_t number) {
  const std::string cannot_open = cannot_open_message(names::display_name(book.path));
  if (!scratch_folder_ || !scratch_folder_name_) {
    fail(cannot_open);
    return State::failed;
  }
  // The room for every workbook being made is asked for first.
  const std::uint64_t need = scratch_room(book.bytes);
  std::uint64_t free = 0;
  if (!reserve_scratch(need, free)) {
    if (stopping()) return State::cancelled;
    fail(scratch_room_message(book.path, *scratch_folder_, need, free));
    return State::failed;
  }
  struct Release {
    ScriptWorkbooks& self;
    std::uint64_t bytes;
    ~Release() {
      const std::lock_guard lock(self.mutex_);
      self.scratch_reserved_ -= bytes;
    }
  } release{*this, need};

  // Each workbook's scratch files in a folder of their own: the library
  // makes and removes a file for every sheet, and builders working in one
  // folder wait for each other's hold on it.
  ScratchFolder own(*scratch_folder_, scratch_prefix_ + std::to_string(number));
  const std::filesystem::path& folder = own.made() ? own.path() : *scratch_folder_;
  const std::optional<std::string> folder_name = own.made() ? library_files::library_name(folder) : scratch_folder_name_;
  if (!folder_name) {
    fail(cannot_open);
    return State::failed;
  }
  const ScratchWorkbook made = make_scratch_workbook(
      fs_, folder, *folder_name, scratch_prefix_ + std::to_string(number) + ".xlsx",
      [&](const WorkbookTarget& target) { return write_script_workbook(target, book.scripts, *decoder_, [this] { return stopping(); }, kSheetRows, marks_); });
  if (made.status == WorkbookStatus::cancelled) return State::cancelled;
  if (made.left_behind) {
    fail(cannot_delete_message(names::display_name(*made.left_behind)));
    return State::failed;
  }
  if (made.status != WorkbookStatus::written) {
    fail(cannot_open);
    return State::failed;
  }
  create_parent_directories(fs_, book.path);
  if (!fs_.write(book.path, made.bytes)) {
    fail(cannot_open);
    return State::failed;
  }
  return State::written;
}

bool ScriptWorkbooks::reserve_scratch(std::uint64_t bytes, std::uint64_t& free) {
  std::unique_lock lock(mutex_);
  for (;;) {
    lock.unlock();
    const std::optional<std::uint64_t> space = fs_.free_space(*scratch_folder_);
    lock.lock();
    if (!space || *space >= scratch_reserved_ + bytes) break;
    // What the others hold comes back when they are done; a workbook that
    // has not the room even alone cannot be made.
    if (scratch_reserved_ == 0 || stopping()) {
      free = *space;
      return false;
    }
    changed_.wait_for(lock, std::chrono::milliseconds(kWaitMs));
  }
  scratch_reserved_ += bytes;
  return true;
}

void ScriptWorkbooks::fail(std::string message) {
  {
    const std::lock_guard lock(mutex_);
    if (!failed_message_) failed_message_ = std::move(message);
  }
  stop_ = true;
  // The run stops at its next test of the flag; the message is shown on its
  // own thread.
  host_.request_cancel();
}

void ScriptWorkbooks::join() {
  for (std::thread& t : threads_) {
    if (t.joinable()) t.join();
  }
  threads_.clear();
}

void ScriptWorkbooks::show_failure() {
  std::optional<std::string> message;
  {
    const std::lock_guard lock(mutex_);
    message = failed_message_;
  }
  if (!message) return;
  if (!failure_shown_) {
    failure_shown_ = true;
    host_.message(*message);
  }
  host_.request_cancel();
}

bool ScriptWorkbooks::finish(int from, int to) {
  if (books_.empty()) {
    host_.progress_set_position(to);
    return !host_.cancel_requested();
  }
  start();
  host_.progress_set_count_text(kWorkbooksProgressText);
  const int count = static_cast<int>(books_.size());
  for (int k = 0; k < count; ++k) {
    Book& book = *books_[static_cast<std::size_t>(k)];
    {
      std::unique_lock lock(mutex_);
      while (book.state == State::waiting || book.state == State::working) {
        if (host_.cancel_requested()) break;
        changed_.wait_for(lock, std::chrono::milliseconds(kWaitMs));
      }
      if (book.state != State::written) break;
    }
    host_.progress_set_file_text(book.name);
    host_.progress_set_position(from + (to - from) * (k + 1) / count);
  }
  stop();
  return !host_.cancel_requested();
}

void ScriptWorkbooks::stop() {
  stop_ = true;
  join();
  show_failure();
}

}  // namespace lumeno::scriptbuilder
