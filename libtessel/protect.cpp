// Data protection: a fresh key per message travels to the recipient as a
// bign key token beside the ciphertext, and optionally a detached signature
// of the plaintext travels with both.
#include <openssl/err.h>
#include <openssl/evp.h>

#include <cstddef>

#include "libtessel/internal/cipher_steps.h"
#include "libtessel/internal/record.h"
#include "libtessel/internal/secret_bytes.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

// The message key gets a fixed zero IV: it is used for one message only.
constexpr unsigned char kZeroIv[EVP_MAX_IV_LENGTH] = {};

// Moves an output buffer from an inner record into the result.
void take(unsigned char** to, int32_t* to_len, unsigned char** from, int32_t* from_len) {
  set_buffer(to, to_len, nullptr, 0);
  *to = *from;
  *to_len = *from_len;
  *from = nullptr;
  *from_len = 0;
}

// A key shorter than the cipher reads would send it reading past the key's
// buffer (a token may carry a key of any length from 16 octets on). An
// unknown name is left to the cipher step to report.
bool key_fits(const char* name, int32_t key_len) {
  const EVP_CIPHER* cipher = name != nullptr ? EVP_get_cipherbyname(name) : nullptr;
  return cipher == nullptr || EVP_CIPHER_get_key_length(cipher) <= key_len;
}

// The status of an inner call, with 7 for a record that could not be made.
int32_t status_of(const InnerCase& inner) {
  return inner ? inner->status : TESSEL_NO_MEMORY;
}

CRYPTOCASE* answer(CRYPTOCASE* rec, int32_t status) {
  if (status != TESSEL_OK) set_buffer(&rec->data, &rec->data_len, nullptr, 0);
  rec->status = status;
  return rec;
}

}  // namespace
}  // namespace tessel

using tessel::answer;
using tessel::InnerCase;
using tessel::status_of;
using tessel::take;

extern "C" {

TESSEL_API CRYPTOCASE* EncryptData(const char* name, const unsigned char* data, int32_t data_len,
                                   const unsigned char* public_key, int32_t public_key_len,
                                   const unsigned char* header) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const InnerCase key(GenEncryptKey(nullptr, 0));
  if (status_of(key) != TESSEL_OK) return answer(rec, status_of(key));
  if (!tessel::key_fits(name, key->key_len)) return answer(rec, TESSEL_BAD_LENGTH);
  tessel::cipher_oneshot(tessel::Direction::encrypt, rec, name, data, data_len, key->key,
                         tessel::kZeroIv);
  if (rec->status != TESSEL_OK) return rec;
  const InnerCase token(CreateToken(key->key, key->key_len, public_key, public_key_len, header));
  if (status_of(token) != TESSEL_OK) return answer(rec, status_of(token));
  take(&rec->token, &rec->token_len, &token->token, &token->token_len);
  ERR_clear_error();
  return answer(rec, TESSEL_OK);
}

TESSEL_API CRYPTOCASE* DecryptData(const char* name, const unsigned char* data, int32_t data_len,
                                   const unsigned char* token, int32_t token_len,
                                   const unsigned char* header, const unsigned char* private_key,
                                   int32_t private_key_len, const char* password) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const InnerCase key(
      DecodeToken(token, token_len, header, private_key, private_key_len, password));
  if (status_of(key) != TESSEL_OK) return answer(rec, status_of(key));
  if (!tessel::key_fits(name, key->key_len)) return answer(rec, TESSEL_BAD_LENGTH);
  tessel::cipher_oneshot(tessel::Direction::decrypt, rec, name, data, data_len, key->key,
                         tessel::kZeroIv);
  if (rec->status != TESSEL_OK) return rec;
  ERR_clear_error();
  return answer(rec, TESSEL_OK);
}

TESSEL_API CRYPTOCASE* Protect(const char* name, const unsigned char* data, int32_t data_len,
                               const unsigned char* private_key, int32_t private_key_len,
                               const char* password, const unsigned char* public_key,
                               int32_t public_key_len, const unsigned char* header) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const InnerCase sign(CreateSign(data, data_len, private_key, private_key_len, password));
  if (status_of(sign) != TESSEL_OK) return answer(rec, status_of(sign));
  const InnerCase sealed(EncryptData(name, data, data_len, public_key, public_key_len, header));
  if (status_of(sealed) != TESSEL_OK) return answer(rec, status_of(sealed));
  take(&rec->data, &rec->data_len, &sealed->data, &sealed->data_len);
  take(&rec->signature, &rec->signature_len, &sign->signature, &sign->signature_len);
  take(&rec->token, &rec->token_len, &sealed->token, &sealed->token_len);
  return answer(rec, TESSEL_OK);
}

TESSEL_API CRYPTOCASE* UnProtect(const char* name, const unsigned char* data, int32_t data_len,
                                 const unsigned char* token, int32_t token_len,
                                 const unsigned char* header, const unsigned char* private_key,
                                 int32_t private_key_len, const char* password,
                                 const unsigned char* signer_key, int32_t signer_key_len,
                                 const unsigned char* signature, int32_t signature_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const InnerCase opened(DecryptData(name, data, data_len, token, token_len, header, private_key,
                                     private_key_len, password));
  if (status_of(opened) != TESSEL_OK) return answer(rec, status_of(opened));
  // A plaintext whose signature does not verify is not handed out.
  const InnerCase check(VerifySign(opened->data, opened->data_len, signer_key, signer_key_len,
                                   signature, signature_len));
  if (status_of(check) != TESSEL_OK) return answer(rec, status_of(check));
  take(&rec->data, &rec->data_len, &opened->data, &opened->data_len);
  return answer(rec, TESSEL_OK);
}

}  // extern "C"
