#include "stb/bign/digest.h"

#include "stb/bash/bash.h"
#include "stb/belt/hash.h"

namespace stb::bign {
namespace {

constexpr HashInfo kHashes[] = {
    {HashAlg::belt_hash,
     "belt-hash",
     "1.2.112.0.2.0.34.101.31.81",
     {0x06, 0x09, 0x2A, 0x70, 0x00, 0x02, 0x00, 0x22, 0x65, 0x1F, 0x51},
     32,
     128},
    {HashAlg::bash256,
     "bash256",
     "1.2.112.0.2.0.34.101.77.11",
     {0x06, 0x09, 0x2A, 0x70, 0x00, 0x02, 0x00, 0x22, 0x65, 0x4D, 0x0B},
     32,
     128},
    {HashAlg::bash384,
     "bash384",
     "1.2.112.0.2.0.34.101.77.12",
     {0x06, 0x09, 0x2A, 0x70, 0x00, 0x02, 0x00, 0x22, 0x65, 0x4D, 0x0C},
     48,
     192},
    {HashAlg::bash512,
     "bash512",
     "1.2.112.0.2.0.34.101.77.13",
     {0x06, 0x09, 0x2A, 0x70, 0x00, 0x02, 0x00, 0x22, 0x65, 0x4D, 0x0D},
     64,
     256},
};

}  // namespace

const HashInfo& hash_info(HashAlg alg) {
  for (const HashInfo& h : kHashes) {
    if (h.alg == alg) return h;
  }
  return kHashes[0];
}

const HashInfo* hash_by_oid(std::string_view oid) {
  for (const HashInfo& h : kHashes) {
    if (oid == h.oid) return &h;
  }
  return nullptr;
}

HashAlg default_hash(unsigned level) {
  if (level == 192) return HashAlg::bash384;
  if (level == 256) return HashAlg::bash512;
  return HashAlg::belt_hash;
}

bool hash(HashAlg alg, std::span<const std::uint8_t> msg, std::span<std::uint8_t> out) {
  const HashInfo& info = hash_info(alg);
  if (out.size() != info.size) return false;
  if (alg == HashAlg::belt_hash) {
    belt::Hash::compute(msg.data(), msg.size(), out.data());
    return true;
  }
  return bash::Hash::compute(info.level, msg.data(), msg.size(), out.data());
}

}  // namespace stb::bign
