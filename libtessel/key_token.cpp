// Key transport (STB 34.101.45): a key wrapped for a recipient's bign
// public key into a token, and opened again with the private key.
#include <openssl/evp.h>

#include <climits>
#include <cstddef>
#include <cstring>

#include "libtessel/internal/loaders.h"
#include "libtessel/internal/ossl.h"
#include "libtessel/internal/record.h"
#include "libtessel/internal/secret_bytes.h"
#include "libtessel/tessel_stb.h"

namespace {

constexpr int32_t kHeaderBytes = 16;
constexpr int32_t kTokenRandomBlocks = 2;  // 64 bytes for the one-time key
constexpr std::size_t kTokenRandomBytes = 64;

CRYPTOCASE* answer(CRYPTOCASE* rec, int32_t status) {
  rec->status = status;
  return rec;
}

// The standard curves and the private-key length l/4 of each.
struct Curve {
  const char* oid;
  int32_t private_bytes;
};
constexpr Curve kCurves[] = {{"1.2.112.0.2.0.34.101.45.3.1", 32},
                             {"1.2.112.0.2.0.34.101.45.3.2", 48},
                             {"1.2.112.0.2.0.34.101.45.3.3", 64}};

// Steps shared by both directions: a key of another type is not on a
// standard bign curve (51); a bign key must carry its key object (24) on a
// standard curve (51) whose parameters load (64). private_bytes receives l/4.
// OpenSSL 3.0 keeps the keys of its own types without a legacy object, so
// the type is asked first: such a key is well formed, just not a bign key.
int32_t check_curve(EVP_PKEY* key, int32_t& private_bytes) {
  if (!EVP_PKEY_is_a(key, tessel::kBignKeyType)) return TESSEL_NONSTANDARD_CURVE;
  if (EVP_PKEY_get0(key) == nullptr) return TESSEL_NOT_NATIONAL_KEY;
  const char* curve = BIGN_get_params(key);
  if (curve == nullptr) return TESSEL_NONSTANDARD_CURVE;
  for (const Curve& c : kCurves) {
    if (std::strcmp(curve, c.oid) != 0) continue;
    if (BIGN_load_std_params(key, c.oid) != 0) return TESSEL_STD_PARAMS_FAILED;
    private_bytes = c.private_bytes;
    return TESSEL_OK;
  }
  return TESSEL_NONSTANDARD_CURVE;
}

}  // namespace

extern "C" {

TESSEL_API CRYPTOCASE* CreateToken(const unsigned char* key, int32_t key_len,
                                   const unsigned char* public_key, int32_t public_key_len,
                                   const unsigned char* header) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const tessel::PkeyPtr recipient(tessel::load_public_key(public_key, public_key_len));
  if (!recipient) return answer(rec, TESSEL_BAD_PUBLIC_KEY);
  int32_t private_bytes = 0;
  const int32_t status = check_curve(recipient.get(), private_bytes);
  if (status != TESSEL_OK) return answer(rec, status);
  if (key_len < 0 || (key == nullptr && key_len > 0) ||
      key_len > INT32_MAX - kHeaderBytes - private_bytes)
    return answer(rec, TESSEL_BAD_LENGTH);
  tessel::SecretBytes token(static_cast<std::size_t>(key_len + kHeaderBytes + private_bytes));
  if (!token) return answer(rec, TESSEL_NO_MEMORY);
  const tessel::InnerCase random(CryptoPseudoRandom(kTokenRandomBlocks, nullptr, 0));
  if (!random) return answer(rec, TESSEL_NO_MEMORY);
  if (random->status != TESSEL_OK) return answer(rec, random->status);
  if (random->data_len != static_cast<int32_t>(kTokenRandomBytes))
    return answer(rec, TESSEL_RANDOM_FAILED);
  // The one-time key comes from our generator, not from OpenSSL's.
  if (BIGN_create_token(recipient.get(), nullptr, key, static_cast<std::size_t>(key_len), header,
                        random->data, token.get()) != 0)
    return answer(rec, TESSEL_TOKEN_CREATE_FAILED);
  token.hand_to(&rec->token, &rec->token_len);
  return answer(rec, TESSEL_OK);
}

TESSEL_API CRYPTOCASE* DecodeToken(const unsigned char* token, int32_t token_len,
                                   const unsigned char* header, const unsigned char* private_key,
                                   int32_t private_key_len, const char* password) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const tessel::PkeyPtr owner(tessel::load_private_key(private_key, private_key_len, password));
  if (!owner) return answer(rec, TESSEL_BAD_PRIVATE_KEY);
  int32_t private_bytes = 0;
  const int32_t status = check_curve(owner.get(), private_bytes);
  if (status != TESSEL_OK) return answer(rec, status);
  // A token too short to carry anything cannot be decoded (and must not
  // size the output buffer).
  if (token == nullptr || token_len <= kHeaderBytes + private_bytes)
    return answer(rec, TESSEL_TOKEN_DECODE_FAILED);
  tessel::SecretBytes carried(static_cast<std::size_t>(token_len - kHeaderBytes - private_bytes));
  if (!carried) return answer(rec, TESSEL_NO_MEMORY);
  switch (BIGN_decode_token(owner.get(), token, static_cast<std::size_t>(token_len), header,
                            nullptr, carried.get())) {
    case 0:
      carried.hand_to(&rec->key, &rec->key_len);
      return answer(rec, TESSEL_OK);
    case 2:
      return answer(rec, TESSEL_TOKEN_MISMATCH);
    default:
      return answer(rec, TESSEL_TOKEN_DECODE_FAILED);
  }
}

}  // extern "C"
