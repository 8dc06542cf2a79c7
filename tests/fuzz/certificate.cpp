// Certificates (PEM, DER): re-encoding, verification under the fixed CA
// with its CRL, the public key read back, enveloping for the certificate's
// key, and bundling.
#include "fuzz_support.h"
#include "selectors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
  using fuzz::CertificateEntry;
  const fuzz::Input in = fuzz::split_input(data, size);
  const unsigned char* cert = fuzz::bytes(in.payload);
  const int32_t cert_len = fuzz::length(in.payload);
  fuzz::Case result;
  switch (fuzz::entry<CertificateEntry>(in.selector)) {
    case CertificateEntry::kToPem:
      fuzz::check_conversion(ConvertCertificate, TESSEL_FORM_PEM, in.payload);
      break;
    case CertificateEntry::kToDer:
      fuzz::check_conversion(ConvertCertificate, TESSEL_FORM_DER, in.payload);
      break;
    case CertificateEntry::kVerifyUnderCa: {
      const std::string& bundle = fuzz::fixture("ca.p7b");
      result.reset(
          VerifyCertificate(fuzz::bytes(bundle), fuzz::length(bundle), cert, cert_len, nullptr, 0));
      break;
    }
    case CertificateEntry::kPublicKey:
      result.reset(GetPublicKey(cert, cert_len));
      break;
    case CertificateEntry::kEncryptTo:
      result.reset(EncryptP7S("belt-ctr256", fuzz::bytes(fuzz::kContent),
                              fuzz::length(fuzz::kContent), cert, cert_len, TESSEL_FORM_DER, 0));
      break;
    case CertificateEntry::kBundle:
      result.reset(CreateP7B_AddCert(CreateP7B_Init(), cert, cert_len));
      if (result && result->status == TESSEL_OK) CreateP7B(result.get(), TESSEL_FORM_DER);
      break;
    case CertificateEntry::kCount:
      break;
  }
  return 0;
}
