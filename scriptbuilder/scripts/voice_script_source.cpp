#include "scriptbuilder/scripts/voice_script_source.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "scriptbuilder/speech.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

enum ByteKind : unsigned char { kPlain, kLead, kSpecial };

// The wraps of text[from, to) at `width`: after each character with which
// the row reaches the width, the count starting again.
void add_wraps(std::string_view text, std::uint32_t from, std::uint32_t to, std::uint32_t width,
               std::vector<std::uint32_t>& wraps) {
  if (to - from < width) return;
  std::uint32_t filled = 0;
  for (std::uint32_t i = from; i < to;) {
    const std::uint32_t len = (is_sjis_lead(static_cast<unsigned char>(text[i])) && i + 1 < to) ? 2 : 1;
    i += len;
    filled += len;
    if (filled >= width) {
      wraps.push_back(i);
      filled = 0;
    }
  }
}

}  // namespace

void prepare_script_source(ScriptSource& file, bool strip_commands, const DialogueMatcher& matcher) {
  const std::string_view s = file.source;
  const std::size_t n = s.size();
  std::string& out = file.text;
  std::vector<ScriptRow>& rows = file.rows;
  out.clear();
  out.reserve(n + n / 8 + 64);
  rows.clear();
  file.wraps.clear();
  file.swallowed.clear();

  std::array<unsigned char, 256> kinds{};
  for (int c = 0; c < 256; ++c) kinds[static_cast<std::size_t>(c)] = is_sjis_lead(static_cast<unsigned char>(c)) ? kLead : kPlain;
  kinds['\r'] = kinds['\n'] = kinds['\t'] = kSpecial;
  if (strip_commands) kinds['\\'] = kSpecial;

  // Until the source position reaches `name_end`, the row's name is being
  // copied; the text cell begins where it ends.
  std::size_t name_end = kNone;
  auto begin_row = [&](std::size_t at) {
    ScriptRow& row = rows.emplace_back();
    row.begin = row.end = row.text_begin = static_cast<std::uint32_t>(out.size());
    row.source_begin = static_cast<std::uint32_t>(at);
    row.swallowed_begin = row.swallowed_end = static_cast<std::uint32_t>(file.swallowed.size());
    if (at < n && s[at] != '\r' && s[at] != '\n') {
      if (const auto match = matcher.match(s, at)) {
        row.speaker = match->character;
        row.name_at = static_cast<std::uint32_t>(at);
        row.name_length = static_cast<std::uint32_t>(std::min(match->name_length, n - at));
        name_end = at + row.name_length;
      }
    }
  };
  auto end_row = [&] {
    ScriptRow& row = rows.back();
    row.end = static_cast<std::uint32_t>(out.size());
    if (name_end != kNone) row.text_begin = row.end;
    name_end = kNone;
  };
  // The lines that begin inside a command's span [from, to) make no row;
  // their speakers are kept in order (the same walk as every output's scan).
  auto note_swallowed_lines = [&](std::size_t from, std::size_t to) {
    std::size_t p = from;
    for (;;) {
      const std::size_t end = find_line_end(s, p);
      if (end >= to) break;
      p = end + line_break_length(s, end);
      if (p >= to) break;
      if (s[p] == '\r' || s[p] == '\n') continue;
      if (const auto match = matcher.match(s, p)) {
        file.swallowed.push_back(match->character);
        p += std::min(match->name_length, n - p);
      }
    }
    rows.back().swallowed_end = static_cast<std::uint32_t>(file.swallowed.size());
  };

  begin_row(0);
  std::size_t i = 0;
  while (i < n) {
    // Ordinary characters are copied as one run.
    const std::size_t stop = std::min(n, name_end);
    std::size_t j = i;
    while (j < stop) {
      const unsigned char kind = kinds[static_cast<unsigned char>(s[j])];
      if (kind == kPlain) {
        ++j;
      } else if (kind == kLead) {
        j += 2;
      } else {
        break;
      }
    }
    j = std::min(j, n);
    out.append(s.data() + i, j - i);
    i = j;
    if (i < stop) {
      const char c = s[i];
      if (c == '\r' || c == '\n') {
        end_row();
        rows.back().line_end = true;
        out += "\r\n";
        i += line_break_length(s, i);
        if (i < n) begin_row(i);
        continue;
      }
      if (c == '\t') {
        out.append(4, ' ');
        ++i;
      } else {
        const std::size_t end = backslash_command_end(s, i);
        note_swallowed_lines(i, end);
        i = end;
      }
    }
    if (i >= name_end) {
      rows.back().text_begin = static_cast<std::uint32_t>(out.size());
      name_end = kNone;
    }
  }
  if (!rows.back().line_end) end_row();

  for (ScriptRow& row : rows) {
    row.own_wraps = static_cast<std::uint32_t>(file.wraps.size());
    if (row.speaker >= 0) add_wraps(out, row.text_begin, row.end, kOwnRowWidth, file.wraps);
    row.other_wraps = static_cast<std::uint32_t>(file.wraps.size());
    add_wraps(out, row.text_begin, row.end, kOtherRowWidth, file.wraps);
    row.wraps_end = static_cast<std::uint32_t>(file.wraps.size());
  }
}

void count_speech_rows(ScriptSource& file, const DialogueMarks& marks, const DialogueMatcher& matcher) {
  std::vector<ScriptRow>& rows = file.rows;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    ScriptRow& row = rows[k];
    row.speech_rows = 0;
    if (row.speaker < 0) continue;
    const Speech speech = find_dialogue_speech(file.source, row.name_at, DialogueMatch{row.speaker, row.name_length},
                                               marks, matcher);
    if (speech.lines <= 1) continue;
    std::uint32_t further = 0;
    for (std::size_t next = k + 1; next < rows.size() && rows[next].source_begin < speech.end; ++next) {
      if (!rows[next].empty()) ++further;
    }
    row.speech_rows = further;
  }
}

}  // namespace lumeno::scriptbuilder
