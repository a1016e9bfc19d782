// The name codec: CP932 names <-> native paths.
//
// Names that appear inside text (relative names in lists and logs, pack
// entry names, piece names read from a pack file, base names used in voice
// names) are CP932 strings with "\" (0x5C) as the only folder separator, on
// every platform, so that outputs are byte-identical on Windows and
// elsewhere. File-system access uses std::filesystem::path (UTF-8 on POSIX,
// UTF-16 on Windows). A name that cannot be converted both ways without loss
// is an error with a clear message; nothing is silently mangled.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "shell/result.h"

namespace lumeno::names {

// The CP932 name of a native path, with "\" separators. A POSIX path
// "/home/a/b.txt" becomes "\home\a\b.txt".
Result<std::string> to_name(const std::filesystem::path& path);

// The native path of a CP932 name; both "\" and "/" separate folders (found
// character-wise, so the trail byte of a double-byte character never counts).
Result<std::filesystem::path> to_path(std::string_view name);

// The CP932 text of a native path with the platform's own separators, for
// messages. Never fails: what cannot be converted becomes "?".
std::string display_name(const std::filesystem::path& path);

// Conversions between CP932 and the terminal's text (UTF-8 on POSIX, UTF-16
// held as UTF-8 on Windows consoles: the console layer decides).
Result<std::string> cp932_from_utf8(std::string_view utf8);
Result<std::string> utf8_from_cp932(std::string_view cp932);
// As above, with every unconvertible character replaced by "?".
std::string utf8_from_cp932_lossy(std::string_view cp932);

// The message of a name that cannot be converted.
std::string unconvertible_message(std::string_view what_utf8_or_cp932);

}  // namespace lumeno::names
