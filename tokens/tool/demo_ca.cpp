#include "tokens/tool/demo_ca.h"

#include <vector>

#include "tokens/store/files.h"
#include "tokens/store/tessel_record.h"
#include "tokens/store/token_paths.h"

namespace tool {
namespace {

using tokens::Len;
using tokens::Ptr;
using tokens::Record;

// Subject fields in the order they appear in a certificate.
constexpr char kPolicy[] =
    "[ policy ]\ncountryName = optional\norganizationName = optional\nsurname = optional\n"
    "givenName = optional\ncommonName = supplied\n";
struct Extensions {
  const char* section;
  const char* text;
};
constexpr Extensions kCaExtensions{
    "ca_ext",
    "[ ca_ext ]\nbasicConstraints = critical,CA:true\nkeyUsage = critical,keyCertSign,cRLSign\n"
    "subjectKeyIdentifier = hash\nauthorityKeyIdentifier = keyid:always\n"};
constexpr Extensions kSignerExtensions{
    "signer_ext",
    "[ signer_ext ]\nbasicConstraints = critical,CA:false\n"
    "keyUsage = critical,digitalSignature,nonRepudiation\nsubjectKeyIdentifier = hash\n"
    "authorityKeyIdentifier = keyid:always\n"};

constexpr int kCaDays = 3650;
constexpr char kOrganisation[] = "Tessel demo";

std::string Config(const Extensions& extensions, const Validity& validity) {
  std::string text = "[ certificate ]\npolicy = policy\nunique_subject = no\n";
  text += std::string("x509_extensions = ") + extensions.section + "\n";
  text += "default_days = " + std::to_string(validity.days) + "\n";
  if (!validity.start.empty()) text += "default_startdate = " + validity.start + "\n";
  if (!validity.end.empty()) text += "default_enddate = " + validity.end + "\n";
  return text + kPolicy + extensions.text;
}

std::optional<tokens::SecretString> NewKey(int32_t level, const char* password) {
  const Record key(GenPrivateKey(level, password, nullptr, 0));
  if (!tokens::Succeeded(key)) return std::nullopt;
  return tokens::TextOf<tokens::SecretString>(key->key, key->key_len);
}

std::optional<std::string> Request(const std::vector<std::pair<uint32_t, std::string>>& subject,
                                   const tokens::SecretString& key, const char* password) {
  CRYPTOCASE* info = REQUEST_INFO_Init();
  for (const auto& [type, value] : subject) {
    if (info == nullptr || info->status != TESSEL_OK) break;
    if (!value.empty()) info = REQUEST_INFO_AddValue(info, type, Ptr(value), Len(value));
  }
  if (info == nullptr || info->status != TESSEL_OK) {
    const Record failed(info);
    return std::nullopt;
  }
  const Record request(GenRequest(info, Ptr(key), Len(key), password, nullptr, 0, TESSEL_FORM_PEM));
  if (!tokens::Succeeded(request)) return std::nullopt;
  return tokens::TextOf(request->data, request->data_len);
}

// A CA certificate for subject_key, signed with signer_key under
// signer_cert, or self-signed when signer_cert is null.
std::optional<std::string> CaCertificate(const std::string& name,
                                         const tokens::SecretString& subject_key,
                                         const tokens::SecretString& signer_key,
                                         const std::string* signer_cert, std::string& index,
                                         const char* serial) {
  const auto request = Request({{6, "BY"}, {10, kOrganisation}, {3, name}}, subject_key, nullptr);
  if (!request) return std::nullopt;
  const std::string config = Config(kCaExtensions, {kCaDays, "", ""});
  const Record cert(CreateCertificate(
      Ptr(*request), Len(*request), Ptr(signer_key), Len(signer_key), nullptr,
      signer_cert != nullptr ? Ptr(*signer_cert) : nullptr,
      signer_cert != nullptr ? Len(*signer_cert) : 0, Ptr(config), Len(config), Ptr(index),
      Len(index), serial, signer_cert == nullptr ? 1 : 0, TESSEL_FORM_PEM));
  if (!tokens::Succeeded(cert)) return std::nullopt;
  index = tokens::TextOf(cert->index_db, cert->index_db_len);
  return tokens::TextOf(cert->data, cert->data_len);
}

}  // namespace

std::filesystem::path CaFolder() {
  return tokens::DataFolder() / "ca";
}

std::optional<std::string> OwnerRequest(const tokens::Owner& owner, const tokens::SecretString& key,
                                        const char* password) {
  return Request({{6, "BY"},
                  {10, owner.organisation},
                  {4, owner.surname},
                  {42, owner.given_name},
                  {3, owner.surname + " " + owner.given_name}},
                 key, password);
}

std::optional<DemoCa> MakeDemoCa(int32_t level) {
  const auto root_key = NewKey(level, nullptr);
  auto issuing_key = NewKey(level, nullptr);
  if (!root_key || !issuing_key) return std::nullopt;
  std::string root_index;
  const auto root =
      CaCertificate("Tessel Demo Root CA", *root_key, *root_key, nullptr, root_index, "01");
  const auto issuing = root ? CaCertificate("Tessel Demo Issuing CA", *issuing_key, *root_key,
                                            &*root, root_index, "02")
                            : std::nullopt;
  if (!issuing) return std::nullopt;
  DemoCa ca;
  ca.level = level;
  ca.root_pem = *root;
  ca.issuing_pem = *issuing;
  ca.issuing_key = std::move(*issuing_key);
  return ca;
}

bool SaveDemoCa(const DemoCa& ca, const std::filesystem::path& folder) {
  return tokens::MakeOwnerOnlyFolder(folder) &&
         tokens::WriteFileAtomically(folder / "level", std::to_string(ca.level) + "\n") &&
         tokens::WriteFileAtomically(folder / "root.pem", ca.root_pem) &&
         tokens::WriteFileAtomically(folder / "issuing.pem", ca.issuing_pem) &&
         tokens::WriteFileAtomically(folder / "issuing.key", ca.issuing_key) &&
         tokens::WriteFileAtomically(folder / "index.txt", ca.index);
}

std::optional<DemoCa> LoadDemoCa(const std::filesystem::path& folder) {
  constexpr std::size_t kMax = 16 * 1024 * 1024;
  const auto level = tokens::ReadSmallFile(folder / "level", 16);
  auto root = tokens::ReadSmallFile(folder / "root.pem", kMax);
  auto issuing = tokens::ReadSmallFile(folder / "issuing.pem", kMax);
  auto key = tokens::ReadSmallFile(folder / "issuing.key", kMax);
  auto index = tokens::ReadSmallFile(folder / "index.txt", kMax);
  if (!level || !root || !issuing || !key || !index) {
    if (key) tokens::Wipe(*key);
    return std::nullopt;
  }
  DemoCa ca;
  ca.level = std::atoi(level->c_str());
  ca.root_pem = std::move(*root);
  ca.issuing_pem = std::move(*issuing);
  ca.issuing_key = tokens::ToSecret(*key);
  tokens::Wipe(*key);
  ca.index = std::move(*index);
  if (ca.level != 128 && ca.level != 192 && ca.level != 256) return std::nullopt;
  return ca;
}

std::optional<tokens::Bytes> IssueCertificate(DemoCa& ca, const std::string& request_pem,
                                              const Validity& validity) {
  const std::string config = Config(kSignerExtensions, validity);
  const Record cert(CreateCertificate(Ptr(request_pem), Len(request_pem), Ptr(ca.issuing_key),
                                      Len(ca.issuing_key), nullptr, Ptr(ca.issuing_pem),
                                      Len(ca.issuing_pem), Ptr(config), Len(config), Ptr(ca.index),
                                      Len(ca.index), nullptr, 0, TESSEL_FORM_DER));
  if (!tokens::Succeeded(cert)) return std::nullopt;
  ca.index = tokens::TextOf(cert->index_db, cert->index_db_len);
  return tokens::DataOf(cert);
}

}  // namespace tool
