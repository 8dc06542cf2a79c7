/* libtessel: CMS signed data, digests, MACs and detached signatures over
 * OpenSSL with the national algorithms, as plain C functions.
 *
 * Every function but CRYPTOCASE_free answers a heap CRYPTOCASE that belongs to
 * the caller until CRYPTOCASE_free (the only way to release it; buffers are
 * wiped first). A null answer means the record itself could not be allocated,
 * or a step was given a null record. Byte inputs are (pointer, signed 32-bit
 * length) pairs; output buffers are exactly sized and not NUL-terminated.
 *
 * Multi-step operations run on one record: *_Init makes it with its working
 * context, the middle steps and *_Final take and answer the same record.
 * After a step has set a non-zero status the working context is gone and the
 * record is only good for CRYPTOCASE_free. */
#ifndef LIBTESSEL_TESSEL_H
#define LIBTESSEL_TESSEL_H

#include <stdint.h>

#include "libtessel/tessel_status.h"

#if defined(__GNUC__)
#define TESSEL_API __attribute__((visibility("default")))
#else
#define TESSEL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Output forms of the producing functions. S/MIME is offered by the CMS
 * signed and enveloped producers only. */
enum { TESSEL_FORM_PEM = 0, TESSEL_FORM_DER = 1, TESSEL_FORM_SMIME = 2 };

/* Caller flag bits of the CMS signed-data functions. */
enum {
  TESSEL_CMS_DETACHED = 0x10, /* content not included */
  TESSEL_CMS_KEYID = 0x20,    /* signer named by subject key identifier */
  TESSEL_CMS_NOCERTS = 0x40,  /* signer certificate not included */
  TESSEL_CMS_NOATTR = 0x80    /* no signed attributes */
};

/* OpenSSL's context types under their structure tags, so that this header
 * needs no OpenSSL headers. */
struct evp_md_ctx_st;
struct evp_cipher_ctx_st;
struct REQUEST_INFO;
/* The working context of a CMS sequence; opaque to callers. */
typedef struct PKCS7_CONTEXT PKCS7_CONTEXT;

/* The result record. Field order and widths are part of the binary
 * interface: callers read status, data and data_len directly. */
typedef struct CRYPTOCASE {
  int32_t status; /* 0 = success, else a TESSEL_* code */
  unsigned char* data;
  int32_t data_len;
  unsigned char* digest;
  int32_t digest_len;
  unsigned char* key;
  int32_t key_len;
  unsigned char* public_key;
  int32_t public_key_len;
  unsigned char* signature;
  int32_t signature_len;
  unsigned char* token;
  int32_t token_len;
  unsigned char* index_db;
  int32_t index_db_len;
  struct evp_md_ctx_st* md_ctx;         /* digest, sign and verify sequences */
  struct evp_cipher_ctx_st* cipher_ctx; /* encryption sequences */
  struct REQUEST_INFO* request_info;    /* request sequences */
  PKCS7_CONTEXT* context;               /* CMS sequences */
} CRYPTOCASE;

/* Wipes and releases every buffer, any working context an unfinished
 * sequence left behind, and the record. A null record is ignored. */
TESSEL_API void CRYPTOCASE_free(CRYPTOCASE* record);

/* ---- CMS SignedData ---------------------------------------------------- */

/* form: TESSEL_FORM_*, checked at Final; flags: TESSEL_CMS_* bits. */
TESSEL_API CRYPTOCASE* CreateSignP7S_Init(int32_t form, int32_t flags);
/* Adds one signer: a PKCS#8 PEM private key (password may be null) and its
 * certificate (PEM or DER). May be called more than once. */
TESSEL_API CRYPTOCASE* CreateSignP7S_AddSigner(CRYPTOCASE* record, const unsigned char* key,
                                               int32_t key_len, const char* password,
                                               const unsigned char* cert, int32_t cert_len);
/* Signs the content (not empty); data = the CMS in the chosen form. */
TESSEL_API CRYPTOCASE* CreateSignP7S_Final(CRYPTOCASE* record, const unsigned char* content,
                                           int32_t content_len);
TESSEL_API CRYPTOCASE* CreateSignP7S(const unsigned char* content, int32_t content_len,
                                     const unsigned char* key, int32_t key_len,
                                     const char* password, const unsigned char* cert,
                                     int32_t cert_len, int32_t form, int32_t flags);
/* Checks every signature (PEM, DER or S/MIME input; certificates are not
 * checked against an authority). content: the detached content or null;
 * cert: an extra signer certificate or null. data = the signed content. */
TESSEL_API CRYPTOCASE* VerifySignP7S(const unsigned char* cms, int32_t cms_len,
                                     const unsigned char* content, int32_t content_len,
                                     const unsigned char* cert, int32_t cert_len);
/* Re-encodes a CMS structure as PEM (0) or DER (1). */
TESSEL_API CRYPTOCASE* ConvertP7S(int32_t form, const unsigned char* cms, int32_t cms_len);

/* ---- Digests and MACs -------------------------------------------------- */

/* name: any OpenSSL digest name ("bash256", "belt-hash", ...). */
TESSEL_API CRYPTOCASE* CreateDigest_Init(const char* name);
/* One update step shared by the digest, sign and verify sequences (the three
 * names are one function). A length of 0 is a valid update. */
TESSEL_API CRYPTOCASE* CreateDigest_Update(CRYPTOCASE* record, const unsigned char* data,
                                           int32_t data_len);
TESSEL_API CRYPTOCASE* CreateSign_Update(CRYPTOCASE* record, const unsigned char* data,
                                         int32_t data_len);
TESSEL_API CRYPTOCASE* VerifySign_Update(CRYPTOCASE* record, const unsigned char* data,
                                         int32_t data_len);
TESSEL_API CRYPTOCASE* CreateDigest_Final(CRYPTOCASE* record);
TESSEL_API CRYPTOCASE* CreateDigest(const char* name, const unsigned char* data, int32_t data_len);
/* belt-mac (digest: 8 octets) and hmac-hbelt (digest: 32 octets). */
TESSEL_API CRYPTOCASE* CreateMac(const unsigned char* data, int32_t data_len,
                                 const unsigned char* key, int32_t key_len);
TESSEL_API CRYPTOCASE* CreateHmac(const unsigned char* data, int32_t data_len,
                                  const unsigned char* key, int32_t key_len);

/* ---- Detached signatures ----------------------------------------------- */

/* key: PKCS#8 PEM private key; a null password is the empty one. The key
 * type's default digest is used. signature = the raw signature value. */
TESSEL_API CRYPTOCASE* CreateSign_Init(const unsigned char* key, int32_t key_len,
                                       const char* password);
TESSEL_API CRYPTOCASE* CreateSign_Final(CRYPTOCASE* record);
TESSEL_API CRYPTOCASE* CreateSign(const unsigned char* data, int32_t data_len,
                                  const unsigned char* key, int32_t key_len, const char* password);
/* public_key: PEM public key, public key blob, certificate or request (PEM
 * or DER). Status 0 = valid, 5 = does not match. */
TESSEL_API CRYPTOCASE* VerifySign_Init(const unsigned char* public_key, int32_t public_key_len);
TESSEL_API CRYPTOCASE* VerifySign_Final(CRYPTOCASE* record, const unsigned char* signature,
                                        int32_t signature_len);
TESSEL_API CRYPTOCASE* VerifySign(const unsigned char* data, int32_t data_len,
                                  const unsigned char* public_key, int32_t public_key_len,
                                  const unsigned char* signature, int32_t signature_len);

#ifdef __cplusplus
}
#endif

#endif /* LIBTESSEL_TESSEL_H */
