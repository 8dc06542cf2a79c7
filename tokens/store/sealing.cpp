#include "tokens/store/sealing.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <string>

#include "tokens/store/tessel_record.h"

namespace tokens {
namespace {

constexpr std::size_t kKeySize = 32;
constexpr std::size_t kIvSize = 16;
constexpr std::size_t kMacSize = 32;
constexpr char kCipher[] = "belt-ctr256";

std::optional<SecretBytes> Hmac(const SecretBytes& key, std::string_view data) {
  Record r(CreateHmac(Ptr(data), Len(data), key.data(), Len(key)));
  if (!Succeeded(r) || r->digest_len != static_cast<int32_t>(kKeySize)) return std::nullopt;
  return SecretBytes(r->digest, r->digest + r->digest_len);
}

// What the MAC covers: the serial (so that contents cannot move between
// tokens), the IV and the ciphertext.
std::string MacInput(std::string_view serial, const unsigned char* iv_and_text, std::size_t size) {
  std::string input = "tessel-token contents v1\n";
  input.append(serial);
  input.push_back('\n');
  input.append(reinterpret_cast<const char*>(iv_and_text), size);
  return input;
}

}  // namespace

std::optional<TokenKeys> DeriveTokenKeys(std::string_view password, const Bytes& salt,
                                         uint32_t iterations) {
  EnsureNationalAlgorithms();
  const EVP_MD* belt_hash = EVP_get_digestbyname("belt-hash");
  SecretBytes master(kKeySize);
  if (belt_hash == nullptr ||
      PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                        static_cast<int>(salt.size()), static_cast<int>(iterations), belt_hash,
                        static_cast<int>(master.size()), master.data()) != 1)
    return std::nullopt;
  auto verifier = Hmac(master, "tessel-token verifier");
  auto encryption = Hmac(master, "tessel-token encryption");
  auto mac = Hmac(master, "tessel-token mac");
  if (!verifier || !encryption || !mac) return std::nullopt;
  return TokenKeys{std::move(*encryption), std::move(*mac),
                   Bytes(verifier->begin(), verifier->end())};
}

bool VerifierMatches(const TokenKeys& keys, const Bytes& stored) {
  return stored.size() == keys.verifier.size() &&
         CRYPTO_memcmp(stored.data(), keys.verifier.data(), stored.size()) == 0;
}

std::optional<Bytes> Seal(const TokenKeys& keys, std::string_view serial, const SecretBytes& plain) {
  const auto iv = RandomBytes(kIvSize);
  if (!iv) return std::nullopt;
  Record encrypted(Encrypt(kCipher, plain.data(), Len(plain), keys.encryption.data(), iv->data()));
  if (!Succeeded(encrypted) || encrypted->data_len != Len(plain)) return std::nullopt;
  Bytes sealed(*iv);
  sealed.insert(sealed.end(), encrypted->data, encrypted->data + encrypted->data_len);
  auto mac = Hmac(keys.mac, MacInput(serial, sealed.data(), sealed.size()));
  if (!mac) return std::nullopt;
  sealed.insert(sealed.end(), mac->begin(), mac->end());
  return sealed;
}

std::optional<SecretBytes> Unseal(const TokenKeys& keys, std::string_view serial,
                                  const Bytes& sealed) {
  if (sealed.size() < kIvSize + kMacSize) return std::nullopt;
  const std::size_t body = sealed.size() - kMacSize;
  const auto mac = Hmac(keys.mac, MacInput(serial, sealed.data(), body));
  if (!mac || CRYPTO_memcmp(mac->data(), sealed.data() + body, kMacSize) != 0) return std::nullopt;
  const int32_t text_len = static_cast<int32_t>(body - kIvSize);
  if (text_len == 0) return SecretBytes();
  Record plain(Decrypt(kCipher, sealed.data() + kIvSize, text_len, keys.encryption.data(),
                       sealed.data()));
  if (!Succeeded(plain) || plain->data_len != text_len) return std::nullopt;
  return SecretBytes(plain->data, plain->data + plain->data_len);
}

std::optional<Bytes> RandomBytes(std::size_t size) {
  Record r(GenRandomSystem(static_cast<int32_t>(size)));
  if (!Succeeded(r) || r->data_len != static_cast<int32_t>(size)) return std::nullopt;
  return DataOf(r);
}

}  // namespace tokens
