#include "scriptbuilder/voice_text.h"

#include <algorithm>
#include <new>

#include "shell/files.h"

namespace lumeno::scriptbuilder {

void embed_voice_commands(std::string_view text, const DialogueMatcher& matcher, VoiceNumbering& voices,
                          const VoiceCommand& command, std::string& out) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    if (text[i] != '\r' && text[i] != '\n') {
      if (const auto match = matcher.match(text, i)) {
        const std::int64_t number = voices.take_voice_number(match->character);
        if (number >= 0) {
          out += command.prefix;
          voices.append_voice_name(out, match->character, number);
          out += command.suffix;
          if (command.own_line) out += "\r\n";
        }
        const std::size_t name_end = i + std::min(match->name_length, n - i);
        out.append(text.data() + i, name_end - i);
        i = name_end;
      }
      const std::size_t end = find_line_end(text, i);
      out.append(text.data() + i, end - i);
      i = end;
    }
    const std::size_t brk = line_break_length(text, i);
    if (brk == 0) break;
    out += "\r\n";
    i += brk;
  }
}

int write_voice_text(BuilderRun& run, const RunFile& file) {
  try {
    std::string text;
    switch (run.read_source(file, text)) {
      case BuilderRun::SourceStatus::ok:
        break;
      case BuilderRun::SourceStatus::unreadable:
        return 1;
      case BuilderRun::SourceStatus::too_large:
        return -1;
    }
    run.voices.prepare_file(file.full_name, run.settings.reset_per_file);
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 256);
    const VoiceCommand command{run.settings.command_prefix, run.settings.command_suffix, run.settings.voice_cr_lf};
    embed_voice_commands(text, run.matcher, run.voices, command, out);
    text = std::string();
    std::string name(kVoiceTextFolder);
    name += '\\';
    name += file.relative_name;
    if (!run.write_output(name, out)) return -1;
    run.host().progress_set_file_text(name);
  } catch (const std::bad_alloc&) {
    run.host().message(kMsgNoMemory);
    return -1;
  }
  return run.cancelled() ? -1 : 0;
}

int write_voice_texts(BuilderRun& run) {
  for (std::size_t k = 0; k < run.file_count() && !run.cancelled(); ++k) {
    if (write_voice_text(run, run.file(k)) != 0) return -1;
  }
  return run.cancelled() ? -1 : 0;
}

}  // namespace lumeno::scriptbuilder
