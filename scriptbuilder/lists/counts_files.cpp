#include "scriptbuilder/lists/counts_files.h"

#include <new>
#include <utility>

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

// The texts the thread may have in hand before the scan waits for it.
constexpr std::size_t kTextInHand = std::size_t{32} << 20;
// The thread is woken for this much text at a time: a wake for every file
// would cost more than its counting.
constexpr std::size_t kTextAWake = std::size_t{1} << 20;
// The buffers kept for the scan to read later files into.
constexpr std::size_t kSpareBytes = 2 * kTextAWake;
// The temporary folder's room is asked again each time the CSV has grown
// by this much: the workbook's rows go to the library's temporary files as
// they come, and it does not notice a write to them that fails.
constexpr std::size_t kRoomAskedEvery = std::size_t{1} << 20;

}  // namespace

CountsFiles::CountsFiles(const BuilderRun& run)
    : fs_(run.ctx.fs),
      host_(run.ctx.host),
      table_(run.characters),
      marks_(run.marks ? *run.marks : DialogueMarks{}),
      file_names_(run_file_names(run)),
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

void CountsFiles::add_file(std::size_t file, std::string& text, std::vector<CountedLine>& lines) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !accepting_ || text_in_hand_ < kTextInHand; });
  if (!accepting_) {
    lines.clear();
    return;
  }
  Job job{file, {}, {}};
  if (!spare_.empty()) {
    job = std::move(spare_.back());
    spare_.pop_back();
    spare_bytes_ -= job.text.capacity();
    job.file = file;
  }
  std::swap(job.text, text);
  std::swap(job.lines, lines);
  text_in_hand_ += job.text.size();
  unannounced_ += job.text.size();
  jobs_.push_back(std::move(job));
  if (unannounced_ < kTextAWake) return;
  unannounced_ = 0;
  lock.unlock();
  changed_.notify_all();
}

void CountsFiles::scanned() {
  {
    const std::lock_guard lock(mutex_);
    scanned_ = true;
  }
  changed_.notify_all();
}

std::optional<CountsFiles::Job> CountsFiles::next_job(bool& stopped) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stop_ || scanned_ || !jobs_.empty(); });
  stopped = stop_;
  if (stop_ || jobs_.empty()) return std::nullopt;
  Job job = std::move(jobs_.front());
  jobs_.pop_front();
  return job;
}

void CountsFiles::recycle(Job job) {
  bool scan_waits = false;
  {
    const std::lock_guard lock(mutex_);
    scan_waits = text_in_hand_ >= kTextInHand;
    text_in_hand_ -= job.text.size();
    // Enough buffers for the files between two wakes; the text stays as it
    // is: a read into it fills only what the file adds.
    if (spare_bytes_ < kSpareBytes) {
      spare_bytes_ += job.text.capacity();
      job.lines.clear();
      spare_.push_back(std::move(job));
    }
  }
  if (scan_waits) changed_.notify_all();
}

void CountsFiles::work() {
  // However the thread ends, the scan hands over no more files.
  struct StopTaking {
    CountsFiles& self;
    ~StopTaking() {
      {
        const std::lock_guard lock(self.mutex_);
        self.accepting_ = false;
        self.jobs_.clear();
        self.text_in_hand_ = 0;
      }
      self.changed_.notify_all();
    }
  } stop_taking{*this};
  try {
    const Cp932Decoder decoder;
    const std::size_t characters = table_.characters.size();
    DialogueCounter counter(characters, marks_);
    std::vector<std::string> csv_parts(characters);  // a character's rows per file
    std::vector<std::string> prefix_fields;          // its texts as CSV fields
    std::vector<std::string> name_fields;
    for (const Character& character : table_.characters) {
      prefix_fields.push_back(counts_csv_field(character.voice_prefix, decoder));
      name_fields.push_back(counts_csv_field(shown_name(character), decoder));
    }

    // The workbook's scratch file, with the room the temporary folder has
    // asked first: for a table of about a row a file, and again as it grows.
    const std::optional<std::filesystem::path> scratch = library_files::scratch_folder();
    std::uint64_t names_size = 0;
    for (const std::string& name : file_names_) names_size += name.size() + 64;
    if (const auto shortage = scratch ? scratch_room_shortage(fs_, *scratch, workbook_path_, names_size) : std::nullopt) {
      fail(*shortage);
      return;
    }
    const std::optional<std::string> scratch_name = scratch ? library_files::library_name(*scratch) : std::nullopt;
    const std::filesystem::path scratch_file = scratch ? *scratch / (scratch_name_prefix(this) + "counts.xlsx") : std::filesystem::path();
    const std::optional<std::string> scratch_file_name = scratch_name ? library_files::library_name(scratch_file) : std::nullopt;
    // The characters' own rows, their totals added as the files are counted.
    std::vector<CountsRow> own_rows;
    own_rows.reserve(characters);
    for (const Character& character : table_.characters) own_rows.push_back({character.voice_prefix, shown_name(character), {}, {}});
    std::optional<CountsWorkbook> workbook;
    if (scratch_file_name) workbook.emplace(WorkbookTarget{*scratch_file_name, *scratch_name}, decoder, own_rows, file_names_.size());
    if (!workbook || !workbook->ok()) {
      fail(cannot_open_message(names::display_name(workbook_path_)));
      return;
    }

    std::size_t csv_size = 0;
    std::size_t room_asked_at = 0;
    for (;;) {
      bool stopped = false;
      std::optional<Job> job = next_job(stopped);
      if (stopped) return;
      if (!job) break;
      const std::string_view file = file_names_[job->file];
      std::string file_field;
      for (const DialogueCounter::FileCount& count : counter.count_file(job->text, job->lines)) {
        if (file_field.empty()) file_field = counts_csv_field(file, decoder);
        std::string& part = csv_parts[count.character];
        const std::size_t before = part.size();
        append_counts_csv_line(part, prefix_fields[count.character], name_fields[count.character], file_field, count.counts);
        csv_size += part.size() - before;
        own_rows[count.character].counts.add(count.counts);
        workbook->add_file_row(count.character, file, count.counts);
      }
      recycle(std::move(*job));
      if (!workbook->ok()) {
        fail(cannot_open_message(names::display_name(workbook_path_)));
        return;
      }
      if (csv_size - room_asked_at >= kRoomAskedEvery) {
        room_asked_at = csv_size;
        if (const auto shortage = scratch_room_shortage(fs_, *scratch, workbook_path_, 0)) {
          fail(*shortage);
          return;
        }
      }
    }

    // Every file is counted: the characters' own rows lead the CSV.
    std::string csv;
    append_counts_csv_head(csv, decoder);
    for (const CountsRow& row : own_rows) append_counts_csv_row(csv, row, decoder);
    std::size_t size = csv.size();
    for (const std::string& part : csv_parts) size += part.size();
    csv.reserve(size);
    for (std::string& part : csv_parts) {
      csv += part;
      std::string().swap(part);
    }
    if (stopping()) return;
    if (const auto shortage = scratch_room_shortage(fs_, *scratch, workbook_path_, csv.size())) {
      fail(*shortage);
      return;
    }
    std::vector<DialogueCounts> totals;
    totals.reserve(characters);
    for (const CountsRow& row : own_rows) totals.push_back(row.counts);
    const ScratchWorkbook made = collect_scratch_workbook(fs_, scratch_file, workbook->close(totals));
    workbook.reset();
    if (made.status != WorkbookStatus::written) {
      fail(made.left_behind ? cannot_delete_message(names::display_name(*made.left_behind))
                            : cannot_open_message(names::display_name(workbook_path_)));
      return;
    }
    if (!wait_for_release() || !write(csv_path_, csv) || !write(workbook_path_, made.bytes)) return;
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
