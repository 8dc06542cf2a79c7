// The fixed keys, CA, certificates, requests, CRL and index database of the
// fuzz targets, made through the library the way a caller makes them. The
// seed generator writes them to fixtures/ and builds the seeds around them.
#pragma once

#include <string>
#include <string_view>

#include "libtessel/tessel.h"

namespace seeds {

struct KeyPair {
  std::string key;         // plain PKCS#8 PEM
  std::string public_key;  // PEM
};

struct Authority {
  KeyPair ca;    // bign level 128: the CA and first signer and recipient
  KeyPair leaf;  // bign level 256
  std::string ca_request;
  std::string ca_cert;  // PEM, self-signed
  std::string leaf_request;
  std::string leaf_cert;     // PEM, issued by the CA, valid
  std::string issue_config;  // the "certificate" section issuing uses
  std::string crl_config;
  std::string index;          // the CA and the leaf, both valid
  std::string index_revoked;  // and three more, revoked
  std::string crl;            // PEM, of index_revoked
  std::string bundle;         // PEM: CA certificate and CRL
  std::string bundle_no_crl;  // PEM: CA certificate only
};

// The data output of a record it releases; exits naming the step when the
// step failed (the seeds must be what they claim to be).
std::string data_of(CRYPTOCASE* rec, const char* step);

KeyPair set_key(int level, unsigned char fill);
// A request for the key with the common name, PEM or DER.
std::string make_request(const std::string& key, const char* common_name, int32_t form,
                         const std::string& config = {});
Authority make_authority();

inline const unsigned char* u8(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}
inline int32_t len(std::string_view s) {
  return static_cast<int32_t>(s.size());
}

}  // namespace seeds
