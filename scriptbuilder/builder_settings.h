// Vocar's settings: the slots of its 128 integers and five texts, their
// defaults, the start-number check of the options dialog, and the snapshot
// a run works from.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "shell/settings.h"
#include "shell/tool.h"

namespace lumeno::scriptbuilder {

inline constexpr int kIntCount = 128;
inline constexpr int kStringCount = 5;

// Integer slots (slot 0 is the shell's always-on-top flag).
enum IntSlot : int {
  kVoiceCrLf = 1,
  kOutputScripts = 2,
  kOutputStaffLists = 3,
  kOutputVoiceText = 4,
  kReserved5 = 5,
  kScriptFrameDialogue = 6,
  kScriptStripCommands = 7,
  kResetPerFile = 8,
  kScriptAllCharacters = 9,
  kKeepDialogueOnPage = 10,
  kSecondStringFromFileName = 11,
  kAllCharactersDialogueOnly = 12,
  kKeepDirectionOnPage = 13,
  kKeepOtherDialogueOnPage = 14,
  // Beyond the settings of the first files: a stored 0 means off.
  kScriptSpreadsheets = 15,  // the scripts also as workbooks (.xlsx)
  kKeepVoiceNumbers = 16,    // voice numbers kept by the ledger
  kTrackTakes = 17,          // the take book keeps each voice's recording status
  kReserved91 = 91,
};

// String indices.
enum StringIndex : int {
  kDialogueMarks = 0,
  kSecondString = 1,
  kCommandPrefix = 2,
  kCommandSuffix = 3,
  kStartNumber = 4,
};

// The settings table, in the order `config` shows it.
std::span<const SettingDef> builder_setting_defs();

// The options dialog's check of the start number on OK: every byte an ASCII
// digit, not empty, at most 8 bytes, tested in that order. The message to
// show, or an empty string when the text is accepted.
std::string check_start_number(std::string_view text);

inline constexpr std::size_t kMaxStartDigits = 8;

// What a run reads of the settings, taken once when it starts.
struct BuilderSettings {
  bool voice_cr_lf = true;
  bool output_scripts = true;
  bool output_staff_lists = true;
  bool output_voice_text = true;
  bool script_frame_dialogue = true;
  bool script_strip_commands = true;
  bool reset_per_file = false;
  // Numbers kept across edits by the voice ledger: stored so, or needed by
  // the take book, which knows the voices by their names.
  bool keep_voice_numbers = false;
  bool track_takes = false;  // the take book 収録台帳.xlsx keeps the recording status
  bool script_all_characters = true;
  bool keep_dialogue_on_page = true;
  bool second_string_from_file_name = false;
  bool all_characters_dialogue_only = false;
  bool keep_direction_on_page = true;
  bool keep_other_dialogue_on_page = true;
  bool script_spreadsheets = true;
  std::string dialogue_marks;
  std::string second_string;
  std::string command_prefix;
  std::string command_suffix;
  std::string start_number;  // 1 to 8 ASCII digits once check_start_number passed
};

// A slot counts as on when it holds 1 (the dialog writes 0 or 1).
BuilderSettings read_builder_settings(const Settings& settings);

}  // namespace lumeno::scriptbuilder
