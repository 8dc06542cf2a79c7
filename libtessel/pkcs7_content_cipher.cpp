// Which ciphers may encrypt the content of an EnvelopedData. Key-wrapping
// ciphers may not: they take the whole message at once and hand it back in
// their final step, which OpenSSL's streaming CMS code does not expect.
#include "libtessel/internal/ossl.h"  // first: brings pem.h before cms.h

#include <openssl/asn1.h>
#include <openssl/objects.h>

#include <array>
#include <cstring>

#include "libtessel/internal/pkcs7.h"

namespace tessel {
namespace {

constexpr std::array<const char*, 3> kKeyWrapCiphers = {"belt-kwp128", "belt-kwp192",
                                                        "belt-kwp256"};

// Reads one DER header at *p (within end) and checks its tag; *p moves to
// the contents. Primitive or constructed as the tag requires.
bool enter(const unsigned char** p, const unsigned char* end, int tag, int tag_class,
           long* length) {
  int got_tag = 0, got_class = 0;
  const int info = ASN1_get_object(p, length, &got_tag, &got_class, end - *p);
  if ((info & 0x80) != 0 || got_tag != tag || got_class != tag_class) return false;
  return *length <= end - *p;
}

// Skips one whole element.
bool skip(const unsigned char** p, const unsigned char* end) {
  long length = 0;
  int tag = 0, tag_class = 0;
  const int info = ASN1_get_object(p, &length, &tag, &tag_class, end - *p);
  if ((info & 0x80) != 0 || length > end - *p) return false;
  *p += length;
  return true;
}

// The contentEncryptionAlgorithm of an EnvelopedData or AuthEnvelopedData,
// both of which start version, [0] originatorInfo OPTIONAL, recipientInfos,
// then the encrypted content info. NID_undef when it cannot be found.
int content_cipher_nid(const unsigned char* der, long der_len) {
  const unsigned char* p = der;
  const unsigned char* end = der + der_len;
  long length = 0;
  if (!enter(&p, end, V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL, &length)) return NID_undef;
  if (!skip(&p, end)) return NID_undef;  // contentType
  if (!enter(&p, end, 0, V_ASN1_CONTEXT_SPECIFIC, &length)) return NID_undef;
  if (!enter(&p, end, V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL, &length)) return NID_undef;
  if (!skip(&p, end)) return NID_undef;                           // version
  if (p < end && *p == 0xA0 && !skip(&p, end)) return NID_undef;  // originatorInfo
  if (!skip(&p, end)) return NID_undef;                           // recipientInfos
  if (!enter(&p, end, V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL, &length)) return NID_undef;
  if (!skip(&p, end)) return NID_undef;  // contentType of the encrypted content
  if (!enter(&p, end, V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL, &length)) return NID_undef;
  const unsigned char* oid = p;
  ASN1_OBJECT* algorithm = d2i_ASN1_OBJECT(nullptr, &oid, end - p);
  const int nid = OBJ_obj2nid(algorithm);
  ASN1_OBJECT_free(algorithm);
  return nid;
}

}  // namespace

bool is_content_cipher(const EVP_CIPHER* cipher) {
  if (cipher == nullptr) return false;
  if (EVP_CIPHER_get_mode(cipher) == EVP_CIPH_WRAP_MODE) return false;
  const int nid = EVP_CIPHER_get_nid(cipher);
  for (const char* name : kKeyWrapCiphers) {
    if (nid != NID_undef && nid == OBJ_sn2nid(name)) return false;
  }
  return true;
}

bool names_key_wrap_content_cipher(CMS_ContentInfo* cms) {
  const int type = OBJ_obj2nid(CMS_get0_type(cms));
  if (type != NID_pkcs7_enveloped && type != NID_id_smime_ct_authEnvelopedData) return false;
  unsigned char* der = nullptr;
  const int der_len = i2d_CMS_ContentInfo(cms, &der);
  if (der_len <= 0) return false;
  const int nid = content_cipher_nid(der, der_len);
  OPENSSL_free(der);
  const EVP_CIPHER* cipher = nid != NID_undef ? EVP_get_cipherbynid(nid) : nullptr;
  return cipher != nullptr && !is_content_cipher(cipher);
}

}  // namespace tessel
