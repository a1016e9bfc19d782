#include "scriptbuilder/workbooks/xlsx_reader.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "scriptbuilder/workbooks/xlsx_package.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder::xlsx {

namespace {

using Kind = ReadFailure::Kind;

ReadFailure damaged(std::string detail) {
  ReadFailure out;
  out.kind = Kind::damaged;
  out.detail = std::move(detail);
  return out;
}

// What a book written anew from the values leaves out, as a user calls it.
constexpr const char* kFormulas = "数式";
constexpr const char* kMergedCells = "セルの結合";
constexpr const char* kConditionalFormats = "条件付き書式";
constexpr const char* kValidation = "入力規則";
constexpr const char* kDrawings = "図・グラフ";
constexpr const char* kComments = "コメント";
constexpr const char* kHidden = "非表示の行・列";

// The last segment of a relationship's type ("worksheet"), which the
// transitional and the strict forms' types share.
std::string_view type_name(std::string_view type) {
  const std::size_t cut = type.rfind('/');
  return cut == std::string_view::npos ? type : type.substr(cut + 1);
}

bool flag(std::optional<std::string_view> value) { return value && (*value == "1" || *value == "true"); }

// A number of decimal digits only (between XML spaces), or none.
std::optional<std::uint64_t> parse_index(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  if (text.empty() || text.size() > 12) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

// At most `n` bytes of a name from the file, for a message.
std::string shown(std::string_view text, std::size_t n = 24) {
  if (text.size() <= n) return std::string(text);
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;  // a whole UTF-8 character
  return std::string(text.substr(0, n)) + "...";
}

void add_once(std::vector<std::string>& list, std::string_view item) {
  if (std::find(list.begin(), list.end(), item) == list.end()) list.emplace_back(item);
}

// ---- relationships (the .rels parts) --------------------------------------

struct Relationship {
  std::string id;
  std::string type;    // its last segment: "worksheet", "sharedStrings", ...
  std::string target;  // as written
  bool external = false;
};

class RelationshipsHandler : public PartHandler {
 public:
  void start(std::string_view local, const XmlAttributes& a) override {
    if (++depth_ == 1) {
      if (local != "Relationships") failure = damaged("関係の一覧（.rels）ではありません。");
    } else if (depth_ == 2 && local == "Relationship") {
      Relationship r;
      r.id = a.get("Id").value_or("");
      r.type = type_name(a.get("Type").value_or(""));
      r.target = a.get("Target").value_or("");
      r.external = a.get("TargetMode").value_or("") == "External";
      relationships.push_back(std::move(r));
    }
  }
  void end(std::string_view) override { --depth_; }

  std::vector<Relationship> relationships;

 private:
  int depth_ = 0;
};

// The relationships of `part`; none when it has no .rels part.
std::optional<ReadFailure> read_relationships(Package& package, std::string_view part, std::vector<Relationship>& out) {
  const std::string name = relationships_part(part);
  if (!package.has(name)) return std::nullopt;
  RelationshipsHandler handler;
  if (auto failed = package.read_xml(name, Namespace::package_relationships, handler)) return failed;
  out = std::move(handler.relationships);
  return std::nullopt;
}

const Relationship* find_type(const std::vector<Relationship>& relationships, std::string_view type) {
  for (const Relationship& r : relationships) {
    if (r.type == type && !r.external) return &r;
  }
  return nullptr;
}

// ---- the workbook ---------------------------------------------------------

struct SheetEntry {
  std::string name;
  std::string id;  // its relationship
  bool hidden = false;
};

class WorkbookHandler : public PartHandler {
 public:
  explicit WorkbookHandler(Book& book) : book_(book) {}

  void start(std::string_view local, const XmlAttributes& a) override {
    read(local, a, stack_.empty() ? std::string_view() : stack_.back());
    stack_.emplace_back(local);  // (after the parent's name is done with)
  }
  void end(std::string_view) override { stack_.pop_back(); }

  std::vector<SheetEntry> sheets;
  bool date1904 = false;

 private:
  void read(std::string_view local, const XmlAttributes& a, std::string_view parent) {
    if (stack_.empty()) {
      if (local != "workbook") {
        failure = damaged("ブックの本体ではありません。");
        failure->kind = Kind::not_workbook;
      }
    } else if (parent == "workbook") {
      if (local == "workbookPr") date1904 = flag(a.get("date1904"));
      if (local == "externalReferences") add_once(book_.not_kept, "外部参照");
      // (LibreOffice and openpyxl write the element empty into every book.)
      if (local == "workbookProtection" && (flag(a.get("lockStructure")) || flag(a.get("lockWindows")))) {
        add_once(book_.not_kept, "ブックの保護");
      }
    } else if (parent == "sheets" && local == "sheet") {
      SheetEntry sheet;
      sheet.name = a.get("name").value_or("");
      sheet.id = a.get("id", Namespace::relationships).value_or("");
      const std::string_view state = a.get("state").value_or("visible");
      sheet.hidden = state == "hidden" || state == "veryHidden";
      sheets.push_back(std::move(sheet));
    } else if (parent == "definedNames" && local == "definedName") {
      // Names the application keeps for itself (print areas, filters) go
      // with what they belong to.
      if (a.get("name").value_or("").substr(0, 6) != "_xlnm.") add_once(book_.not_kept, "名前の定義");
    }
  }

  Book& book_;
  std::vector<std::string> stack_;
};

// ---- shared strings -------------------------------------------------------

// The text of a string item (<si>, or a cell's <is>): its <t>, or the <t>
// of each of its rich-text runs <r>; not those of its phonetic runs <rPh>.
// Tracks where it stands below the item.
class StringItem {
 public:
  // An element below the item's own (depth 1 is the item's child).
  void start(std::string_view local, std::string& text_target, std::string*& text) {
    ++depth_;
    if (depth_ == 1) in_run_ = local == "r";
    if (local == "t" && (depth_ == 1 || (depth_ == 2 && in_run_))) text = &text_target;
  }
  void end(std::string*& text) {
    text = nullptr;
    --depth_;
  }

 private:
  int depth_ = 0;
  bool in_run_ = false;
};

class SharedStringsHandler : public PartHandler {
 public:
  void start(std::string_view local, const XmlAttributes&) override {
    if (++depth_ == 1) {
      if (local != "sst") failure = damaged("共有文字列の一覧ではありません。");
    } else if (depth_ == 2) {
      in_item_ = local == "si";
      current_.clear();
    } else if (in_item_) {
      item_.start(local, current_, text);
    }
  }
  void end(std::string_view) override {
    if (depth_ == 2 && in_item_) strings.push_back(decode_escapes(current_));
    if (depth_ > 2 && in_item_) item_.end(text);
    --depth_;
  }

  std::vector<std::string> strings;

 private:
  int depth_ = 0;
  bool in_item_ = false;
  StringItem item_;
  std::string current_;
};

// ---- styles: which cell formats show dates --------------------------------

class StylesHandler : public PartHandler {
 public:
  void start(std::string_view local, const XmlAttributes& a) override {
    const std::string_view parent = stack_.empty() ? std::string_view() : stack_.back();
    if (stack_.empty()) {
      if (local != "styleSheet") failure = damaged("書式の一覧ではありません。");
    } else if (parent == "numFmts" && local == "numFmt") {
      const auto id = parse_index(a.get("numFmtId").value_or(""));
      if (id) codes_.emplace_back(*id, format_code_kind(a.get("formatCode").value_or("")));
    } else if (parent == "cellXfs" && local == "xf") {
      formats_.push_back(parse_index(a.get("numFmtId").value_or("0")).value_or(0));
    }
    stack_.emplace_back(local);  // (after the parent's name is done with)
  }
  void end(std::string_view) override { stack_.pop_back(); }

  // The kind of each cell format (a cell's "s"), once the part is read.
  std::vector<FormatKind> kinds() const {
    std::vector<FormatKind> out;
    out.reserve(formats_.size());
    std::vector<std::pair<std::uint64_t, FormatKind>> codes = codes_;
    std::stable_sort(codes.begin(), codes.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    for (std::uint64_t id : formats_) {
      // A format the book defines stands before the built-in one of its number.
      const auto it = std::lower_bound(codes.begin(), codes.end(), id, [](const auto& c, std::uint64_t v) { return c.first < v; });
      if (it != codes.end() && it->first == id) {
        out.push_back(it->second);
      } else {
        out.push_back(id <= 0xFFFFFFFFu ? builtin_format_kind(static_cast<std::uint32_t>(id)) : FormatKind::number);
      }
    }
    return out;
  }

 private:
  std::vector<std::string> stack_;
  std::vector<std::pair<std::uint64_t, FormatKind>> codes_;
  std::vector<std::uint64_t> formats_;
};

// ---- a worksheet ----------------------------------------------------------

// What a worksheet holds beyond its cells, by the element that holds it
// (a child of <worksheet>).
constexpr std::pair<std::string_view, const char*> kSheetParts[] = {
    {"mergeCells", kMergedCells},
    {"conditionalFormatting", kConditionalFormats},
    {"dataValidations", kValidation},
    {"drawing", kDrawings},
    {"picture", "背景画像"},
    {"tableParts", "テーブル"},
    {"hyperlinks", "ハイパーリンク"},
    {"autoFilter", "オートフィルター"},
    {"oleObjects", "埋め込みオブジェクト"},
    {"controls", "フォームコントロール"},
};

struct SheetContext {
  const std::vector<std::string>& strings;
  const std::vector<FormatKind>& formats;
  bool date1904 = false;
  const Limits& limits;
  std::uint64_t& value_bytes;  // spent so far, all sheets
};

class SheetHandler : public PartHandler {
 public:
  SheetHandler(Sheet& sheet, const SheetContext& context) : sheet_(sheet), context_(context) {}

  void start(std::string_view local, const XmlAttributes& a) override {
    const Tag parent = stack_.empty() ? Tag::none : stack_.back();
    Tag tag = Tag::other;
    if (stack_.empty()) {
      if (local != "worksheet") failure = damaged("ワークシートではありません。");
      tag = Tag::worksheet;
    } else if (parent == Tag::worksheet) {
      tag = local == "sheetData" ? Tag::sheet_data : local == "cols" ? Tag::cols : Tag::other;
      if (local == "legacyDrawing") legacy_drawing = true;
      if (local == "sheetProtection" && flag(a.get("sheet"))) add_once(sheet_.not_kept, "シートの保護");
      for (const auto& [element, what] : kSheetParts) {
        if (local == element) add_once(sheet_.not_kept, what);
      }
    } else if (parent == Tag::cols && local == "col") {
      if (flag(a.get("hidden"))) add_once(sheet_.not_kept, kHidden);
    } else if (parent == Tag::sheet_data && local == "row") {
      tag = Tag::row;
      start_row(a);
    } else if (parent == Tag::row && local == "c") {
      tag = Tag::cell;
      start_cell(a);
    } else if (parent == Tag::cell) {
      if (local == "v") {
        tag = Tag::value;
        has_value_ = true;
        text = &value_;
      } else if (local == "f") {
        has_formula_ = true;
      } else if (local == "is") {
        tag = Tag::inline_string;
        has_inline_ = true;
      }
    } else if (parent == Tag::inline_string || parent == Tag::inline_part) {
      tag = Tag::inline_part;
      item_.start(local, inline_, text);
    }
    stack_.push_back(tag);
  }

  void end(std::string_view) override {
    const Tag tag = stack_.back();
    stack_.pop_back();
    if (tag == Tag::value) {
      text = nullptr;
    } else if (tag == Tag::cell) {
      end_cell();
    } else if (tag == Tag::inline_part) {
      item_.end(text);
    }
  }

  void foreign(Namespace ns, std::string_view local) override {
    if (ns != Namespace::spreadsheet_2009) return;
    if (local == "conditionalFormattings") add_once(sheet_.not_kept, kConditionalFormats);
    if (local == "dataValidations") add_once(sheet_.not_kept, kValidation);
    if (local == "sparklineGroups") add_once(sheet_.not_kept, "スパークライン");
  }

  // Puts the cells in order when they came out of it; false (with the
  // failure set) when one stands twice.
  bool finish() {
    if (sorted_) return true;
    std::stable_sort(sheet_.cells.begin(), sheet_.cells.end(),
                     [](const Cell& x, const Cell& y) { return x.row != y.row ? x.row < y.row : x.column < y.column; });
    for (std::size_t i = 1; i < sheet_.cells.size(); ++i) {
      if (sheet_.cells[i].row == sheet_.cells[i - 1].row && sheet_.cells[i].column == sheet_.cells[i - 1].column) {
        fail_cell(cell_name(sheet_.cells[i].row, sheet_.cells[i].column), "同じセルが二度書かれています。");
        return false;
      }
    }
    return true;
  }

  bool legacy_drawing = false;

 private:
  enum class Tag { none, worksheet, sheet_data, cols, row, cell, value, inline_string, inline_part, other };
  enum class Type { number, shared, inline_string, formula_text, boolean, error, date };

  void fail_cell(std::string cell, std::string detail) {
    if (failure) return;
    failure = damaged(std::move(detail));
    failure->cell = std::move(cell);
  }

  void start_row(const XmlAttributes& a) {
    if (const auto r = a.get("r")) {
      const auto n = parse_index(*r);
      if (!n || *n < 1 || *n > kMaxRows) {
        failure = damaged(format("行番号「%s」を読めません（1 から %u まで）。", shown(*r).c_str(), kMaxRows));
        return;
      }
      row_ = static_cast<std::int64_t>(*n) - 1;
    } else {
      // A row without its number follows the one before.
      if (++row_ >= static_cast<std::int64_t>(kMaxRows)) {
        failure = damaged(format("行が %u 行を超えます。", kMaxRows));
        return;
      }
    }
    next_column_ = 0;
    if (flag(a.get("hidden"))) add_once(sheet_.not_kept, kHidden);
  }

  void start_cell(const XmlAttributes& a) {
    value_.clear();
    inline_.clear();
    has_value_ = has_inline_ = has_formula_ = false;
    if (const auto r = a.get("r")) {
      const auto at = parse_cell_name(*r);
      if (!at) {
        fail_cell(shown(*r), "セル番地を読めません（A1 から XFD1048576 まで）。");
        return;
      }
      position_ = *at;
    } else {
      // A cell without its name follows the one before in its row.
      if (next_column_ >= kMaxColumns) {
        fail_cell(cell_name(static_cast<std::uint32_t>(row_), kMaxColumns - 1), "列が XFD 列を超えます。");
        return;
      }
      position_ = {static_cast<std::uint32_t>(row_), next_column_};
    }
    next_column_ = position_.column + 1;

    const std::string_view t = a.get("t").value_or("n");
    if (t == "n") {
      type_ = Type::number;
    } else if (t == "s") {
      type_ = Type::shared;
    } else if (t == "inlineStr") {
      type_ = Type::inline_string;
    } else if (t == "str") {
      type_ = Type::formula_text;
    } else if (t == "b") {
      type_ = Type::boolean;
    } else if (t == "e") {
      type_ = Type::error;
    } else if (t == "d") {
      type_ = Type::date;
    } else {
      fail_cell(cell_name(position_.row, position_.column), format("セルの型「%s」を読めません。", shown(t).c_str()));
      return;
    }
    style_ = parse_index(a.get("s").value_or("0")).value_or(0);
  }

  void end_cell() {
    if (failure) return;
    const std::string name = cell_name(position_.row, position_.column);
    if (has_formula_) {
      if (sheet_.formulas++ == 0) add_once(sheet_.not_kept, kFormulas);
    }
    Cell cell;
    cell.row = position_.row;
    cell.column = position_.column;
    cell.formula = has_formula_;
    const bool blank = value_.find_first_not_of(" \t\r\n") == std::string::npos;
    switch (type_) {
      case Type::number:
        if (has_value_ && !blank) {
          const auto number = parse_number(value_);
          if (!number) return fail_cell(name, format("数値「%s」を読めません。", shown(value_).c_str()));
          const FormatKind kind = style_ < context_.formats.size() ? context_.formats[style_] : FormatKind::number;
          cell.kind = kind == FormatKind::number ? CellKind::number : CellKind::date;
          // A time of day or a span is the same in both systems.
          cell.number = *number + (kind == FormatKind::date && context_.date1904 ? kSerial1904 : 0);
        } else if (has_inline_) {
          // An inline string without its type, as some writers leave it.
          cell.text = decode_escapes(inline_);
        } else {
          return;
        }
        break;
      case Type::shared: {
        if (!has_value_ || blank) return;
        const auto index = parse_index(value_);
        if (!index || *index >= context_.strings.size()) {
          return fail_cell(name, format("共有文字列の %s 番がありません（%llu 個）。", shown(value_).c_str(), static_cast<unsigned long long>(context_.strings.size())));
        }
        cell.text = context_.strings[*index];
        break;
      }
      case Type::inline_string:
        if (!has_inline_) return;
        cell.text = decode_escapes(inline_);
        break;
      case Type::formula_text:
        if (!has_value_) return;
        cell.text = decode_escapes(value_);
        break;
      case Type::boolean: {
        if (!has_value_ || blank) return;
        const auto index = parse_index(value_);
        if (value_ != "true" && value_ != "false" && (!index || *index > 1)) {
          return fail_cell(name, format("真偽値「%s」を読めません。", shown(value_).c_str()));
        }
        cell.kind = CellKind::boolean;
        cell.number = value_ == "true" || (index && *index == 1) ? 1 : 0;
        break;
      }
      case Type::error:
        if (!has_value_ || blank) return;
        cell.kind = CellKind::error;
        cell.text = value_;
        break;
      case Type::date: {
        if (!has_value_ || blank) return;
        const auto serial = iso_date_serial(value_);
        if (!serial) return fail_cell(name, format("日付「%s」を読めません。", shown(value_).c_str()));
        cell.kind = CellKind::date;
        cell.number = *serial;
        break;
      }
    }

    context_.value_bytes += sizeof(Cell) + cell.text.size();
    if (context_.value_bytes > context_.limits.value_bytes) {
      fail_cell(name, format("ブックの値が多すぎます（%llu MB まで）。", static_cast<unsigned long long>(context_.limits.value_bytes >> 20)));
      failure->kind = Kind::too_large;
      return;
    }
    if (!sheet_.cells.empty()) {
      const Cell& last = sheet_.cells.back();
      if (last.row == cell.row && last.column == cell.column) return fail_cell(name, "同じセルが二度書かれています。");
      if (last.row > cell.row || (last.row == cell.row && last.column > cell.column)) sorted_ = false;
    }
    sheet_.cells.push_back(std::move(cell));
  }

  Sheet& sheet_;
  SheetContext context_;
  std::vector<Tag> stack_;
  std::int64_t row_ = -1;
  std::uint32_t next_column_ = 0;
  bool sorted_ = true;

  // The cell being read.
  CellPosition position_;
  Type type_ = Type::number;
  std::uint64_t style_ = 0;
  std::string value_;
  std::string inline_;
  bool has_value_ = false;
  bool has_inline_ = false;
  bool has_formula_ = false;
  StringItem item_;
};

// The sheet's name in the workbook's message text, "?" for what CP932 lacks.
std::string cp932_name(std::string_view utf8) {
  if (auto whole = names::cp932_from_utf8(utf8)) return *whole;
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t n = 1;
    while (i + n < utf8.size() && (static_cast<unsigned char>(utf8[i + n]) & 0xC0) == 0x80) ++n;
    auto one = names::cp932_from_utf8(utf8.substr(i, n));
    out += one ? *one : "?";
    i += n;
  }
  return out;
}

std::string fold_ascii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return out;
}

// The part the package names as its main document, "xl/workbook.xml" when
// it names none.
std::variant<std::string, ReadFailure> main_part(Package& package) {
  std::vector<Relationship> relationships;
  if (auto failed = read_relationships(package, "", relationships)) return std::move(*failed);
  if (const Relationship* main = find_type(relationships, "officeDocument")) {
    if (auto part = resolve_target("", main->target)) return std::move(*part);
  }
  return std::string("xl/workbook.xml");
}

}  // namespace

std::string failure_text(const ReadFailure& failure) {
  std::string where;
  if (!failure.sheet.empty()) {
    where = "シート「" + cp932_name(failure.sheet) + "」";
    if (!failure.cell.empty()) where += "のセル " + failure.cell;
  } else if (!failure.cell.empty()) {
    where = "セル " + failure.cell;
  } else if (!failure.part.empty()) {
    where = cp932_name(failure.part);
  }
  return where.empty() ? failure.detail : where + ": " + failure.detail;
}

ReadResult read_xlsx(std::string_view bytes, const Limits& limits) {
  auto opened = Package::open(bytes, limits);
  if (auto* failed = std::get_if<ReadFailure>(&opened)) return std::move(*failed);
  Package& package = std::get<Package>(opened);

  auto main = main_part(package);
  if (auto* failed = std::get_if<ReadFailure>(&main)) return std::move(*failed);
  const std::string& workbook_part = std::get<std::string>(main);
  if (!package.has(workbook_part)) {
    ReadFailure out;
    out.kind = Kind::not_workbook;
    out.detail = package.has("content.xml") && package.has("mimetype")
                     ? "OpenDocument 形式（.ods）のファイルです。Excel 形式（.xlsx）で保存してください。"
                     : "ZIP の中にブック（xl/workbook.xml）がありません。";
    return out;
  }

  Book book;
  WorkbookHandler workbook(book);
  if (auto failed = package.read_xml(workbook_part, Namespace::spreadsheet, workbook)) return std::move(*failed);
  std::vector<Relationship> relationships;
  if (auto failed = read_relationships(package, workbook_part, relationships)) return std::move(*failed);
  const std::string folder = part_folder(workbook_part);
  if (find_type(relationships, "vbaProject")) add_once(book.not_kept, "マクロ");

  SharedStringsHandler strings;
  if (const Relationship* r = find_type(relationships, "sharedStrings")) {
    const auto part = resolve_target(folder, r->target);
    if (part && package.has(*part)) {
      if (auto failed = package.read_xml(*part, Namespace::spreadsheet, strings)) return std::move(*failed);
    }
  }
  std::vector<FormatKind> formats;
  if (const Relationship* r = find_type(relationships, "styles")) {
    const auto part = resolve_target(folder, r->target);
    if (part && package.has(*part)) {
      StylesHandler styles;
      if (auto failed = package.read_xml(*part, Namespace::spreadsheet, styles)) return std::move(*failed);
      formats = styles.kinds();
    }
  }

  std::uint64_t value_bytes = 0;
  const SheetContext context{strings.strings, formats, workbook.date1904, limits, value_bytes};
  std::unordered_set<std::string> names;
  std::unordered_map<std::string_view, const Relationship*> by_id;
  for (const Relationship& r : relationships) by_id.emplace(r.id, &r);
  for (const SheetEntry& entry : workbook.sheets) {
    const auto fail = [&](std::string detail, std::string part = {}) {
      ReadFailure out = damaged(std::move(detail));
      out.sheet = entry.name;
      out.part = std::move(part);
      return out;
    };
    if (entry.name.empty()) return fail("シートに名前がありません。");
    if (!names.insert(fold_ascii(entry.name)).second) return fail("同じ名前のシートが二つあります。");
    const auto found = by_id.find(entry.id);
    const Relationship* r = found == by_id.end() ? nullptr : found->second;
    if (entry.id.empty() || r == nullptr || r->external) return fail("シートの部品がブックの関係の一覧にありません。");
    const auto part = resolve_target(folder, r->target);
    if (!part || !package.has(*part)) return fail("シートの部品がありません。", part.value_or(r->target));

    if (r->type != "worksheet") {
      const char* kind = r->type == "chartsheet"                                         ? "グラフシート"
                         : r->type == "dialogsheet"                                      ? "ダイアログシート"
                         : r->type == "xlMacrosheet" || r->type == "xlIntlMacrosheet" ? "マクロシート"
                                                                                         : "シート";
      book.skipped.push_back({entry.name, kind});
      continue;
    }
    Sheet sheet;
    sheet.name = entry.name;
    if (entry.hidden) add_once(sheet.not_kept, "シートの非表示");
    SheetHandler handler(sheet, context);
    std::optional<ReadFailure> failed = package.read_xml(*part, Namespace::spreadsheet, handler);
    if (!failed && !handler.finish()) failed = std::move(handler.failure);
    if (!failed) {
      std::vector<Relationship> own;
      failed = read_relationships(package, *part, own);
      bool comments = false;
      for (const Relationship& x : own) {
        if (x.type == "comments" || x.type == "threadedComment") comments = true;
        if (x.type == "pivotTable") add_once(sheet.not_kept, "ピボットテーブル");
      }
      if (comments) add_once(sheet.not_kept, kComments);
      if (handler.legacy_drawing && !comments) add_once(sheet.not_kept, kDrawings);
    }
    if (failed) {
      failed->sheet = entry.name;
      if (failed->part.empty()) failed->part = *part;
      return std::move(*failed);
    }
    book.sheets.push_back(std::move(sheet));
  }
  return book;
}

}  // namespace lumeno::scriptbuilder::xlsx
