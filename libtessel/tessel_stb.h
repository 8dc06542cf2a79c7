// What libtessel uses of the national-algorithm extension: the registration
// into OpenSSL, the C functions of stb/stb.h, and the names under which
// OpenSSL's by-name lookups find the algorithms.
#pragma once

#include "stb/stb.h"

namespace tessel {

inline constexpr char kBignKeyType[] = "bign-pubkey";
inline constexpr char kBash256[] = "bash256";
inline constexpr char kProtectCipher[] = "belt-ctr256";

inline constexpr int kMacSize = 8;
inline constexpr int kHmacSize = 32;

// Every export runs this before its first lookup; after the first call it
// only answers. A failed registration is not fatal here: the lookups that
// need the algorithms fail on their own and report their status.
inline void ensure_registered() {
  static_cast<void>(STB_register());
}

}  // namespace tessel
