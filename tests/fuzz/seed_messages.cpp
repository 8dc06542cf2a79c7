// Seeds of the CMS, signed-data check, enveloped-data, symmetric decryption,
// base64 and settings-file targets.
#include <iterator>
#include <string>

#include "fuzz_support.h"
#include "providers/text_conversions.h"
#include "seed_corpus.h"
#include "selectors.h"

namespace seeds {
namespace {

using fuzz::kContent;

std::string sign(const KeyPair& k, const std::string& cert, int32_t form, int32_t flags) {
  return data_of(CreateSignP7S(u8(kContent), len(kContent), u8(k.key), len(k.key), nullptr,
                               u8(cert), len(cert), form, flags),
                 "CreateSignP7S");
}

std::string envelope(const char* cipher, const std::string& cert, int32_t form, int32_t flags) {
  return data_of(EncryptP7S(cipher, u8(kContent), len(kContent), u8(cert), len(cert), form, flags),
                 "EncryptP7S");
}

void signed_seeds(const Authority& a, std::vector<Seed>& out) {
  using fuzz::VerifyP7sEntry;
  struct Variant {
    const char* name;
    int32_t form;
    int32_t flags;
    VerifyP7sEntry entry;
  };
  const Variant variants[] = {
      {"der", TESSEL_FORM_DER, 0, VerifyP7sEntry::kAttached},
      {"pem", TESSEL_FORM_PEM, 0, VerifyP7sEntry::kAttached},
      {"smime", TESSEL_FORM_SMIME, 0, VerifyP7sEntry::kAttached},
      {"noattr-keyid", TESSEL_FORM_DER, TESSEL_CMS_NOATTR | TESSEL_CMS_KEYID,
       VerifyP7sEntry::kAttached},
      {"detached-der", TESSEL_FORM_DER, TESSEL_CMS_DETACHED, VerifyP7sEntry::kDetached},
      {"detached-smime", TESSEL_FORM_SMIME, TESSEL_CMS_DETACHED, VerifyP7sEntry::kDetached},
      {"nocerts", TESSEL_FORM_DER, TESSEL_CMS_NOCERTS, VerifyP7sEntry::kAttachedCert},
      {"detached-nocerts", TESSEL_FORM_PEM, TESSEL_CMS_DETACHED | TESSEL_CMS_NOCERTS,
       VerifyP7sEntry::kDetachedCert}};
  for (const Variant& v : variants) {
    const std::string cms = sign(a.ca, a.ca_cert, v.form, v.flags);
    out.push_back({"verify_p7s", v.name, sel(v.entry), cms});
    if (v.form != TESSEL_FORM_SMIME)
      out.push_back({"cms", std::string("signed-") + v.name, sel(fuzz::CmsEntry::kToPem), cms});
  }
  out.push_back({"verify_p7s", "leaf-der", sel(VerifyP7sEntry::kAttached),
                 sign(a.leaf, a.leaf_cert, TESSEL_FORM_DER, 0)});
  out.push_back({"cms", "bundle-der", sel(fuzz::CmsEntry::kToPem), a.bundle});
}

void enveloped_seeds(const Authority& a, std::vector<Seed>& out) {
  using fuzz::KeyChoice;
  const char* const ciphers[] = {"belt-ctr256", "belt-cfb256", "belt-cbc256", "belt-ecb256"};
  for (const char* cipher : ciphers) {
    out.push_back({"decrypt_p7s", std::string("ca-") + cipher, sel(KeyChoice::kLevel128),
                   envelope(cipher, a.ca_cert, TESSEL_FORM_DER, 0)});
    out.push_back({"decrypt_p7s", std::string("leaf-") + cipher, sel(KeyChoice::kLevel256),
                   envelope(cipher, a.leaf_cert, TESSEL_FORM_DER, TESSEL_CMS_KEYID)});
  }
  out.push_back({"decrypt_p7s", "ca-pem", sel(KeyChoice::kLevel128),
                 envelope("belt-ctr128", a.ca_cert, TESSEL_FORM_PEM, 0)});
  out.push_back({"decrypt_p7s", "leaf-smime", sel(KeyChoice::kLevel256),
                 envelope("belt-cfb192", a.leaf_cert, TESSEL_FORM_SMIME, 0)});
  CRYPTOCASE* both = EncryptP7S_Init("belt-ctr256", TESSEL_FORM_DER, 0);
  both = EncryptP7S_AddRecipient(both, u8(a.ca_cert), len(a.ca_cert));
  both = EncryptP7S_AddRecipient(both, u8(a.leaf_cert), len(a.leaf_cert));
  const std::string two = data_of(EncryptP7S_Final(both, u8(kContent), len(kContent)), "Final");
  out.push_back({"decrypt_p7s", "two-recipients", sel(KeyChoice::kLevel256), two});
  out.push_back({"cms", "enveloped-der", sel(fuzz::CmsEntry::kToPem), two});
  out.push_back({"cms", "enveloped-pem", sel(fuzz::CmsEntry::kToDer),
                 envelope("belt-ctr256", a.ca_cert, TESSEL_FORM_PEM, 0)});
}

void symmetric_seeds(std::vector<Seed>& out) {
  std::string key_iv(fuzz::kKeyBytes + fuzz::kIvBytes, '\0');
  for (std::size_t i = 0; i < key_iv.size(); ++i) key_iv[i] = static_cast<char>(i * 7 + 3);
  const auto* key = u8(key_iv);
  const auto* iv = key + fuzz::kKeyBytes;
  const unsigned count = std::size(fuzz::kSymmetricCiphers);
  for (unsigned i = 0; i < count; ++i) {
    const std::string cipher = data_of(
        Encrypt(fuzz::kSymmetricCiphers[i], u8(kContent), len(kContent), key, iv), "Encrypt");
    // Two split points: none, and about half-way (selector bits 4 and up).
    out.push_back({"decrypt", std::string(fuzz::kSymmetricCiphers[i]), i, key_iv + cipher});
    out.push_back({"decrypt", std::string(fuzz::kSymmetricCiphers[i]) + "-split", i + count * 8,
                   key_iv + cipher});
  }
}

void text_seeds(const Authority& a, std::vector<Seed>& out) {
  const std::string texts[] = {
      "",     "QQ==", "QUI=", "QUJD",
      "A===", "AB=C", "@@@@", providers::Base64Encode(u8(a.ca_cert), a.ca_cert.size())};
  int n = 0;
  for (const std::string& t : texts)
    out.push_back({"base64", "text-" + std::to_string(n++), 0, t, true});

  using fuzz::ProfileEntry;
  const std::string ini[] = {
      "[Tavrik_Server_Crypt Settings]\nautoStart=1\ndefaultProvider=Зорвик2\n",
      "; comment\n[other]\ndefaultProvider=x\n[tavrik_server_crypt settings]\r\n"
      "  DefaultProvider = \"Авест\"  \r\nautostart='0'\n",
      "[Tavrik_Server_Crypt Settings\ndefaultProvider\n=\n[]\nautoStart=\"\n"};
  n = 0;
  for (const std::string& t : ini) {
    // Buffer sizes 256 / 2 = 128 and 10 / 2 = 5 characters (selector bits 1 and up).
    out.push_back(
        {"profile", "ini-" + std::to_string(n), sel(ProfileEntry::kDefaultProvider) + 254, t});
    out.push_back(
        {"profile", "ini-short-" + std::to_string(n++), sel(ProfileEntry::kAutoStart) + 10, t});
  }
}

}  // namespace

void message_seeds(const Authority& a, std::vector<Seed>& out) {
  signed_seeds(a, out);
  enveloped_seeds(a, out);
  symmetric_seeds(out);
  text_seeds(a, out);
}

}  // namespace seeds
