// The staff lists (スタッフ用リスト): each voiced character's text and voice
// count lists, then the file voice list.
//
// The files are read and scanned once, in run order, for all lists at once
// (staff_list_scan.h). The lists are then written the way the step takes
// them: character after character, each over the files in turn, testing the
// cancel flag before each file and after it, showing the same progress
// texts; each list is written whole, once.
#include <filesystem>
#include <new>

#include "scriptbuilder/builder_run.h"
#include "scriptbuilder/staff_list_scan.h"
#include "shell/files.h"
#include "shell/names.h"

namespace lumeno::scriptbuilder {

namespace {

namespace fs = std::filesystem;

// Where the one read of the files ended.
struct ReadEnd {
  enum Reason { complete, cancelled, failed } reason = complete;
  // Files scanned. With `cancelled`, the flag was seen after the last of
  // them (before the first when 0); with `failed`, the next one could not be
  // read (its message is shown).
  std::size_t files = 0;
};

ReadEnd scan_files(BuilderRun& run, StaffListScan& scan) {
  std::string text;
  for (std::size_t k = 0; k < run.file_count(); ++k) {
    if (run.cancelled()) return {ReadEnd::cancelled, k};
    const RunFile& file = run.file(k);
    if (run.read_source(file, text) != BuilderRun::SourceStatus::ok) return {ReadEnd::failed, k};
    run.voices.prepare_file(file.full_name, run.settings.reset_per_file);
    scan.scan_file(text, file.relative_name, run.voices);
  }
  return {run.cancelled() ? ReadEnd::cancelled : ReadEnd::complete, run.file_count()};
}

// The writes below replay the step over the files read. When the read ended
// early, the step meets that end on its first pass over the files: a cancel
// seen after file k ends the step right after that file, as if it had come
// while the file was scanned (before the first file, the flag is simply
// set); a file that could not be read ends it at that file. Until then the
// flag that the read left set is not looked at.
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

bool write_list(BuilderRun& run, std::string_view folder, const std::string& name, std::string_view bytes) {
  std::string folder_name(kStaffListFolder);
  folder_name += '\\';
  folder_name += folder;
  const fs::path path = run.ctx.app.home_path(name);
  if (!stays_in(run.ctx.app.home_path(folder_name), path)) {
    run.host().message(cannot_open_message(names::display_name(path)));
    run.host().request_cancel();
    return false;
  }
  return run.write_output(name, bytes);
}

// The text and voice count lists, character by character.
int write_character_lists(BuilderRun& run, const StaffListScan& scan, const ReadEnd& read) {
  Host& host = run.host();
  const std::vector<CharacterLists>& lists = scan.characters();
  for (std::size_t v = 0; v < lists.size(); ++v) {
    const CharacterLists& list = lists[v];
    const Character& character = run.characters.characters[static_cast<std::size_t>(list.character)];
    const std::string text_name = text_list_name(character.voice_prefix);
    const std::string count_name = voice_count_list_name(character.voice_prefix);
    const Replay replay{read, run, v == 0 && read.reason != ReadEnd::complete};

    std::string counts;
    append_voice_count_head(counts, character);
    VoiceSums sums;
    std::size_t text_end = 0;                      // of list.text_list, after the files done
    std::size_t counts_at_first_text = std::string::npos;  // counts' size after the first file with lines
    std::size_t next = 0;                          // into list.files
    bool ended = false;                            // the step ends with this character, without a tail
    for (std::size_t k = 0; k < run.file_count(); ++k) {
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
      append_voice_count_line(counts, count, run.file(k).relative_name);
      if (count > 0 && counts_at_first_text == std::string::npos) counts_at_first_text = counts.size();
      host.progress_set_file_text(count_name);
      sums.add(count);
      if (replay.stop_after(k)) {
        ended = true;
        break;
      }
    }
    if (!ended) append_voice_count_tail(counts, sums);

    const std::string_view text(list.text_list.data(), text_end);
    if (!text.empty() && !write_list(run, kTextListFolder, text_name, text)) {
      // The text list failed with its first file: the step ends there, its
      // voice count list with that file's line.
      counts.resize(counts_at_first_text);
      write_list(run, kVoiceCountFolder, count_name, counts);
      return -1;
    }
    // A count list that fails sets the cancel flag: the next characters get
    // their head and tail only.
    write_list(run, kVoiceCountFolder, count_name, counts);
    if (ended) return -1;
  }
  // Without voiced characters this step reads nothing: a read that ended
  // early is met by the file voice list, unless it was cancelled at once.
  if (lists.empty() && read.reason != ReadEnd::complete) {
    return read.reason == ReadEnd::cancelled && read.files == 0 ? -1 : 0;
  }
  return run.cancelled() ? -1 : 0;
}

// The file voice list. Reached after an early end of the read only when no
// character has a voice (the character lists end the run otherwise).
int write_file_voice_list(BuilderRun& run, const StaffListScan& scan, const ReadEnd& read) {
  const std::vector<CharacterLists>& voiced = scan.characters();
  const std::string name = file_voice_list_name();
  const Replay replay{read, run, read.reason != ReadEnd::complete};

  std::string list;
  append_file_voice_head(list, run.file_count());
  std::vector<std::int64_t> counts(voiced.size(), 0);
  std::vector<std::int64_t> totals(voiced.size(), 0);
  bool ended = false;
  for (std::size_t k = 0; k < run.file_count(); ++k) {
    if (replay.stop_before(k)) {
      ended = true;
      break;
    }
    for (const FileVoiceCount& c : scan.file_counts(k)) counts[c.voiced] = c.count;
    run.host().progress_set_file_text(name);
    append_file_voice_block(list, run.file(k).relative_name, run.characters, voiced, counts);
    for (std::size_t v = 0; v < counts.size(); ++v) totals[v] += counts[v];
    for (const FileVoiceCount& c : scan.file_counts(k)) counts[c.voiced] = 0;
    if (replay.stop_after(k)) {
      ended = true;
      break;
    }
  }
  if (!ended && !replay.replaying && run.cancelled()) ended = true;
  if (!ended) append_file_voice_tail(list, run.characters, voiced, totals);
  if (!write_list(run, kFileVoiceFolder, name, list)) return -1;
  return ended ? -1 : 0;
}

}  // namespace

int write_staff_lists(BuilderRun& run) {
  try {
    StaffListScan scan(run.characters, run.matcher);
    // The run driver reset the counters for the character lists.
    const ReadEnd read = scan_files(run, scan);
    if (write_character_lists(run, scan, read) != 0) return -1;
    run.voices.reset_voice_counters();
    return write_file_voice_list(run, scan, read);
  } catch (const std::bad_alloc&) {
    run.host().message(kMsgNoMemory);
    return -1;
  }
}

}  // namespace lumeno::scriptbuilder
