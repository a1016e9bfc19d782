// The voice ledger's part of a run: reading the ledger before anything is
// deleted, the one read of the run's files that names their lines, and,
// once every output is written, the change report and the new ledger.
#include <algorithm>
#include <charconv>
#include <new>
#include <unordered_map>
#include <unordered_set>

#include "scriptbuilder/recording/run_voices.h"
#include "shell/files.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace fs = std::filesystem;

namespace {

void append_place(std::string& out, std::string_view file, std::uint32_t line) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, line).ptr;
  append_parts(out, {file, "(", std::string_view(digits, static_cast<std::size_t>(end - digits)), ")"});
}

}  // namespace

namespace {

// "新規 N / 変更 N / 移動 N / 欠番 N".
std::string counts_text(const VoiceCounts& counts) {
  return "新規 " + std::to_string(counts.added) + " / 変更 " + std::to_string(counts.changed) + " / 移動 " +
         std::to_string(counts.moved) + " / 欠番 " + std::to_string(counts.retired);
}

}  // namespace

std::string voice_counts_line(const VoiceCounts& counts) { return "ボイス番号台帳: " + counts_text(counts); }

std::string voice_change_report(const RunVoices& voices, const CharacterTable& table) {
  const std::vector<LedgerRow>& rows = voices.previous.rows;
  // The groups: voice prefixes in the order of the table's characters, then
  // prefixes no character has any more, in byte order.
  std::unordered_map<std::string_view, std::size_t> rank;
  std::vector<std::string_view> headings;  // the display name of each ranked prefix
  for (const Character& character : table.characters) {
    if (character.voiced() && rank.try_emplace(character.voice_prefix, rank.size()).second) {
      headings.push_back(character.display_name);
    }
  }
  std::vector<std::string_view> gone;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (voices.retired_now[r] && !rank.contains(rows[r].voice_prefix)) gone.push_back(rows[r].voice_prefix);
  }
  std::sort(gone.begin(), gone.end());
  gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
  for (std::string_view prefix : gone) {
    rank.emplace(prefix, rank.size());
    headings.emplace_back();
  }

  struct Entry {
    std::size_t group;
    int kind;  // 0 new, 1 changed, 2 moved, 3 retired: the order within a group
    std::size_t file;
    const VoiceLine* line;
    const LedgerRow* row;
  };
  std::vector<Entry> entries;
  for (std::size_t k = 0; k < voices.files.size(); ++k) {
    for (const VoiceLine& line : voices.files[k].lines) {
      if (line.change == VoiceChange::kept) continue;
      const int kind = line.change == VoiceChange::added ? 0 : line.change == VoiceChange::changed ? 1 : 2;
      const std::string_view prefix = table.characters[static_cast<std::size_t>(line.character)].voice_prefix;
      entries.push_back({rank.at(prefix), kind, k, &line, line.row >= 0 ? &rows[static_cast<std::size_t>(line.row)] : nullptr});
    }
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (voices.retired_now[r]) entries.push_back({rank.at(rows[r].voice_prefix), 3, 0, nullptr, &rows[r]});
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.group != b.group ? a.group < b.group : a.kind < b.kind; });

  std::vector<std::string_view> prefixes(rank.size());
  for (const auto& [prefix, group] : rank) prefixes[group] = prefix;
  static constexpr std::string_view kKinds[] = {"新規", "変更", "移動", "欠番"};
  const VoiceCounts& counts = voices.counts;
  std::string out = "ボイス番号変更リスト\r\n" + counts_text(counts) + "\r\n";
  for (std::size_t e = 0; e < entries.size(); ++e) {
    const Entry& entry = entries[e];
    if (e == 0 || entries[e - 1].group != entry.group) {
      append_parts(out, {"\r\n[", prefixes[entry.group], "]"});
      if (!headings[entry.group].empty()) append_parts(out, {" ", headings[entry.group]});
      out += "\r\n";
    }
    append_parts(out, {kKinds[entry.kind], "\t"});
    if (entry.line == nullptr) {
      append_parts(out, {entry.row->voice_name, "\t"});
      append_place(out, entry.row->file, entry.row->line);
      append_parts(out, {"\t", entry.row->text, "\r\n"});
      continue;
    }
    append_parts(out, {entry.line->voice_name, "\t"});
    append_place(out, voices.names[entry.file].relative_name, entry.line->line);
    append_parts(out, {"\t", voices.files[entry.file].text(*entry.line), "\r\n"});
    if (entry.kind == 1) {
      out += "\t変更前\t";
      append_place(out, entry.row->file, entry.row->line);
      append_parts(out, {"\t", entry.row->text, "\r\n"});
    } else if (entry.kind == 2) {
      out += "\t移動前\t";
      append_place(out, entry.row->file, entry.row->line);
      out += "\r\n";
    }
  }
  return out;
}

std::vector<LedgerScope> ledger_scope(const RunContext& ctx) {
  std::vector<LedgerScope> scope;
  const FileList& list = ctx.app.list;
  for (std::size_t j = 0; j < list.size(); ++j) {
    const ListEntry& entry = list[j];
    if (ctx.selected_only && !entry.selected) continue;
    scope.push_back({entry.name, ctx.fs.kind(entry.path) == EntryKind::directory});
  }
  return scope;
}

bool refuse_shared_file_names(RunContext& ctx) {
  std::unordered_set<std::string_view> names;
  for (const RunFile& file : ctx.files) {
    if (!names.insert(file.relative_name).second) {
      ctx.host.message(format("%s: 同じ名前のファイルが２つあります。ボイス番号台帳はファイルを名前で見分けるため、"
                              "一緒には変換できません。",
                              file.relative_name.c_str()));
      return true;
    }
  }
  return false;
}

LedgerRead read_ledger_file(FileSystem& files, const fs::path& path) {
  std::string bytes;
  const ReadStatus status = files.read(path, bytes);
  if (status != ReadStatus::ok) return LedgerRead{read_failure_message(status), Ledger{}};
  return LedgerRead{{}, parse_ledger(std::move(bytes))};
}

std::optional<Ledger> take_ledger(Host& host, LedgerRead read) {
  if (!read.read_failure.empty()) {
    host.message(read.read_failure);
    host.message("ボイス番号台帳.txt を読み込めませんでした。");
    return std::nullopt;
  }
  if (!read.ledger) {
    host.message(read.ledger.error());
    return std::nullopt;
  }
  return std::move(*read.ledger);
}

VoiceLedgerRun::VoiceLedgerRun(RunContext& ctx, const DialogueMarks* speech_marks) : ctx_(ctx), speech_marks_(speech_marks) {}

// The threads go first: they read what the rest holds.
VoiceLedgerRun::~VoiceLedgerRun() {
  ledger_text_.reset();
  reading_.reset();
}

bool VoiceLedgerRun::start() {
  if (refuse_shared_file_names(ctx_)) return false;
  const fs::path path = ctx_.app.home_path(kLedgerFile);
  if (ctx_.fs.kind(path) == EntryKind::missing) {
    previous_.emplace();
    return true;
  }
  reading_ = std::make_unique<Background<LedgerRead>>([&files = ctx_.fs, path] { return read_ledger_file(files, path); });
  return true;
}

bool VoiceLedgerRun::scan(BuilderRun& run) {
  Host& host = run.host();
  host.progress_set_count_text("ボイス番号台帳 と照合しています。");
  files_.resize(run.file_count());
  names_.reserve(run.file_count());
  std::string text;
  for (std::size_t k = 0; k < run.file_count(); ++k) {
    if (run.cancelled()) return false;
    const RunFile& file = run.file(k);
    if (run.read_source(file, text) != BuilderRun::SourceStatus::ok) return false;
    scan_voice_lines(text, run.matcher, run.characters, files_[k], speech_marks_);
    names_.push_back({file.relative_name, file.full_name});
    host.progress_set_file_text(file.relative_name);
  }
  if (reading_) {
    std::optional<LedgerRead> read = reading_->get();
    reading_.reset();
    if (!read) throw std::bad_alloc();
    std::optional<Ledger> ledger = take_ledger(host, std::move(*read));
    if (!ledger) return false;
    previous_.emplace(std::move(*ledger));
  }
  return !run.cancelled();
}

bool VoiceLedgerRun::name(BuilderRun& run) {
  const std::vector<LedgerScope> scope = ledger_scope(ctx_);
  Result<RunVoices> voices =
      name_run_voices(std::move(files_), std::move(names_), std::move(*previous_), {run.characters, run.settings, scope});
  if (!voices) {
    run.host().message(voices.error());
    return false;
  }
  voices_.emplace(std::move(*voices));
  run.voices.use_run_voices(&voices_->files);
  // The thread keeps its own copy of the cast: the run's may go first.
  ledger_text_ = std::make_unique<Background<std::string>>(
      [this, characters = run.characters] { return ledger_text(*voices_, characters); });
  return true;
}

int VoiceLedgerRun::finish(BuilderRun& run) {
  std::string report(kStaffListFolder);
  report += '\\';
  report += kVoiceChangeReport;
  if (!run.write_output(report, voice_change_report(*voices_, run.characters))) return -1;
  run.host().progress_set_file_text(report);
  std::optional<std::string> ledger = ledger_text_->get();
  if (!ledger) throw std::bad_alloc();
  if (run.cancelled() || !run.write_output(kLedgerFile, std::move(*ledger))) return -1;
  if (!run.finish_writes()) return -1;
  run.host().progress_set_file_text(kLedgerFile);
  return 0;
}

}  // namespace lumeno::scriptbuilder
