// The entry points of each target, chosen by the input's first byte (taken
// modulo the count). The seed generator writes the same bytes.
#pragma once

#include <cstdint>

namespace fuzz {

enum class PrivateKeyEntry : uint8_t {
  kGetPrivate,
  kGetPrivateNoPassword,
  kUnprotect,
  kSign,
  kCount
};
enum class PublicKeyEntry : uint8_t { kGetPublic, kVerifySign, kCreateToken, kCount };
enum class CertificateEntry : uint8_t {
  kToPem,
  kToDer,
  kVerifyUnderCa,
  kPublicKey,
  kEncryptTo,
  kBundle,
  kCount
};
enum class CrlEntry : uint8_t { kToPem, kToDer, kVerifyLeaf, kBundle, kCount };
enum class RequestEntry : uint8_t { kVerify, kInfo, kIssueUnchecked, kCreateCertificate, kCount };
enum class CmsEntry : uint8_t { kToPem, kToDer, kCount };
enum class BundleEntry : uint8_t { kToPem, kToDer, kVerifyLeaf, kCount };
// Bit 0: detached (the fixed content is passed); bit 1: the signer's
// certificate is passed.
enum class VerifyP7sEntry : uint8_t { kAttached, kDetached, kAttachedCert, kDetachedCert, kCount };
// Which fixed key opens the input: level 128 (the CA) or level 256 (the leaf).
enum class KeyChoice : uint8_t { kLevel128, kLevel256, kCount };
enum class IndexEntry : uint8_t { kWalk, kWalkSharedSubjects, kCreateCrl, kRevoke, kIssue, kCount };
enum class ConfigEntry : uint8_t { kIssueConfig, kCrlConfig, kIssue, kCreateCrl, kCount };
enum class ProfileEntry : uint8_t { kDefaultProvider, kAutoStart, kCount };

// The ciphers of the symmetric decryption target, by selector.
inline constexpr const char* kSymmetricCiphers[] = {
    "belt-ecb128", "belt-ecb192", "belt-ecb256", "belt-cbc128", "belt-cbc192",
    "belt-cbc256", "belt-cfb128", "belt-cfb192", "belt-cfb256", "belt-ctr128",
    "belt-ctr192", "belt-ctr256", "belt-kwp128", "belt-kwp192", "belt-kwp256"};
// Decryption inputs: key and IV octets before the ciphertext.
inline constexpr unsigned kKeyBytes = 32;
inline constexpr unsigned kIvBytes = 16;
// Key-token inputs: the header before the token.
inline constexpr unsigned kHeaderBytes = 16;

template <class E>
E entry(unsigned selector) {
  return static_cast<E>(selector % static_cast<unsigned>(E::kCount));
}

}  // namespace fuzz
