// The staff lists (スタッフ用リスト), gathered in one read of the run's files:
//
// - each voiced character's text list (CTX): every line of the character with
//   its place and voice name, and its voice count list (CVO): its voices
//   file by file. A line counts for every character whose own names it
//   begins with, so a name two characters share counts for both;
// - the file voice list (FVO): every file's voices per character. A line
//   counts for the character that speaks it in every other output, the first
//   in table order.
//
// The scan keeps, per character, its text list and the files it speaks in;
// the phase (staff_lists.cpp) writes the lists from that in the order of the
// characters.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scriptbuilder/characters.h"
#include "scriptbuilder/lists/dialogue_counts.h"
#include "scriptbuilder/scanner.h"

namespace lumeno::scriptbuilder {

// Below the staff-list folder, and the file names of the lists.
inline constexpr std::string_view kTextListFolder = "キャラ別テキストリスト";
inline constexpr std::string_view kVoiceCountFolder = "キャラ別ボイス数リスト";
inline constexpr std::string_view kFileVoiceFolder = "ファイル別ボイス数リスト";
inline constexpr std::string_view kFileVoiceList = "FVO_List.txt";

// "スタッフ用リスト\<folder>\<prefix><voice prefix>.txt": the name below the
// tool folder, which is also the progress text of its writes.
std::string text_list_name(std::string_view voice_prefix);
std::string voice_count_list_name(std::string_view voice_prefix);
std::string file_voice_list_name();

// One voiced character's part of the lists.
struct CharacterLists {
  int character = -1;  // index into the character table
  // Its text list over the files scanned is `text_taken` bytes that the
  // caller has taken (and written) followed by `text_list`.
  std::string text_list;
  std::size_t text_taken = 0;
  std::size_t text_size() const { return text_taken + text_list.size(); }
  struct FileVoices {
    std::size_t file = 0;      // position in run order
    std::int64_t count = 0;    // its lines in that file
    std::size_t text_end = 0;  // text_size() after that file
  };
  std::vector<FileVoices> files;  // the files holding any of its lines, in run order
};

// A voiced character's voice count in one file, as the file voice list counts.
struct FileVoiceCount {
  std::uint32_t voiced = 0;  // index into StaffListScan::characters()
  std::int64_t count = 0;
};

class StaffListScan {
 public:
  // With `count` on, the scan also finds every character's lines for the
  // counts for the budget (dialogue_counts.h), file by file.
  StaffListScan(const CharacterTable& table, const DialogueMatcher& matcher, bool count = false);

  // Scans the next file in run order. `voices`, prepared for the file by the
  // caller (counters reset per file, middle of the names), numbers the text
  // lists' lines: every character's counter moves by its own lines only.
  // With the run's voice names, a line that a later character's names also
  // begin is listed there under the one name it carries (or, without one,
  // not at all).
  void scan_file(std::string_view text, std::string_view relative_name, VoiceNumbering& voices);

  std::size_t files_scanned() const { return file_begin_.size(); }
  // The voiced characters, in table order.
  const std::vector<CharacterLists>& characters() const { return lists_; }
  // The caller takes text-list bytes out between files (moving them from
  // text_list to text_taken), so that a long list need not stay in memory.
  std::vector<CharacterLists>& characters() { return lists_; }
  // The file voice list's counts of the k-th file scanned; characters with
  // no line there are left out.
  std::span<const FileVoiceCount> file_counts(std::size_t k) const;
  // The lines of the file scanned last that the counts count, in the order
  // of the file; the caller may take them (the next scan starts afresh).
  std::vector<CountedLine>& counted_lines() { return counted_lines_; }

 private:
  void add_entry(int voiced, std::string_view relative_name, std::int64_t line, std::string_view line_text,
                 const Voice& voice);

  const DialogueMatcher& matcher_;
  // A name of one character begins a name of another: only then can a line
  // begin with two characters' name + mark, and is matched for every one.
  bool names_overlap_ = false;
  std::vector<int> voiced_index_;  // by table index: index into lists_, or -1
  std::vector<CharacterLists> lists_;
  std::vector<std::size_t> file_begin_;  // per file scanned: its first entry in first_counts_
  std::vector<FileVoiceCount> first_counts_;
  // The file being scanned: counts by voiced index, and which are not zero.
  std::vector<std::int64_t> own_counts_;
  std::vector<std::int64_t> first_match_counts_;
  std::vector<std::uint32_t> own_touched_;
  std::vector<std::uint32_t> first_touched_;
  std::vector<DialogueMatch> claims_;
  // The lines for the counts for the budget, when counted.
  bool count_ = false;
  std::vector<CountedLine> counted_lines_;
};

// The voice count list of one character: head, one line a file, tail.
struct VoiceSums {
  std::int64_t voices = 0;
  std::int64_t files_with_voice = 0;
  std::int64_t files = 0;
  void add(std::int64_t count) {
    voices += count;
    files_with_voice += count > 0 ? 1 : 0;
    files += 1;
  }
};
void append_voice_count_head(std::string& out, const Character& character);
void append_voice_count_line(std::string& out, std::int64_t count, std::string_view relative_name);
void append_voice_count_tail(std::string& out, const VoiceSums& sums);

// The file voice list: head with the number of files, one block a file with
// the count of every voiced character (in table order, zeros included) and
// their sum, tail with every character's total and their sum. `voiced` are
// the voiced characters in table order; `counts` match them one for one.
void append_file_voice_head(std::string& out, std::size_t file_count);
void append_file_voice_block(std::string& out, std::string_view relative_name, const CharacterTable& table,
                             std::span<const CharacterLists> voiced, std::span<const std::int64_t> counts);
void append_file_voice_tail(std::string& out, const CharacterTable& table, std::span<const CharacterLists> voiced,
                            std::span<const std::int64_t> totals);

}  // namespace lumeno::scriptbuilder
