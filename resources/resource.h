// Resource and control numbers of the five desktop programs, shared by the
// resource scripts and the Win32 front end. Plain #defines: windres reads
// this file too.
#pragma once

// Icons: the program, and the list's text-file and folder images.
#define IDI_PROGRAM 101
#define IDI_TEXT_FILE 102
#define IDI_FOLDER 103

// Dialog templates.
#define IDD_OPTION 201
#define IDD_PROGRESS 202
#define IDD_VERSIONINFO 203
#define IDD_REPORT 204

// Buttons every dialog shares (OK and Cancel are the system's 1 and 2).
#define IDC_DEFAULTS 3

// Progress dialog: Vocar's template uses the first set, the others the second.
#define IDC_VOCAR_PROGRESS_BAR 1002
#define IDC_VOCAR_PROGRESS_COUNT 1004
#define IDC_VOCAR_PROGRESS_FILE 1005
#define IDC_PROGRESS_BAR 1016
#define IDC_PROGRESS_COUNT 1017
#define IDC_PROGRESS_FILE 1020

// Version box text: Vocar's, then the others'.
#define IDC_VOCAR_VERSION_TEXT 1001
#define IDC_VERSION_TEXT 1018

// Options dialog, Bindo and Splix.
#define IDC_OPTIONS_GROUP 1021
#define IDC_DELETE_SOURCE 1033

// Options dialog, Vocar.
#define IDC_V_GROUP_MARKS 1101
#define IDC_V_DIALOGUE_MARKS 1102
#define IDC_V_SECOND_STRING 1103
#define IDC_V_COMMAND_PREFIX 1104
#define IDC_V_COMMAND_SUFFIX 1105
#define IDC_V_START_NUMBER 1106
#define IDC_V_SECOND_FIXED 1107
#define IDC_V_SECOND_FROM_FILE 1108
#define IDC_V_VOICE_CR_LF 1110
#define IDC_V_OUTPUT_SCRIPTS 1111
#define IDC_V_OUTPUT_STAFF_LISTS 1112
#define IDC_V_OUTPUT_VOICE_TEXT 1113
#define IDC_V_SCRIPT_FRAME 1114
#define IDC_V_SCRIPT_STRIP_COMMANDS 1115
#define IDC_V_RESET_PER_FILE 1116
#define IDC_V_SCRIPT_ALL_CHARACTERS 1117
#define IDC_V_KEEP_DIALOGUE 1118
#define IDC_V_ALL_DIALOGUE_ONLY 1119
#define IDC_V_KEEP_DIRECTION 1120
#define IDC_V_KEEP_OTHER_DIALOGUE 1121
#define IDC_V_KEEP_COMMENT_HIDDEN 1122
#define IDC_V_SCRIPT_SPREADSHEETS 1123
#define IDC_V_KEEP_VOICE_NUMBERS 1124
#define IDC_V_TRACK_TAKES 1125

// Options dialog, Pruna.
#define IDC_P_LINE_COMMENTS 1201
#define IDC_P_BLOCK_COMMENTS 1202
#define IDC_P_COMMANDS 1203
#define IDC_P_STRIP_TARGETS 1204
#define IDC_P_KEEP_TARGETS 1205
#define IDC_P_BLANK_KEEP 1206
#define IDC_P_BLANK_EMPTIED 1207
#define IDC_P_BLANK_ALL 1208
#define IDC_P_SINGLE_OUTPUT 1209

// Options dialog, Namex.
#define IDC_N_GROUP_MARKS 1301
#define IDC_N_DIALOGUE_MARKS 1302
#define IDC_N_NAME_START 1303
#define IDC_N_LENGTH_SLIDER 1304
#define IDC_N_LENGTH_TEXT 1305
#define IDC_N_BYTES_TEXT 1306
#define IDC_N_BY_NAME 1307
#define IDC_N_BY_COUNT 1308
#define IDC_N_REVERSE 1309

// Report dialog (the ツール menu's own commands).
#define IDC_REPORT_TEXT 1401
#define IDC_REPORT_COPY 1402

// Main window children.
#define IDC_STATUS_BAR 100
#define IDC_FILE_LIST 1000
