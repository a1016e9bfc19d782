// The options dialog's page of every desktop program: which control of the
// tool's dialog template shows which setting of its table.
#include "programs/options_pages.h"

#include <commctrl.h>

#include "resources/resource.h"
#include "shell/sjis.h"
#include "shell/win32/text.h"

namespace lumeno::programs {

namespace {

using win32::OptionBinding;
using win32::set_item_text;
using Kind = OptionBinding::Kind;
using Choice = OptionBinding::Choice;

// Bindo and Splix: delete the sources.
constexpr OptionBinding kDeleteSource[] = {
    {.kind = Kind::check, .key = "delete_source", .control = IDC_DELETE_SOURCE},
};

// Pruna.
constexpr Choice kStripMode[] = {{IDC_P_STRIP_TARGETS, 0}, {IDC_P_KEEP_TARGETS, 1}};
constexpr Choice kBlankLines[] = {{IDC_P_BLANK_KEEP, 0}, {IDC_P_BLANK_EMPTIED, 1}, {IDC_P_BLANK_ALL, 2}};
constexpr OptionBinding kPruna[] = {
    {.kind = Kind::check, .key = "target_line_comments", .control = IDC_P_LINE_COMMENTS},
    {.kind = Kind::check, .key = "target_block_comments", .control = IDC_P_BLOCK_COMMENTS},
    {.kind = Kind::check, .key = "target_commands", .control = IDC_P_COMMANDS},
    {.kind = Kind::radio, .key = "strip_mode", .choices = kStripMode},
    {.kind = Kind::radio, .key = "blank_line_mode", .choices = kBlankLines},
    {.kind = Kind::check, .key = "single_output", .control = IDC_P_SINGLE_OUTPUT},
};

// Namex.
constexpr Choice kListOrder[] = {{IDC_N_BY_NAME, 0}, {IDC_N_BY_COUNT, 1}};
constexpr OptionBinding kNamex[] = {
    {.kind = Kind::edit, .key = "dialogue_marks", .control = IDC_N_DIALOGUE_MARKS},
    {.kind = Kind::edit, .key = "name_start_mark", .control = IDC_N_NAME_START},
    {.kind = Kind::slider, .key = "max_name_length", .control = IDC_N_LENGTH_SLIDER},
    {.kind = Kind::radio, .key = "list_order", .choices = kListOrder},
    {.kind = Kind::check, .key = "list_reverse", .control = IDC_N_REVERSE},
};

void refresh_namex(HWND dialog) {
  const int length = static_cast<int>(SendDlgItemMessageW(dialog, IDC_N_LENGTH_SLIDER, TBM_GETPOS, 0, 0));
  set_item_text(dialog, IDC_N_LENGTH_TEXT, format("最大 %2d 文字", length));
  set_item_text(dialog, IDC_N_BYTES_TEXT, format("(%2d Byte)", length * 2));
}

// Vocar.
constexpr Choice kSecondString[] = {{IDC_V_SECOND_FIXED, 0}, {IDC_V_SECOND_FROM_FILE, 1}};
constexpr OptionBinding kVocar[] = {
    {.kind = Kind::check, .key = "output_scripts", .control = IDC_V_OUTPUT_SCRIPTS},
    {.kind = Kind::check, .key = "output_staff_lists", .control = IDC_V_OUTPUT_STAFF_LISTS},
    {.kind = Kind::check, .key = "output_voice_text", .control = IDC_V_OUTPUT_VOICE_TEXT},
    {.kind = Kind::check, .key = "script_frame_dialogue", .control = IDC_V_SCRIPT_FRAME},
    {.kind = Kind::check, .key = "script_strip_commands", .control = IDC_V_SCRIPT_STRIP_COMMANDS},
    {.kind = Kind::check, .key = "script_all_characters", .control = IDC_V_SCRIPT_ALL_CHARACTERS},
    {.kind = Kind::check, .key = "script_spreadsheets", .control = IDC_V_SCRIPT_SPREADSHEETS},
    {.kind = Kind::check, .key = "all_characters_dialogue_only", .control = IDC_V_ALL_DIALOGUE_ONLY},
    {.kind = Kind::check, .key = "keep_dialogue_on_page", .control = IDC_V_KEEP_DIALOGUE},
    {.kind = Kind::check, .key = "keep_direction_on_page", .control = IDC_V_KEEP_DIRECTION},
    {.kind = Kind::check, .key = "keep_other_dialogue_on_page", .control = IDC_V_KEEP_OTHER_DIALOGUE},
    {.kind = Kind::check, .control = IDC_V_KEEP_COMMENT_HIDDEN, .fallback_slot = 91, .fallback_default = 1},
    {.kind = Kind::check, .key = "reset_per_file", .control = IDC_V_RESET_PER_FILE},
    {.kind = Kind::check, .key = "track_takes", .control = IDC_V_TRACK_TAKES},
    // The take book knows the voices by their names: while it is on, the
    // ledger keeps the numbers whatever this box says.
    {.kind = Kind::check, .key = "keep_voice_numbers", .control = IDC_V_KEEP_VOICE_NUMBERS, .forced_by = IDC_V_TRACK_TAKES},
    {.kind = Kind::radio, .key = "second_string_from_file_name", .choices = kSecondString},
    {.kind = Kind::edit, .key = "second_string", .control = IDC_V_SECOND_STRING},
    {.kind = Kind::edit, .key = "start_number", .control = IDC_V_START_NUMBER},
    {.kind = Kind::edit, .key = "dialogue_marks", .control = IDC_V_DIALOGUE_MARKS},
    {.kind = Kind::edit, .key = "command_prefix", .control = IDC_V_COMMAND_PREFIX},
    {.kind = Kind::edit, .key = "command_suffix", .control = IDC_V_COMMAND_SUFFIX},
    {.kind = Kind::check, .key = "voice_cr_lf", .control = IDC_V_VOICE_CR_LF},
};

// The second string's box is greyed while the file name is taken instead
// (its text is still stored on OK).
void refresh_vocar(HWND dialog) {
  const bool from_file = IsDlgButtonChecked(dialog, IDC_V_SECOND_FROM_FILE) == BST_CHECKED;
  EnableWindow(GetDlgItem(dialog, IDC_V_SECOND_STRING), from_file ? FALSE : TRUE);
}

constexpr win32::OptionsPage kDeleteSourcePage{kDeleteSource, IDC_OPTIONS_GROUP, nullptr};
constexpr win32::OptionsPage kPrunaPage{kPruna, 0, nullptr};
constexpr win32::OptionsPage kNamexPage{kNamex, IDC_N_GROUP_MARKS, refresh_namex};
constexpr win32::OptionsPage kVocarPage{kVocar, IDC_V_GROUP_MARKS, refresh_vocar};

}  // namespace

const win32::OptionsPage* options_page(std::string_view tool_key) {
  if (tool_key == "bindo" || tool_key == "splix") return &kDeleteSourcePage;
  if (tool_key == "pruna") return &kPrunaPage;
  if (tool_key == "namex") return &kNamexPage;
  if (tool_key == "vocar") return &kVocarPage;
  return nullptr;
}

}  // namespace lumeno::programs
