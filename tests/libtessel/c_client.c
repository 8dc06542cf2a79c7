/* A C caller of libtessel: one digest, one detached CMS signature (the record
 * read field by field as the signing program reads it) and a library-made key
 * pair signing and verifying. The CMS signer's key and certificate are made
 * through OpenSSL, where libtessel has registered the key type on its first
 * call. */
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <stdio.h>
#include <string.h>

#include "libtessel/tessel.h"

static const unsigned char kEmptyBash256[32] = {
    0x11, 0x4C, 0x3D, 0xFA, 0xE3, 0x73, 0xD9, 0xBC, 0xBC, 0x36, 0x02, 0xD6, 0x38, 0x6F, 0x2D, 0x6A,
    0x20, 0x59, 0xBA, 0x1B, 0xF9, 0x04, 0x8D, 0xBA, 0xA5, 0x14, 0x6A, 0x6C, 0xB7, 0x75, 0x70, 0x9D};

static int fail(const char* what) {
  fprintf(stderr, "c_client: %s\n", what);
  return 1;
}

/* The PEM text of a memory BIO, as (pointer, length). */
static int32_t pem_text(BIO* bio, const unsigned char** text) {
  char* p = NULL;
  const long n = BIO_get_mem_data(bio, &p);
  *text = (const unsigned char*)p;
  return (int32_t)n;
}

static int make_signer(BIO* key_pem, BIO* cert_pem) {
  EVP_PKEY* key = NULL;
  X509* cert = NULL;
  int md_nid = NID_undef;
  int ok = 0;
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_id(OBJ_sn2nid("bign-pubkey"), NULL);
  if (ctx != NULL && EVP_PKEY_keygen_init(ctx) > 0 &&
      EVP_PKEY_CTX_ctrl_str(ctx, "params", "A") > 0 && EVP_PKEY_keygen(ctx, &key) > 0 &&
      (cert = X509_new()) != NULL && X509_set_version(cert, 2) &&
      ASN1_INTEGER_set(X509_get_serialNumber(cert), 1) &&
      X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                                 (const unsigned char*)"c client", -1, -1, 0) &&
      X509_set_issuer_name(cert, X509_get_subject_name(cert)) &&
      X509_gmtime_adj(X509_getm_notBefore(cert), 0) &&
      X509_gmtime_adj(X509_getm_notAfter(cert), 3600) && X509_set_pubkey(cert, key) &&
      EVP_PKEY_get_default_digest_nid(key, &md_nid) > 0 &&
      X509_sign(cert, key, EVP_get_digestbynid(md_nid)) > 0 &&
      PEM_write_bio_PKCS8PrivateKey(key_pem, key, NULL, NULL, 0, NULL, NULL) > 0 &&
      PEM_write_bio_X509(cert_pem, cert) > 0) {
    ok = 1;
  }
  X509_free(cert);
  EVP_PKEY_free(key);
  EVP_PKEY_CTX_free(ctx);
  return ok;
}

/* A key pair made by the library, a signature with its password-protected
 * key, and the check with its public key: the README's example. */
static int key_pair_round_trip(const unsigned char* msg, int32_t msg_len) {
  int ok;
  CRYPTOCASE* key = GenPrivateKey(128, "pass phrase", NULL, 0);
  CRYPTOCASE* sig = key != NULL && key->status == 0
                        ? CreateSign(msg, msg_len, key->key, key->key_len, "pass phrase")
                        : NULL;
  CRYPTOCASE* check = sig != NULL && sig->status == 0
                          ? VerifySign(msg, msg_len, key->public_key, key->public_key_len,
                                       sig->signature, sig->signature_len)
                          : NULL;
  ok = check != NULL && check->status == 0;
  CRYPTOCASE_free(check);
  CRYPTOCASE_free(sig);
  CRYPTOCASE_free(key);
  return ok;
}

int main(void) {
  static const unsigned char content[] = "document to sign";
  const int32_t content_len = (int32_t)(sizeof content - 1);
  const unsigned char *key, *cert;
  int32_t key_len, cert_len;
  BIO* key_pem = BIO_new(BIO_s_mem());
  BIO* cert_pem = BIO_new(BIO_s_mem());
  CRYPTOCASE* rec;
  int result = 0;

  rec = CreateDigest("bash256", NULL, 0);
  if (rec == NULL || rec->status != 0 || rec->digest_len != 32 ||
      memcmp(rec->digest, kEmptyBash256, 32) != 0)
    result = fail("bash256 of the empty message");
  CRYPTOCASE_free(rec);

  if (key_pem == NULL || cert_pem == NULL || !make_signer(key_pem, cert_pem)) {
    BIO_free(key_pem);
    BIO_free(cert_pem);
    return fail("signer key and certificate");
  }
  key_len = pem_text(key_pem, &key);
  cert_len = pem_text(cert_pem, &cert);

  rec = CreateSignP7S(content, content_len, key, key_len, NULL, cert, cert_len, TESSEL_FORM_DER,
                      TESSEL_CMS_DETACHED);
  if (rec == NULL || rec->status != 0 || rec->data == NULL || rec->data_len <= 0) {
    result = fail("CreateSignP7S");
  } else {
    CRYPTOCASE* check = VerifySignP7S(rec->data, rec->data_len, content, content_len, NULL, 0);
    if (check == NULL || check->status != 0 || check->data_len != content_len ||
        memcmp(check->data, content, sizeof content - 1) != 0)
      result = fail("VerifySignP7S");
    CRYPTOCASE_free(check);
  }
  CRYPTOCASE_free(rec);
  BIO_free(key_pem);
  BIO_free(cert_pem);
  if (!key_pair_round_trip(content, content_len)) result = fail("key pair, sign, verify");
  if (result == 0) printf("c_client: digest, signatures and key pair ok\n");
  return result;
}
