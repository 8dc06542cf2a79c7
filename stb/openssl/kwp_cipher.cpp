// belt-kwp128/192/256 as legacy EVP_CIPHER tables, header all zeros: the
// key wrapping that PBES2 containers of bign private keys use
// ({belt-kwp256, NULL} as the encryption scheme). The whole message is
// wrapped at once, so updates only collect input and the final step yields
// everything: |in| + 16 octets when wrapping, |in| - 16 when unwrapping. The
// block size of 16 makes PKCS#12/PKCS#8 code allocate room for the header.
//
// EVP cannot tell a cipher how much room the caller gave its final step.
// One-shot callers size their buffer for the whole message; streaming ones
// (OpenSSL's cipher BIO under CMS and `openssl enc`) hand the final step a
// fixed buffer of 4 KiB and a little more. So a message is refused beyond
// what that buffer takes: this is a cipher for keys, not for documents.
#include <openssl/asn1.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "stb/belt/block.h"
#include "stb/belt/kwp.h"
#include "stb/openssl/methods.h"
#include "stb/openssl/objects.h"

namespace stb::openssl {
namespace {

constexpr std::uint8_t kZeroHeader[belt::kHeaderSize] = {};
// The most the final step ever writes: the cipher BIO's final buffer holds
// 4 KiB plus a few hundred octets.
constexpr std::size_t kMaxOutput = 4096;
// Collected input beyond this is refused: wrapping adds the 16-octet header.
constexpr std::size_t kMaxWrapInput = kMaxOutput - belt::kHeaderSize;
constexpr std::size_t kMaxUnwrapInput = kMaxOutput + belt::kHeaderSize;

// The cipher_data of a context. It arrives zeroed, which is a valid empty
// state; the collected input lives on the heap and is copied on
// EVP_CTRL_COPY.
struct KwpState {
  std::uint8_t key[belt::kKeySize];
  std::size_t key_len;
  unsigned char* buf;
  std::size_t len;
  std::size_t cap;
  bool have_key;
  bool encrypt;
};

KwpState* kwp_state(EVP_CIPHER_CTX* ctx) {
  return static_cast<KwpState*>(EVP_CIPHER_CTX_get_cipher_data(ctx));
}

void drop_input(KwpState* st) {
  OPENSSL_clear_free(st->buf, st->cap);
  st->buf = nullptr;
  st->len = st->cap = 0;
}

bool append(KwpState* st, const unsigned char* in, std::size_t n) {
  const std::size_t most = st->encrypt ? kMaxWrapInput : kMaxUnwrapInput;
  if (st->len > most || n > most - st->len) return false;
  if (st->len + n > st->cap) {
    const std::size_t cap = std::max(st->len + n, 2 * st->cap);
    auto* grown = static_cast<unsigned char*>(OPENSSL_malloc(cap));
    if (grown == nullptr) return false;
    if (st->len != 0) std::memcpy(grown, st->buf, st->len);
    OPENSSL_clear_free(st->buf, st->cap);
    st->buf = grown;
    st->cap = cap;
  }
  std::memcpy(st->buf + st->len, in, n);
  st->len += n;
  return true;
}

int kwp_init(EVP_CIPHER_CTX* ctx, const unsigned char* key, const unsigned char*, int enc) {
  KwpState* st = kwp_state(ctx);
  if (st == nullptr) return 0;
  drop_input(st);
  if (key != nullptr) {
    const int len = EVP_CIPHER_CTX_get_key_length(ctx);
    if (!belt::valid_key_length(static_cast<std::size_t>(len))) return 0;
    std::memcpy(st->key, key, static_cast<std::size_t>(len));
    st->key_len = static_cast<std::size_t>(len);
    st->have_key = true;
  }
  st->encrypt = enc != 0;
  return 1;
}

// The length the final step yields, or -1 when the input cannot be one
// message.
int final_length(const KwpState* st) {
  if (st->encrypt) {
    return st->len < belt::kHeaderSize ? -1 : static_cast<int>(st->len + belt::kHeaderSize);
  }
  return st->len < 2 * belt::kHeaderSize ? -1 : static_cast<int>(st->len - belt::kHeaderSize);
}

int kwp_do_cipher(EVP_CIPHER_CTX* ctx, unsigned char* out, const unsigned char* in,
                  std::size_t len) {
  KwpState* st = kwp_state(ctx);
  if (st == nullptr || !st->have_key) return -1;
  if (in != nullptr) return append(st, in, len) ? 0 : -1;
  const int n = final_length(st);
  if (out == nullptr || n < 0) return n;
  const bool ok = st->encrypt
                      ? belt::kwp_wrap(st->key, st->key_len, st->buf, st->len, kZeroHeader, out)
                      : belt::kwp_unwrap(st->key, st->key_len, st->buf, st->len, kZeroHeader, out);
  drop_input(st);
  return ok ? n : -1;
}

int kwp_cleanup(EVP_CIPHER_CTX* ctx) {
  if (KwpState* st = kwp_state(ctx)) {
    drop_input(st);
    OPENSSL_cleanse(st, sizeof *st);
  }
  return 1;
}

// Parameters: NULL written, NULL or absent read.
int kwp_set_asn1(EVP_CIPHER_CTX*, ASN1_TYPE* type) {
  ASN1_TYPE_set(type, V_ASN1_NULL, nullptr);
  return 1;
}

int kwp_get_asn1(EVP_CIPHER_CTX*, ASN1_TYPE* type) {
  return type == nullptr || ASN1_TYPE_get(type) == V_ASN1_NULL ? 1 : -1;
}

int kwp_ctrl(EVP_CIPHER_CTX* ctx, int type, int, void* ptr) {
  if (type == EVP_CTRL_COPY) {
    // EVP has memcpy'd the state: give the copy its own input buffer.
    KwpState* to = kwp_state(static_cast<EVP_CIPHER_CTX*>(ptr));
    const KwpState* from = kwp_state(ctx);
    if (to == nullptr || from == nullptr) return 0;
    to->buf = nullptr;
    to->len = to->cap = 0;
    return from->len == 0 || append(to, from->buf, from->len) ? 1 : 0;
  }
  if (type == EVP_CTRL_PBE_PRF_NID && ptr != nullptr) {
    const int nid = nid_of(kHmacHbelt);
    if (nid == NID_undef) return 0;
    *static_cast<int*>(ptr) = nid;
    return 1;
  }
  return -1;
}

}  // namespace

EVP_CIPHER* new_kwp_cipher(int nid, int key_len) {
  EVP_CIPHER* c = EVP_CIPHER_meth_new(nid, static_cast<int>(belt::kHeaderSize), key_len);
  if (c == nullptr) return nullptr;
  const unsigned long flags = EVP_CIPH_FLAG_CUSTOM_CIPHER | EVP_CIPH_CUSTOM_IV |
                              EVP_CIPH_ALWAYS_CALL_INIT | EVP_CIPH_FLAG_CUSTOM_ASN1 |
                              EVP_CIPH_CUSTOM_COPY;
  const bool ok =
      EVP_CIPHER_meth_set_iv_length(c, 0) && EVP_CIPHER_meth_set_flags(c, flags) &&
      EVP_CIPHER_meth_set_init(c, kwp_init) && EVP_CIPHER_meth_set_do_cipher(c, kwp_do_cipher) &&
      EVP_CIPHER_meth_set_cleanup(c, kwp_cleanup) &&
      EVP_CIPHER_meth_set_impl_ctx_size(c, static_cast<int>(sizeof(KwpState))) &&
      EVP_CIPHER_meth_set_set_asn1_params(c, kwp_set_asn1) &&
      EVP_CIPHER_meth_set_get_asn1_params(c, kwp_get_asn1) && EVP_CIPHER_meth_set_ctrl(c, kwp_ctrl);
  if (!ok) {
    EVP_CIPHER_meth_free(c);
    return nullptr;
  }
  return c;
}

}  // namespace stb::openssl
