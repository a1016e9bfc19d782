// The voice-embedded text: a copy of every scenario file with a voice
// command in front of each numbered line of dialogue.
//
// The room "text" makes the voice-embedded text; it uses only the root
// (the scanner and the numbering, the run's context).
#pragma once

#include <string>
#include <string_view>

#include "scriptbuilder/run_context.h"
#include "scriptbuilder/scanner.h"

namespace lumeno::scriptbuilder {

// command prefix + voice name + command suffix, then CR LF when the command
// stands on a line of its own. Prefix and suffix are text, never a format.
struct VoiceCommand {
  std::string_view prefix;
  std::string_view suffix;
  bool own_line = true;
};

// Appends the voice-embedded copy of `text` to `out`: every line end (CR LF,
// lone CR, lone LF) becomes CR LF, no line end is added at the end, and each
// line of dialogue of a voiced character gets the command with its next voice
// number in front. Everything else is copied byte for byte.
void embed_voice_commands(std::string_view text, const DialogueMatcher& matcher, VoiceNumbering& voices,
                          const VoiceCommand& command, std::string& out);

// The source of one file, kept from file to file so that its memory is
// taken once.
struct VoiceTextBuffers {
  std::string source;
};

// One file, at `position` in the run order: read it, number it, write it as
// ボイス命令埋込済テキスト\ + its relative name. 0 when written, 1 when the
// source could not be read, -1 on any other failure or when the run is
// cancelled.
int write_voice_text(BuilderRun& run, std::size_t position, VoiceTextBuffers& buffers);

// The phase: writes ボイス命令埋込済テキスト. 0, or nonzero when the run must
// stop (its messages shown).
int write_voice_texts(BuilderRun& run);

}  // namespace lumeno::scriptbuilder
