// Encryption and decryption with any OpenSSL cipher by name: the Init /
// Update / Final sequences on cipher_ctx and their one-shot forms.
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <climits>
#include <cstddef>
#include <cstring>

#include "libtessel/internal/cipher_steps.h"
#include "libtessel/internal/record.h"
#include "libtessel/internal/secret_bytes.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

// The block modes without a stream fallback: a message shorter than one
// block cannot be encrypted.
constexpr const char* kBlockModes[] = {"belt-cbc128", "belt-cbc192", "belt-cbc256",
                                       "belt-ecb128", "belt-ecb192", "belt-ecb256"};

bool is_block_mode(const char* name) {
  if (name == nullptr) return false;
  for (const char* mode : kBlockModes) {
    if (std::strcmp(name, mode) == 0) return true;
  }
  return false;
}

// Ends the sequence: a failing step and the final step release the context.
CRYPTOCASE* end_cipher(CRYPTOCASE* rec, int32_t status) {
  EVP_CIPHER_CTX_free(rec->cipher_ctx);  // cleans up (and so wipes) the cipher state
  rec->cipher_ctx = nullptr;
  rec->status = status;
  return rec;
}

void drop_data(CRYPTOCASE* rec) {
  set_buffer(&rec->data, &rec->data_len, nullptr, 0);
}

// The national ciphers are custom ciphers of the ENGINE that promise what
// the steps rely on: an update yields at most its input, and a final step
// without a buffer tells its length. OpenSSL's own (provider) ciphers carry
// the custom flag too but promise neither: a padded mode's update may
// release a held-back block, and asking their final step without a buffer
// crashes. They get a block of headroom and a final step of one block.
bool tells_final_length(const EVP_CIPHER_CTX* ctx) {
  const EVP_CIPHER* cipher = EVP_CIPHER_CTX_get0_cipher(ctx);
  return EVP_CIPHER_get0_provider(cipher) == nullptr &&
         (EVP_CIPHER_get_flags(cipher) & EVP_CIPH_FLAG_CUSTOM_CIPHER) != 0;
}

std::size_t update_room(const EVP_CIPHER_CTX* ctx, int32_t len) {
  const std::size_t n = static_cast<std::size_t>(len);
  if (tells_final_length(ctx)) return n;
  return n + static_cast<std::size_t>(EVP_CIPHER_CTX_get_block_size(ctx));
}

// Hands a buffer holding `used` valid octets of `room` to data, its unused
// tail wiped. False when that fails (the buffer is then released).
bool give_data(CRYPTOCASE* rec, unsigned char* buf, std::size_t room, std::size_t used) {
  drop_data(rec);
  if (used == 0) {
    OPENSSL_clear_free(buf, room);
    return true;
  }
  if (used < room) {
    auto* cut = static_cast<unsigned char*>(OPENSSL_clear_realloc(buf, room, used));
    if (cut == nullptr) {
      OPENSSL_clear_free(buf, room);
      return false;
    }
    buf = cut;
  }
  rec->data = buf;
  rec->data_len = static_cast<int32_t>(used);
  return true;
}

// Appends the working record's data to the result's (moved when the result
// has none yet, which is the whole update of a one-shot call).
bool append_data(CRYPTOCASE* result, CRYPTOCASE* work) {
  if (work->data_len <= 0) return true;
  if (result->data == nullptr) {
    result->data = work->data;
    result->data_len = work->data_len;
    work->data = nullptr;
    work->data_len = 0;
    return true;
  }
  const std::size_t have = static_cast<std::size_t>(result->data_len);
  const std::size_t more = static_cast<std::size_t>(work->data_len);
  if (have + more > INT32_MAX) return false;
  auto* grown = static_cast<unsigned char*>(OPENSSL_clear_realloc(result->data, have, have + more));
  if (grown == nullptr) return false;
  std::memcpy(grown + have, work->data, more);
  result->data = grown;
  result->data_len = static_cast<int32_t>(have + more);
  return true;
}

}  // namespace

CRYPTOCASE* cipher_init(Direction dir, const char* name, const unsigned char* key,
                        const unsigned char* iv) {
  ensure_registered();
  CRYPTOCASE* rec = new_record();
  if (rec == nullptr) return nullptr;
  const EVP_CIPHER* cipher = name != nullptr ? EVP_get_cipherbyname(name) : nullptr;
  if (cipher == nullptr) {
    rec->status = TESSEL_UNKNOWN_ALGORITHM;
    return rec;
  }
  rec->cipher_ctx = EVP_CIPHER_CTX_new();
  if (rec->cipher_ctx == nullptr) {
    rec->status = TESSEL_CTX_ALLOC_FAILED;
    return rec;
  }
  const int enc = dir == Direction::encrypt ? 1 : 0;
  if (!EVP_CipherInit_ex(rec->cipher_ctx, cipher, nullptr, key, iv, enc))
    return end_cipher(rec, TESSEL_INIT_FAILED);
  rec->status = TESSEL_OK;
  return rec;
}

CRYPTOCASE* cipher_update(CRYPTOCASE* rec, const unsigned char* data, int32_t len) {
  if (rec == nullptr) return nullptr;
  ensure_registered();
  EVP_CIPHER_CTX* ctx = rec->cipher_ctx;
  if (ctx == nullptr || len < 0 || (data == nullptr && len > 0))
    return end_cipher(rec, TESSEL_UPDATE_FAILED);
  // An empty update yields nothing; leaving the previous output in place
  // would have a streaming caller collect it twice.
  drop_data(rec);
  if (len == 0) {
    rec->status = TESSEL_OK;
    return rec;
  }
  const std::size_t room = update_room(ctx, len);
  if (room > INT32_MAX) return end_cipher(rec, TESSEL_NO_MEMORY);
  auto* out = static_cast<unsigned char*>(OPENSSL_malloc(room));
  if (out == nullptr) return end_cipher(rec, TESSEL_NO_MEMORY);
  int written = 0;
  if (!EVP_CipherUpdate(ctx, out, &written, data, len) || written < 0 ||
      static_cast<std::size_t>(written) > room) {
    OPENSSL_clear_free(out, room);
    return end_cipher(rec, TESSEL_UPDATE_FAILED);
  }
  if (!give_data(rec, out, room, static_cast<std::size_t>(written)))
    return end_cipher(rec, TESSEL_NO_MEMORY);
  rec->status = TESSEL_OK;
  return rec;
}

CRYPTOCASE* cipher_final(CRYPTOCASE* rec) {
  if (rec == nullptr) return nullptr;
  ensure_registered();
  EVP_CIPHER_CTX* ctx = rec->cipher_ctx;
  drop_data(rec);
  if (ctx == nullptr) return end_cipher(rec, TESSEL_FINAL_FAILED);
  int count = 0;
  if (tells_final_length(ctx)) {
    if (!EVP_CipherFinal_ex(ctx, nullptr, &count)) return end_cipher(rec, TESSEL_FINAL_FAILED);
  } else {
    count = EVP_CIPHER_CTX_get_block_size(ctx);
  }
  if (count <= 0) return end_cipher(rec, TESSEL_OK);
  const std::size_t room = static_cast<std::size_t>(count);
  auto* out = static_cast<unsigned char*>(OPENSSL_malloc(room));
  if (out == nullptr) return end_cipher(rec, TESSEL_NO_MEMORY);
  int written = 0;
  if (!EVP_CipherFinal_ex(ctx, out, &written) || written < 0 ||
      static_cast<std::size_t>(written) > room) {
    OPENSSL_clear_free(out, room);
    return end_cipher(rec, TESSEL_FINAL_FAILED);
  }
  if (!give_data(rec, out, room, static_cast<std::size_t>(written)))
    return end_cipher(rec, TESSEL_NO_MEMORY);
  return end_cipher(rec, TESSEL_OK);
}

void cipher_oneshot(Direction dir, CRYPTOCASE* rec, const char* name, const unsigned char* data,
                    int32_t len, const unsigned char* key, const unsigned char* iv) {
  if (len < 0 || (data == nullptr && len > 0) || (len < 16 && is_block_mode(name))) {
    rec->status = TESSEL_BAD_LENGTH;
    return;
  }
  const InnerCase work(cipher_init(dir, name, key, iv));
  if (!work) {
    rec->status = TESSEL_NO_MEMORY;
    return;
  }
  int32_t status = work->status;
  if (status == TESSEL_OK && len > 0) {
    status = cipher_update(work.get(), data, len)->status;
    if (status == TESSEL_OK && !append_data(rec, work.get())) status = TESSEL_NO_MEMORY;
  }
  if (status == TESSEL_OK) {
    status = cipher_final(work.get())->status;
    if (status == TESSEL_OK && !append_data(rec, work.get())) status = TESSEL_NO_MEMORY;
  }
  // Half a message is of no use to anyone.
  if (status != TESSEL_OK) drop_data(rec);
  rec->status = status;
}

CRYPTOCASE* cipher_oneshot(Direction dir, const char* name, const unsigned char* data,
                           int32_t data_len, const unsigned char* key, const unsigned char* iv) {
  ensure_registered();
  CRYPTOCASE* rec = new_record();
  if (rec != nullptr) cipher_oneshot(dir, rec, name, data, data_len, key, iv);
  return rec;
}

}  // namespace tessel

using tessel::Direction;

extern "C" {

TESSEL_API CRYPTOCASE* Encrypt_Init(const char* name, const unsigned char* key,
                                    const unsigned char* iv) {
  return tessel::cipher_init(Direction::encrypt, name, key, iv);
}

TESSEL_API CRYPTOCASE* Encrypt_Update(CRYPTOCASE* record, const unsigned char* data,
                                      int32_t data_len) {
  return tessel::cipher_update(record, data, data_len);
}

TESSEL_API CRYPTOCASE* Encrypt_Final(CRYPTOCASE* record) {
  return tessel::cipher_final(record);
}

TESSEL_API CRYPTOCASE* Encrypt(const char* name, const unsigned char* data, int32_t data_len,
                               const unsigned char* key, const unsigned char* iv) {
  return tessel::cipher_oneshot(Direction::encrypt, name, data, data_len, key, iv);
}

TESSEL_API CRYPTOCASE* Decrypt_Init(const char* name, const unsigned char* key,
                                    const unsigned char* iv) {
  return tessel::cipher_init(Direction::decrypt, name, key, iv);
}

TESSEL_API CRYPTOCASE* Decrypt_Update(CRYPTOCASE* record, const unsigned char* data,
                                      int32_t data_len) {
  return tessel::cipher_update(record, data, data_len);
}

TESSEL_API CRYPTOCASE* Decrypt_Final(CRYPTOCASE* record) {
  return tessel::cipher_final(record);
}

TESSEL_API CRYPTOCASE* Decrypt(const char* name, const unsigned char* data, int32_t data_len,
                               const unsigned char* key, const unsigned char* iv) {
  return tessel::cipher_oneshot(Direction::decrypt, name, data, data_len, key, iv);
}

}  // extern "C"
