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

/* ---- Random numbers ---------------------------------------------------- */

/* data = n * 32 octets of brng-ctr-hbelt over fresh system randomness, under
 * a 32-octet key and a 32-octet start value (8 when either is null). n >= 1. */
TESSEL_API CRYPTOCASE* GenRandomCTR(int32_t n, const unsigned char* key,
                                    const unsigned char* start);
/* data = n * 32 octets of brng-hmac-hbelt (key and start value of any
 * length). n >= 1. */
TESSEL_API CRYPTOCASE* GenRandomHMAC(int32_t n, const unsigned char* key, int32_t key_len,
                                     const unsigned char* start, int32_t start_len);
/* data = length octets from the processor's generator, through the "rdrand"
 * ENGINE, which stays the process's default random method afterwards.
 * 193 when the processor has no such generator. */
TESSEL_API CRYPTOCASE* GenRandomIntel(int32_t length);
/* data = length octets (length >= 1) from OpenSSL's private generator. */
TESSEL_API CRYPTOCASE* GenRandomSystem(int32_t length);
/* data = 32 octets: bash256 of the seed (may be null) and fresh randomness. */
TESSEL_API CRYPTOCASE* CryptoRandom(const unsigned char* seed, int32_t seed_len);
/* data = n * 32 pseudo-random octets; the seed (may be null) only adds
 * entropy, equal seeds do not give equal output. n >= 1. */
TESSEL_API CRYPTOCASE* CryptoPseudoRandom(int32_t n, const unsigned char* seed, int32_t seed_len);
/* FIPS 140-2 statistical tests (monobit, poker, runs, long run, continuous)
 * on the data, a whole number of 4-octet groups; null data tests 2500 fresh
 * octets. Status 0 = passed, 194 = failed, 8 = length not a multiple of 4. */
TESSEL_API CRYPTOCASE* RandomFIPS(const unsigned char* data, int32_t data_len);

/* ---- Keys and key tokens ----------------------------------------------- */

/* key = 32 random octets; the seed (may be null) adds entropy. */
TESSEL_API CRYPTOCASE* GenEncryptKey(const unsigned char* seed, int32_t seed_len);
/* key = the 32-octet belt expansion of a 16, 24 or 32-octet key. */
TESSEL_API CRYPTOCASE* KeyExpansion(const unsigned char* key, int32_t key_len);
/* key = out_len octets of belt-keyrep at the 12-octet level under the
 * 16-octet header (null: zeros). 8 unless key_len is 16, 24 or 32 and out_len
 * one of these, at most key_len. */
TESSEL_API CRYPTOCASE* KeyConversion(const unsigned char* key, int32_t key_len,
                                     const unsigned char* level, const unsigned char* header,
                                     int32_t out_len);
/* A new bign key pair of level 128, 192 or 256: key = PKCS#8 PEM private key
 * (encrypted when password is not null; at least 8 characters), public_key
 * = PEM public key. The seed (may be null) adds entropy. */
TESSEL_API CRYPTOCASE* GenPrivateKey(int32_t level, const char* password,
                                     const unsigned char* seed, int32_t seed_len);
/* As GenPrivateKey, the private key being the given level/4 octets (8 for
 * another length, 20 when they are no valid private key). */
TESSEL_API CRYPTOCASE* SetPrivateKey(int32_t level, const char* password,
                                     const unsigned char* private_key, int32_t private_key_len);
/* public_key = PEM public key of a public key, certificate or request. */
TESSEL_API CRYPTOCASE* GetPublicKey(const unsigned char* input, int32_t input_len);
/* key = the raw private key octets of a PKCS#8 PEM key. */
TESSEL_API CRYPTOCASE* GetPrivateKey(const unsigned char* key, int32_t key_len,
                                     const char* password);
/* key = the plain PKCS#8 PEM key encrypted under password (null: plain). */
TESSEL_API CRYPTOCASE* KeyProtect(const unsigned char* key, int32_t key_len, const char* password);
/* key = the key decrypted with password, as plain PKCS#8 PEM. */
TESSEL_API CRYPTOCASE* KeyUnprotect(const unsigned char* key, int32_t key_len,
                                    const char* password);
/* key = the key re-encrypted under new_password (null: written plain). */
TESSEL_API CRYPTOCASE* ChangePassword(const unsigned char* key, int32_t key_len,
                                      const char* old_password, const char* new_password);
/* token = key wrapped for the recipient's bign public key (PEM, blob,
 * certificate or request) under a 16-octet header (null: zeros); key_len
 * >= 16, token_len = key_len + 16 + level/4. */
TESSEL_API CRYPTOCASE* CreateToken(const unsigned char* key, int32_t key_len,
                                   const unsigned char* public_key, int32_t public_key_len,
                                   const unsigned char* header);
/* key = the key a token carries, opened with the same header and the
 * recipient's PKCS#8 PEM private key. 6 = wrong header or key, 67 = the token
 * cannot be decoded. */
TESSEL_API CRYPTOCASE* DecodeToken(const unsigned char* token, int32_t token_len,
                                   const unsigned char* header, const unsigned char* private_key,
                                   int32_t private_key_len, const char* password);

/* ---- Symmetric encryption and data protection ------------------------- */

/* name: any OpenSSL cipher name ("belt-ctr256", "belt-cbc128", ...); key and
 * iv are as long as the cipher says (belt: 16, 24 or 32-octet key, 16-octet
 * iv). Each update's output replaces the previous one in data: a streaming
 * caller collects data after every step, Final included. */
TESSEL_API CRYPTOCASE* Encrypt_Init(const char* name, const unsigned char* key,
                                    const unsigned char* iv);
TESSEL_API CRYPTOCASE* Encrypt_Update(CRYPTOCASE* record, const unsigned char* data,
                                      int32_t data_len);
TESSEL_API CRYPTOCASE* Encrypt_Final(CRYPTOCASE* record);
/* data = the whole ciphertext. ECB and CBC need 16 octets or more (8). */
TESSEL_API CRYPTOCASE* Encrypt(const char* name, const unsigned char* data, int32_t data_len,
                               const unsigned char* key, const unsigned char* iv);
TESSEL_API CRYPTOCASE* Decrypt_Init(const char* name, const unsigned char* key,
                                    const unsigned char* iv);
TESSEL_API CRYPTOCASE* Decrypt_Update(CRYPTOCASE* record, const unsigned char* data,
                                      int32_t data_len);
TESSEL_API CRYPTOCASE* Decrypt_Final(CRYPTOCASE* record);
TESSEL_API CRYPTOCASE* Decrypt(const char* name, const unsigned char* data, int32_t data_len,
                               const unsigned char* key, const unsigned char* iv);
/* A fresh key per message, wrapped for the recipient's bign public key under
 * the 16-octet header: data = ciphertext, token = the key token. */
TESSEL_API CRYPTOCASE* EncryptData(const char* name, const unsigned char* data, int32_t data_len,
                                   const unsigned char* public_key, int32_t public_key_len,
                                   const unsigned char* header);
TESSEL_API CRYPTOCASE* DecryptData(const char* name, const unsigned char* data, int32_t data_len,
                                   const unsigned char* token, int32_t token_len,
                                   const unsigned char* header, const unsigned char* private_key,
                                   int32_t private_key_len, const char* password);
/* EncryptData plus a detached signature of the plaintext (signature). */
TESSEL_API CRYPTOCASE* Protect(const char* name, const unsigned char* data, int32_t data_len,
                               const unsigned char* private_key, int32_t private_key_len,
                               const char* password, const unsigned char* public_key,
                               int32_t public_key_len, const unsigned char* header);
/* DecryptData, answering the plaintext only when the signature verifies (5
 * otherwise) with the signer's public key, certificate or request. */
TESSEL_API CRYPTOCASE* UnProtect(const char* name, const unsigned char* data, int32_t data_len,
                                 const unsigned char* token, int32_t token_len,
                                 const unsigned char* header, const unsigned char* private_key,
                                 int32_t private_key_len, const char* password,
                                 const unsigned char* signer_key, int32_t signer_key_len,
                                 const unsigned char* signature, int32_t signature_len);

/* ---- CMS EnvelopedData ------------------------------------------------- */

/* cipher: content cipher name; form: TESSEL_FORM_*, checked at Final;
 * flags: TESSEL_CMS_KEYID names recipients by subject key identifier, other
 * bits are ignored (the content is always included). */
TESSEL_API CRYPTOCASE* EncryptP7S_Init(const char* cipher, int32_t form, int32_t flags);
/* Adds one recipient certificate (PEM or DER). */
TESSEL_API CRYPTOCASE* EncryptP7S_AddRecipient(CRYPTOCASE* record, const unsigned char* cert,
                                               int32_t cert_len);
/* Encrypts the content (not empty); data = the CMS in the chosen form. */
TESSEL_API CRYPTOCASE* EncryptP7S_Final(CRYPTOCASE* record, const unsigned char* content,
                                        int32_t content_len);
TESSEL_API CRYPTOCASE* EncryptP7S(const char* cipher, const unsigned char* content,
                                  int32_t content_len, const unsigned char* cert, int32_t cert_len,
                                  int32_t form, int32_t flags);
/* data = the content, opened with a recipient's PKCS#8 PEM private key
 * (PEM, DER or S/MIME input). 180 when the key opens no recipient. */
TESSEL_API CRYPTOCASE* DecryptP7S(const unsigned char* cms, int32_t cms_len,
                                  const unsigned char* key, int32_t key_len, const char* password);

/* ---- Certificate bundles ----------------------------------------------- */

/* A PKCS#7 SignedData without signers carrying certificates and CRLs. A
 * failed Add step keeps the sequence going: the item is simply missing. */
TESSEL_API CRYPTOCASE* CreateP7B_Init(void);
TESSEL_API CRYPTOCASE* CreateP7B_AddCert(CRYPTOCASE* record, const unsigned char* cert,
                                         int32_t cert_len);
TESSEL_API CRYPTOCASE* CreateP7B_AddCRL(CRYPTOCASE* record, const unsigned char* crl,
                                        int32_t crl_len);
/* data = the bundle as PEM (0) or DER (1). */
TESSEL_API CRYPTOCASE* CreateP7B(CRYPTOCASE* record, int32_t form);
/* Re-encodes a bundle (PEM or DER) as PEM (0) or DER (1). */
TESSEL_API CRYPTOCASE* ConvertP7B(int32_t form, const unsigned char* bundle, int32_t bundle_len);

/* ---- Certificate requests ---------------------------------------------- */

/* The subject values of a request being collected, one field per X.520
 * attribute type 2.5.4.n, named by the attribute's long name. Each field is
 * null or a heap copy of the value, zero-terminated. The order is the order
 * in which the values enter the subject. */
typedef struct REQUEST_INFO {
  char* commonName;                  /* 3 */
  char* surname;                     /* 4 */
  char* serialNumber;                /* 5 */
  char* countryName;                 /* 6, exactly 2 bytes */
  char* localityName;                /* 7 */
  char* stateOrProvinceName;         /* 8 */
  char* streetAddress;               /* 9 */
  char* organizationName;            /* 10 */
  char* organizationalUnitName;      /* 11 */
  char* title;                       /* 12 */
  char* description;                 /* 13 */
  char* searchGuide;                 /* 14 */
  char* businessCategory;            /* 15 */
  char* postalAddress;               /* 16 */
  char* postalCode;                  /* 17 */
  char* postOfficeBox;               /* 18 */
  char* physicalDeliveryOfficeName;  /* 19 */
  char* telephoneNumber;             /* 20 */
  char* telexNumber;                 /* 21 */
  char* teletexTerminalIdentifier;   /* 22 */
  char* facsimileTelephoneNumber;    /* 23 */
  char* x121Address;                 /* 24 */
  char* internationaliSDNNumber;     /* 25 */
  char* registeredAddress;           /* 26 */
  char* destinationIndicator;        /* 27 */
  char* preferredDeliveryMethod;     /* 28 */
  char* presentationAddress;         /* 29 */
  char* supportedApplicationContext; /* 30 */
  char* roleOccupant;                /* 33 */
  char* userPassword;                /* 35 */
  char* userCertificate;             /* 36 */
  char* cACertificate;               /* 37 */
  char* authorityRevocationList;     /* 38 */
  char* certificateRevocationList;   /* 39 */
  char* crossCertificatePair;        /* 40 */
  char* name;                        /* 41 */
  char* givenName;                   /* 42 */
  char* initials;                    /* 43 */
  char* generationQualifier;         /* 44 */
  char* x500UniqueIdentifier;        /* 45 */
  char* dnQualifier;                 /* 46 */
  char* enhancedSearchGuide;         /* 47 */
  char* protocolInformation;         /* 48 */
  char* distinguishedName;           /* 49 */
  char* uniqueMember;                /* 50 */
  char* houseIdentifier;             /* 51 */
  char* supportedAlgorithms;         /* 52 */
  char* deltaRevocationList;         /* 53 */
  char* pseudonym;                   /* 65 */
  char* role;                        /* 72 */
  char* organizationIdentifier;      /* 97 */
  char* countryCode3c;               /* 98, exactly 3 bytes */
  char* countryCode3n;               /* 99, exactly 3 bytes */
  char* dnsName;                     /* 100 */
} REQUEST_INFO;

/* A record with an empty REQUEST_INFO (80 when it cannot be allocated). */
TESSEL_API CRYPTOCASE* REQUEST_INFO_Init(void);
/* Stores a copy of the value (up to its first zero byte) under the type
 * number n of 2.5.4.n, replacing an earlier one. 52 unknown type, 82 wrong
 * length of a fixed-length value, 8 negative length or a missing value, 81
 * no memory, 80 no REQUEST_INFO in the record; after any of them the
 * REQUEST_INFO is gone and the record only good for CRYPTOCASE_free. */
TESSEL_API CRYPTOCASE* REQUEST_INFO_AddValue(CRYPTOCASE* record, uint32_t type,
                                             const unsigned char* value, int32_t length);
/* Builds, signs (the key's default digest) and encodes the request: data =
 * PEM (0) or DER (1). key: PKCS#8 PEM, password may be null; config: NCONF
 * text or null ("signing_time", "extensions_name", section
 * "request_extensions"). Consumes the REQUEST_INFO whatever the outcome. */
TESSEL_API CRYPTOCASE* GenRequest(CRYPTOCASE* record, const unsigned char* key, int32_t key_len,
                                  const char* password, const unsigned char* config,
                                  int32_t config_len, int32_t form);
/* The request's self-signature (PEM or DER): 0 valid, 5 does not verify,
 * 36 unreadable, 88 error while checking, 160 no public key. */
TESSEL_API CRYPTOCASE* VerifyRequest(const unsigned char* request, int32_t request_len);
/* data = the subject, one "short name=value" line per entry (absent for an
 * empty subject); public_key = the public key as PEM. */
TESSEL_API CRYPTOCASE* GetRequestInfo(const unsigned char* request, int32_t request_len);

/* ---- Certificates, revocation and CRLs --------------------------------- */

/* The caller keeps the CA's state: key, certificate, configuration text
 * (NCONF, section "certificate"; null = defaults) and the index database
 * text (length 0 = empty). Issues a certificate from the request (PEM or
 * DER), signed with key (PKCS#8 PEM; password may be null) under ca_cert, or
 * self-signed with the request's own key when self_signed is non-zero.
 * serial: hexadecimal text, or null for a random one. data = the
 * certificate in form 0 (PEM) or 1 (DER); index_db = the database with the
 * new row appended. */
TESSEL_API CRYPTOCASE* CreateCertificate(const unsigned char* request, int32_t request_len,
                                         const unsigned char* key, int32_t key_len,
                                         const char* password, const unsigned char* ca_cert,
                                         int32_t ca_cert_len, const unsigned char* config,
                                         int32_t config_len, const unsigned char* index_db,
                                         int32_t index_db_len, const char* serial,
                                         int32_t self_signed, int32_t form);
/* Verifies cert against the bundle's certificates (PKCS#7 signed data as
 * CreateP7B makes it; null: cert is its own anchor) with CRLs required for
 * the whole chain (crl, or the bundle's CRLs when null). 0 or 5. */
TESSEL_API CRYPTOCASE* VerifyCertificate(const unsigned char* bundle, int32_t bundle_len,
                                         const unsigned char* cert, int32_t cert_len,
                                         const unsigned char* crl, int32_t crl_len);
TESSEL_API CRYPTOCASE* ConvertCertificate(int32_t form, const unsigned char* cert,
                                          int32_t cert_len);
/* Marks the certificate's row revoked; reason: "unspecified",
 * "keyCompromise", "CACompromise", "affiliationChanged", "superseded",
 * "cessationOfOperation", "certificateHold" or "removeFromCRL". index_db =
 * the updated database. */
TESSEL_API CRYPTOCASE* RevokeCertificate(const unsigned char* cert, int32_t cert_len,
                                         const unsigned char* index_db, int32_t index_db_len,
                                         const char* reason, const unsigned char* config,
                                         int32_t config_len);
/* A CRL of every revoked row, signed with the CA's key; crl_number (0 or
 * more) is kept and counted by the caller. data = the CRL in form 0 or 1. */
TESSEL_API CRYPTOCASE* CreateCRL(const unsigned char* key, int32_t key_len, const char* password,
                                 const unsigned char* ca_cert, int32_t ca_cert_len,
                                 const unsigned char* config, int32_t config_len,
                                 const unsigned char* index_db, int32_t index_db_len,
                                 int32_t crl_number, int32_t form);
TESSEL_API CRYPTOCASE* ConvertCRL(int32_t form, const unsigned char* crl, int32_t crl_len);

#ifdef __cplusplus
}
#endif

#endif /* LIBTESSEL_TESSEL_H */
