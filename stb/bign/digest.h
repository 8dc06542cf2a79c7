// The hashes that go with bign signatures: which one each level uses, their
// object identifiers (the complete DER goes into the signature), and a
// one-shot hash of a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace stb::bign {

enum class HashAlg { belt_hash, bash256, bash384, bash512 };

inline constexpr std::size_t kHashOidDerSize = 11;

struct HashInfo {
  HashAlg alg;
  const char* name;
  const char* oid;                    // dotted form
  std::uint8_t der[kHashOidDerSize];  // 06 09 ...: tag, length and content
  std::size_t size;                   // hash value octets, l/4
  unsigned level;                     // the level whose signatures it fits
};

const HashInfo& hash_info(HashAlg alg);
// Null for an OID that is none of the four.
const HashInfo* hash_by_oid(std::string_view oid);
// belt-hash at 128, bash384 at 192, bash512 at 256 (level must be valid).
HashAlg default_hash(unsigned level);

// out.size() must equal hash_info(alg).size.
bool hash(HashAlg alg, std::span<const std::uint8_t> msg, std::span<std::uint8_t> out);

}  // namespace stb::bign
