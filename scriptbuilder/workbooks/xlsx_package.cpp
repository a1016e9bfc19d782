#include "scriptbuilder/workbooks/xlsx_package.h"

#include <expat.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "shell/sjis.h"

namespace lumeno::scriptbuilder::xlsx {

namespace {

// expat's separator between a namespace and a local name: a byte UTF-8
// never holds, so no name or namespace contains it.
constexpr char kNamespaceSeparator = '\xFF';
constexpr int kMaxDepth = 256;
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kMaxChunk = 1 << 30;  // what one call of expat takes

Namespace classify_namespace(std::string_view uri) {
  if (uri == "http://schemas.openxmlformats.org/spreadsheetml/2006/main" || uri == "http://purl.oclc.org/ooxml/spreadsheetml/main") {
    return Namespace::spreadsheet;
  }
  if (uri == "http://schemas.openxmlformats.org/officeDocument/2006/relationships" ||
      uri == "http://purl.oclc.org/ooxml/officeDocument/relationships") {
    return Namespace::relationships;
  }
  if (uri == "http://schemas.openxmlformats.org/package/2006/relationships") return Namespace::package_relationships;
  if (uri == "http://schemas.microsoft.com/office/spreadsheetml/2009/9/main") return Namespace::spreadsheet_2009;
  return Namespace::other;
}

// A name as expat gives it: "namespace\xFFlocal", or "local" unqualified.
std::pair<Namespace, std::string_view> split_name(const char* name) {
  const std::string_view whole(name);
  const std::size_t cut = whole.rfind(kNamespaceSeparator);
  if (cut == std::string_view::npos) return {Namespace::none, whole};
  return {classify_namespace(whole.substr(0, cut)), whole.substr(cut + 1)};
}

// The key a part is found by.
std::string part_key(std::string_view name) {
  std::string key;
  key.reserve(name.size());
  for (char c : name) key += c == '\\' ? '/' : (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (!key.empty() && key.front() == '/') key.erase(0, 1);
  return key;
}

ReadFailure failure(ReadFailure::Kind kind, std::string part, std::string detail) {
  ReadFailure out;
  out.kind = kind;
  out.part = std::move(part);
  out.detail = std::move(detail);
  return out;
}

// The bytes as a file for minizip: reads and seeks within them, writes nothing.
struct MemoryFile {
  std::string_view bytes;
  std::uint64_t at = 0;
};

voidpf ZCALLBACK memory_open(voidpf opaque, const void* /*name*/, int /*mode*/) { return opaque; }

uLong ZCALLBACK memory_read(voidpf /*opaque*/, voidpf stream, void* buffer, uLong size) {
  auto& file = *static_cast<MemoryFile*>(stream);
  const std::uint64_t n = std::min<std::uint64_t>(size, file.bytes.size() - file.at);
  std::memcpy(buffer, file.bytes.data() + file.at, static_cast<std::size_t>(n));
  file.at += n;
  return static_cast<uLong>(n);
}

uLong ZCALLBACK memory_write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK memory_tell(voidpf /*opaque*/, voidpf stream) { return static_cast<MemoryFile*>(stream)->at; }

long ZCALLBACK memory_seek(voidpf /*opaque*/, voidpf stream, ZPOS64_T offset, int origin) {
  auto& file = *static_cast<MemoryFile*>(stream);
  std::uint64_t base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
    base = file.at;
  } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
    base = file.bytes.size();
  } else if (origin != ZLIB_FILEFUNC_SEEK_SET) {
    return -1;
  }
  if (offset > file.bytes.size() - base) return -1;
  file.at = base + offset;
  return 0;
}

int ZCALLBACK memory_close(voidpf, voidpf) { return 0; }
int ZCALLBACK memory_error(voidpf, voidpf) { return 0; }

// One part's XML, fed a piece at a time.
class XmlStream {
 public:
  XmlStream(Namespace own, PartHandler& handler) : own_(own), handler_(handler) {
    parser_ = XML_ParserCreateNS(nullptr, kNamespaceSeparator);
    if (parser_ == nullptr) return;
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, on_start, on_end);
    XML_SetCharacterDataHandler(parser_, on_text);
    XML_SetStartDoctypeDeclHandler(parser_, on_doctype);
    XML_SetEntityDeclHandler(parser_, on_entity);
    XML_SetCommentHandler(parser_, on_comment);
    XML_SetProcessingInstructionHandler(parser_, on_instruction);
    XML_SetXmlDeclHandler(parser_, on_declaration);
  }
  ~XmlStream() {
    if (parser_ != nullptr) XML_ParserFree(parser_);
  }
  XmlStream(const XmlStream&) = delete;
  XmlStream& operator=(const XmlStream&) = delete;

  // Parses the next piece (the last one may be empty); false once the part failed.
  bool feed(const char* data, std::size_t size, bool last) {
    if (parser_ == nullptr) {
      failure = ReadFailure{ReadFailure::Kind::too_large, {}, {}, {}, "XML を読む用意ができません（メモリー不足）。"};
      return false;
    }
    fed_ += size;
    const XML_Status status = XML_Parse(parser_, data, static_cast<int>(size), last ? XML_TRUE : XML_FALSE);
    if (failure) return false;
    if (status != XML_STATUS_OK) {
      failure = ReadFailure{ReadFailure::Kind::damaged, {}, {}, {},
                            format("XML の誤りがあります（%lu 行 %lu 桁）: %s", static_cast<unsigned long>(XML_GetCurrentLineNumber(parser_)),
                                   static_cast<unsigned long>(XML_GetCurrentColumnNumber(parser_)), XML_ErrorString(XML_GetErrorCode(parser_)))};
      return false;
    }
    return true;
  }

  // How much to read next. A token that spans pieces is parsed again from
  // its start with each one (expat's way); a piece at least as long as what
  // waits unparsed keeps that linear however long the token.
  std::size_t next_chunk() const { return std::clamp<std::uint64_t>(fed_ - consumed_, kChunk, kMaxChunk); }

  std::optional<ReadFailure> failure;

 private:
  static XmlStream& self(void* user) { return *static_cast<XmlStream*>(user); }

  void stop(ReadFailure why) {
    if (!failure) failure = std::move(why);
    XML_StopParser(parser_, XML_FALSE);
  }
  void progress() {
    const XML_Index at = XML_GetCurrentByteIndex(parser_);
    if (at >= 0) consumed_ = static_cast<std::uint64_t>(at) + static_cast<std::uint64_t>(std::max(0, XML_GetCurrentByteCount(parser_)));
  }
  void check_handler() {
    if (handler_.failure) stop(*handler_.failure);
  }

  static void XMLCALL on_start(void* user, const XML_Char* name, const XML_Char** attributes) {
    XmlStream& s = self(user);
    if (s.failure) return;
    s.progress();
    if (++s.depth_ > kMaxDepth) {
      s.stop({ReadFailure::Kind::damaged, {}, {}, {}, format("要素の入れ子が深すぎます（%d 段まで）。", kMaxDepth)});
      return;
    }
    if (s.foreign_depth_ > 0) {
      ++s.foreign_depth_;
      return;
    }
    const auto [ns, local] = split_name(name);
    if (ns != s.own_ && ns != Namespace::none) {
      s.foreign_depth_ = 1;
      s.handler_.foreign(ns, local);
    } else {
      s.handler_.start(local, XmlAttributes(attributes));
    }
    s.check_handler();
  }

  static void XMLCALL on_end(void* user, const XML_Char* name) {
    XmlStream& s = self(user);
    if (s.failure) return;
    s.progress();
    --s.depth_;
    if (s.foreign_depth_ > 0) {
      --s.foreign_depth_;
      return;
    }
    s.handler_.end(split_name(name).second);
    s.check_handler();
  }

  static void XMLCALL on_text(void* user, const XML_Char* text, int size) {
    XmlStream& s = self(user);
    if (s.failure) return;
    s.progress();
    if (s.foreign_depth_ == 0 && s.handler_.text != nullptr) s.handler_.text->append(text, static_cast<std::size_t>(size));
  }

  static void XMLCALL on_doctype(void* user, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    // No part of a workbook has one; its entities are what zip bombs in
    // XML are made of.
    self(user).stop({ReadFailure::Kind::damaged, {}, {}, {}, "文書型宣言（DTD）のある XML は読みません。"});
  }
  static void XMLCALL on_entity(void* user, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                                const XML_Char*, const XML_Char*) {
    self(user).stop({ReadFailure::Kind::damaged, {}, {}, {}, "実体宣言のある XML は読みません。"});
  }
  static void XMLCALL on_comment(void* user, const XML_Char*) { self(user).progress(); }
  static void XMLCALL on_instruction(void* user, const XML_Char*, const XML_Char*) { self(user).progress(); }
  static void XMLCALL on_declaration(void* user, const XML_Char*, const XML_Char*, int) { self(user).progress(); }

  XML_Parser parser_ = nullptr;
  Namespace own_;
  PartHandler& handler_;
  int depth_ = 0;
  int foreign_depth_ = 0;
  std::uint64_t fed_ = 0;
  std::uint64_t consumed_ = 0;
};

}  // namespace

std::optional<std::string_view> XmlAttributes::get(std::string_view local, Namespace ns) const {
  for (const char** p = pairs_; p[0] != nullptr; p += 2) {
    const auto [attribute_ns, attribute_local] = split_name(p[0]);
    if (attribute_ns == ns && attribute_local == local) return std::string_view(p[1]);
  }
  return std::nullopt;
}

struct Package::State {
  MemoryFile file;
  unzFile zip = nullptr;
  std::unordered_map<std::string, unz64_file_pos> parts;
  Limits limits;
  std::uint64_t total_read = 0;

  ~State() {
    if (zip != nullptr) unzClose(zip);
  }
};

Package::Package(std::unique_ptr<State> state) : state_(std::move(state)) {}
Package::Package(Package&&) noexcept = default;
Package& Package::operator=(Package&&) noexcept = default;
Package::~Package() = default;

std::variant<Package, ReadFailure> Package::open(std::string_view bytes, const Limits& limits) {
  using Kind = ReadFailure::Kind;
  if (bytes.substr(0, 8) == "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") {
    // The container of the older .xls books, and of books saved with a password.
    return failure(Kind::not_zip, {}, "Excel 97-2003 形式（.xls）のブックか、パスワードで保護されたブックです。");
  }
  if (bytes.substr(0, 2) != "PK") return failure(Kind::not_zip, {}, "ZIP 形式のファイルではありません。");

  auto state = std::make_unique<State>();
  state->file.bytes = bytes;
  state->limits = limits;
  zlib_filefunc64_def functions{};
  functions.zopen64_file = memory_open;
  functions.zread_file = memory_read;
  functions.zwrite_file = memory_write;
  functions.ztell64_file = memory_tell;
  functions.zseek64_file = memory_seek;
  functions.zclose_file = memory_close;
  functions.zerror_file = memory_error;
  functions.opaque = &state->file;
  state->zip = unzOpen2_64("", &functions);
  if (state->zip == nullptr) return failure(Kind::damaged, {}, "ZIP の目録を読めません。ファイルが途中で切れているか、壊れています。");

  unz_global_info64 global{};
  if (unzGetGlobalInfo64(state->zip, &global) != UNZ_OK) return failure(Kind::damaged, {}, "ZIP の目録を読めません。");
  if (global.number_entry > 0) {
    std::vector<char> name(65536);
    int status = unzGoToFirstFile(state->zip);
    for (; status == UNZ_OK; status = unzGoToNextFile(state->zip)) {
      unz_file_info64 info{};
      unz64_file_pos position{};
      if (unzGetCurrentFileInfo64(state->zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0, nullptr, 0) != UNZ_OK ||
          unzGetFilePos64(state->zip, &position) != UNZ_OK) {
        status = UNZ_BADZIPFILE;
        break;
      }
      std::string key = part_key(std::string_view(name.data(), std::min<std::size_t>(info.size_filename, name.size())));
      if (!state->parts.emplace(key, position).second) {
        return failure(Kind::damaged, key, "同じ名前の部品が ZIP に二つあります。");
      }
    }
    if (status != UNZ_END_OF_LIST_OF_FILE) return failure(Kind::damaged, {}, "ZIP の目録が壊れています。");
  }
  return Package(std::move(state));
}

bool Package::has(std::string_view name) const { return state_->parts.count(part_key(name)) > 0; }

std::optional<ReadFailure> Package::read_xml(const std::string& name, Namespace own, PartHandler& handler) {
  using Kind = ReadFailure::Kind;
  State& s = *state_;
  const auto it = s.parts.find(part_key(name));
  if (it == s.parts.end()) return failure(Kind::damaged, name, "ブックの部品がありません。");
  unz64_file_pos position = it->second;
  unz_file_info64 info{};
  if (unzGoToFilePos64(s.zip, &position) != UNZ_OK ||
      unzGetCurrentFileInfo64(s.zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
    return failure(Kind::damaged, name, "ZIP の目録が壊れています。");
  }
  if ((info.flag & 1) != 0) return failure(Kind::damaged, name, "部品が暗号化されています。");
  if (info.uncompressed_size > s.limits.part_bytes) {
    return failure(Kind::too_large, name, format("部品が大きすぎます（展開して %llu MB まで）。", static_cast<unsigned long long>(s.limits.part_bytes >> 20)));
  }
  if (unzOpenCurrentFile(s.zip) != UNZ_OK) return failure(Kind::damaged, name, "部品の圧縮を解けません（壊れているか、対応しない圧縮方式です）。");
  // The entry is closed however this ends; a close that finds the data
  // damaged (its CRC) is checked below when all went well.
  struct Close {
    unzFile zip;
    bool done = false;
    ~Close() {
      if (!done) unzCloseCurrentFile(zip);
    }
  } close{s.zip};

  XmlStream xml(own, handler);
  std::vector<char> buffer;
  std::uint64_t read = 0;
  for (std::size_t chunk = kChunk;; chunk = xml.next_chunk()) {
    buffer.resize(chunk);
    const int n = unzReadCurrentFile(s.zip, buffer.data(), static_cast<unsigned>(chunk));
    if (n < 0) return failure(Kind::damaged, name, "部品のデータが壊れています。");
    read += static_cast<std::uint64_t>(n);
    s.total_read += static_cast<std::uint64_t>(n);
    if (read > s.limits.part_bytes) {
      return failure(Kind::too_large, name, format("部品が大きすぎます（展開して %llu MB まで）。", static_cast<unsigned long long>(s.limits.part_bytes >> 20)));
    }
    if (s.total_read > s.limits.total_bytes) {
      return failure(Kind::too_large, name,
                     format("ブックが大きすぎます（部品を展開して合わせて %llu MB まで）。", static_cast<unsigned long long>(s.limits.total_bytes >> 20)));
    }
    if (!xml.feed(buffer.data(), static_cast<std::size_t>(n), n == 0)) {
      ReadFailure why = std::move(*xml.failure);
      if (why.part.empty()) why.part = name;
      return why;
    }
    if (n == 0) break;
  }
  if (read != info.uncompressed_size) return failure(Kind::damaged, name, "部品の大きさが ZIP の目録と違います。");
  close.done = true;
  if (unzCloseCurrentFile(s.zip) != UNZ_OK) return failure(Kind::damaged, name, "部品のデータが壊れています（CRC が合いません）。");
  return std::nullopt;
}

std::optional<std::string> resolve_target(std::string_view base, std::string_view target) {
  std::string decoded;
  decoded.reserve(target.size());
  const auto hex = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; };
  for (std::size_t i = 0; i < target.size(); ++i) {
    if (target[i] == '%' && i + 2 < target.size() && hex(target[i + 1]) >= 0 && hex(target[i + 2]) >= 0) {
      decoded += static_cast<char>(hex(target[i + 1]) * 16 + hex(target[i + 2]));
      i += 2;
    } else {
      decoded += target[i] == '\\' ? '/' : target[i];
    }
  }
  const std::string path = !decoded.empty() && decoded.front() == '/' ? decoded.substr(1) : std::string(base) + decoded;
  std::vector<std::string_view> segments;
  std::string_view rest(path);
  while (!rest.empty()) {
    const std::size_t cut = rest.find('/');
    const std::string_view segment = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (segments.empty()) return std::nullopt;
      segments.pop_back();
    } else {
      segments.push_back(segment);
    }
  }
  if (segments.empty()) return std::nullopt;
  std::string out;
  for (const std::string_view segment : segments) {
    if (!out.empty()) out += '/';
    out += segment;
  }
  return out;
}

std::string part_folder(std::string_view part) {
  const std::size_t cut = part.rfind('/');
  return cut == std::string_view::npos ? std::string() : std::string(part.substr(0, cut + 1));
}

std::string relationships_part(std::string_view part) {
  const std::string folder = part_folder(part);
  return folder + "_rels/" + std::string(part.substr(folder.size())) + ".rels";
}

}  // namespace lumeno::scriptbuilder::xlsx
