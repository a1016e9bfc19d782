#include "scriptbuilder/recording/pickups.h"

#include <algorithm>
#include <memory>

#include "scriptbuilder/scripts/voice_script_layout.h"
#include "scriptbuilder/scripts/voice_script_source.h"
#include "scriptbuilder/scripts/voice_scripts.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

std::string u8s(std::u8string_view text) { return {reinterpret_cast<const char*>(text.data()), text.size()}; }

// The reason with the director's note, when there is one.
std::string with_note(std::string_view what, const TakeRow& row) {
  std::string out(what);
  const std::string note = cell_text(row.own[takes::kNotes]);
  if (!note.empty()) out += u8s(u8"：") + note;
  return out;
}

}  // namespace

std::optional<std::string> owed_reason(const TakeRow& row, std::optional<bool> recorded) {
  const std::string status = cell_text(row.own[takes::kStatus]);
  TakeCounts kind;
  count_status(kind, row.own[takes::kStatus]);
  if (kind.open > 0) return std::string(takes::change_new());
  if (kind.ng > 0) return with_note("NG", row);
  if (kind.hold > 0) return with_note(takes::status_hold(), row);
  if (kind.redo > 0) {
    // On one line, as the cell prints: the recorded speech's lines joined by "／".
    const std::string as_recorded = cell_text(row.own[takes::kRecordedText]);
    std::string joined;
    for (char c : as_recorded) {
      if (c == '\n') {
        joined += u8s(u8"／");
      } else {
        joined += c;
      }
    }
    return std::string(takes::change_text()) + u8s(u8"（収録時：") + joined + u8s(u8"）");
  }
  if (kind.ok > 0 && recorded.has_value() && !*recorded) return u8s(u8"OK（録音なし）");
  return std::nullopt;
}

// A character's script while its files come in.
struct PickupWriter::Open {
  Open(std::string header, PageOptions pages) : script(std::move(header)), body(script, pages) {}
  std::string script;
  ScriptBody body;
  std::vector<std::uint32_t> speech_lines;
  SessionMarks reasons;
};

PickupWriter::PickupWriter(const CharacterTable& characters, const BuilderSettings& settings, const DialogueMatcher& matcher,
                           const DialogueMarks& marks)
    : characters_(characters), settings_(settings), matcher_(matcher), marks_(marks) {
  open_.resize(characters.characters.size());
}

PickupWriter::~PickupWriter() = default;

void PickupWriter::add_file(std::string_view relative_name, std::string source, std::span<const OwedVoice> owed) {
  if (owed.empty()) return;
  ScriptSource file;
  file.source = std::move(source);
  prepare_script_source(file, settings_.script_strip_commands, matcher_);
  count_speech_rows(file, marks_, matcher_);
  const std::string_view src = file.source;

  // Where each line of the source begins, and the row a line begins.
  std::vector<std::size_t> line_starts{0};
  for (std::size_t i = 0; i < src.size();) {
    const std::size_t end = find_line_end(src, i);
    if (end >= src.size()) break;
    i = end + line_break_length(src, end);
    line_starts.push_back(i);
  }
  auto row_of_line = [&](std::uint32_t line) -> std::optional<std::size_t> {
    if (line == 0 || line > line_starts.size()) return std::nullopt;
    const std::size_t at = line_starts[line - 1];
    const auto it = std::lower_bound(file.rows.begin(), file.rows.end(), at,
                                     [](const ScriptRow& row, std::size_t pos) { return row.source_begin < pos; });
    if (it == file.rows.end() || it->source_begin != at || it->speaker < 0) return std::nullopt;
    return static_cast<std::size_t>(it - file.rows.begin());
  };
  auto write_text = [&](ScriptBody& body, const ScriptRow& row, std::uint32_t wrap, std::uint32_t wraps_end) {
    write_row_text(file, row, wrap, wraps_end, body);
  };
  const PageOptions pages{settings_.keep_dialogue_on_page, settings_.keep_direction_on_page, settings_.keep_other_dialogue_on_page};
  // The owed lines are framed whatever the scripts do: they are what the
  // session is for.
  const int frame = 1;
  std::vector<bool> headed(characters_.characters.size(), false);

  for (const OwedVoice& voice : owed) {
    const auto c = static_cast<std::size_t>(voice.character);
    if (c >= open_.size()) continue;
    const std::optional<std::size_t> r = row_of_line(voice.line);
    if (!r) continue;  // a line a command swallowed has no row to show
    if (!open_[c]) {
      const Character& character = characters_.characters[c];
      std::string header;
      append_script_header(header, character.voice_prefix, character.display_name, frame);
      open_[c] = std::make_unique<Open>(std::move(header), pages);
    }
    Open& open = *open_[c];
    ScriptBody& body = open.body;
    if (!headed[c]) {
      headed[c] = true;
      body.line_end();
      body.append("\t \t■");
      body.append(relative_name);
      body.line_end();
    }
    // A line of dialogue as a row: voice name, speaker, then its text.
    auto write_line = [&](std::string_view voice_name, const ScriptRow& line, auto from, auto to) {
      body.line_end();
      body.append(voice_name);
      body.append("\t");
      body.append(src.substr(line.name_at, line.name_length));
      body.append("\t");
      write_text(body, line, from, to);
      body.line_end();
    };
    const ScriptRow& row = file.rows[*r];
    // The cue: the nearest earlier line of dialogue.
    std::size_t cue = *r;
    while (cue > 0 && file.rows[cue - 1].speaker < 0) --cue;
    if (cue > 0) {
      const ScriptRow& line = file.rows[cue - 1];
      write_line("", line, line.other_wraps, line.wraps_end);
    }
    // The owed voice, and the further lines of its speech.
    write_line(voice.voice, row, row.own_wraps, row.other_wraps);
    body.line_end();
    std::uint32_t further = 0;
    for (std::size_t next = *r + 1; next < file.rows.size() && further < row.speech_rows; ++next) {
      const ScriptRow& line = file.rows[next];
      if (line.empty()) continue;
      body.append("\t \t");
      write_text(body, line, line.other_wraps, line.wraps_end);
      body.line_end();
      ++further;
    }
    open.speech_lines.push_back(further);
    open.reasons[voice.voice] = {std::string(), voice.reason};
  }
}

std::vector<PickupScript> PickupWriter::finish() {
  std::vector<PickupScript> out;
  for (std::size_t c = 0; c < open_.size(); ++c) {
    if (!open_[c]) continue;
    Open& open = *open_[c];
    open.body.finish();
    PickupScript& script = out.emplace_back();
    script.character = static_cast<std::int32_t>(c);
    script.script = std::move(open.script);
    script.speech_lines = std::move(open.speech_lines);
    script.reasons = std::move(open.reasons);
    open_[c].reset();
  }
  return out;
}

std::vector<std::vector<OwedVoice>> owed_voices(const MergedBook& merged, std::span<const FileVoices> files,
                                                const std::vector<bool>* recorded) {
  std::vector<std::vector<OwedVoice>> owed(files.size());
  std::size_t k = 0;
  for (std::size_t f = 0; f < files.size(); ++f) {
    for (const VoiceLine& line : files[f].lines) {
      const std::size_t voice = k++;
      if (voice >= merged.row_of_voice.size()) continue;
      const TakeRow& row = merged.book.rows[merged.row_of_voice[voice]];
      const std::optional<bool> has =
          recorded == nullptr ? std::nullopt : std::optional<bool>(voice < recorded->size() && (*recorded)[voice]);
      std::optional<std::string> reason = owed_reason(row, has);
      if (reason) owed[f].push_back({f, line.line, line.character, line.voice_name, std::move(*reason)});
    }
  }
  return owed;
}

std::vector<PickupBook> pickup_books(const std::vector<PickupScript>& scripts, const CharacterTable& characters,
                                     std::string_view heading, std::deque<SessionMarks>& reasons) {
  std::vector<PickupBook> books;
  if (scripts.empty()) return books;
  books.push_back({pickup_file_name({}, {}, ".xlsx"), {}});
  for (const PickupScript& script : scripts) {
    const Character& character = characters.characters[static_cast<std::size_t>(script.character)];
    const SessionMarks& marks = reasons.emplace_back(script.reasons);
    WorkbookScript copy{character.display_name, script.script, script.speech_lines, std::string(heading), true, &marks};
    books.front().scripts.push_back(copy);
    books.push_back({pickup_file_name(character.voice_prefix, character.display_name, ".xlsx"), {std::move(copy)}});
  }
  return books;
}

std::string pickup_file_name(std::string_view voice_prefix, std::string_view display_name, std::string_view extension) {
  std::string name;
  if (voice_prefix.empty() && display_name.empty()) {
    append_parts(name, {kPickupAllCharacters, extension});
  } else {
    append_parts(name, {"[", voice_prefix, "]", display_name, extension});
  }
  return name;
}

std::string pickup_heading(int year, int month, int day) { return format("追加収録 %04d/%02d/%02d", year, month, day); }

}  // namespace lumeno::scriptbuilder
