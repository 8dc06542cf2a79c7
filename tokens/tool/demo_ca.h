#pragma once
// The demo certificate authority of the token tool, made with libtessel: a
// root and an issuing CA of one bign level. It lives in DataFolder()/ca,
// owner-only: the root and issuing certificates, the issuing key (the root key
// is wiped once it has signed the issuing certificate) and the index of what
// it issued. For trying the program only, never for real keys.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "tokens/store/owner_record.h"
#include "tokens/store/secret_bytes.h"

namespace tool {

struct DemoCa {
  int32_t level = 128;
  std::string root_pem;
  std::string issuing_pem;
  tokens::SecretString issuing_key;  // PKCS#8 PEM
  std::string index;
};

std::filesystem::path CaFolder();

// Makes the keys and both certificates (not saved).
std::optional<DemoCa> MakeDemoCa(int32_t level);
bool SaveDemoCa(const DemoCa& ca, const std::filesystem::path& folder);
std::optional<DemoCa> LoadDemoCa(const std::filesystem::path& folder);

// A certificate issued to the owner for the public key of the request; the
// index of the CA grows by its row. start/end: YYYYMMDDHHMMSSZ, or empty for
// now and now + days.
struct Validity {
  int days = 730;
  std::string start;
  std::string end;
};
std::optional<tokens::Bytes> IssueCertificate(DemoCa& ca, const std::string& request_pem,
                                              const Validity& validity);

// A PEM request with the owner's names, signed with the key.
std::optional<std::string> OwnerRequest(const tokens::Owner& owner, const tokens::SecretString& key,
                                        const char* password);

}  // namespace tool
