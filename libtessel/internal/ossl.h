// Owning handles for the OpenSSL objects the library makes, so that every
// early return releases what was made so far.
#pragma once

// First: cms.h declares its PEM functions only when pem.h came before.
#include <openssl/pem.h>

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/conf.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <memory>

namespace tessel {

template <auto Release>
struct Releaser {
  template <class T>
  void operator()(T* p) const {
    Release(p);
  }
};

template <class T, auto Release>
using Owned = std::unique_ptr<T, Releaser<Release>>;

using BioPtr = Owned<BIO, BIO_free_all>;
using PkeyPtr = Owned<EVP_PKEY, EVP_PKEY_free>;
using PkeyCtxPtr = Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using MdCtxPtr = Owned<EVP_MD_CTX, EVP_MD_CTX_free>;
using X509Ptr = Owned<X509, X509_free>;
using ReqPtr = Owned<X509_REQ, X509_REQ_free>;
using CrlPtr = Owned<X509_CRL, X509_CRL_free>;
using Pkcs7Ptr = Owned<PKCS7, PKCS7_free>;
using CmsPtr = Owned<CMS_ContentInfo, CMS_ContentInfo_free>;
using ConfPtr = Owned<CONF, NCONF_free>;
using P8InfoPtr = Owned<PKCS8_PRIV_KEY_INFO, PKCS8_PRIV_KEY_INFO_free>;
using X509SigPtr = Owned<X509_SIG, X509_SIG_free>;

inline void free_x509_list(STACK_OF(X509) * list) {
  sk_X509_pop_free(list, X509_free);
}
using X509ListPtr = Owned<STACK_OF(X509), free_x509_list>;

}  // namespace tessel
