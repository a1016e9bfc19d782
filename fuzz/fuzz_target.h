// A fuzz target: one function over arbitrary bytes that must never crash,
// hang, leak or read out of bounds. Built as a libFuzzer entry point for the
// fuzzers, and into the test binary, which replays fuzz/regressions/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lumeno::fuzz {

using Target = int (*)(const std::uint8_t* data, std::size_t size);
bool register_target(const char* name, Target target);

// The input cut into parts at "\0\0" (the options byte, definitions, text...).
struct Parts {
  explicit Parts(const std::uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}
  std::string_view next() {
    const std::size_t cut = rest_.find(std::string_view("\0\0", 2));
    const std::string_view part = rest_.substr(0, cut);
    rest_ = cut == std::string_view::npos ? std::string_view() : rest_.substr(cut + 2);
    return part;
  }
  unsigned char byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<unsigned char>(rest_[0]);
    rest_.remove_prefix(1);
    return b;
  }
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

}  // namespace lumeno::fuzz

#ifdef LUMENO_LIBFUZZER
#define LUMENO_FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
#else
#define LUMENO_FUZZ_TARGET(name)                                                                             \
  static int fuzz_##name(const std::uint8_t* data, std::size_t size);                                        \
  [[maybe_unused]] static const bool registered_##name = lumeno::fuzz::register_target(#name, fuzz_##name); \
  static int fuzz_##name(const std::uint8_t* data, std::size_t size)
#endif
