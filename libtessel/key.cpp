// Symmetric keys (random, belt key expansion and conversion) and bign key
// pairs, generated or set from given private-key bytes.
#include <openssl/evp.h>

#include <cstddef>
#include <cstring>

#include "libtessel/internal/key_output.h"
#include "libtessel/internal/loaders.h"
#include "libtessel/internal/ossl.h"
#include "libtessel/internal/record.h"
#include "libtessel/internal/secret_bytes.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

constexpr int32_t kSymmetricKeyBlocks = 1;
constexpr int32_t kKeyPairBlocks = 2;  // 64 source bytes for a key pair
constexpr std::size_t kRandomBlock = 32;
constexpr std::size_t kExpandedKey = 32;
constexpr std::size_t kLevelBytes = 12;
constexpr std::size_t kHeaderBytes = 16;

CRYPTOCASE* answer(CRYPTOCASE* rec, int32_t status) {
  rec->status = status;
  return rec;
}

// The keygen parameter letter of a security level, or null.
const char* params_of(int32_t level) {
  switch (level) {
    case 128:
      return "A";
    case 192:
      return "B";
    case 256:
      return "C";
    default:
      return nullptr;
  }
}

// Steps shared by GenPrivateKey and SetPrivateKey: a fresh key pair at the
// level, into key. Answers 22, 50, 20 or 0.
int32_t generate(int32_t level, PkeyPtr& key) {
  const PkeyCtxPtr ctx(new_keygen_context());
  if (!ctx) return TESSEL_KEYGEN_CTX_FAILED;
  const char* params = params_of(level);
  if (params == nullptr) return TESSEL_UNSUPPORTED_LEVEL;
  EVP_PKEY* made = nullptr;
  if (EVP_PKEY_CTX_ctrl_str(ctx.get(), "params", params) <= 0 ||
      EVP_PKEY_keygen(ctx.get(), &made) <= 0)
    return TESSEL_KEYGEN_FAILED;
  key.reset(made);
  return TESSEL_OK;
}

// Fills out (a whole number of blocks) from CryptoPseudoRandom.
int32_t pseudo_random(int32_t blocks, const unsigned char* seed, int32_t seed_len,
                      SecretBytes& out) {
  const InnerCase random(CryptoPseudoRandom(blocks, seed, seed_len));
  if (!random) return TESSEL_NO_MEMORY;
  if (random->status != TESSEL_OK) return random->status;
  if (random->data_len < 0 || static_cast<std::size_t>(random->data_len) != out.size())
    return TESSEL_RANDOM_FAILED;
  std::memcpy(out.get(), random->data, out.size());
  return TESSEL_OK;
}

}  // namespace

int32_t write_key(CRYPTOCASE* rec, EVP_PKEY* key, const char* password, bool with_public) {
  const EVP_CIPHER* cipher = nullptr;
  int password_len = 0;
  if (password != nullptr) {
    const std::size_t n = std::strlen(password);
    if (n < static_cast<std::size_t>(kMinPasswordLength)) return TESSEL_SHORT_PASSWORD;
    if (n > INT32_MAX) return TESSEL_BAD_LENGTH;
    password_len = static_cast<int>(n);
    cipher = EVP_get_cipherbyname(kProtectCipher);
    if (cipher == nullptr) return TESSEL_NO_PROTECT_CIPHER;
  }
  const BioPtr private_bio = output_bio();
  const BioPtr public_bio = with_public ? output_bio() : nullptr;
  if (!private_bio || (with_public && !public_bio)) return TESSEL_BIO_ALLOC_FAILED;
  if (!write_private_key(private_bio.get(), key, cipher, password, password_len))
    return TESSEL_KEY_WRITE_FAILED;
  if (with_public && PEM_write_bio_PUBKEY(public_bio.get(), key) <= 0)
    return TESSEL_BIO_WRITE_FAILED;
  int32_t status = copy_out(private_bio.get(), &rec->key, &rec->key_len);
  if (status == TESSEL_OK && with_public)
    status = copy_out(public_bio.get(), &rec->public_key, &rec->public_key_len);
  return status;
}

}  // namespace tessel

using tessel::answer;
using tessel::SecretBytes;

extern "C" {

TESSEL_API CRYPTOCASE* GenEncryptKey(const unsigned char* seed, int32_t seed_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  SecretBytes key(tessel::kRandomBlock);
  if (!key) return answer(rec, TESSEL_NO_MEMORY);
  const int32_t status = tessel::pseudo_random(tessel::kSymmetricKeyBlocks, seed, seed_len, key);
  if (status != TESSEL_OK) return answer(rec, status);
  key.hand_to(&rec->key, &rec->key_len);
  return answer(rec, TESSEL_OK);
}

TESSEL_API CRYPTOCASE* KeyExpansion(const unsigned char* key, int32_t key_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  if (key == nullptr || (key_len != 16 && key_len != 24 && key_len != 32))
    return answer(rec, TESSEL_UNSUPPORTED_LEVEL);
  SecretBytes out(tessel::kExpandedKey);
  if (!out) return answer(rec, TESSEL_NO_MEMORY);
  if (BELT_keyexpand(out.get(), key, static_cast<std::size_t>(key_len)) != 0)
    return answer(rec, TESSEL_UNSUPPORTED_LEVEL);
  out.hand_to(&rec->key, &rec->key_len);
  return answer(rec, TESSEL_OK);
}

TESSEL_API CRYPTOCASE* KeyConversion(const unsigned char* key, int32_t key_len,
                                     const unsigned char* level, const unsigned char* header,
                                     int32_t out_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  static constexpr unsigned char kZeros[tessel::kHeaderBytes] = {};
  static_assert(tessel::kLevelBytes <= sizeof kZeros);
  SecretBytes out(out_len > 0 ? static_cast<std::size_t>(out_len) : 0);
  if (!out) return answer(rec, TESSEL_NO_MEMORY);
  // belt-keyrep takes 16, 24 or 32 bytes in and no more out than in; it
  // writes nothing when the lengths do not fit.
  if (key == nullptr || key_len <= 0 ||
      BELT_keyrep(key, static_cast<std::size_t>(key_len), level != nullptr ? level : kZeros,
                  header != nullptr ? header : kZeros, out.size(), out.get()) != 0)
    return answer(rec, TESSEL_BAD_LENGTH);
  out.hand_to(&rec->key, &rec->key_len);
  return answer(rec, TESSEL_OK);
}

TESSEL_API CRYPTOCASE* GenPrivateKey(int32_t level, const char* password, const unsigned char* seed,
                                     int32_t seed_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  tessel::PkeyPtr key;
  int32_t status = tessel::generate(level, key);
  if (status != TESSEL_OK) return answer(rec, status);
  if (seed != nullptr) {
    SecretBytes source(static_cast<std::size_t>(tessel::kKeyPairBlocks) * tessel::kRandomBlock);
    if (!source) return answer(rec, TESSEL_NO_MEMORY);
    status = tessel::pseudo_random(tessel::kKeyPairBlocks, seed, seed_len, source);
    if (status != TESSEL_OK) return answer(rec, status);
    // Should no piece of the source be a usable private key, the pair
    // generated above stays: it is just as fresh.
    static_cast<void>(BIGN_gen_keypair(key.get(), nullptr, nullptr, source.get(), source.size()));
  }
  return answer(rec, tessel::write_key(rec, key.get(), password, true));
}

TESSEL_API CRYPTOCASE* SetPrivateKey(int32_t level, const char* password,
                                     const unsigned char* private_key, int32_t private_key_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  if (private_key == nullptr || private_key_len <= 0 || level / 4 != private_key_len ||
      level % 4 != 0)
    return answer(rec, TESSEL_BAD_LENGTH);
  tessel::PkeyPtr key;
  const int32_t status = tessel::generate(level, key);
  if (status != TESSEL_OK) return answer(rec, status);
  // Bytes that are no private key (0, or not below the curve's order) must
  // not leave the random pair in their place.
  if (BIGN_gen_keypair(key.get(), nullptr, nullptr, private_key,
                       static_cast<std::size_t>(private_key_len)) != 0)
    return answer(rec, TESSEL_KEYGEN_FAILED);
  return answer(rec, tessel::write_key(rec, key.get(), password, true));
}

}  // extern "C"
