// Certificate verification against a bundle of trusted certificates and CRLs,
// with revocation checked for the whole chain.
#include <openssl/err.h>
#include <openssl/x509_vfy.h>

#include "libtessel/internal/ca.h"
#include "libtessel/internal/loaders.h"
#include "libtessel/internal/record.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

using StorePtr = Owned<X509_STORE, X509_STORE_free>;
using StoreCtxPtr = Owned<X509_STORE_CTX, X509_STORE_CTX_free>;
using ParamPtr = Owned<X509_VERIFY_PARAM, X509_VERIFY_PARAM_free>;
void free_crl_list(STACK_OF(X509_CRL) * list) {
  sk_X509_CRL_pop_free(list, X509_CRL_free);
}
using CrlListPtr = Owned<STACK_OF(X509_CRL), free_crl_list>;

// Every certificate of a signed-data bundle becomes a trust anchor, every
// CRL joins the store. Another content type carries neither.
void trust_bundle(X509_STORE* store, PKCS7* bundle) {
  if (!PKCS7_type_is_signed(bundle) || bundle->d.sign == nullptr) return;
  STACK_OF(X509)* certs = bundle->d.sign->cert;
  for (int i = 0; i < sk_X509_num(certs); ++i) X509_STORE_add_cert(store, sk_X509_value(certs, i));
  STACK_OF(X509_CRL)* crls = bundle->d.sign->crl;
  for (int i = 0; i < sk_X509_CRL_num(crls); ++i)
    X509_STORE_add_crl(store, sk_X509_CRL_value(crls, i));
}

int32_t verify_certificate(const unsigned char* bundle, int32_t bundle_len,
                           const unsigned char* cert, int32_t cert_len, const unsigned char* crl,
                           int32_t crl_len) {
  const StorePtr store(X509_STORE_new());
  const ParamPtr param(X509_VERIFY_PARAM_new());
  if (!store || !param) return TESSEL_STORE_FAILED;
  if (!X509_VERIFY_PARAM_set_flags(param.get(),
                                   X509_V_FLAG_CRL_CHECK | X509_V_FLAG_CRL_CHECK_ALL) ||
      !X509_STORE_set1_param(store.get(), param.get()))
    return TESSEL_STORE_FAILED;
  Pkcs7Ptr p7;
  if (bundle != nullptr) {
    p7.reset(load_pkcs7(bundle, bundle_len));
    if (!p7) return TESSEL_BAD_PKCS7;
    trust_bundle(store.get(), p7.get());
  } else {
    const X509Ptr self(load_certificate(cert, cert_len));
    if (!self) return TESSEL_BAD_CERTIFICATE;
    X509_STORE_add_cert(store.get(), self.get());
  }
  CrlListPtr crls;
  if (crl != nullptr) {
    crls.reset(sk_X509_CRL_new_null());
    if (!crls) return TESSEL_CRL_LIST_FAILED;
    CrlPtr loaded(load_crl(crl, crl_len));
    if (!loaded) return TESSEL_BAD_CRL;
    if (!sk_X509_CRL_push(crls.get(), loaded.get())) return TESSEL_CRL_LIST_FAILED;
    static_cast<void>(loaded.release());  // the list owns it now
  }
  const X509Ptr target(load_certificate(cert, cert_len));
  if (!target) return TESSEL_BAD_CERTIFICATE;
  const StoreCtxPtr ctx(X509_STORE_CTX_new());
  if (!ctx || !X509_STORE_CTX_init(ctx.get(), store.get(), target.get(), nullptr))
    return TESSEL_STORE_CTX_FAILED;
  STACK_OF(X509_CRL)* given = crls.get();
  if (given == nullptr && p7 && PKCS7_type_is_signed(p7.get()) && p7->d.sign != nullptr)
    given = p7->d.sign->crl;
  X509_STORE_CTX_set0_crls(ctx.get(), given);
  const bool ok =
      X509_verify_cert(ctx.get()) == 1 && X509_STORE_CTX_get_error(ctx.get()) == X509_V_OK;
  ERR_clear_error();
  return ok ? TESSEL_OK : TESSEL_VERIFY_FAILED;
}

}  // namespace
}  // namespace tessel

extern "C" TESSEL_API CRYPTOCASE* VerifyCertificate(const unsigned char* bundle, int32_t bundle_len,
                                                    const unsigned char* cert, int32_t cert_len,
                                                    const unsigned char* crl, int32_t crl_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  rec->status = tessel::verify_certificate(bundle, bundle_len, cert, cert_len, crl, crl_len);
  return rec;
}
