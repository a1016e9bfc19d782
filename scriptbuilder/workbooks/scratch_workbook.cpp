#include "scriptbuilder/workbooks/scratch_workbook.h"

#include <cstdint>
#include <random>

#include "scriptbuilder/workbooks/library_files.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

ScratchWorkbook make_scratch_workbook(FileSystem& fs, const std::filesystem::path& folder, const std::string& folder_name,
                                      const std::string& file_name,
                                      const std::function<WorkbookStatus(const WorkbookTarget&)>& make) {
  ScratchWorkbook out;
  const std::filesystem::path scratch = folder / file_name;
  const std::optional<std::string> scratch_name = library_files::library_name(scratch);
  if (!scratch_name) return out;
  return collect_scratch_workbook(fs, scratch, make({*scratch_name, folder_name}));
}

ScratchWorkbook collect_scratch_workbook(FileSystem& fs, const std::filesystem::path& scratch, WorkbookStatus status) {
  ScratchWorkbook out;
  const bool made = status == WorkbookStatus::written && fs.read(scratch, out.bytes) == ReadStatus::ok;
  // The scratch file goes whatever came of it.
  const bool removed = fs.kind(scratch) == EntryKind::missing || fs.remove_file(scratch);
  if (status == WorkbookStatus::cancelled) {
    out.status = WorkbookStatus::cancelled;
  } else if (made && !removed) {
    out.left_behind = scratch;
  } else if (made) {
    out.status = WorkbookStatus::written;
  }
  if (out.status != WorkbookStatus::written) out.bytes.clear();
  return out;
}

namespace {

constexpr std::uint64_t kScratchPerTextByte = 6;
constexpr std::uint64_t kScratchReserve = std::uint64_t{64} << 20;
constexpr std::uint64_t kMegabyte = std::uint64_t{1} << 20;

}  // namespace

std::uint64_t scratch_room(std::uint64_t text_bytes) { return text_bytes * kScratchPerTextByte + kScratchReserve; }

std::string scratch_room_message(const std::filesystem::path& workbook, const std::filesystem::path& folder, std::uint64_t needed,
                                 std::uint64_t free) {
  const std::string variable(library_files::scratch_folder_variable());
  // The folder as users write it: without the separator that Windows's
  // temporary folder ends with (a drive's root keeps its own).
  const std::filesystem::path shown =
      !folder.has_filename() && folder.has_relative_path() ? folder.parent_path() : folder;
  return format("%s ファイルを作成できませんでした。一時フォルダ %s の空き容量が足りません（必要 約 %llu MB、空き %llu MB）。"
                "一時フォルダは環境変数 %s で空きのある場所に移せます。",
                names::display_name(workbook).c_str(), names::display_name(shown).c_str(),
                static_cast<unsigned long long>((needed + kMegabyte - 1) / kMegabyte), static_cast<unsigned long long>(free / kMegabyte),
                variable.c_str());
}

std::optional<std::string> scratch_room_shortage(FileSystem& fs, const std::filesystem::path& folder,
                                                 const std::filesystem::path& workbook, std::uint64_t text_bytes) {
  const std::uint64_t needed = scratch_room(text_bytes);
  const std::optional<std::uint64_t> free = fs.free_space(folder);
  if (!free || *free >= needed) return std::nullopt;
  return scratch_room_message(workbook, folder, needed, *free);
}

ScratchFolder::ScratchFolder(const std::filesystem::path& parent, const std::string& name) : path_(parent / name) {
  std::error_code ec;
  made_ = std::filesystem::create_directory(path_, ec) && !ec;
}

ScratchFolder::~ScratchFolder() {
  // Only an empty folder goes: a file the library left is not ours to lose.
  std::error_code ec;
  if (made_) std::filesystem::remove(path_, ec);
}

std::string scratch_name_prefix(const void* salt) {
  std::random_device entropy;
  const std::uint64_t tag = (static_cast<std::uint64_t>(entropy()) << 32) ^ entropy() ^ reinterpret_cast<std::uintptr_t>(salt);
  return "lumeno-workbook-" + format("%016llx", static_cast<unsigned long long>(tag)) + "-";
}

}  // namespace lumeno::scriptbuilder
