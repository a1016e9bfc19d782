// Name codec for POSIX systems: native names are UTF-8 bytes; iconv converts.
#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <memory>

#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::names {

namespace {

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

// Converts `in` between two encodings. With `lossy`, every character that
// cannot be converted becomes "?"; otherwise the conversion fails.
bool convert(const char* to, const char* from, std::string_view in, bool lossy, std::string& out) {
  // ASCII is itself in either encoding: most parts of most paths are, and
  // opening a converter costs more than the rest of a file's name.
  if (std::all_of(in.begin(), in.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    out.assign(in);
    return true;
  }
  iconv_t raw = iconv_open(to, from);
  if (raw == reinterpret_cast<iconv_t>(-1)) return false;
  IconvHandle cd(raw);
  out.clear();
  out.reserve(in.size() * 3 / 2 + 4);
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char buffer[1024];
  while (src_left > 0) {
    char* dst = buffer;
    std::size_t dst_left = sizeof buffer;
    const std::size_t rc = iconv(static_cast<iconv_t>(cd.get()), &src, &src_left, &dst, &dst_left);
    out.append(buffer, sizeof buffer - dst_left);
    if (rc == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      if (!lossy) return false;
      // EILSEQ or EINVAL: replace one input byte (or the lead and its trail
      // byte) and go on.
      out.push_back('?');
      std::size_t skip = 1;
      if (std::string_view(from) == "CP932" && src_left >= 2 && is_sjis_lead(static_cast<unsigned char>(*src))) skip = 2;
      src += skip;
      src_left -= skip;
    }
  }
  return true;
}

}  // namespace

std::string lossy_cp932(std::string_view utf8) {
  std::string out;
  convert("CP932", "UTF-8", utf8, true, out);
  return out;
}

Result<std::string> cp932_from_utf8(std::string_view utf8) {
  std::string out;
  if (!convert("CP932", "UTF-8", utf8, false, out)) return Error{unconvertible_message(lossy_cp932(utf8))};
  // Refuse characters that do not come back the same way (for instance the
  // yen sign, which the converter writes as the backslash byte).
  std::string back;
  if (!convert("UTF-8", "CP932", out, false, back) || back != utf8) return Error{unconvertible_message(lossy_cp932(utf8))};
  return out;
}

Result<std::string> utf8_from_cp932(std::string_view cp932) {
  std::string out;
  if (!convert("UTF-8", "CP932", cp932, false, out)) {
    return Error{unconvertible_message(cp932)};
  }
  return out;
}

std::string utf8_from_cp932_lossy(std::string_view cp932) {
  std::string out;
  convert("UTF-8", "CP932", cp932, true, out);
  return out;
}

Result<std::string> to_name(const std::filesystem::path& path) {
  const std::string& native = path.native();
  std::string name;
  name.reserve(native.size());
  std::size_t start = 0;
  while (start <= native.size()) {
    std::size_t slash = native.find('/', start);
    if (slash == std::string::npos) slash = native.size();
    const std::string_view component(native.data() + start, slash - start);
    if (component.find('\\') != std::string_view::npos) return Error{unconvertible_message(display_name(path))};
    auto converted = cp932_from_utf8(component);
    if (!converted) return Error{unconvertible_message(display_name(path))};
    name += *converted;
    if (slash == native.size()) break;
    name += '\\';
    start = slash + 1;
  }
  return name;
}

Result<std::filesystem::path> to_path(std::string_view name) {
  // Converted whole, with one converter: CP932 keeps no state from one
  // character to the next, its single-byte "\" and "/" (the separators)
  // come out as themselves, and no byte of a double-byte character's UTF-8
  // is either (a trail byte 5C is never taken for a separator).
  std::string native;
  if (!convert("UTF-8", "CP932", name, false, native)) return Error{unconvertible_message(name)};
  std::replace(native.begin(), native.end(), '\\', '/');
  return std::filesystem::path(native);
}

std::string display_name(const std::filesystem::path& path) { return lossy_cp932(path.native()); }

}  // namespace lumeno::names
