#include "scriptbuilder/lists/counts_files.h"

#include <new>

#include "scriptbuilder/workbooks/library_files.h"
#include "scriptbuilder/workbooks/scratch_workbook.h"
#include "shell/cp932_decoder.h"
#include "shell/files.h"
#include "shell/names.h"

namespace lumeno::scriptbuilder {

namespace {

std::string staff_list_name(std::string_view file) {
  std::string name(kStaffListFolder);
  name += '\\';
  name += file;
  return name;
}

std::vector<std::string> run_file_names(const BuilderRun& run) {
  std::vector<std::string> names;
  names.reserve(run.file_count());
  for (std::size_t k = 0; k < run.file_count(); ++k) names.push_back(run.file(k).relative_name);
  return names;
}

}  // namespace

CountsFiles::CountsFiles(const BuilderRun& run, std::vector<CharacterCounts> counts)
    : fs_(run.ctx.fs),
      host_(run.ctx.host),
      table_(run.characters),
      file_names_(run_file_names(run)),
      counts_(std::move(counts)),
      csv_name_(staff_list_name(kCountsCsv)),
      workbook_name_(staff_list_name(kCountsWorkbook)),
      csv_path_(run.ctx.app.home_path(csv_name_)),
      workbook_path_(run.ctx.app.home_path(workbook_name_)),
      thread_([this] { work(); }) {}

CountsFiles::~CountsFiles() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  join();
}

void CountsFiles::work() {
  try {
    const Cp932Decoder decoder;
    const std::vector<CountsRow> rows = counts_rows(table_, counts_, file_names_);
    const std::string csv = counts_csv(rows, decoder);
    if (stopping()) return;

    const std::optional<std::filesystem::path> scratch = library_files::scratch_folder();
    // A temporary folder without room for the library's files is named as such.
    if (const auto shortage = scratch ? scratch_room_shortage(fs_, *scratch, workbook_path_, csv.size()) : std::nullopt) {
      fail(*shortage);
      return;
    }
    const std::optional<std::string> scratch_name = scratch ? library_files::library_name(*scratch) : std::nullopt;
    ScratchWorkbook workbook;
    if (scratch_name) {
      workbook = make_scratch_workbook(fs_, *scratch, *scratch_name, scratch_name_prefix(this) + "counts.xlsx",
                                       [&](const WorkbookTarget& target) { return write_counts_workbook(target, rows, decoder); });
    }
    if (workbook.status != WorkbookStatus::written) {
      fail(workbook.left_behind ? cannot_delete_message(names::display_name(*workbook.left_behind))
                                : cannot_open_message(names::display_name(workbook_path_)));
      return;
    }
    if (!wait_for_release() || !write(csv_path_, csv) || !write(workbook_path_, workbook.bytes)) return;
    const std::lock_guard lock(mutex_);
    written_ = true;
  } catch (const std::bad_alloc&) {
    fail(std::string(kMsgNoMemory));
  }
}

bool CountsFiles::wait_for_release() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return released_ || stop_; });
  return !stop_;
}

bool CountsFiles::write(const std::filesystem::path& path, const std::string& bytes) {
  // A run cancelled meanwhile writes nothing more.
  if (stopping()) return false;
  create_parent_directories(fs_, path);
  if (fs_.write(path, bytes)) return true;
  fail(cannot_open_message(names::display_name(path)));
  return false;
}

void CountsFiles::fail(std::string message) {
  bool released = false;
  {
    const std::lock_guard lock(mutex_);
    if (!failure_) failure_ = std::move(message);
    released = released_;
  }
  // Before the release, the phase is still writing its lists: it stops at
  // its end instead (release), so that no list is cut short by this.
  if (released) host_.request_cancel();
}

bool CountsFiles::stopping() const {
  {
    const std::lock_guard lock(mutex_);
    if (stop_) return true;
  }
  return host_.cancel_requested();
}

bool CountsFiles::release() {
  bool failed = false;
  {
    const std::lock_guard lock(mutex_);
    released_ = true;
    failed = failure_.has_value();
  }
  changed_.notify_all();
  if (!failed) return true;
  show_failure();
  return false;
}

bool CountsFiles::finish() {
  {
    // Never released: the lists did not get written, nor may these.
    const std::lock_guard lock(mutex_);
    if (!released_) stop_ = true;
  }
  changed_.notify_all();
  join();
  show_failure();
  bool written = false;
  {
    const std::lock_guard lock(mutex_);
    written = written_;
  }
  if (written) {
    host_.progress_set_file_text(csv_name_);
    host_.progress_set_file_text(workbook_name_);
  }
  return written && !host_.cancel_requested();
}

void CountsFiles::stop() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  join();
  show_failure();
}

void CountsFiles::join() {
  if (thread_.joinable()) thread_.join();
}

void CountsFiles::show_failure() {
  std::optional<std::string> message;
  {
    const std::lock_guard lock(mutex_);
    if (!failure_) return;
    if (!failure_shown_) message = failure_;
    failure_shown_ = true;
  }
  if (message) host_.message(*message);
  host_.request_cancel();
}

}  // namespace lumeno::scriptbuilder
