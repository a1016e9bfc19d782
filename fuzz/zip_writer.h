// Zip archives made in memory, as the .xlsx reader's fuzz target and tests
// need them: entries stored or deflated, under any names (twice, with "\",
// empty), and the sizes or CRC given wrong when asked. Nothing checks the
// entries: a hostile archive is the point.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumeno::fuzz {

struct ZipEntry {
  std::string name;
  std::string data;
  bool deflate = false;
  // What the archive says of it, when not the truth (for damaged archives).
  std::int64_t stated_size = -1;
  bool wrong_crc = false;
  // Data deflated beforehand (repeated_entry), with its CRC and size.
  std::string deflated;
  std::uint32_t deflated_crc = 0;
  std::uint64_t deflated_size = 0;
};

namespace zip_detail {

inline void put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// Raw deflate (no zlib header), as zip entries hold it.
inline std::string deflate_raw(std::string_view data) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace zip_detail

// A deflated entry of `head`, `count` times `fill`, and `tail`, made without
// holding the whole (a zip bomb: megabytes of XML in kilobytes). At most 4 GB.
inline ZipEntry repeated_entry(std::string name, std::string_view head, char fill, std::uint64_t count, std::string_view tail) {
  ZipEntry e;
  e.name = std::move(name);
  z_stream z{};
  deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  const std::string block(1 << 20, fill);
  std::string out(1 << 16, '\0');
  uLong crc = crc32(0, nullptr, 0);
  const auto put = [&](std::string_view in, int flush) {
    crc = crc32(crc, reinterpret_cast<const Bytef*>(in.data()), static_cast<uInt>(in.size()));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    do {
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = static_cast<uInt>(out.size());
      deflate(&z, flush);
      e.deflated.append(out.data(), out.size() - z.avail_out);
    } while (z.avail_out == 0);
  };
  put(head, Z_NO_FLUSH);
  for (std::uint64_t left = count; left > 0;) {
    const std::uint64_t n = left < block.size() ? left : block.size();
    put(std::string_view(block.data(), static_cast<std::size_t>(n)), Z_NO_FLUSH);
    left -= n;
  }
  put(tail, Z_FINISH);
  deflateEnd(&z);
  e.deflated_crc = static_cast<std::uint32_t>(crc);
  e.deflated_size = head.size() + count + tail.size();
  return e;
}

// The archive of `entries`, in their order.
inline std::string zip_archive(const std::vector<ZipEntry>& entries) {
  using zip_detail::put16;
  using zip_detail::put32;
  std::string out;
  std::string directory;
  for (const ZipEntry& e : entries) {
    const bool made = !e.deflated.empty();
    const std::string body = made ? e.deflated : e.deflate ? zip_detail::deflate_raw(e.data) : e.data;
    std::uint32_t crc = made ? e.deflated_crc : static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
    if (e.wrong_crc) crc ^= 1;
    const std::uint64_t true_size = made ? e.deflated_size : e.data.size();
    const auto size = static_cast<std::uint32_t>(e.stated_size >= 0 ? static_cast<std::uint64_t>(e.stated_size) : true_size);
    const auto offset = static_cast<std::uint32_t>(out.size());
    const auto header = [&](std::string& to, bool central) {
      put32(to, central ? 0x02014b50 : 0x04034b50);
      if (central) put16(to, 20);
      put16(to, 20);                   // version needed
      put16(to, 0);                    // flags
      put16(to, e.deflate || made ? 8 : 0);  // method
      put16(to, 0);                    // time
      put16(to, 0x21);                 // date: 1980-01-01
      put32(to, crc);
      put32(to, static_cast<std::uint32_t>(body.size()));
      put32(to, size);
      put16(to, static_cast<std::uint32_t>(e.name.size()));
      put16(to, 0);  // extra field
      if (central) {
        put16(to, 0);  // comment
        put16(to, 0);  // disk
        put16(to, 0);  // internal attributes
        put32(to, 0);  // external attributes
        put32(to, offset);
      }
      to += e.name;
    };
    header(out, false);
    out += body;
    header(directory, true);
  }
  const auto directory_offset = static_cast<std::uint32_t>(out.size());
  out += directory;
  put32(out, 0x06054b50);
  put16(out, 0);
  put16(out, 0);
  put16(out, static_cast<std::uint32_t>(entries.size()));
  put16(out, static_cast<std::uint32_t>(entries.size()));
  put32(out, static_cast<std::uint32_t>(directory.size()));
  put32(out, directory_offset);
  put16(out, 0);
  return out;
}

}  // namespace lumeno::fuzz
