// The voice-actor scripts (声優用台本): one script a voiced character and
// file, and the all-character script.
#include "scriptbuilder/scripts/voice_scripts.h"

#include <new>
#include <vector>

#include "shell/files.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

void write_row_text(const ScriptSource& file, const ScriptRow& row, std::uint32_t wrap, std::uint32_t wraps_end,
                    ScriptBody& body) {
  const std::string_view text = file.text;
  std::uint32_t at = row.text_begin;
  for (; wrap < wraps_end; ++wrap) {
    const std::uint32_t to = file.wraps[wrap];
    body.append(text.substr(at, to - at));
    body.line_end();
    body.append("\t\t");
    at = to;
  }
  body.append(text.substr(at, row.end - at));
}

std::size_t write_script_rows(const ScriptSource& file, int character, bool dialogue_only, VoiceNumbering& voices,
                              ScriptBody& body, std::vector<std::uint32_t>* speech_lines) {
  const std::string_view source = file.source;
  const bool all = character == kAllCharacters;
  // A name middle taken from a file name may hold a line end; the layout
  // then counts it as one.
  const bool middle_has_line_end = voices.name_middle().find_first_of("\r\n") != std::string::npos;
  std::size_t numbered = 0;

  auto is_own = [&](int speaker) { return all ? voices.counter(speaker) >= 0 : speaker == character; };
  char digits[32];
  auto take_voice = [&](int speaker) {
    const Voice voice = voices.take_voice(speaker, digits);
    if (voice && voices.exceeds_digits(voice.number)) voices.overflow = true;
    ++numbered;
    return voice;
  };
  auto write_text = [&](const ScriptRow& row, std::uint32_t wrap, std::uint32_t wraps_end) {
    write_row_text(file, row, wrap, wraps_end, body);
  };

  for (const ScriptRow& row : file.rows) {
    const std::string_view name = source.substr(row.name_at, row.name_length);
    bool own = false;
    if (row.speaker >= 0 && is_own(row.speaker)) {
      own = true;
      if (speech_lines) speech_lines->push_back(dialogue_only ? 0 : row.speech_rows);
      const Voice voice = take_voice(row.speaker);
      body.line_end();
      for (std::string_view part : voice.name) {
        if (middle_has_line_end) {
          body.write(part);
        } else {
          body.append(part);
        }
      }
      body.append("\t");
      body.append(name);
      body.append("\t");
      write_text(row, row.own_wraps, row.other_wraps);
    } else if (dialogue_only) {
      // Only the numbered lines: nothing of this row, its line end included.
    } else if (row.speaker >= 0) {
      body.line_end();
      body.append("\t");
      body.append(name);
      body.append("\t");
      write_text(row, row.other_wraps, row.wraps_end);
    } else if (!row.empty()) {
      body.append("\t \t");
      write_text(row, row.other_wraps, row.wraps_end);
    }
    if (row.line_end && (own || !dialogue_only)) {
      if (own) body.line_end();
      body.line_end();
    }
    // Lines a command swallowed keep their numbers.
    for (std::uint32_t k = row.swallowed_begin; k < row.swallowed_end; ++k) {
      if (is_own(file.swallowed[k])) take_voice(file.swallowed[k]);
    }
  }
  body.finish();
  return numbered;
}

void append_script_header(std::string& out, std::string_view voice_prefix, std::string_view display_name, int frame) {
  append_parts(out, {voice_prefix, "\r\n", display_name, "\r\n", std::to_string(frame % 2), "\r\n"});
}

std::string script_file_name(std::string_view voice_prefix, std::string_view display_name, std::string_view relative_name,
                             std::string_view extension) {
  std::string name;
  append_parts(name, {kScriptFolder, "\\[", voice_prefix, "]", display_name, "\\", folder_part(relative_name),
                      base_name_part(relative_name), extension});
  return name;
}

namespace {

// False when a component of the name is "..": a voice prefix or display
// name would lead the script out of its folder.
bool stays_below(std::string_view name) {
  std::size_t component = 0;
  for (std::size_t i = 0; i <= name.size();) {
    const bool end = i == name.size();
    if (end || name[i] == '\\' || name[i] == '/') {
      if (name.substr(component, i - component) == "..") return false;
      component = i + 1;
      ++i;
      continue;
    }
    i += sjis_char_length(name, i);
  }
  return true;
}

// Writes one script; false (its message shown, the run cancelled) when it
// cannot be written.
bool write_script(BuilderRun& run, std::string_view voice_prefix, std::string_view display_name, const RunFile& file,
                  std::string bytes, const std::vector<std::uint32_t>& speech_lines) {
  const std::string name = script_file_name(voice_prefix, display_name, file.relative_name, ".zd");
  if (!stays_below(name)) {
    run.host().message(cannot_open_message(names::display_name(run.ctx.app.home_path(name))));
    run.host().request_cancel();
    return false;
  }
  if (run.workbooks) run.workbooks->add_script(voice_prefix, display_name, file.relative_name, bytes, speech_lines);
  if (!run.write_output(name, std::move(bytes))) return false;
  run.host().progress_set_file_text(script_file_name(voice_prefix, display_name, file.relative_name, ".xls"));
  return true;
}

int write_scripts(BuilderRun& run) {
  if (!run.writes.submit_folder(run.ctx.app.home_path(kScriptFolder))) {
    run.writes.show_failure(run.host());
    return -1;
  }
  const BuilderSettings& settings = run.settings;
  const std::vector<Character>& characters = run.characters.characters;
  std::vector<int> voiced;
  for (std::size_t c = 0; c < characters.size(); ++c) {
    if (run.voices.counter(static_cast<int>(c)) >= 0) voiced.push_back(static_cast<int>(c));
  }
  const bool all_pass = settings.script_all_characters && run.file_count() > 0;
  if (voiced.empty() && !all_pass) return run.cancelled() ? -1 : 0;

  // Each character's counter moves only in its own scripts, so the files can
  // be taken one at a time for all characters. The all-character script
  // numbers every voiced character afresh, with counters of its own.
  VoiceNumbering& voices = run.voices;
  VoiceNumbering all_voices(voices);
  all_voices.reset_voice_counters();
  const PageOptions pages{settings.keep_dialogue_on_page, settings.keep_direction_on_page,
                          settings.keep_other_dialogue_on_page};
  const int frame = run.ctx.app.settings.get_int(kScriptFrameDialogue);

  // The workbooks frame each own line's whole speech.
  const bool speeches = run.workbooks != nullptr && run.marks != nullptr;
  std::vector<std::uint32_t> speech_lines;
  std::vector<std::uint32_t>* const speech_lines_out = speeches ? &speech_lines : nullptr;

  ScriptSource file;
  std::string out;
  std::vector<char> speaks(characters.size());
  for (std::size_t k = 0; k < run.file_count(); ++k) {
    if (run.cancelled()) break;
    const RunFile& run_file = run.file(k);
    if (run.read_source(run_file, file.source) != BuilderRun::SourceStatus::ok) return -1;
    voices.prepare_file(run_file.full_name, settings.reset_per_file, k);
    all_voices.prepare_file(run_file.full_name, settings.reset_per_file, k);
    prepare_script_source(file, settings.script_strip_commands, run.matcher);
    if (speeches) count_speech_rows(file, *run.marks, run.matcher);

    // A character without a line in the file has no script of it.
    std::fill(speaks.begin(), speaks.end(), 0);
    for (const ScriptRow& row : file.rows) {
      if (row.speaker >= 0) speaks[static_cast<std::size_t>(row.speaker)] = 1;
    }
    for (std::int32_t speaker : file.swallowed) speaks[static_cast<std::size_t>(speaker)] = 1;

    for (int c : voiced) {
      if (run.cancelled()) return -1;
      if (!speaks[static_cast<std::size_t>(c)]) continue;
      const Character& character = characters[static_cast<std::size_t>(c)];
      const std::int64_t snapshot = voices.counter(c);
      out.clear();
      append_script_header(out, character.voice_prefix, character.display_name, frame);
      ScriptBody body(out, pages);
      speech_lines.clear();
      write_script_rows(file, c, false, voices, body, speech_lines_out);
      if (voices.counter(c) <= snapshot) continue;
      if (!write_script(run, character.voice_prefix, character.display_name, run_file, std::move(out), speech_lines)) {
        return -1;
      }
      out = run.writes.take_buffer();
    }
    if (all_pass) {
      if (run.cancelled()) return -1;
      out.clear();
      append_script_header(out, kAllCharactersHeading, kAllCharactersHeading, frame);
      ScriptBody body(out, pages);
      speech_lines.clear();
      const std::size_t numbered = write_script_rows(file, kAllCharacters, settings.all_characters_dialogue_only,
                                                     all_voices, body, speech_lines_out);
      if (all_voices.overflow) voices.overflow = true;
      if (numbered > 0) {
        if (!write_script(run, kAllCharactersFolder, "", run_file, std::move(out), speech_lines)) return -1;
        out = run.writes.take_buffer();
      }
    }
  }
  return run.cancelled() ? -1 : 0;
}

}  // namespace

int write_voice_actor_scripts(BuilderRun& run) {
  try {
    return write_scripts(run);
  } catch (const std::bad_alloc&) {
    run.host().message(kMsgNoMemory);
    run.host().request_cancel();
    return -1;
  }
}

}  // namespace lumeno::scriptbuilder
