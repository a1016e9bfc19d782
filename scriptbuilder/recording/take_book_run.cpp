#include "scriptbuilder/recording/take_book_run.h"

#include <algorithm>
#include <new>
#include <unordered_set>

#include "scriptbuilder/recording/pickups.h"
#include "scriptbuilder/workbooks/library_files.h"
#include "scriptbuilder/workbooks/scratch_workbook.h"
#include "scriptbuilder/workbooks/script_sheet.h"
#include "scriptbuilder/workbooks/script_workbook.h"
#include "scriptbuilder/workbooks/xlsx_reader.h"
#include "shell/files.h"
#include "shell/local_date.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace fs = std::filesystem;

namespace {

// The lock files a spreadsheet program leaves beside a workbook it has open.
std::vector<std::string> lock_file_names(std::string_view file) {
  return {"~$" + std::string(file), ".~lock." + std::string(file) + "#"};
}

bool ends_with_xlsx(std::string_view name) {
  if (name.size() < 5) return false;
  std::string tail(name.substr(name.size() - 5));
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == ".xlsx";
}

CellValue value_of(const xlsx::Cell& cell) {
  CellValue value;
  switch (cell.kind) {
    case xlsx::CellKind::text: value.kind = CellValue::Kind::text; break;
    case xlsx::CellKind::number: value.kind = CellValue::Kind::number; break;
    case xlsx::CellKind::boolean: value.kind = CellValue::Kind::boolean; break;
    case xlsx::CellKind::date: value.kind = CellValue::Kind::date; break;
    case xlsx::CellKind::error: value.kind = CellValue::Kind::error; break;
  }
  value.text = cell.text;
  value.number = cell.number;
  return value;
}

}  // namespace

Result<std::vector<BookSheet>> read_book_sheets(std::string_view bytes, const Cp932Decoder& decoder) {
  xlsx::ReadResult read = xlsx::read_xlsx(bytes);
  if (!read) return Error{"収録台帳.xlsx を読み込めませんでした（" + xlsx::failure_text(read.failure()) + "）。"};
  std::vector<BookSheet> sheets;
  xlsx::Book& book = *read;
  for (xlsx::Sheet& sheet : book.sheets) {
    BookSheet& out = sheets.emplace_back();
    out.name = std::move(sheet.name);
    out.cells.reserve(sheet.cells.size());
    for (const xlsx::Cell& cell : sheet.cells) out.cells.push_back({cell.row, cell.column, value_of(cell)});
    for (const std::string& lost : sheet.not_kept) out.not_kept.push_back(decoder.utf8(lost));
  }
  // Sheets the reader passed over, and what the book held beyond its
  // sheets, are named on a sheet of their own name for the message.
  for (const xlsx::SkippedSheet& skipped : book.skipped) {
    BookSheet& out = sheets.emplace_back();
    out.name = skipped.name;
    out.skipped = true;
    out.not_kept.push_back(decoder.utf8(skipped.kind));
  }
  if (!book.not_kept.empty()) {
    BookSheet& out = sheets.emplace_back();
    for (const std::string& lost : book.not_kept) out.not_kept.push_back(decoder.utf8(lost));
  }
  return sheets;
}

Result<std::vector<ScriptMark>> read_script_marks(FileSystem& files, const fs::path& folder, const std::string& home_name,
                                                  const Cp932Decoder& decoder) {
  std::vector<ScriptMark> marks;
  if (files.kind(folder) != EntryKind::directory) return marks;
  const std::string contents = decoder.utf8(kContentsSheet);
  std::vector<fs::path> pending{folder};
  std::vector<DirEntry> entries;
  std::string bytes;
  while (!pending.empty()) {
    const fs::path dir = std::move(pending.back());
    pending.pop_back();
    entries.clear();
    if (!files.list(dir, entries)) continue;
    for (const DirEntry& entry : entries) {
      if (entry.kind == EntryKind::directory) {
        pending.push_back(entry.path);
        continue;
      }
      const Result<std::string> name = names::to_name(entry.path.filename());
      if (entry.kind != EntryKind::file || !name || !ends_with_xlsx(*name)) continue;
      const std::string shown = names::display_name(entry.path);
      if (files.held_open(entry.path)) return Error{shown + " が開かれています。閉じてからやり直してください。"};
      const ReadStatus status = files.read(entry.path, bytes);
      if (status != ReadStatus::ok) {
        return Error{shown + " を読み込めませんでした。台本への記入を収録台帳に移せないため、中止します。"};
      }
      xlsx::ReadResult read = xlsx::read_xlsx(bytes);
      if (!read) {
        return Error{shown + " を読み込めませんでした（" + xlsx::failure_text(read.failure()) +
                     "）。台本への記入を収録台帳に移せないため、中止します。記入が要らなければ、このファイルを削除してからやり直してください。"};
      }
      for (const xlsx::Sheet& sheet : read->sheets) {
        if (sheet.name == contents) continue;
        const std::vector<xlsx::Cell>& cells = sheet.cells;
        for (std::size_t k = 0; k < cells.size();) {
          const std::uint32_t row = cells[k].row;
          ScriptMark mark;
          for (; k < cells.size() && cells[k].row == row; ++k) {
            const xlsx::Cell& cell = cells[k];
            if (cell.column == 0 && cell.kind == xlsx::CellKind::text) mark.voice = cell.text;
            if (cell.column == 3) mark.status = value_of(cell);
            if (cell.column == 4) mark.notes = value_of(cell);
            if (cell.column == kShownStatusColumn) mark.shown_status = value_of(cell);
            if (cell.column == kShownStatusColumn + 1u) mark.shown_notes = value_of(cell);
          }
          if (!mark.voice.empty() && (!mark.status.empty() || !mark.notes.empty())) marks.push_back(std::move(mark));
        }
      }
    }
  }
  (void)home_name;
  return marks;
}

std::vector<RunTake> run_takes(std::span<const FileVoices> files, std::span<const VoiceFileName> names, const Cp932Decoder& decoder) {
  std::size_t count = 0;
  for (const FileVoices& file : files) count += file.lines.size();
  std::vector<RunTake> takes;
  takes.reserve(count);
  for (std::size_t k = 0; k < files.size(); ++k) {
    const FileVoices& file = files[k];
    const std::string file_name = k < names.size() ? decoder.utf8(names[k].relative_name) : std::string();
    for (std::size_t i = 0; i < file.lines.size(); ++i) {
      const VoiceLine& line = file.lines[i];
      RunTake& take = takes.emplace_back();
      take.voice = decoder.utf8(line.voice_name);
      take.character = line.character;
      take.file = file_name;
      take.line = line.line;
      take.file_position = static_cast<std::uint32_t>(k);
      if (i >= file.speeches.size()) continue;
      take.text = decoder.utf8(file.speeches[i]);
      // The most a cell holds; a speech that long is cut the same way every time.
      std::size_t characters = 0;
      for (std::size_t b = 0; b < take.text.size(); ++b) {
        if ((static_cast<unsigned char>(take.text[b]) & 0xC0) != 0x80 && ++characters > kMaxCellCharacters - 1) {
          take.text.resize(b);
          take.text += "\xE2\x80\xA6";  // "…"
          break;
        }
      }
    }
  }
  return takes;
}

TakeBookRun::TakeBookRun(RunContext& ctx) : ctx_(ctx), decoder_(std::make_unique<Cp932Decoder>()) {}

// The threads go first: they read what the rest holds.
TakeBookRun::~TakeBookRun() {
  making_.reset();
  reading_.reset();
}

bool TakeBookRun::start() {
  const fs::path book = ctx_.app.home_path(kTakeBookFile);
  bool open = ctx_.fs.held_open(book);
  for (const std::string& lock : lock_file_names(kTakeBookFile)) {
    if (ctx_.fs.kind(ctx_.app.home_path(lock)) != EntryKind::missing) open = true;
  }
  if (open) {
    ctx_.host.message(kMsgTakeBookOpen);
    return false;
  }
  reading_ = std::make_unique<Background<Reading>>([this] { return read(); });
  return true;
}

TakeBookRun::Reading TakeBookRun::read() const {
  Reading out;
  const fs::path path = ctx_.app.home_path(kTakeBookFile);
  if (ctx_.fs.kind(path) != EntryKind::missing) {
    out.exists = true;
    const ReadStatus status = ctx_.fs.read(path, out.bytes);
    if (status != ReadStatus::ok) {
      out.message = std::string(read_failure_message(status)) + "\r\n収録台帳.xlsx を読み込めませんでした。";
      return out;
    }
    Result<std::vector<BookSheet>> sheets = read_book_sheets(out.bytes, *decoder_);
    if (!sheets) {
      out.message = sheets.error();
      return out;
    }
    Result<TakeBook> book = take_book_from_sheets(std::move(*sheets));
    if (!book) {
      out.message = book.error();
      return out;
    }
    out.book.emplace(std::move(*book));
  } else {
    out.book.emplace();
  }
  Result<std::vector<ScriptMark>> marks =
      read_script_marks(ctx_.fs, ctx_.app.home_path(kScriptFolder), std::string(kScriptFolder), *decoder_);
  if (!marks) {
    out.message = marks.error();
    return out;
  }
  out.marks = std::move(*marks);
  return out;
}

bool TakeBookRun::take(BuilderRun& run) {
  run.host().progress_set_count_text("収録台帳 を読み込んでいます。");
  std::optional<Reading> reading = reading_->get();
  reading_.reset();
  if (!reading) throw std::bad_alloc();
  if (!reading->message.empty()) {
    run.host().message(reading->message);
    return false;
  }
  read_.emplace(std::move(*reading));
  return !run.cancelled();
}

bool TakeBookRun::merge(BuilderRun& run, const RunVoices& voices) {
  const Cp932Decoder& decoder = *decoder_;
  run_voices_ = &voices;
  // The run's voices, in run order.
  voices_ = run_takes(voices.files, voices.names, decoder);
  std::unordered_set<std::string> in_run;
  for (const RunTake& take : voices_) in_run.insert(take.voice);
  TakeBook book = std::move(*read_->book);
  // Marks for voices neither the book nor the run knows stay out.
  std::vector<ScriptMark> marks;
  {
    std::unordered_set<std::string_view> in_book;
    for (const TakeRow& row : book.rows) in_book.insert(row.voice());
    for (ScriptMark& mark : read_->marks) {
      if (in_book.contains(mark.voice) || in_run.contains(mark.voice)) marks.push_back(std::move(mark));
    }
  }
  carried_ = carry_script_marks(book, marks);

  std::vector<TakeScopeEntry> scope;
  for (const LedgerScope& entry : ledger_scope(ctx_)) scope.push_back({decoder.utf8(entry.name), entry.folder});
  merged_.emplace(merge_take_book(std::move(book), {voices_, scope, date_serial(local_date())}));

  // The characters' sheets.
  SheetNames names;
  names.reserve(std::string(takes::summary_sheet()));
  names.reserve(std::string(takes::retired_sheet()));
  for (const Character& character : run.characters.characters) {
    sheet_names_.push_back(character.voiced() ? names.add(decoder.utf8(character.display_name)) : std::string());
  }
  for (std::size_t k = 0; k < voices_.size(); ++k) {
    const TakeRow& row = merged_->book.rows[merged_->row_of_voice[k]];
    Result<std::string> voice = names::cp932_from_utf8(voices_[k].voice);
    if (!voice) continue;
    session_marks_[*voice] = {cell_text(row.own[takes::kStatus]), cell_text(row.own[takes::kNotes])};
  }

  // The new book is made while the outputs are written.
  making_ = std::make_unique<Background<Made>>([this, characters = run.characters] {
    Made made;
    const TakeBookTables tables = take_book_sheets(*merged_, characters, sheet_names_, voices_);
    const std::optional<fs::path> scratch = library_files::scratch_folder();
    const std::optional<std::string> scratch_name = scratch ? library_files::library_name(*scratch) : std::nullopt;
    ScratchWorkbook workbook;
    if (scratch_name) {
      workbook = make_scratch_workbook(ctx_.fs, *scratch, *scratch_name, scratch_name_prefix(this) + "takes.xlsx",
                                       [&](const WorkbookTarget& target) {
                                         return write_table_workbook(target, tables.sheets,
                                                                     [this] { return ctx_.host.cancel_requested(); });
                                       });
    }
    if (workbook.status == WorkbookStatus::cancelled) {
      made.cancelled = true;
    } else if (workbook.status != WorkbookStatus::written) {
      made.message = workbook.left_behind ? cannot_delete_message(names::display_name(*workbook.left_behind))
                                          : cannot_open_message(names::display_name(ctx_.app.home_path(kTakeBookFile)));
    } else {
      made.bytes = std::move(workbook.bytes);
    }
    return made;
  });
  return true;
}

bool TakeBookRun::write_pickups(BuilderRun& run, ScriptWorkbooks* workbooks) {
  const std::string folder = std::string(kScriptFolder) + "\\" + std::string(kPickupFolder) + "\\";
  // The folder stands even when nobody owes anything.
  if (!run.writes.submit_folder(run.ctx.app.home_path(folder.substr(0, folder.size() - 1)))) {
    run.writes.show_failure(run.host());
    return false;
  }
  // What is owed, file by file.
  const std::vector<std::vector<OwedVoice>> owed = owed_voices(*merged_, run_voices_->files);
  PickupWriter writer(run.characters, run.settings, run.matcher, *run.marks);
  std::string source;
  for (std::size_t f = 0; f < owed.size(); ++f) {
    if (owed[f].empty()) continue;
    if (run.cancelled()) return false;
    if (run.read_source(run.file(f), source) != BuilderRun::SourceStatus::ok) return false;
    writer.add_file(run.file(f).relative_name, std::move(source), owed[f]);
    source = std::string();
  }
  const std::vector<PickupScript> scripts = writer.finish();
  const LocalDate today = local_date();
  if (workbooks) {
    for (PickupBook& book : pickup_books(scripts, run.characters, pickup_heading(today.year, today.month, today.day), pickup_reasons_)) {
      for (WorkbookScript& script : book.scripts) workbooks->add(folder + book.name, std::move(script));
    }
  }
  for (const PickupScript& script : scripts) {
    const Character& character = run.characters.characters[static_cast<std::size_t>(script.character)];
    const std::string name = folder + pickup_file_name(character.voice_prefix, character.display_name, ".zd");
    if (!run.write_output(name, script.script)) return false;
    run.host().progress_set_file_text(name);
  }
  return !run.cancelled();
}

int TakeBookRun::finish(BuilderRun& run) {
  std::optional<Made> made = making_->get();
  making_.reset();
  if (!made) throw std::bad_alloc();
  if (made->cancelled || run.cancelled()) return -1;
  if (!made->message.empty()) {
    run.host().message(made->message);
    run.host().request_cancel();
    return -1;
  }
  if (read_->exists && !run.write_output(kTakeBookBackup, std::move(read_->bytes))) return -1;
  if (!run.write_output(kTakeBookFile, std::move(made->bytes)) || !run.finish_writes()) return -1;
  run.host().progress_set_file_text(kTakeBookFile);
  return 0;
}

std::string TakeBookRun::completion_lines() const {
  std::string out = take_counts_line(merged_->counts);
  if (carried_ > 0) out += "\n台本への記入を収録台帳に取り込みました: " + std::to_string(carried_) + " 件";
  if (!merged_->book.not_carried.empty()) {
    std::string lost;
    for (const std::string& what : merged_->book.not_carried) {
      if (!lost.empty()) lost += "、";
      lost += cp932_lossy(what);
    }
    out += "\n収録台帳に引き継がなかったもの（収録台帳.bak.xlsx に残っています）: " + lost;
  }
  return out;
}

}  // namespace lumeno::scriptbuilder
