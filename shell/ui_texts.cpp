#include "shell/ui_texts.h"

#include <cstdio>

namespace lumeno {

namespace {

constexpr std::array<std::string_view, kUiTextCount> kBuiltin = {
    "ファイル(&F)",
    "編集(&E)",
    "表示(&V)",
    "ツール(&T)",
    "ヘルプ(&H)",
    "全ファイル変換(&A)...",
    "選択ファイル変換(&S)...",
    "終了(&X)",
    "選択項目を削除(&D)",
    "選択項目を残して削除(&R)",
    "リストを全部クリアする(&C)",
    "常に手前に表示(&A)",
    "言語(&L)",
    "オプション(&O)...",
    "バージョン情報(&V)...",
    "名前",
    "サイズ",
    "種類",
    "フルパス",
    "ファイル",
    "フォルダ",
    "確認",
    "リストを全てクリアしても宜しいですか？",
    "選択項目を削除しても宜しいですか？",
    "選択項目以外を削除しても宜しいですか？",
    "上記の設定で変換を開始します。\r\nよろしいですか？",
    "フォルダの数が多すぎます。",
    "ファイルが作成できませんでした。",
    "ファイルを開けませんでした。",
    "メモリ不足エラーです。",
    "処理を中断しました。",
    "ファイル情報収集中",
    "変換中...",
    "変換中...[キャンセル中、しばらくお待ちください]",
    "処理時間",
    "秒",
    "分",
    "時間",
    "",  // 38: the tool's completion text
    "%d 個のオブジェクト",
    "%d 個のオブジェクトを選択",
    "OK",
    "キャンセル",
    "デフォルト",
    "オプション",
    "",  // 45: the tool's options group label
    "バージョン情報",
};

constexpr std::size_t kTextLimit = 263;

}  // namespace

std::string_view builtin_ui_text(const ToolInfo& tool, int slot) {
  if (slot == kUiCompletion) return tool.completion_text;
  if (slot == kUiOptionsGroup) return tool.options_group;
  return kBuiltin.at(static_cast<std::size_t>(slot));
}

UiTexts::UiTexts(const ToolInfo& tool) {
  for (int slot = 0; slot < kUiTextCount; ++slot) slots_[static_cast<std::size_t>(slot)] = builtin_ui_text(tool, slot);
}

void parse_language_file(std::string_view bytes, UiTexts& texts) {
  // The file is followed by a CR and a zero byte as its stop mark.
  std::string buffer(bytes);
  buffer.push_back('\r');
  buffer.push_back('\0');
  const std::size_t size = bytes.size();
  std::size_t p = 0;
  for (int slot = 0; slot < kUiTextCount && p < size; ++slot) {
    std::string text;
    while (buffer[p] != '\r' && buffer[p] != '\n' && text.size() < kTextLimit) {
      if (buffer[p] == '\\' && buffer[p + 1] == 'n') {
        text += "\r\n";
        p += 2;
      } else {
        text.push_back(buffer[p]);
        ++p;
      }
    }
    // A text is a zero-terminated string: a zero byte in the line ends it.
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    texts[slot] = std::move(text);
    while (p < buffer.size() && (buffer[p] == '\r' || buffer[p] == '\n')) ++p;
  }
}

bool is_single_int_format(std::string_view format) {
  int conversions = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    ++i;
    if (i < format.size() && format[i] == '%') continue;
    while (i < format.size() && (format[i] == '-' || format[i] == '+' || format[i] == ' ' || format[i] == '0' || format[i] == '#')) ++i;
    std::size_t width_digits = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
      ++i;
      ++width_digits;
    }
    if (width_digits > 3) return false;
    if (i >= format.size() || (format[i] != 'd' && format[i] != 'i')) return false;
    ++conversions;
  }
  return conversions == 1;
}

std::string format_status(const ToolInfo& tool, const UiTexts& texts, int slot, long long n) {
  std::string fmt = texts[slot];
  if (!is_single_int_format(fmt)) fmt = std::string(builtin_ui_text(tool, slot));
  // The conversion is made for an int, the type the status count has.
  const int value = static_cast<int>(n);
  char buffer[128];  // the status bar's buffer
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(buffer, sizeof buffer, fmt.c_str(), value);
#pragma GCC diagnostic pop
  return buffer;
}

}  // namespace lumeno
