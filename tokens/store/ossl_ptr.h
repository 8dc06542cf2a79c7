#pragma once
// Owning pointers for the OpenSSL objects the token components handle.

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <memory>

namespace tokens {

template <auto Free>
struct OsslFree {
  template <typename T>
  void operator()(T* p) const {
    Free(p);
  }
};

using X509Ptr = std::unique_ptr<X509, OsslFree<X509_free>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, OsslFree<CMS_ContentInfo_free>>;
using Pkcs7Ptr = std::unique_ptr<PKCS7, OsslFree<PKCS7_free>>;
using BioPtr = std::unique_ptr<BIO, OsslFree<BIO_free>>;

struct X509StackFree {
  void operator()(STACK_OF(X509) * s) const { sk_X509_pop_free(s, X509_free); }
};
using X509Stack = std::unique_ptr<STACK_OF(X509), X509StackFree>;

}  // namespace tokens
