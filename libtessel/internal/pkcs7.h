// Pieces shared by the CMS signed and enveloped sequences.
#pragma once

#include <cstdint>

#include <openssl/cms.h>

#include "libtessel/tessel.h"

namespace tessel {

// A new record holding an empty working context with the given form and
// flags: status 0, or 7 (null) / 118 (context) when memory runs out.
CRYPTOCASE* new_context_record(int32_t form, int32_t flags);

// The CMS flags word both CMS families start from: partial, streamed, binary
// content, and no S/MIME capabilities unless the output is S/MIME.
int32_t base_cms_flags(int32_t form);

// The Final step of a CMS sequence: completes context->cms over the content
// and encodes it in context->form into data. The context is released in
// every outcome. Statuses: 32, 33 (empty content or encoding), 178, 49, 7, 34.
CRYPTOCASE* finish_cms(CRYPTOCASE* rec, const unsigned char* content, int32_t content_len);

// Encodes a CMS structure in form 0 (PEM) or 1 (DER) into data (49 for any
// other form); 32, 33, 7, 34 as usual.
int32_t write_cms(CMS_ContentInfo* cms, int32_t form, CRYPTOCASE* rec);

// Whether a cipher may encrypt CMS content: key-wrapping ciphers (belt-kwp,
// OpenSSL's wrap modes) may not.
bool is_content_cipher(const EVP_CIPHER* cipher);
// Whether an enveloped structure names a key-wrapping content cipher.
bool names_key_wrap_content_cipher(CMS_ContentInfo* cms);

}  // namespace tessel
