// The national algorithms called directly, secrets marked: every belt mode
// both ways, belt-mac, belt-hash and belt-compress, hmac-hbelt, wblock and
// kwp (a good and a wrong header), keyrep, both brng generators, bash, and
// bign key generation, signing (deterministic, with extra octets, with a
// random one-time key), tokens and the shared key, at all three levels.
#include "cases.h"

#include <span>

#include "marks.h"
#include "stb/bash/bash.h"
#include "stb/belt/block.h"
#include "stb/belt/hash.h"
#include "stb/belt/hmac.h"
#include "stb/belt/keyrep.h"
#include "stb/belt/kwp.h"
#include "stb/belt/mac.h"
#include "stb/belt/modes.h"
#include "stb/bign/curves.h"
#include "stb/bign/dh.h"
#include "stb/bign/digest.h"
#include "stb/bign/keys.h"
#include "stb/bign/sign.h"
#include "stb/bign/token.h"
#include "stb/brng/brng.h"

namespace ct {
namespace {

// Lengths that reach every group size and tail of the engines, with a
// ragged end for the stream modes.
constexpr std::size_t kLength = 16 * 67 + 5;

void modes() {
  for (const std::size_t key_len : {16u, 32u}) {
    Bytes key = filled(key_len, 1), iv = filled(16, 2), pt = filled(kLength, 3);
    secret(key);
    secret(pt);
    using namespace stb::belt;
    Bytes ct(kLength), back(kLength);
    expect(Ecb::encrypt(key.data(), key_len, pt.data(), kLength, ct.data()) &&
               Ecb::decrypt(key.data(), key_len, ct.data(), kLength, back.data()),
           "belt-ecb");
    expect(Cbc::encrypt(key.data(), key_len, iv.data(), pt.data(), kLength, ct.data()) &&
               Cbc::decrypt(key.data(), key_len, iv.data(), ct.data(), kLength, back.data()),
           "belt-cbc");
    expect(Cfb::encrypt(key.data(), key_len, iv.data(), pt.data(), kLength, ct.data()) &&
               Cfb::decrypt(key.data(), key_len, iv.data(), ct.data(), kLength, back.data()),
           "belt-cfb");
    expect(Ctr::crypt(key.data(), key_len, iv.data(), pt.data(), kLength, ct.data()) &&
               Ctr::crypt(key.data(), key_len, iv.data(), ct.data(), kLength, back.data()),
           "belt-ctr");
    reveal(back);
    reveal(pt);
    expect(back == pt, "belt-ctr round trip");
  }
}

void mac_hash() {
  Bytes key = filled(32, 4), msg = filled(kLength, 5), out(64);
  secret(key);
  secret(msg);
  expect(stb::belt::Mac::compute(key.data(), key.size(), msg.data(), msg.size(), out.data()),
         "belt-mac");
  stb::belt::Hash::compute(msg.data(), msg.size(), out.data());
  stb::belt::Hmac::compute(key.data(), key.size(), msg.data(), msg.size(), out.data());
  stb::belt::Hmac::compute(msg.data(), 100, msg.data(), 7, out.data());  // long key: hashed
  Bytes in64 = filled(64, 6), s(16);
  secret(in64);
  stb::belt::compress(in64.data(), s.data(), out.data());
  for (const unsigned level : {128u, 192u, 256u})
    expect(stb::bash::Hash::compute(level, msg.data(), msg.size(), out.data()), "bash");
}

void wrap() {
  using namespace stb::belt;
  Bytes key = filled(32, 7), secret_key = filled(37, 8), header = filled(16, 9);
  secret(key);
  secret(secret_key);
  Bytes wrapped(secret_key.size() + 16), back(secret_key.size());
  expect(kwp_wrap(key.data(), key.size(), secret_key.data(), secret_key.size(), header.data(),
                  wrapped.data()),
         "belt-kwp wrap");
  reveal(wrapped);
  expect(kwp_unwrap(key.data(), key.size(), wrapped.data(), wrapped.size(), header.data(),
                    back.data()),
         "belt-kwp unwrap");
  header[0] ^= 1;
  expect(!kwp_unwrap(key.data(), key.size(), wrapped.data(), wrapped.size(), header.data(),
                     back.data()),
         "belt-kwp refusal");
  Bytes level = filled(12, 10), out(24);
  expect(keyrep(key.data(), key.size(), level.data(), header.data(), out.size(), out.data()),
         "belt-keyrep");
  Bytes expanded(32);
  expect(keyexpand(key.data(), 24, expanded.data()), "belt-keyexpand");
}

void generators() {
  Bytes key = filled(32, 11), start = filled(32, 12), x = filled(96, 13), y(96);
  secret(key);
  secret(start);
  secret(x);
  stb::brng::CtrHbelt ctr;
  ctr.init(key.data(), start.data());
  ctr.generate(x.data(), 3, y.data());
  stb::brng::HmacHbelt hmac;
  hmac.init(key.data(), key.size(), start.data(), 20);
  hmac.generate(y.data(), 70);
}

Bytes oid_of(unsigned level) {
  const stb::bign::HashInfo& info = stb::bign::hash_info(stb::bign::default_hash(level));
  return Bytes(info.der, info.der + stb::bign::kHashOidDerSize);
}

void bign_level(unsigned level) {
  namespace bign = stb::bign;
  const Bytes oid = oid_of(level);
  Bytes d(bign::private_key_size(level)), q(bign::public_key_size(level));
  expect(bign::generate_keypair(level, d, q), "bign key pair");
  expect(traced(d), "the generated private key is traced");
  Bytes h = filled(bign::hash_size(level), 14), t = filled(23, 15);
  Bytes sig(bign::signature_size(level));
  expect(bign::sign(level, oid, h, d, sig), "bign sign, deterministic");
  secret(t);
  expect(bign::sign(level, oid, h, d, sig, t), "bign sign with extra octets");
  expect(bign::sign_randomized(level, oid, h, d, sig), "bign sign, random one-time key");
  expect(bign::verify(level, oid, h, sig, q), "bign verify");
  expect(bign::public_key(level, d, q), "bign public key");

  Bytes key = filled(32, 16), header = filled(bign::kTokenHeaderSize, 17);
  secret(key);
  Bytes token(bign::token_size(level, key.size())), back(key.size());
  expect(bign::token_create(level, key, header, q, token), "bign token, random one-time key");
  Bytes rand = filled(bign::field_size(level), 18);
  secret(rand);
  expect(bign::token_create(level, key, header, q, token, rand), "bign token, given key");
  expect(bign::token_decode(level, token, header, d, back) == bign::TokenResult::ok,
         "bign token decode");
  reveal(back);
  reveal(key);
  expect(back == key, "bign token round trip");
  Bytes shared(bign::public_key_size(level));
  expect(bign::dh(level, d, q, shared), "bign shared key");
}

void bign() {
  for (const unsigned level : {128u, 192u, 256u}) bign_level(level);
}

}  // namespace

const Case kStbCases[] = {
    {"belt modes", modes},      {"belt-mac, hashes, hmac", mac_hash},
    {"belt wrapping", wrap},    {"brng", generators},
    {"bign", bign},             {nullptr, nullptr},
};

}  // namespace ct
