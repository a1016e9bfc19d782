#include "scriptbuilder/text/voice_text.h"

#include <algorithm>
#include <new>

#include "shell/files.h"

namespace lumeno::scriptbuilder {

void embed_voice_commands(std::string_view text, const DialogueMatcher& matcher, VoiceNumbering& voices,
                          const VoiceCommand& command, std::string& out) {
  const char* data = text.data();
  const std::size_t n = text.size();
  // Unchanged stretches are copied whole: text[0, copied) is in `out`.
  std::size_t copied = 0;
  auto flush = [&](std::size_t to) {
    out.append(data + copied, to - copied);
    copied = to;
  };
  std::size_t i = 0;  // a line start
  while (i < n) {
    std::size_t end = i;
    if (data[i] != '\r' && data[i] != '\n') {
      std::size_t from = i;
      if (const auto match = matcher.match(text, i)) {
        char digits[32];
        if (const Voice voice = voices.take_voice(match->character, digits)) {
          flush(i);
          append_parts(out, {command.prefix, voice.name[0], voice.name[1], voice.name[2], command.suffix,
                             command.own_line ? std::string_view("\r\n") : std::string_view()});
        }
        // The line goes on after the name: its characters are counted from there.
        from = i + std::min(match->name_length, n - i);
      }
      end = find_line_end(text, from);
      if (end == n) break;
    }
    if (data[end] == '\r' && end + 1 < n && data[end + 1] == '\n') {
      i = end + 2;
    } else {
      // A lone CR or LF becomes CR LF.
      flush(end);
      out += "\r\n";
      copied = i = end + 1;
    }
  }
  flush(n);
}

int write_voice_text(BuilderRun& run, std::size_t position, VoiceTextBuffers& buffers) {
  const RunFile& file = run.file(position);
  try {
    std::string& text = buffers.source;
    switch (run.read_source(file, text)) {
      case BuilderRun::SourceStatus::ok:
        break;
      case BuilderRun::SourceStatus::unreadable:
        return 1;
      case BuilderRun::SourceStatus::too_large:
        return -1;
    }
    run.voices.prepare_file(file.full_name, run.settings.reset_per_file, position);
    std::string out = run.writes.take_buffer();
    out.reserve(text.size() + text.size() / 8 + 256);
    const VoiceCommand command{run.settings.command_prefix, run.settings.command_suffix, run.settings.voice_cr_lf};
    embed_voice_commands(text, run.matcher, run.voices, command, out);
    std::string name(kVoiceTextFolder);
    name += '\\';
    name += file.relative_name;
    if (!run.write_output(name, std::move(out))) return -1;
    run.host().progress_set_file_text(name);
  } catch (const std::bad_alloc&) {
    run.host().message(kMsgNoMemory);
    return -1;
  }
  return run.cancelled() ? -1 : 0;
}

int write_voice_texts(BuilderRun& run) {
  VoiceTextBuffers buffers;
  for (std::size_t k = 0; k < run.file_count() && !run.cancelled(); ++k) {
    if (write_voice_text(run, k, buffers) != 0) return -1;
  }
  return run.cancelled() ? -1 : 0;
}

}  // namespace lumeno::scriptbuilder
