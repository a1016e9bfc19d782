// The run's voice names, file by file: every dialogue line of a voiced
// character with the voice name it carries in every output. Made once a run
// when the voice ledger keeps the numbers (run_voices.h); the outputs then
// take each line's name from here instead of from the counters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumeno::scriptbuilder {

// How a line came by its voice name, measured against the ledger.
enum class VoiceChange : std::uint8_t {
  kept,     // its text stands in its file as before (in its place or elsewhere in the file)
  changed,  // new text in the place of a ledger line: the ledger line's name
  moved,    // the text of a ledger line of another file: that line's name
  added,    // none of these: a new number
};

struct VoiceLine {
  std::uint32_t line = 0;       // in its file, from 1
  std::int32_t character = -1;  // the speaker: index into the character table
  // The source line (without its line end) in FileVoices::texts. CR and LF
  // bytes inside it (the second byte of a broken double-byte character) are
  // kept there as "?", the form the ledger holds and compares.
  std::uint32_t text_at = 0;
  std::uint32_t text_size = 0;
  std::string voice_name;
  // The name's number; 0 for a kept name that is not in the form the run's
  // settings give (its number is then not tested for width).
  std::int64_t number = 0;
  VoiceChange change = VoiceChange::added;
  std::int32_t row = -1;              // the ledger row whose name it keeps; -1 for a new line
  std::int32_t next_of_speaker = -1;  // the speaker's next line in the file; -1 after its last
};

struct FileVoices {
  std::string texts;
  std::vector<VoiceLine> lines;  // in line order
  // By line, when the run keeps a take book: the line's whole speech as an
  // actor reads it (speech.h's speech_text, CP932).
  std::vector<std::string> speeches;

  std::string_view text(const VoiceLine& line) const {
    return std::string_view(texts).substr(line.text_at, line.text_size);
  }
};

}  // namespace lumeno::scriptbuilder
