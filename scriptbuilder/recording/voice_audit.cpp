#include "scriptbuilder/recording/voice_audit.h"

#include <algorithm>
#include <deque>
#include <atomic>
#include <bit>
#include <charconv>
#include <new>
#include <unordered_map>

#include "scriptbuilder/background.h"
#include "scriptbuilder/check_run.h"
#include "scriptbuilder/file_workers.h"
#include "scriptbuilder/recording/run_voices.h"
#include "shell/cp932_decoder.h"
#include "shell/local_date.h"
#include "scriptbuilder/workbooks/scratch_workbook.h"
#include "scriptbuilder/workbooks/library_files.h"
#include "scriptbuilder/recording/pickups.h"
#include "scriptbuilder/recording/take_book_run.h"
#include "scriptbuilder/run_context.h"
#include "scriptbuilder/run_order.h"
#include "shell/files.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kAudioExtensions[] = {"ogg", "wav", "opus", "mp3", "flac", "m4a"};

struct Recording {
  std::string name;   // CP932, below the recordings folder, "\" separators
  std::string voice;  // the voice name it gives, ASCII letters folded
};

using NativeName = std::basic_string_view<fs::path::value_type>;

// The last part of a native path, without making a path of it (the walk
// meets hundreds of thousands).
NativeName native_file_name(const fs::path& path) {
  const NativeName native = path.native();
  std::size_t at = native.size();
  while (at > 0 && native[at - 1] != '/' && native[at - 1] != fs::path::preferred_separator) --at;
  return native.substr(at);
}

// The CP932 name of a file or folder name: ASCII as it stands (the common
// case, and the same bytes in both), anything else through the name codec.
std::optional<std::string> cp932_name(NativeName file_name) {
  if (std::all_of(file_name.begin(), file_name.end(), [](auto c) { return c >= 0x20 && c < 0x7F; })) {
    return std::string(file_name.begin(), file_name.end());
  }
  auto name = names::to_name(fs::path(fs::path::string_type(file_name)));
  if (!name) return std::nullopt;
  return std::move(*name);
}

// A set of names (ASCII letters folded), each with the number it was added
// under: one open-addressing table over one buffer of the names, for the
// hundreds of thousands of voice names of a scenario.
class FoldedNames {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

  explicit FoldedNames(std::size_t expected) : slots_(std::bit_ceil(expected * 2 + 16), Slot{}) { bytes_.reserve(expected * 16); }

  // The number of `name`, which is added with `number` when it is new.
  std::uint32_t find_or_add(std::string_view name, std::uint32_t number) {
    Slot& slot = probe(name);
    if (slot.number != kNone) return slot.number;
    slot = {static_cast<std::uint32_t>(bytes_.size()), static_cast<std::uint32_t>(name.size()), number};
    bytes_ += name;
    return number;
  }
  std::uint32_t find(std::string_view name) { return probe(name).number; }

 private:
  struct Slot {
    std::uint32_t at = 0;
    std::uint32_t size = 0;
    std::uint32_t number = kNone;
  };
  Slot& probe(std::string_view name) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = std::hash<std::string_view>()(name) & mask;; i = (i + 1) & mask) {
      Slot& slot = slots_[i];
      if (slot.number == kNone || std::string_view(bytes_).substr(slot.at, slot.size) == name) return slot;
    }
  }

  std::vector<Slot> slots_;
  std::string bytes_;
};

void append_number(std::string& out, std::size_t n) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
}

// Every recording below a folder, in the order of a walk breadth first; a
// walk that ends early says where. Runs on a thread of its own: it shows
// nothing.
struct RecordingsFound {
  std::vector<Recording> recordings;
  std::optional<fs::path> unreadable;  // a folder that could not be listed
  bool stopped = false;                // `stop` was set, or the run cancelled
};

RecordingsFound find_recordings(FileSystem& files, const fs::path& root, const std::atomic<bool>& stop, const Host& host) {
  RecordingsFound out;
  struct Folder {
    fs::path path;
    std::string name;  // CP932 below the root, with a trailing "\" (empty for the root)
  };
  std::vector<Folder> queue = {{root, {}}};
  std::vector<DirEntry> items;
  for (std::size_t k = 0; k < queue.size(); ++k) {
    if (stop.load(std::memory_order_relaxed) || host.cancel_requested()) {
      out.stopped = true;
      return out;
    }
    const Folder folder = queue[k];
    if (!files.list(folder.path, items)) {
      out.unreadable = folder.path;
      return out;
    }
    for (const DirEntry& item : items) {
      const NativeName file_name = native_file_name(item.path);
      const std::optional<std::string> name = cp932_name(file_name);
      // A name the code page cannot hold names no voice: an extra recording,
      // shown as near as it can be.
      std::string shown = folder.name + (name ? *name : names::display_name(fs::path(fs::path::string_type(file_name))));
      if (item.kind == EntryKind::directory) {
        queue.push_back({item.path, std::move(shown) + "\\"});
        continue;
      }
      if (item.kind != EntryKind::file) continue;
      const std::optional<std::string_view> voice = recording_voice_name(name ? std::string_view(*name) : std::string_view(shown));
      if (!voice) continue;
      // Folded character by character: a second byte is no letter.
      std::string folded = name ? std::string(*voice) : std::string();
      lower_ascii_sjis(folded);
      out.recordings.push_back({std::move(shown), std::move(folded)});
    }
  }
  return out;
}

// The take book of the tool folder as a run takes it (take_book_run.h),
// save that the audit, which writes nothing, reads a book another program
// holds open: none is an empty book; one that cannot be read or taken
// gives the run's message. Runs on a thread of its own: it shows nothing.
Result<TakeBook> read_take_book(FileSystem& files, const fs::path& path, const Cp932Decoder& decoder) {
  if (files.kind(path) == EntryKind::missing) return TakeBook{};
  std::string bytes;
  const ReadStatus status = files.read(path, bytes);
  if (status != ReadStatus::ok) return Error{std::string(read_failure_message(status)) + "\r\n収録台帳.xlsx を読み込めませんでした。"};
  Result<std::vector<BookSheet>> sheets = read_book_sheets(bytes, decoder);
  if (!sheets) return Error{sheets.error()};
  return take_book_from_sheets(std::move(*sheets));
}

// A text of the book (UTF-8) on one line of the report: CP932, "?" for
// what the code page lacks, line ends and TABs as spaces.
std::string one_line(std::string_view utf8) {
  std::string text = cp932_lossy(utf8);
  for (std::size_t i = 0; i < text.size(); i += sjis_char_length(text, i)) {
    if (text[i] == '\r' || text[i] == '\n' || text[i] == '\t') text[i] = ' ';
  }
  return text;
}

// A speech (CP932, its lines joined with LF) after a label: its further
// lines indented under its first.
void append_speech(std::string& out, std::string_view label, std::string_view speech) {
  constexpr std::string_view kIndent = "            ";
  out += label;
  if (speech.empty()) speech = "（記録なし）";
  for (std::size_t at = 0;;) {
    const std::size_t end = std::min(speech.find('\n', at), speech.size());
    std::string_view line = speech.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    append_parts(out, {at == 0 ? "" : kIndent, line, "\r\n"});
    if (end == speech.size()) break;
    at = end + 1;
  }
}

class VoiceAuditRun final : public VocarCheckRun {
 public:
  VoiceAuditRun(fs::path recordings, std::optional<fs::path> pickups)
      : recordings_(std::move(recordings)), pickups_(std::move(pickups)) {}

  int check(RunContext& ctx) override;

 private:
  // The voice names of the run's lines, as a run gives them; false when it
  // must stop (the messages shown).
  bool name_lines(RunContext& ctx);
  // Every voice name of the run, ASCII letters folded, in one index.
  void index_voices();
  // The take book merged with the run's voices; false when the book cannot
  // be taken (its message shown).
  bool merge_book(RunContext& ctx, std::optional<Result<TakeBook>> book, const Cp932Decoder& decoder);
  void make_report();
  // The take book's sections, in `body`, and their counts in `summary`;
  // true when a voice's recording was made before its speech changed.
  bool add_take_sections(std::string& body, std::string& summary) const;
  // The pick-up scripts of the audit's view, into pickups_; false when one
  // cannot be written (its message shown).
  bool write_pickups(RunContext& ctx);

  // A voice name of the run with the recordings it has: the first, and the
  // others linked from it in `next_same`.
  struct Voiced {
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    std::uint32_t first = kNone;
    std::uint32_t last = kNone;
    std::uint32_t count = 0;
  };

  fs::path recordings_;
  std::optional<fs::path> pickups_;
  std::vector<FileVoices> files_;
  std::vector<VoiceFileName> names_;
  std::vector<Recording> found_;
  std::optional<FoldedNames> index_;
  std::vector<Voiced> voiced_;
  std::vector<std::uint32_t> line_voice_;  // by line, in run order: into voiced_
  // With the take book, the audit's view: the book merged with the run's
  // voices (row_of_voice by line, in run order), and by line whether it
  // has a recording.
  std::optional<MergedBook> merged_;
  std::vector<bool> recorded_;
};

int VoiceAuditRun::check(RunContext& ctx) {
  Host& host = ctx.host;
  host.progress_set_range(1024);
  // The recordings are found while the scenario is read and numbered.
  std::atomic<bool> stop{false};
  Background<RecordingsFound> walk([&files = ctx.fs, root = recordings_, &stop, &host] { return find_recordings(files, root, stop, host); });
  // However the audit ends, the walk ends with it.
  struct StopWalk {
    std::atomic<bool>& stop;
    ~StopWalk() { stop = true; }
  } stop_walk{stop};
  if (!start(ctx)) return -1;
  // With the take book, the book is read while the scenario is.
  std::unique_ptr<Cp932Decoder> decoder;
  std::unique_ptr<Background<Result<TakeBook>>> book;
  if (settings().track_takes) {
    decoder = std::make_unique<Cp932Decoder>();
    book = std::make_unique<Background<Result<TakeBook>>>(
        [&files = ctx.fs, path = ctx.app.home_path(kTakeBookFile), &decoder = *decoder] { return read_take_book(files, path, decoder); });
  }
  if (!name_lines(ctx)) return -1;
  host.progress_set_count_text("録音 と照合しています。");
  host.progress_set_position(768);
  // The voices are put in order while the recordings are still being found.
  index_voices();
  if (book && !merge_book(ctx, book->get(), *decoder)) return -1;
  std::optional<RecordingsFound> found = walk.get();
  if (!found) throw std::bad_alloc();
  if (found->unreadable) {
    host.message(names::display_name(*found->unreadable) + " フォルダを読み込めませんでした。");
    return -1;
  }
  if (found->stopped) return -1;
  found_ = std::move(found->recordings);
  make_report();
  if (pickups_ && !write_pickups(ctx)) return -1;
  host.progress_set_position(1024);
  return ctx.cancelled() ? -1 : 0;
}

bool VoiceAuditRun::write_pickups(RunContext& ctx) {
  Host& host = ctx.host;
  if (!merged_) {
    host.message("--pickups: 追加収録台本は収録台帳（track_takes=1）から作ります。この設定では作れません。");
    return false;
  }
  host.progress_set_count_text("追加収録台本 を作成しています。");
  FileSystem& files = ctx.fs;
  // The folder, and the folders it stands in.
  std::vector<fs::path> missing;
  for (fs::path dir = *pickups_; !dir.empty() && files.kind(dir) == EntryKind::missing; dir = dir.parent_path()) {
    missing.push_back(dir);
    if (dir == dir.parent_path()) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!files.create_directory(*it)) {
      host.message(cannot_open_message(names::display_name(*it)));
      return false;
    }
  }
  const std::vector<std::vector<OwedVoice>> owed = owed_voices(*merged_, files_, &recorded_);
  PickupWriter writer(characters(), settings(), matcher(), marks());
  std::string source;
  for (std::size_t f = 0; f < owed.size(); ++f) {
    if (owed[f].empty()) continue;
    const ReadStatus status = files.read(ctx.files[ctx.order[f]].path, source);
    if (accept_run_source(ctx, status, source.size()) != BuilderRun::SourceStatus::ok) return false;
    writer.add_file(names_[f].relative_name, std::move(source), owed[f]);
    source = std::string();
  }
  const std::vector<PickupScript> scripts = writer.finish();
  auto place = [&](const std::string& name) -> std::optional<fs::path> {
    Result<fs::path> path = names::to_path(name);
    if (!path) {
      host.message(path.error());
      return std::nullopt;
    }
    return *pickups_ / *path;
  };
  auto write = [&](const fs::path& path, std::string_view bytes) {
    if (files.write(path, bytes)) return true;
    host.message(cannot_open_message(names::display_name(path)));
    return false;
  };
  for (const PickupScript& script : scripts) {
    const Character& character = characters().characters[static_cast<std::size_t>(script.character)];
    const std::optional<fs::path> path = place(pickup_file_name(character.voice_prefix, character.display_name, ".zd"));
    if (!path || !write(*path, script.script)) return false;
  }
  // The workbooks, made in the temporary folder as a run makes them.
  const LocalDate today = local_date();
  std::deque<SessionMarks> reasons;
  const std::vector<PickupBook> books =
      pickup_books(scripts, characters(), pickup_heading(today.year, today.month, today.day), reasons);
  const Cp932Decoder decoder;
  const std::optional<fs::path> scratch = library_files::scratch_folder();
  const std::optional<std::string> scratch_name = scratch ? library_files::library_name(*scratch) : std::nullopt;
  for (const PickupBook& book : books) {
    const std::optional<fs::path> path = place(book.name);
    if (!path) return false;
    ScratchWorkbook made;
    if (scratch_name) {
      made = make_scratch_workbook(files, *scratch, *scratch_name, scratch_name_prefix(this) + "pickup.xlsx",
                                   [&](const WorkbookTarget& target) {
                                     return write_script_workbook(target, book.scripts, decoder,
                                                                  [&] { return ctx.cancelled(); });
                                   });
    }
    if (made.status != WorkbookStatus::written) {
      if (made.status != WorkbookStatus::cancelled) {
        host.message(made.left_behind ? cannot_delete_message(names::display_name(*made.left_behind))
                                      : cannot_open_message(names::display_name(*path)));
      }
      return false;
    }
    if (!write(*path, made.bytes)) return false;
  }
  return true;
}

bool VoiceAuditRun::name_lines(RunContext& ctx) {
  Host& host = ctx.host;
  std::optional<Ledger> ledger;
  if (settings().keep_voice_numbers) {
    // As the run: refused before anything is read, then the ledger.
    if (refuse_shared_file_names(ctx)) return false;
    const fs::path path = ctx.app.home_path(kLedgerFile);
    ledger = ctx.fs.kind(path) == EntryKind::missing ? Ledger{} : take_ledger(host, read_ledger_file(ctx.fs, path));
    if (!ledger) return false;
  }
  host.progress_set_count_text("シナリオ を読み込んでいます。");
  const std::size_t count = ctx.order.size();
  files_.resize(count);
  names_.reserve(count);
  FileWorkers<FileVoices> read(ctx, [&](std::size_t, const std::string& text) {
    FileVoices voices;
    // The take book's merge takes each line's speech.
    scan_voice_lines(text, matcher(), characters(), voices, settings().track_takes ? &marks() : nullptr);
    return voices;
  });
  for (std::size_t k = 0; k < count; ++k) {
    std::optional<FileVoices> voices = read.next();
    if (!voices) return false;
    files_[k] = std::move(*voices);
    const RunFile& file = ctx.files[ctx.order[k]];
    names_.push_back({file.relative_name, file.full_name});
    host.progress_set_file_text(file.relative_name);
    host.progress_set_position(static_cast<int>((k + 1) * 640 / count));
  }
  if (ledger) {
    const std::vector<LedgerScope> scope = ledger_scope(ctx);
    Result<RunVoices> voices =
        name_run_voices(std::move(files_), std::move(names_), std::move(*ledger), {characters(), settings(), scope});
    if (!voices) {
      host.message(voices.error());
      return false;
    }
    files_ = std::move(voices->files);
    names_ = std::move(voices->names);
    return true;
  }
  // Without the ledger: the counters, as every output numbers its lines.
  VoiceNumbering voices(characters(), settings());
  voices.reset_voice_counters();
  char digits[32];
  for (std::size_t k = 0; k < count; ++k) {
    voices.prepare_file(names_[k].full_name, settings().reset_per_file, k);
    for (VoiceLine& line : files_[k].lines) {
      const Voice voice = voices.take_voice(line.character, digits);
      line.voice_name.clear();
      append_parts(line.voice_name, {voice.name[0], voice.name[1], voice.name[2]});
      line.number = voice.number;
    }
  }
  return true;
}

void VoiceAuditRun::index_voices() {
  std::size_t voices = 0;
  for (const FileVoices& file : files_) voices += file.lines.size();
  index_.emplace(voices);
  voiced_.reserve(voices);
  line_voice_.reserve(voices);
  std::string folded;
  for (const FileVoices& file : files_) {
    for (const VoiceLine& line : file.lines) {
      folded.assign(line.voice_name);
      lower_ascii_sjis(folded);
      const std::uint32_t v = index_->find_or_add(folded, static_cast<std::uint32_t>(voiced_.size()));
      if (v == voiced_.size()) voiced_.emplace_back();
      line_voice_.push_back(v);
    }
  }
}

bool VoiceAuditRun::merge_book(RunContext& ctx, std::optional<Result<TakeBook>> book, const Cp932Decoder& decoder) {
  if (!book) throw std::bad_alloc();
  if (!*book) {
    ctx.host.message(book->error());
    return false;
  }
  // As the run merges it; the date is the rows' that leave the scenario,
  // which the audit does not look at.
  const std::vector<RunTake> voices = run_takes(files_, names_, decoder);
  std::vector<TakeScopeEntry> scope;
  for (const LedgerScope& entry : ledger_scope(ctx)) scope.push_back({decoder.utf8(entry.name), entry.folder});
  merged_.emplace(merge_take_book(std::move(**book), {voices, scope, 0}));
  return true;
}

void VoiceAuditRun::make_report() {
  constexpr std::uint32_t kNone = Voiced::kNone;
  FoldedNames& names = *index_;
  std::vector<Voiced>& voiced = voiced_;
  const std::vector<std::uint32_t>& line_voice = line_voice_;
  const std::size_t voices = line_voice.size();
  // The recordings, each to its voice; those of names no line has, to
  // names of their own.
  std::unordered_map<std::string_view, Voiced> extra;
  std::vector<std::uint32_t> next_same(found_.size(), kNone);
  std::vector<std::uint32_t> orphans;
  std::vector<std::uint32_t> doubled;  // the first recordings of voices recorded twice or more
  auto add = [&](Voiced& voice, std::uint32_t r) {
    if (voice.count++ == 0) {
      voice.first = r;
    } else {
      next_same[voice.last] = r;
      if (voice.count == 2) doubled.push_back(voice.first);
    }
    voice.last = r;
  };
  for (std::uint32_t r = 0; r < found_.size(); ++r) {
    const std::string& voice = found_[r].voice;
    const std::uint32_t v = voice.empty() ? kNone : names.find(voice);
    if (v != kNone) {
      add(voiced[v], r);
      continue;
    }
    orphans.push_back(r);
    if (!voice.empty()) add(extra[voice], r);
  }

  std::string missing;
  std::size_t missing_count = 0;
  std::size_t at = 0;
  if (merged_) recorded_.reserve(voices);
  for (std::size_t k = 0; k < files_.size(); ++k) {
    for (const VoiceLine& line : files_[k].lines) {
      const bool has = voiced[line_voice[at++]].count > 0;
      if (merged_) recorded_.push_back(has);
      if (has) continue;
      ++missing_count;
      append_parts(missing, {names_[k].relative_name, "("});
      append_number(missing, line.line);
      append_parts(missing, {"): ", line.voice_name, " ", files_[k].text(line), "\r\n"});
    }
  }
  // Only what is reported is put in order: by name, ASCII letters folded.
  const auto by_name = [&](std::uint32_t a, std::uint32_t b) { return compare_folded(found_[a].name, found_[b].name) < 0; };
  std::sort(orphans.begin(), orphans.end(), by_name);
  std::string orphaned;
  for (std::uint32_t r : orphans) append_parts(orphaned, {found_[r].name, "\r\n"});
  std::vector<std::vector<std::uint32_t>> groups;
  for (std::uint32_t first : doubled) {
    std::vector<std::uint32_t>& group = groups.emplace_back();
    for (std::uint32_t r = first; r != kNone; r = next_same[r]) group.push_back(r);
    std::sort(group.begin(), group.end(), by_name);
  }
  std::sort(groups.begin(), groups.end(), [&](const auto& a, const auto& b) {
    return compare_folded(found_[a.front()].voice, found_[b.front()].voice) < 0;
  });
  std::string duplicates;
  for (const std::vector<std::uint32_t>& group : groups) {
    const std::string file = file_name_part(found_[group.front()].name);
    append_parts(duplicates, {recording_voice_name(file).value_or(""), ": "});
    for (std::size_t g = 0; g < group.size(); ++g) append_parts(duplicates, {g == 0 ? "" : ", ", found_[group[g]].name});
    duplicates += "\r\n";
  }

  std::string body;
  auto section = [&](std::string_view heading, std::size_t count, const std::string& lines) {
    if (count == 0) return;
    append_parts(body, {heading, " ("});
    append_number(body, count);
    append_parts(body, {")\r\n", lines});
  };
  section("■録音のないボイス", missing_count, missing);
  section("■どのボイスにもない録音", orphans.size(), orphaned);
  section("■同じボイスの録音が複数", groups.size(), duplicates);
  const auto n = [](std::size_t v) { return std::to_string(v); };
  std::string summary = "ボイス " + n(voices) + " 件 / 録音あり " + n(voices - missing_count) + " / 録音なし " + n(missing_count) +
                        " / 余分な録音 " + n(orphans.size()) + " / 重複 " + n(groups.size());
  const bool stale = merged_ && add_take_sections(body, summary);
  set_report(std::move(body), summary, missing_count > 0 || stale);
}

bool VoiceAuditRun::add_take_sections(std::string& body, std::string& summary) const {
  const std::vector<VoiceStanding> standings = voice_standings(*merged_, recorded_);
  const std::vector<TakeRow>& rows = merged_->book.rows;
  std::string ok_missing, stale, unmarked;
  std::size_t ok_missing_count = 0, stale_count = 0, unmarked_count = 0;
  // The standings and the lines, both in run order, side by side.
  std::size_t s = 0;
  std::uint32_t voice = 0;
  for (std::size_t k = 0; k < files_.size() && s < standings.size(); ++k) {
    const FileVoices& file = files_[k];
    for (std::size_t i = 0; i < file.lines.size(); ++i, ++voice) {
      if (s == standings.size() || standings[s].voice != voice) continue;
      const VoiceStanding& standing = standings[s++];
      const VoiceLine& line = file.lines[i];
      const TakeRow& row = rows[merged_->row_of_voice[voice]];
      auto place = [&](std::string& out) {
        append_parts(out, {names_[k].relative_name, "("});
        append_number(out, line.line);
        append_parts(out, {"): ", line.voice_name});
      };
      if (!standing.recorded) {
        if (standing.state != TakeState::ok) continue;
        ++ok_missing_count;
        place(ok_missing);
        append_parts(ok_missing, {" ", file.text(line), "\r\n"});
      } else if (standing.state == TakeState::redo) {
        ++stale_count;
        place(stale);
        stale += "\r\n";
        append_speech(stale, "    収録時: ", cp932_lossy(cell_text(row.own[takes::kRecordedText])));
        append_speech(stale, "    現在:   ", i < file.speeches.size() ? std::string_view(file.speeches[i]) : std::string_view());
      } else {
        ++unmarked_count;
        place(unmarked);
        // A status of blanks only is none.
        const std::string status = standing.state == TakeState::open ? std::string("空欄") : one_line(cell_text(row.own[takes::kStatus]));
        append_parts(unmarked, {" ［", status, "］ ", file.text(line), "\r\n"});
      }
    }
  }
  auto section = [&](std::string_view heading, std::size_t count, const std::string& lines) {
    if (count == 0) return;
    append_parts(body, {heading, " ("});
    append_number(body, count);
    append_parts(body, {")\r\n", lines});
  };
  section("■OK なのに録音がないボイス", ok_missing_count, ok_missing);
  section("■録音後に本文が変わったボイス", stale_count, stale);
  section("■OK になっていない録音", unmarked_count, unmarked);
  const auto n = [](std::size_t v) { return std::to_string(v); };
  summary += " / OK で録音なし " + n(ok_missing_count) + " / 録音後の本文変更 " + n(stale_count) + " / OK でない録音 " + n(unmarked_count);
  return stale_count > 0;
}

}  // namespace

std::optional<std::string_view> recording_voice_name(std::string_view file_name) {
  const std::size_t dot = file_name.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const std::string_view extension = file_name.substr(dot + 1);
  for (std::string_view audio : kAudioExtensions) {
    if (compare_folded(extension, audio) == 0) return file_name.substr(0, dot);
  }
  return std::nullopt;
}

TakeState take_state(const CellValue& status) {
  TakeCounts counts;
  count_status(counts, status);
  if (counts.ok != 0) return TakeState::ok;
  if (counts.ng != 0) return TakeState::ng;
  if (counts.hold != 0) return TakeState::hold;
  if (counts.redo != 0) return TakeState::redo;
  if (counts.other != 0) return TakeState::other;
  return TakeState::open;
}

std::vector<VoiceStanding> voice_standings(const MergedBook& merged, const std::vector<bool>& recorded) {
  std::vector<VoiceStanding> out;
  for (std::uint32_t k = 0; k < merged.row_of_voice.size(); ++k) {
    const TakeState state = take_state(merged.book.rows[merged.row_of_voice[k]].own[takes::kStatus]);
    const bool has = k < recorded.size() && recorded[k];
    if (has && state == TakeState::ok) continue;
    out.push_back({k, state, has});
  }
  return out;
}

std::unique_ptr<ReportRun> make_voice_audit(fs::path recordings, std::optional<fs::path> pickups) {
  return std::make_unique<VoiceAuditRun>(std::move(recordings), std::move(pickups));
}

}  // namespace lumeno::scriptbuilder
