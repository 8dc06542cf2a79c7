#include "tokens/store/completion.h"

#include <openssl/err.h>

#include "tokens/store/ossl_ptr.h"
#include "tokens/store/tessel_record.h"

namespace tokens {
namespace {

// Whatever OpenSSL queued while refusing input stays here, not in the
// caller's thread.
struct ErrorQueueGuard {
  ~ErrorQueueGuard() { ERR_clear_error(); }
};

CmsPtr ParseCms(std::span<const unsigned char> der) {
  const unsigned char* p = der.data();
  CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())));
  if (cms && p != der.data() + der.size()) cms.reset();  // trailing bytes
  if (cms && OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed) cms.reset();
  return cms;
}

X509Ptr ParseCertificate(std::span<const unsigned char> der) {
  const unsigned char* p = der.data();
  X509Ptr cert(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
  if (cert && p != der.data() + der.size()) cert.reset();
  return cert;
}

// The certificates of a certificate bundle; nothing when it is not one.
std::optional<std::vector<X509Ptr>> BlockCertificates(std::span<const unsigned char> block) {
  std::vector<X509Ptr> certs;
  if (block.empty()) return certs;
  const unsigned char* p = block.data();
  Pkcs7Ptr bundle(d2i_PKCS7(nullptr, &p, static_cast<long>(block.size())));
  if (!bundle || p != block.data() + block.size() || !PKCS7_type_is_signed(bundle.get()) ||
      bundle->d.sign == nullptr)
    return std::nullopt;
  STACK_OF(X509)* stack = bundle->d.sign->cert;
  for (int i = 0; i < sk_X509_num(stack); ++i) {
    X509* cert = sk_X509_value(stack, i);
    if (X509_up_ref(cert) != 1) return std::nullopt;
    certs.emplace_back(cert);
  }
  return certs;
}

bool AddIfMissing(CMS_ContentInfo* cms, X509* cert) {
  X509Stack present(CMS_get1_certs(cms));
  for (int i = 0; i < sk_X509_num(present.get()); ++i)
    if (X509_cmp(sk_X509_value(present.get(), i), cert) == 0) return true;
  return CMS_add1_cert(cms, cert) == 1;
}

Completion Encode(CMS_ContentInfo* cms) {
  Completion done;
  const int size = i2d_CMS_ContentInfo(cms, nullptr);
  if (size <= 0) return {CompletionError::kNotSignedData, {}};
  done.cms.resize(static_cast<std::size_t>(size));
  unsigned char* out = done.cms.data();
  if (i2d_CMS_ContentInfo(cms, &out) != size) return {CompletionError::kNotSignedData, {}};
  return done;
}

Completion AddAll(CMS_ContentInfo* cms, X509* signer, std::span<const unsigned char> block) {
  auto certs = BlockCertificates(block);
  if (!certs) return {CompletionError::kBadBlock, {}};
  if (signer != nullptr && !AddIfMissing(cms, signer)) return {CompletionError::kBadBlock, {}};
  for (const X509Ptr& cert : *certs)
    if (!AddIfMissing(cms, cert.get())) return {CompletionError::kBadBlock, {}};
  return Encode(cms);
}

}  // namespace

Completion CompletePreSignature(std::span<const unsigned char> pre_signature,
                                std::span<const unsigned char> block,
                                std::span<const unsigned char> own_certificate) {
  EnsureNationalAlgorithms();
  ErrorQueueGuard guard;
  CmsPtr cms = ParseCms(pre_signature);
  if (!cms) return {CompletionError::kNotSignedData, {}};
  if (CMS_is_detached(cms.get()) != 1) return {CompletionError::kNotDetached, {}};
  X509Ptr own = ParseCertificate(own_certificate);
  STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms.get());
  if (!own || sk_CMS_SignerInfo_num(signers) != 1) return {CompletionError::kForeignSigner, {}};
  CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, 0);
  // Named as the token's certificate, and made with the token's key: the
  // signature over the signed attributes verifies with its public key.
  if (CMS_SignerInfo_cert_cmp(signer, own.get()) != 0) return {CompletionError::kForeignSigner, {}};
  CMS_SignerInfo_set1_signer_cert(signer, own.get());
  if (CMS_SignerInfo_verify(signer) != 1) return {CompletionError::kForeignSigner, {}};
  return AddAll(cms.get(), own.get(), block);
}

Completion AddBlockCertificates(std::span<const unsigned char> cms,
                                std::span<const unsigned char> block) {
  EnsureNationalAlgorithms();
  ErrorQueueGuard guard;
  CmsPtr parsed = ParseCms(cms);
  if (!parsed) return {CompletionError::kNotSignedData, {}};
  return AddAll(parsed.get(), nullptr, block);
}

std::optional<Bytes> MakeCompletionBlock(const std::vector<Bytes>& certificates) {
  CRYPTOCASE* record = CreateP7B_Init();
  for (const Bytes& cert : certificates) {
    record = CreateP7B_AddCert(record, cert.data(), Len(cert));
    if (record == nullptr || record->status != TESSEL_OK) break;
  }
  Record done(record != nullptr && record->status == TESSEL_OK ? CreateP7B(record, TESSEL_FORM_DER)
                                                               : record);
  if (!Succeeded(done)) return std::nullopt;
  return DataOf(done);
}

}  // namespace tokens
