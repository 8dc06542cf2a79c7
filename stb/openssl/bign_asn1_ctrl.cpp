#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>

#include "stb/bign/curves.h"
#include "stb/openssl/bign_asn1.h"
#include "stb/openssl/bign_key.h"
#include "stb/openssl/objects.h"

namespace stb::openssl {
namespace {

bool null_or_absent(int ptype) {
  return ptype == V_ASN1_UNDEF || ptype == V_ASN1_NULL;
}

// What a verifier accepts beside a digest: the signature identifier linked
// to it (NULL or absent parameters), bign-with-hspec naming it, or the key
// type itself, which some writers put there.
bool signature_alg_fits(const X509_ALGOR* alg, int md_nid) {
  const ASN1_OBJECT* obj = nullptr;
  int ptype = V_ASN1_UNDEF;
  const void* pval = nullptr;
  X509_ALGOR_get0(&obj, &ptype, &pval, alg);
  const int nid = OBJ_obj2nid(obj);
  if (nid == nid_of(kBignWithHspec)) {
    return ptype == V_ASN1_OBJECT && OBJ_obj2nid(static_cast<const ASN1_OBJECT*>(pval)) == md_nid;
  }
  if (!null_or_absent(ptype)) return false;
  if (nid == bign_nid()) return true;
  int dig = NID_undef;
  int key = NID_undef;
  return OBJ_find_sigid_algs(nid, &dig, &key) && dig == md_nid && key == bign_nid();
}

// SignerInfo of CMS or PKCS#7: the digest must fit the key's level. When
// signing, the signature algorithm follows from the digest, parameters
// absent as OpenSSL writes them for its own key types; when verifying it
// must agree with the digest.
int signer_algs(EVP_PKEY* pk, long verifying, X509_ALGOR* digest_alg, X509_ALGOR* sig_alg) {
  const BignKey* key = bign_key(pk);
  if (key == nullptr || digest_alg == nullptr || sig_alg == nullptr) return 0;
  const ASN1_OBJECT* dobj = nullptr;
  X509_ALGOR_get0(&dobj, nullptr, nullptr, digest_alg);
  const int md_nid = OBJ_obj2nid(dobj);
  if (hash_for(md_nid, key->level) == nullptr) {
    ERR_raise(ERR_LIB_EVP, EVP_R_INVALID_DIGEST);
    return 0;
  }
  if (verifying) return signature_alg_fits(sig_alg, md_nid) ? 1 : 0;
  int sig_nid = NID_undef;
  if (!OBJ_find_sigid_by_algs(&sig_nid, md_nid, bign_nid())) return 0;
  return X509_ALGOR_set0(sig_alg, OBJ_nid2obj(sig_nid), V_ASN1_UNDEF, nullptr);
}

// KeyTransRecipientInfo: bign-keytransport with NULL parameters when
// encrypting; NULL or absent accepted when decrypting.
int recipient_alg(long decrypting, X509_ALGOR* alg) {
  const int nid = nid_of(kBignKeytransport);
  if (alg == nullptr || nid == NID_undef) return 0;
  if (!decrypting) return X509_ALGOR_set0(alg, OBJ_nid2obj(nid), V_ASN1_NULL, nullptr);
  const ASN1_OBJECT* obj = nullptr;
  int ptype = V_ASN1_UNDEF;
  X509_ALGOR_get0(&obj, &ptype, nullptr, alg);
  return OBJ_obj2nid(obj) == nid && null_or_absent(ptype) ? 1 : 0;
}

// The digest that bign-with-hspec names, if it fits the key.
int hspec_digest(const X509_ALGOR* alg, unsigned level) {
  const ASN1_OBJECT* obj = nullptr;
  int ptype = V_ASN1_UNDEF;
  const void* pval = nullptr;
  X509_ALGOR_get0(&obj, &ptype, &pval, alg);
  if (OBJ_obj2nid(obj) != nid_of(kBignWithHspec) || ptype != V_ASN1_OBJECT) return NID_undef;
  const int md_nid = OBJ_obj2nid(static_cast<const ASN1_OBJECT*>(pval));
  return hash_for(md_nid, level) != nullptr ? md_nid : NID_undef;
}

}  // namespace

int bign_asn1_ctrl(EVP_PKEY* pk, int op, long arg1, void* arg2) {
  switch (op) {
    case ASN1_PKEY_CTRL_DEFAULT_MD_NID: {
      const BignKey* key = bign_key(pk);
      if (key == nullptr || !bign::valid_level(key->level)) return 0;
      *static_cast<int*>(arg2) = default_md_nid(key->level);
      // 1: the default, not the only choice (bash256 also fits level 128).
      return 1;
    }
    case ASN1_PKEY_CTRL_CMS_SIGN: {
      X509_ALGOR* dig = nullptr;
      X509_ALGOR* sig = nullptr;
      CMS_SignerInfo_get0_algs(static_cast<CMS_SignerInfo*>(arg2), nullptr, nullptr, &dig, &sig);
      return signer_algs(pk, arg1, dig, sig);
    }
    case ASN1_PKEY_CTRL_PKCS7_SIGN: {
      X509_ALGOR* dig = nullptr;
      X509_ALGOR* sig = nullptr;
      PKCS7_SIGNER_INFO_get0_algs(static_cast<PKCS7_SIGNER_INFO*>(arg2), nullptr, &dig, &sig);
      return signer_algs(pk, arg1, dig, sig);
    }
    case ASN1_PKEY_CTRL_CMS_ENVELOPE: {
      auto* ri = static_cast<CMS_RecipientInfo*>(arg2);
      if (CMS_RecipientInfo_type(ri) != CMS_RECIPINFO_TRANS) return -2;
      X509_ALGOR* alg = nullptr;
      if (!CMS_RecipientInfo_ktri_get0_algs(ri, nullptr, nullptr, &alg)) return 0;
      return recipient_alg(arg1, alg);
    }
    case ASN1_PKEY_CTRL_PKCS7_ENCRYPT: {
      X509_ALGOR* alg = nullptr;
      PKCS7_RECIP_INFO_get0_alg(static_cast<PKCS7_RECIP_INFO*>(arg2), &alg);
      return recipient_alg(arg1, alg);
    }
    case ASN1_PKEY_CTRL_CMS_RI_TYPE:
      *static_cast<int*>(arg2) = CMS_RECIPINFO_TRANS;
      return 1;
    case ASN1_PKEY_CTRL_CMS_IS_RI_TYPE_SUPPORTED:
      *static_cast<int*>(arg2) = arg1 == CMS_RECIPINFO_TRANS ? 1 : 0;
      return 1;
    default:
      return -2;
  }
}

int bign_item_verify(EVP_MD_CTX* ctx, const ASN1_ITEM*, const void*, const X509_ALGOR* alg,
                     const ASN1_BIT_STRING*, EVP_PKEY* pk) {
  const BignKey* key = bign_key(pk);
  if (key == nullptr) return 0;
  const int md_nid = hspec_digest(alg, key->level);
  const EVP_MD* md = md_nid == NID_undef ? nullptr : EVP_get_digestbynid(md_nid);
  if (md == nullptr) {
    ERR_raise(ERR_LIB_EVP, EVP_R_INVALID_DIGEST);
    return 0;
  }
  return EVP_DigestVerifyInit(ctx, nullptr, md, nullptr, pk) > 0 ? 2 : 0;
}

int bign_siginf_set(X509_SIG_INFO* siginf, const X509_ALGOR* alg, const ASN1_STRING* sig) {
  // The signature is 3l/8 octets long.
  const unsigned level = static_cast<unsigned>(ASN1_STRING_length(sig)) * 8 / 3;
  if (!bign::valid_level(level)) return 0;
  const int md_nid = hspec_digest(alg, level);
  if (md_nid == NID_undef) return 0;
  X509_SIG_INFO_set(siginf, md_nid, bign_nid(), static_cast<int>(level), 0);
  return 1;
}

}  // namespace stb::openssl
