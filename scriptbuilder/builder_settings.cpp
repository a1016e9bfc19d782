#include "scriptbuilder/builder_settings.h"

namespace lumeno::scriptbuilder {

namespace {

using Kind = SettingDef::Kind;

constexpr SettingDef flag(std::string_view key, int slot, std::int32_t value, bool shown = true) {
  return {.key = key, .kind = Kind::integer, .index = slot, .default_value = value, .shown = shown};
}

constexpr SettingDef text(std::string_view key, int index, std::string_view value,
                          std::string (*check)(std::string_view) = nullptr) {
  return {.key = key, .kind = Kind::text, .index = index, .default_text = value, .check = check};
}

// Slots 5 and 91 are written and read with the file but no control shows
// them; every other slot holds 0.
const SettingDef kDefs[] = {
    flag("voice_cr_lf", kVoiceCrLf, 1),
    flag("output_scripts", kOutputScripts, 1),
    flag("output_staff_lists", kOutputStaffLists, 1),
    flag("output_voice_text", kOutputVoiceText, 1),
    flag("script_frame_dialogue", kScriptFrameDialogue, 1),
    flag("script_strip_commands", kScriptStripCommands, 1),
    flag("reset_per_file", kResetPerFile, 0),
    flag("script_all_characters", kScriptAllCharacters, 1),
    flag("keep_dialogue_on_page", kKeepDialogueOnPage, 1),
    flag("second_string_from_file_name", kSecondStringFromFileName, 0),
    flag("all_characters_dialogue_only", kAllCharactersDialogueOnly, 0),
    flag("keep_direction_on_page", kKeepDirectionOnPage, 1),
    flag("keep_other_dialogue_on_page", kKeepOtherDialogueOnPage, 1),
    flag("reserved_5", kReserved5, 1, false),
    flag("reserved_91", kReserved91, 1, false),
    text("dialogue_marks", kDialogueMarks, "「/『/（"),
    text("second_string", kSecondString, "A1_"),
    text("command_prefix", kCommandPrefix, "\\VO("),
    text("command_suffix", kCommandSuffix, ")"),
    text("start_number", kStartNumber, "0001", check_start_number),
};

}  // namespace

std::span<const SettingDef> builder_setting_defs() { return kDefs; }

std::string check_start_number(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return "ボイス番号開始値に、0～9の半角数字以外は設定できません。";
  }
  if (text.empty()) return "ボイス番号開始値の指定がありません。";
  if (text.size() > kMaxStartDigits) return "ボイス番号の桁数が多すぎます。8桁以内に抑えてください。";
  return {};
}

BuilderSettings read_builder_settings(const Settings& settings) {
  auto on = [&](int slot) { return settings.get_int(slot) == 1; };
  BuilderSettings s;
  s.voice_cr_lf = on(kVoiceCrLf);
  s.output_scripts = on(kOutputScripts);
  s.output_staff_lists = on(kOutputStaffLists);
  s.output_voice_text = on(kOutputVoiceText);
  s.script_frame_dialogue = on(kScriptFrameDialogue);
  s.script_strip_commands = on(kScriptStripCommands);
  s.reset_per_file = on(kResetPerFile);
  s.script_all_characters = on(kScriptAllCharacters);
  s.keep_dialogue_on_page = on(kKeepDialogueOnPage);
  s.second_string_from_file_name = on(kSecondStringFromFileName);
  s.all_characters_dialogue_only = on(kAllCharactersDialogueOnly);
  s.keep_direction_on_page = on(kKeepDirectionOnPage);
  s.keep_other_dialogue_on_page = on(kKeepOtherDialogueOnPage);
  s.dialogue_marks = settings.get_string(kDialogueMarks);
  s.second_string = settings.get_string(kSecondString);
  s.command_prefix = settings.get_string(kCommandPrefix);
  s.command_suffix = settings.get_string(kCommandSuffix);
  s.start_number = settings.get_string(kStartNumber);
  return s;
}

}  // namespace lumeno::scriptbuilder
