// The result record's internals: allocation, the CMS working context, output
// buffers and the input/output memory BIOs every family shares.
#pragma once

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/x509.h>

#include <cstdint>

#include "libtessel/internal/ossl.h"
#include "libtessel/tessel.h"

// Working context of a CMS signed, CMS enveloped or certificate-bundle
// sequence.
struct PKCS7_CONTEXT {
  int32_t flags;  // OpenSSL CMS flags word of every CMS call of the sequence
  int32_t form;   // output form chosen at Init
  CMS_ContentInfo* cms;
  STACK_OF(X509) * certs;
  STACK_OF(X509_CRL) * crls;
};

namespace tessel {

// A zero-filled record from OpenSSL's allocator, or null.
CRYPTOCASE* new_record();

// Release the working contexts and clear their fields, so that a later step
// or CRYPTOCASE_free finds them gone. Absent contexts are fine.
void release_md_ctx(CRYPTOCASE* rec);
void release_context(CRYPTOCASE* rec);

// Sets status and releases the digest context; answers rec, for
// `return fail_md(rec, code);`.
CRYPTOCASE* fail_md(CRYPTOCASE* rec, int32_t status);
CRYPTOCASE* fail_context(CRYPTOCASE* rec, int32_t status);

// Wipes and frees *buf, then takes len bytes of a copy of src (len 0 leaves
// the buffer absent). False when the copy cannot be allocated.
bool set_buffer(unsigned char** buf, int32_t* len, const unsigned char* src, std::size_t n);

// Moves the whole content of a memory BIO into a fresh exactly sized buffer:
// status 7 when it cannot be allocated, 34 when it cannot be read back,
// 0 otherwise.
int32_t copy_out(BIO* bio, unsigned char** buf, int32_t* len);

// A byte input is usable when its length is positive and its pointer set.
inline bool has_bytes(const unsigned char* p, int32_t len) {
  return p != nullptr && len > 0;
}

// A memory BIO holding a copy of the bytes. status: 32 when no BIO can be
// made, 33 when the bytes cannot be written (empty input included).
BioPtr input_bio(const unsigned char* p, int32_t len, int32_t& status);

// An empty writable memory BIO, or null.
BioPtr output_bio();

}  // namespace tessel
