// Certificate requests: the REQUEST_INFO fields by type number, and the
// self-signature check that issuing shares with VerifyRequest.
#pragma once

#include <openssl/x509.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "libtessel/internal/ossl.h"
#include "libtessel/tessel.h"

namespace tessel {

// One field of REQUEST_INFO: the attribute type number n of 2.5.4.n, the
// attribute's long name (the subject entry is looked up by it) and, for the
// three fixed-length values, their length.
struct RequestField {
  uint32_t type;
  const char* long_name;
  char* REQUEST_INFO::*field;
  int32_t fixed_length;  // 0: any length
};

// All fields in record order, which is the order of the subject.
std::span<const RequestField> request_fields();

// Wipes and releases every stored value and the REQUEST_INFO itself; null
// is fine.
void free_request_info(REQUEST_INFO* info);
using RequestInfoPtr = Owned<REQUEST_INFO, free_request_info>;

// free_request_info of the record's REQUEST_INFO, and clears the field.
void release_request_info(CRYPTOCASE* rec);

// Wipes and releases one stored value and clears the field.
void release_request_value(char*& value);

// The request's signature checked with its own public key: 0 valid, 5 does
// not verify, 88 error while checking, 160 no public key.
int32_t request_signature_status(X509_REQ* req);

// The same for request bytes (PEM or DER); 36 when they do not load.
int32_t request_signature_status(const unsigned char* p, int32_t len);

}  // namespace tessel
