#include "seed_corpus.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>

#include "fuzz_support.h"
#include "selectors.h"

namespace seeds {
namespace {

using fuzz::kContent;
using fuzz::kPartSeparator;

std::string joined(const std::string& a, const std::string& b) {
  return a + std::string(kPartSeparator) + b;
}

std::string bio_text(BIO* bio) {
  char* p = nullptr;
  const long n = BIO_get_mem_data(bio, &p);
  return std::string(p, static_cast<std::size_t>(n));
}

[[noreturn]] void die(const char* what) {
  std::fprintf(stderr, "%s failed\n", what);
  std::exit(1);
}

// PKCS#8 encrypted with PBES2 under the cipher, with two PBKDF2 iterations:
// the library's own 10,000 would make each execution take milliseconds.
std::string cheap_encrypted_key(const std::string& plain, const char* cipher_name) {
  std::unique_ptr<BIO, decltype(&BIO_free)> in(BIO_new_mem_buf(plain.data(), len(plain)), BIO_free);
  std::unique_ptr<PKCS8_PRIV_KEY_INFO, decltype(&PKCS8_PRIV_KEY_INFO_free)> info(
      PEM_read_bio_PKCS8_PRIV_KEY_INFO(in.get(), nullptr, nullptr, nullptr),
      PKCS8_PRIV_KEY_INFO_free);
  const EVP_CIPHER* cipher = EVP_get_cipherbyname(cipher_name);
  if (!info || cipher == nullptr) die("reading the key to encrypt");
  std::unique_ptr<X509_SIG, decltype(&X509_SIG_free)> sig(
      PKCS8_encrypt(-1, cipher, fuzz::kPassword, -1, nullptr, 0, 2, info.get()), X509_SIG_free);
  std::unique_ptr<BIO, decltype(&BIO_free)> out(BIO_new(BIO_s_mem()), BIO_free);
  if (!sig || !PEM_write_bio_PKCS8(out.get(), sig.get())) die("PKCS8_encrypt");
  return bio_text(out.get());
}

// An EC P-256 key as PKCS#8 PEM and its public key as a PEM and as a
// public-key blob (an RSA key: blobs carry RSA and DSA only).
struct OtherKeys {
  std::string ec_key;
  std::string ec_public;
  std::string rsa_blob;
};

OtherKeys other_keys() {
  OtherKeys k;
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> ec(EVP_EC_gen("P-256"), EVP_PKEY_free);
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> rsa(EVP_RSA_gen(1024), EVP_PKEY_free);
  std::unique_ptr<BIO, decltype(&BIO_free)> a(BIO_new(BIO_s_mem()), BIO_free);
  std::unique_ptr<BIO, decltype(&BIO_free)> b(BIO_new(BIO_s_mem()), BIO_free);
  std::unique_ptr<BIO, decltype(&BIO_free)> c(BIO_new(BIO_s_mem()), BIO_free);
  if (!ec || !rsa ||
      !PEM_write_bio_PKCS8PrivateKey(a.get(), ec.get(), nullptr, nullptr, 0, nullptr, nullptr) ||
      !PEM_write_bio_PUBKEY(b.get(), ec.get()) || i2b_PublicKey_bio(c.get(), rsa.get()) <= 0)
    die("making the EC and RSA keys");
  k.ec_key = bio_text(a.get());
  k.ec_public = bio_text(b.get());
  k.rsa_blob = bio_text(c.get());
  return k;
}

std::string pem_to_der_cert(const std::string& pem) {
  return data_of(ConvertCertificate(TESSEL_FORM_DER, u8(pem), len(pem)), "ConvertCertificate");
}

std::string signature(const std::string& key) {
  CRYPTOCASE* rec = CreateSign(u8(kContent), len(kContent), u8(key), len(key), nullptr);
  std::string s = rec != nullptr && rec->status == TESSEL_OK
                      ? std::string(reinterpret_cast<const char*>(rec->signature),
                                    static_cast<std::size_t>(rec->signature_len))
                      : std::string();
  CRYPTOCASE_free(rec);
  if (s.empty()) die("CreateSign");
  return s;
}

void key_seeds(const Authority& a, const OtherKeys& o, std::vector<Seed>& out) {
  using fuzz::PrivateKeyEntry;
  using fuzz::PublicKeyEntry;
  const std::string ctr = cheap_encrypted_key(a.ca.key, "belt-ctr256");
  const std::string kwp = cheap_encrypted_key(a.leaf.key, "belt-kwp256");
  const std::string aes = cheap_encrypted_key(o.ec_key, "aes-128-cbc");
  out.push_back({"private_key", "get-ca", sel(PrivateKeyEntry::kGetPrivate), a.ca.key});
  out.push_back({"private_key", "get-ctr", sel(PrivateKeyEntry::kGetPrivate), ctr});
  out.push_back({"private_key", "get-kwp", sel(PrivateKeyEntry::kGetPrivate), kwp});
  out.push_back({"private_key", "get-ec", sel(PrivateKeyEntry::kGetPrivate), o.ec_key});
  out.push_back(
      {"private_key", "plain-leaf", sel(PrivateKeyEntry::kGetPrivateNoPassword), a.leaf.key});
  out.push_back({"private_key", "unprotect-ctr", sel(PrivateKeyEntry::kUnprotect), ctr});
  out.push_back({"private_key", "unprotect-aes", sel(PrivateKeyEntry::kUnprotect), aes});
  out.push_back({"private_key", "sign-leaf", sel(PrivateKeyEntry::kSign), a.leaf.key});
  out.push_back({"private_key", "sign-kwp", sel(PrivateKeyEntry::kSign), kwp});
  out.push_back({"private_key", "sign-ec", sel(PrivateKeyEntry::kSign), o.ec_key});

  const std::string leaf_der = pem_to_der_cert(a.leaf_cert);
  out.push_back({"public_key", "pem-ca", sel(PublicKeyEntry::kGetPublic), a.ca.public_key});
  out.push_back({"public_key", "pem-ec", sel(PublicKeyEntry::kGetPublic), o.ec_public});
  out.push_back({"public_key", "blob-rsa", sel(PublicKeyEntry::kGetPublic), o.rsa_blob});
  out.push_back({"public_key", "cert-der", sel(PublicKeyEntry::kGetPublic), leaf_der});
  out.push_back({"public_key", "request", sel(PublicKeyEntry::kGetPublic), a.leaf_request});
  out.push_back({"public_key", "verify-ca", sel(PublicKeyEntry::kVerifySign),
                 joined(a.ca.public_key, signature(a.ca.key))});
  out.push_back({"public_key", "verify-leaf-cert", sel(PublicKeyEntry::kVerifySign),
                 joined(a.leaf_cert, signature(a.leaf.key))});
  out.push_back({"public_key", "verify-ec", sel(PublicKeyEntry::kVerifySign),
                 joined(o.ec_public, signature(o.ec_key))});
  out.push_back({"public_key", "token-leaf", sel(PublicKeyEntry::kCreateToken), a.leaf.public_key});
  out.push_back({"public_key", "token-cert", sel(PublicKeyEntry::kCreateToken), a.ca_cert});

  const std::string header = "fuzz token head.";  // 16 octets
  const std::pair<const std::string*, fuzz::KeyChoice> owners[] = {
      {&a.ca.public_key, fuzz::KeyChoice::kLevel128},
      {&a.leaf.public_key, fuzz::KeyChoice::kLevel256}};
  for (const auto& [pub, choice] : owners) {
    for (const int32_t key_len : {16, 32}) {
      CRYPTOCASE* rec = CreateToken(u8(kContent), key_len, u8(*pub), len(*pub), u8(header));
      if (rec == nullptr || rec->status != TESSEL_OK) die("CreateToken");
      out.push_back({"decode_token",
                     "token" + std::to_string(sel(choice)) + "-" + std::to_string(key_len),
                     sel(choice),
                     header + std::string(reinterpret_cast<const char*>(rec->token),
                                          static_cast<std::size_t>(rec->token_len))});
      CRYPTOCASE_free(rec);
    }
  }
}

}  // namespace

std::vector<Seed> make_corpus(const Authority& a) {
  std::vector<Seed> out;
  const OtherKeys o = other_keys();
  key_seeds(a, o, out);
  ca_seeds(a, out);
  message_seeds(a, out);
  return out;
}

}  // namespace seeds
