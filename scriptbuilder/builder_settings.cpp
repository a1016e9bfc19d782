#include "scriptbuilder/builder_settings.h"

namespace lumeno::scriptbuilder {

namespace {

using Kind = SettingDef::Kind;

constexpr SettingDef flag(std::string_view key, int slot, std::int32_t value, std::string_view label, bool shown = true) {
  return {.key = key, .kind = Kind::integer, .index = slot, .default_value = value, .shown = shown, .label = label};
}

constexpr SettingDef text(std::string_view key, int index, std::string_view value, std::string_view label,
                          std::string (*check)(std::string_view) = nullptr) {
  return {.key = key, .kind = Kind::text, .index = index, .default_text = value, .check = check, .label = label};
}

// Slots 5 and 91 are written and read with the file but no control shows
// them; every other slot holds 0.
const SettingDef kDefs[] = {
    flag("voice_cr_lf", kVoiceCrLf, 1, "ボイス命令記述ルール: 改行（ボイス命令を行にする）"),
    flag("output_scripts", kOutputScripts, 1, "生成データ: 声優用台本"),
    flag("output_staff_lists", kOutputStaffLists, 1, "生成データ: スタッフ用リスト"),
    flag("output_voice_text", kOutputVoiceText, 1, "生成データ: ボイス命令埋込済テキスト"),
    flag("script_frame_dialogue", kScriptFrameDialogue, 1, "台本のセリフ部分を枠で囲む"),
    flag("script_strip_commands", kScriptStripCommands, 1, "台本では \\ 命令 は消去する"),
    flag("reset_per_file", kResetPerFile, 0, "ファイル毎に番号を初期化する"),
    flag("keep_voice_numbers", kKeepVoiceNumbers, 0, "ボイス番号を台帳で固定する"),
    flag("script_all_characters", kScriptAllCharacters, 1, "全キャラ一括台本も一緒に出力する"),
    flag("keep_dialogue_on_page", kKeepDialogueOnPage, 1, "セリフの途中でページをまたがない"),
    flag("second_string_from_file_name", kSecondStringFromFileName, 0,
         "ボイス名の第２文字列: 0 指定文字列 / 1 ファイル名を第２文字列にする"),
    flag("all_characters_dialogue_only", kAllCharactersDialogueOnly, 0, "全キャラ一括台本時、セリフ以外消す"),
    flag("keep_direction_on_page", kKeepDirectionOnPage, 1, "ト書きの途中でページをまたがない"),
    flag("keep_other_dialogue_on_page", kKeepOtherDialogueOnPage, 1, "他セリフの途中でページをまたがない"),
    flag("script_spreadsheets", kScriptSpreadsheets, 1, "台本をExcel形式（.xlsx）でも出力する"),
    flag("track_takes", kTrackTakes, 0,
         "収録台帳（収録台帳.xlsx）で収録状況を管理する（ボイス番号は台帳で固定される）"),
    flag("reserved_5", kReserved5, 1, {}, false),
    flag("reserved_91", kReserved91, 1, {}, false),
    text("dialogue_marks", kDialogueMarks, "「/『/（", "セリフとして認識させる記号（複数記述の場合は「/」で区切る）"),
    text("second_string", kSecondString, "A1_", "ボイス名の第２文字列: 指定文字列"),
    text("command_prefix", kCommandPrefix, "\\VO(", "ボイス命令記述ルール: ボイス名の前"),
    text("command_suffix", kCommandSuffix, ")", "ボイス命令記述ルール: ボイス名の後"),
    text("start_number", kStartNumber, "0001", "ボイス開始番号（桁数も決まる）", check_start_number),
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
  s.track_takes = on(kTrackTakes);
  s.keep_voice_numbers = on(kKeepVoiceNumbers) || s.track_takes;
  s.script_all_characters = on(kScriptAllCharacters);
  s.keep_dialogue_on_page = on(kKeepDialogueOnPage);
  s.second_string_from_file_name = on(kSecondStringFromFileName);
  s.all_characters_dialogue_only = on(kAllCharactersDialogueOnly);
  s.keep_direction_on_page = on(kKeepDirectionOnPage);
  s.keep_other_dialogue_on_page = on(kKeepOtherDialogueOnPage);
  s.script_spreadsheets = on(kScriptSpreadsheets);
  s.dialogue_marks = settings.get_string(kDialogueMarks);
  s.second_string = settings.get_string(kSecondString);
  s.command_prefix = settings.get_string(kCommandPrefix);
  s.command_suffix = settings.get_string(kCommandSuffix);
  s.start_number = settings.get_string(kStartNumber);
  return s;
}

}  // namespace lumeno::scriptbuilder
