// Shared pieces of the fuzz targets: the library record as an owning handle,
// the fixed keys and certificates the targets decrypt, verify and issue with,
// and the input layout (a selector byte choosing the entry point, then the
// payload, which some entry points split into parts).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "libtessel/tessel.h"

namespace fuzz {

struct CaseFree {
  void operator()(CRYPTOCASE* p) const { CRYPTOCASE_free(p); }
};
using Case = std::unique_ptr<CRYPTOCASE, CaseFree>;

// The content that signed and enveloped seeds carry, the password of the
// encrypted key seeds and the message of the detached signature seeds.
inline constexpr std::string_view kContent = "fuzz: content signed and enveloped by the seeds\n";
inline constexpr char kPassword[] = "fuzz-password";
// Separates the parts of a payload that carries more than one input.
inline constexpr std::string_view kPartSeparator = "\n--part--\n";

// Clears OpenSSL's error queue when the input is done. A failed call may
// leave errors queued; their strings, allocated in one input and released in
// a later one, would make every input look like a leak to libFuzzer and send
// it into a leak check each time.
struct ErrorQueueReset {
  ErrorQueueReset() = default;
  ErrorQueueReset(const ErrorQueueReset&) = delete;
  ErrorQueueReset& operator=(const ErrorQueueReset&) = delete;
  ~ErrorQueueReset();
};

struct Input {
  unsigned selector = 0;
  std::string_view payload;
};
// The first byte chooses, the rest is payload; an empty input is selector 0
// with an empty payload.
Input split_input(const uint8_t* data, std::size_t size);

// At most n parts; the last takes the rest, missing ones are empty.
std::vector<std::string_view> split_parts(std::string_view payload, std::size_t n);

inline const unsigned char* bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}
inline int32_t length(std::string_view s) {
  return static_cast<int32_t>(s.size());
}
inline std::string_view view(const unsigned char* p, int32_t n) {
  return p == nullptr || n <= 0
             ? std::string_view{}
             : std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n));
}

// A file of tests/fuzz/fixtures, read once (aborts when it is missing: a
// target without its fixtures would fuzz nothing).
const std::string& fixture(const char* name);

// Stops the run with a crash report when an oracle of a target fails.
[[noreturn]] void fail(const char* what);

// The re-encoding a Convert* export makes must read back and re-encode to
// the same bytes in the other form and back.
using ConvertFn = CRYPTOCASE* (*)(int32_t form, const unsigned char* in, int32_t in_len);
void check_conversion(ConvertFn convert, int32_t form, std::string_view input);

}  // namespace fuzz
