// The staff lists (スタッフ用リスト): each voiced character's text and voice
// count lists, then the file voice list.
//
// The files are read and scanned once, in run order, for all lists at once
// (staff_list_scan.h); a character's text list is written out in parts as it
// grows. The lists are then finished the way the step takes them: character
// after character, each over the files in turn, testing the cancel flag
// before each file and after it and showing the same progress texts; every
// voice count list and the file voice list are written whole, once.
//
// Every write appends, on a folder the run has emptied: characters with the
// same voice prefix share their list files, one list after the other. The
// counts for the budget (dialogue_counts.h) are gathered by the same scan:
// it hands each file over to a thread of their own that counts it and makes
// their files while the files are read and the lists written; they are
// written after the lists while the run goes on (counts_files.h).
#include "scriptbuilder/lists/staff_lists.h"

#include <filesystem>
#include <memory>
#include <new>
#include <system_error>
#include <unordered_set>

#include "scriptbuilder/lists/counts_files.h"
#include "scriptbuilder/lists/staff_list_scan.h"
#include "scriptbuilder/run_context.h"
#include "shell/files.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

namespace fs = std::filesystem;

// The counts go with the staff lists, but for a build that the benchmarks
// make to time the lists without them (bench/vocar_counts.sh).
#ifdef LUMENO_BENCH_WITHOUT_COUNTS
constexpr bool kWriteCounts = false;
#else
constexpr bool kWriteCounts = true;
#endif

// A text list longer than this is written out between files.
constexpr std::size_t kTextListPart = 64 * 1024;

// Where the one read of the files ended.
struct ReadEnd {
  enum Reason { complete, cancelled, failed } reason = complete;
  // Files scanned. With `cancelled`, the flag was seen after the last of
  // them (before the first when 0); with `failed`, the next one could not be
  // read (its message is shown).
  std::size_t files = 0;
};

// The writes below replay the step over the files read. When the read ended
// early, the step meets that end on its first pass over the files: a cancel
// seen after file k ends it right after that file, as if it had come while
// the file was scanned (before the first file, the flag is simply set); a
// file that could not be read ends it at that file. Until then the flag that
// the read left set is not looked at.
struct Replay {
  const ReadEnd& read;
  BuilderRun& run;
  bool replaying;  // this pass meets the read's end

  // Tested before file k: true when the pass stops there.
  bool stop_before(std::size_t k) const { return replaying ? k == read.files : run.cancelled(); }
  // At file k, the file could not be read.
  bool unreadable(std::size_t k) const { return replaying && k == read.files && read.reason == ReadEnd::failed; }
  // Tested after file k: true when the pass ends at once.
  bool stop_after(std::size_t k) const {
    return replaying ? read.reason == ReadEnd::cancelled && k + 1 == read.files : run.cancelled();
  }
};

// A voice prefix such as "\..\..\x" would take a character's list out of its
// folder and over any file of the tool folder or beyond: such a list is
// not written, like one that cannot be opened.
bool stays_in(const fs::path& folder, const fs::path& path) {
  const fs::path relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
  return !relative.empty() && *relative.begin() != ".." && *relative.begin() != ".";
}

// Appends to a list named below the tool folder, making its folders. On
// failure shows "%s ファイルを開けませんでした。" with its path and sets the
// cancel flag.
bool append_list(BuilderRun& run, std::string_view folder, const std::string& name, std::string_view bytes) {
  std::string folder_name(kStaffListFolder);
  folder_name += '\\';
  folder_name += folder;
  const fs::path path = run.ctx.app.home_path(name);
  if (stays_in(run.ctx.app.home_path(folder_name), path)) {
    create_parent_directories(run.ctx.fs, path);
    if (run.ctx.fs.append(path, bytes)) return true;
  }
  run.host().message(cannot_open_message(names::display_name(path)));
  run.host().request_cancel();
  return false;
}

class StaffListWriter {
 public:
  StaffListWriter(BuilderRun& run, StaffListScan& scan, CountsFiles* counts);

  // Reads and scans every file, writing out long text lists as they grow.
  ReadEnd scan_files();
  int write_character_lists(const ReadEnd& read);
  int write_file_voice_list(const ReadEnd& read);

 private:
  const Character& character(const CharacterLists& list) const {
    return run_.characters.characters[static_cast<std::size_t>(list.character)];
  }
  // Writes the character's text list up to `end`: the part not yet written.
  bool write_text(std::size_t v, std::size_t end);

  BuilderRun& run_;
  StaffListScan& scan_;
  CountsFiles* counts_;  // null when the run does not count
  std::vector<bool> text_failed_;  // a part of the text list could not be written
  // The text list may be written out while the files are read: no earlier
  // character's list goes to the same file.
  std::vector<bool> first_in_file_;
};

StaffListWriter::StaffListWriter(BuilderRun& run, StaffListScan& scan, CountsFiles* counts)
    : run_(run), scan_(scan), counts_(counts), text_failed_(scan.characters().size(), false) {
  // Letter case folded: one file on a file system that ignores case.
  std::unordered_set<std::string> prefixes;
  for (const CharacterLists& list : scan.characters()) {
    first_in_file_.push_back(prefixes.insert(fold_ascii(character(list).voice_prefix)).second);
  }
}

ReadEnd StaffListWriter::scan_files() {
  std::string text;
  std::vector<CharacterLists>& lists = scan_.characters();
  for (std::size_t k = 0; k < run_.file_count(); ++k) {
    if (run_.cancelled()) return {ReadEnd::cancelled, k};
    const RunFile& file = run_.file(k);
    if (run_.read_source(file, text) != BuilderRun::SourceStatus::ok) return {ReadEnd::failed, k};
    run_.voices.prepare_file(file.full_name, run_.settings.reset_per_file, k);
    scan_.scan_file(text, file.relative_name, run_.voices);
    if (counts_) counts_->add_file(k, text, scan_.counted_lines());
    for (std::size_t v = 0; v < lists.size(); ++v) {
      if (first_in_file_[v] && lists[v].text_list.size() >= kTextListPart) write_text(v, lists[v].text_size());
    }
  }
  return {run_.cancelled() ? ReadEnd::cancelled : ReadEnd::complete, run_.file_count()};
}

bool StaffListWriter::write_text(std::size_t v, std::size_t end) {
  CharacterLists& list = scan_.characters()[v];
  if (text_failed_[v]) return false;
  if (end <= list.text_taken) return true;
  const std::size_t length = end - list.text_taken;
  if (!append_list(run_, kTextListFolder, text_list_name(character(list).voice_prefix),
                   std::string_view(list.text_list.data(), length))) {
    text_failed_[v] = true;
    return false;
  }
  list.text_list.erase(0, length);
  list.text_taken = end;
  return true;
}

// The text and voice count lists, character by character.
int StaffListWriter::write_character_lists(const ReadEnd& read) {
  Host& host = run_.host();
  const std::vector<CharacterLists>& lists = scan_.characters();
  for (std::size_t v = 0; v < lists.size(); ++v) {
    const CharacterLists& list = lists[v];
    const std::string text_name = text_list_name(character(list).voice_prefix);
    const std::string count_name = voice_count_list_name(character(list).voice_prefix);
    const Replay replay{read, run_, v == 0 && read.reason != ReadEnd::complete};

    std::string counts;
    append_voice_count_head(counts, character(list));
    VoiceSums sums;
    std::size_t text_end = 0;  // of the text list, after the files done
    // The size of `counts` after the first file whose lines are not written yet.
    std::size_t counts_at_unwritten = std::string::npos;
    std::size_t next = 0;  // into list.files
    bool ended = false;    // the step ends with this character, without its tail
    for (std::size_t k = 0; k < run_.file_count(); ++k) {
      if (replay.stop_before(k)) {
        ended = replay.unreadable(k);
        break;
      }
      std::int64_t count = 0;
      if (next < list.files.size() && list.files[next].file == k) {
        count = list.files[next].count;
        text_end = list.files[next].text_end;
        ++next;
        host.progress_set_file_text(text_name);
      }
      append_voice_count_line(counts, count, run_.file(k).relative_name);
      if (text_end > list.text_taken && counts_at_unwritten == std::string::npos) counts_at_unwritten = counts.size();
      host.progress_set_file_text(count_name);
      sums.add(count);
      if (replay.stop_after(k)) {
        ended = true;
        break;
      }
    }
    if (!ended) append_voice_count_tail(counts, sums);

    if (!write_text(v, text_end)) {
      // The text list failed with a file: the step ends there, the voice
      // count list with that file's line.
      if (counts_at_unwritten != std::string::npos) counts.resize(counts_at_unwritten);
      append_list(run_, kVoiceCountFolder, count_name, counts);
      return -1;
    }
    // A voice count list that fails sets the cancel flag: the next
    // characters get their head and tail only.
    append_list(run_, kVoiceCountFolder, count_name, counts);
    if (ended) return -1;
  }
  // Without voiced characters this step reads nothing: a read that ended
  // early is met by the file voice list, unless it was cancelled at once.
  if (lists.empty() && read.reason != ReadEnd::complete) {
    return read.reason == ReadEnd::cancelled && read.files == 0 ? -1 : 0;
  }
  return run_.cancelled() ? -1 : 0;
}

// The file voice list. Reached after an early end of the read only when no
// character has a voice (the character lists end the run otherwise).
int StaffListWriter::write_file_voice_list(const ReadEnd& read) {
  const std::vector<CharacterLists>& voiced = scan_.characters();
  const std::string name = file_voice_list_name();
  const Replay replay{read, run_, read.reason != ReadEnd::complete};

  std::string list;
  append_file_voice_head(list, run_.file_count());
  std::vector<std::int64_t> counts(voiced.size(), 0);
  std::vector<std::int64_t> totals(voiced.size(), 0);
  bool ended = false;
  for (std::size_t k = 0; k < run_.file_count(); ++k) {
    if (replay.stop_before(k)) {
      ended = true;
      break;
    }
    for (const FileVoiceCount& c : scan_.file_counts(k)) counts[c.voiced] = c.count;
    run_.host().progress_set_file_text(name);
    append_file_voice_block(list, run_.file(k).relative_name, run_.characters, voiced, counts);
    for (std::size_t v = 0; v < counts.size(); ++v) totals[v] += counts[v];
    for (const FileVoiceCount& c : scan_.file_counts(k)) counts[c.voiced] = 0;
    if (replay.stop_after(k)) {
      ended = true;
      break;
    }
  }
  if (!ended && !replay.replaying && run_.cancelled()) ended = true;
  if (!ended) append_file_voice_tail(list, run_.characters, voiced, totals);
  if (!append_list(run_, kFileVoiceFolder, name, list)) return -1;
  return ended ? -1 : 0;
}

}  // namespace

int write_staff_lists(BuilderRun& run) {
  try {
    // The counts take each file as it is scanned; their files are made from
    // the last one on beside the lists, and written once the lists are.
    std::unique_ptr<CountsFiles> counts;
    if (kWriteCounts && run.marks) {
      try {
        counts = std::make_unique<CountsFiles>(run);
      } catch (const std::system_error&) {
        // No thread for them: the system is out of what it takes.
        run.host().message(kMsgNoMemory);
        return -1;
      }
    }
    StaffListScan scan(run.characters, run.matcher, counts != nullptr);
    StaffListWriter writer(run, scan, counts.get());
    // The run driver reset the counters for the character lists.
    const ReadEnd read = writer.scan_files();
    // Counts of some files only are not written.
    if (counts && read.reason == ReadEnd::complete) {
      counts->scanned();
    } else {
      counts.reset();
    }
    // The lists are appended here, not through the writer: its removal of
    // the folder of an earlier run must be done first.
    if (!run.finish_writes()) return -1;
    if (writer.write_character_lists(read) != 0) return -1;
    run.voices.reset_voice_counters();
    if (writer.write_file_voice_list(read) != 0) return -1;
    if (!counts) return 0;
    if (!counts->release()) return -1;
    if (!run.background) return counts->finish() ? 0 : -1;
    run.background->add(std::move(counts));
    return 0;
  } catch (const std::bad_alloc&) {
    run.host().message(kMsgNoMemory);
    return -1;
  }
}

}  // namespace lumeno::scriptbuilder
