// belt-ecb/cbc/cfb/ctr as legacy EVP_CIPHER tables over the stb::belt mode
// objects. The cipher does its own buffering (custom cipher), keeps its own
// key and IV (custom IV, init always called) and reads and writes its own
// AlgorithmIdentifier parameters (custom ASN.1). belt-kwp, the last three
// names, is built in kwp_cipher.cpp.
#include <openssl/asn1.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "stb/belt/block.h"
#include "stb/belt/modes.h"
#include "stb/openssl/methods.h"
#include "stb/openssl/objects.h"

namespace stb::openssl {

const char* const kCipherNames[kCipherCount] = {
    "belt-ecb128", "belt-ecb192", "belt-ecb256", "belt-cbc128", "belt-cbc192",
    "belt-cbc256", "belt-cfb128", "belt-cfb192", "belt-cfb256", "belt-ctr128",
    "belt-ctr192", "belt-ctr256", "belt-kwp128", "belt-kwp192", "belt-kwp256",
};

namespace {

using belt::kBlockSize;

// What differs between the four modes.
template <class Mode>
struct Traits;

template <>
struct Traits<belt::Ecb> {
  static constexpr int kBlock = 16;
  static constexpr int kIvLength = 0;
  static constexpr unsigned long kFlag = EVP_CIPH_ECB_MODE;
  static bool init(belt::Ecb& m, const std::uint8_t* key, std::size_t len, const std::uint8_t*,
                   bool enc) {
    return m.init(key, len, enc);
  }
};

template <>
struct Traits<belt::Cbc> {
  static constexpr int kBlock = 16;
  static constexpr int kIvLength = 16;
  static constexpr unsigned long kFlag = EVP_CIPH_CBC_MODE;
  static bool init(belt::Cbc& m, const std::uint8_t* key, std::size_t len, const std::uint8_t* iv,
                   bool enc) {
    return m.init(key, len, iv, enc);
  }
};

template <>
struct Traits<belt::Cfb> {
  static constexpr int kBlock = 1;
  static constexpr int kIvLength = 16;
  static constexpr unsigned long kFlag = EVP_CIPH_CFB_MODE;
  static bool init(belt::Cfb& m, const std::uint8_t* key, std::size_t len, const std::uint8_t* iv,
                   bool enc) {
    return m.init(key, len, iv, enc);
  }
};

template <>
struct Traits<belt::Ctr> {
  static constexpr int kBlock = 1;
  static constexpr int kIvLength = 16;
  static constexpr unsigned long kFlag = EVP_CIPH_CTR_MODE;
  static bool init(belt::Ctr& m, const std::uint8_t* key, std::size_t len, const std::uint8_t* iv,
                   bool) {
    return m.init(key, len, iv);
  }
};

// The cipher_data of a context: flat, so EVP's memcpy copy of a context
// continues the same stream. The memory arrives zeroed, hence `constructed`.
template <class Mode>
struct State {
  Mode mode;
  std::uint8_t key[belt::kKeySize]{};
  std::uint8_t iv[kBlockSize]{};
  std::size_t key_len = 0;
  bool constructed = false;
  bool have_key = false;
  bool have_iv = false;
  bool encrypt = true;
  bool ready = false;  // mode keyed and not yet finished

  ~State() {
    OPENSSL_cleanse(key, sizeof key);
    OPENSSL_cleanse(iv, sizeof iv);
  }

  // Every init restarts the stream from the key and IV kept so far, so that
  // a key and an IV may arrive in separate calls, in either order.
  bool restart() {
    ready = have_key && Traits<Mode>::init(mode, key, key_len, iv, encrypt);
    return ready || !have_key;
  }
};

template <class Mode>
State<Mode>* state(EVP_CIPHER_CTX* ctx) {
  return static_cast<State<Mode>*>(EVP_CIPHER_CTX_get_cipher_data(ctx));
}

template <class Mode>
int init(EVP_CIPHER_CTX* ctx, const unsigned char* key, const unsigned char* iv, int enc) {
  void* raw = EVP_CIPHER_CTX_get_cipher_data(ctx);
  if (raw == nullptr) return 0;
  auto* st = static_cast<State<Mode>*>(raw);
  if (!st->constructed) {
    st = new (raw) State<Mode>();
    st->constructed = true;
  }
  if (key != nullptr) {
    const int len = EVP_CIPHER_CTX_get_key_length(ctx);
    if (!belt::valid_key_length(static_cast<std::size_t>(len))) return 0;
    std::memcpy(st->key, key, static_cast<std::size_t>(len));
    st->key_len = static_cast<std::size_t>(len);
    st->have_key = true;
  }
  if (iv != nullptr && Traits<Mode>::kIvLength != 0) {
    std::memcpy(st->iv, iv, kBlockSize);
    st->have_iv = true;
  }
  st->encrypt = enc != 0;
  return st->restart() ? 1 : 0;
}

// EVP calls this for updates (in != NULL) and for the final step (in ==
// NULL); a final step without an output buffer only tells how much it would
// write. EVP passes an update with in == NULL (an empty std::vector's data(),
// say) exactly like the final step. For CFB/CTR that costs nothing, as their
// final step writes nothing and the stream goes on; ECB/CBC end the message.
template <class Mode>
int do_cipher(EVP_CIPHER_CTX* ctx, unsigned char* out, const unsigned char* in, std::size_t len) {
  State<Mode>* st = state<Mode>(ctx);
  if (st == nullptr || !st->ready) return -1;
  if (in == nullptr) {
    const std::size_t pending = st->mode.pending();
    if (out == nullptr) return static_cast<int>(pending);
    if constexpr (Traits<Mode>::kBlock != 1) st->ready = false;  // next message: init again
    return st->mode.final(out) ? static_cast<int>(pending) : -1;
  }
  if (out == nullptr) return -1;
  return static_cast<int>(st->mode.update(in, len, out));
}

template <class Mode>
int cleanup(EVP_CIPHER_CTX* ctx) {
  State<Mode>* st = state<Mode>(ctx);
  if (st != nullptr && st->constructed) {
    st->~State();
    st->constructed = false;
  }
  return 1;
}

// AlgorithmIdentifier parameters: the IV as a bare OCTET STRING; NULL for
// ECB. Written from the IV this context holds, never a default one.
template <class Mode>
int set_asn1(EVP_CIPHER_CTX* ctx, ASN1_TYPE* type) {
  if constexpr (Traits<Mode>::kIvLength == 0) {
    ASN1_TYPE_set(type, V_ASN1_NULL, nullptr);
    return 1;
  } else {
    State<Mode>* st = state<Mode>(ctx);
    if (st == nullptr || !st->constructed || !st->have_iv) return -1;
    return ASN1_TYPE_set_octetstring(type, st->iv, static_cast<int>(kBlockSize)) ? 1 : -1;
  }
}

template <class Mode>
int get_asn1(EVP_CIPHER_CTX* ctx, ASN1_TYPE* type) {
  if constexpr (Traits<Mode>::kIvLength == 0) {
    // Parameters absent or NULL.
    return type == nullptr || ASN1_TYPE_get(type) == V_ASN1_NULL ? 1 : -1;
  } else {
    if (type == nullptr || ASN1_TYPE_get(type) != V_ASN1_OCTET_STRING) return -1;
    unsigned char iv[kBlockSize];
    if (ASN1_TYPE_get_octetstring(type, iv, static_cast<int>(kBlockSize)) !=
        static_cast<int>(kBlockSize)) {
      return -1;
    }
    // EVP has run init (without key or IV) before asking us.
    State<Mode>* st = state<Mode>(ctx);
    if (st == nullptr || !st->constructed) return -1;
    std::memcpy(st->iv, iv, kBlockSize);
    st->have_iv = true;
    return st->restart() ? 1 : -1;
  }
}

int ctrl(EVP_CIPHER_CTX*, int type, int, void* ptr) {
  if (type == EVP_CTRL_PBE_PRF_NID && ptr != nullptr) {
    // PBES2 with one of our ciphers and no PRF named picks hmac-hbelt.
    const int nid = nid_of(kHmacHbelt);
    if (nid == NID_undef) return 0;
    *static_cast<int*>(ptr) = nid;
    return 1;
  }
  return -1;  // unsupported
}

template <class Mode>
EVP_CIPHER* make(int nid, int key_len) {
  using T = Traits<Mode>;
  EVP_CIPHER* c = EVP_CIPHER_meth_new(nid, T::kBlock, key_len);
  if (c == nullptr) return nullptr;
  const unsigned long flags = T::kFlag | EVP_CIPH_FLAG_CUSTOM_CIPHER | EVP_CIPH_CUSTOM_IV |
                              EVP_CIPH_ALWAYS_CALL_INIT | EVP_CIPH_FLAG_CUSTOM_ASN1;
  const bool ok = EVP_CIPHER_meth_set_iv_length(c, T::kIvLength) &&
                  EVP_CIPHER_meth_set_flags(c, flags) && EVP_CIPHER_meth_set_init(c, init<Mode>) &&
                  EVP_CIPHER_meth_set_do_cipher(c, do_cipher<Mode>) &&
                  EVP_CIPHER_meth_set_cleanup(c, cleanup<Mode>) &&
                  EVP_CIPHER_meth_set_impl_ctx_size(c, static_cast<int>(sizeof(State<Mode>))) &&
                  EVP_CIPHER_meth_set_set_asn1_params(c, set_asn1<Mode>) &&
                  EVP_CIPHER_meth_set_get_asn1_params(c, get_asn1<Mode>) &&
                  EVP_CIPHER_meth_set_ctrl(c, ctrl);
  if (!ok) {
    EVP_CIPHER_meth_free(c);
    return nullptr;
  }
  return c;
}

}  // namespace

EVP_CIPHER* new_cipher(std::size_t index) {
  if (index >= kCipherCount) return nullptr;
  const int nid = nid_of(kCipherNames[index]);
  if (nid == NID_undef) return nullptr;
  static constexpr int kKeyLengths[] = {16, 24, 32};
  const int key_len = kKeyLengths[index % 3];
  switch (index / 3) {
    case 0:
      return make<belt::Ecb>(nid, key_len);
    case 1:
      return make<belt::Cbc>(nid, key_len);
    case 2:
      return make<belt::Cfb>(nid, key_len);
    case 3:
      return make<belt::Ctr>(nid, key_len);
    default:
      return new_kwp_cipher(nid, key_len);
  }
}

}  // namespace stb::openssl
