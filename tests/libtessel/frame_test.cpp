// The record frame: null records, unfinished sequences, the exported names.
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "tessel_support.h"

#ifndef TESSEL_LIBRARY
#error "TESSEL_LIBRARY must name the built shared library"
#endif

namespace {

using namespace tesseltest;

class Frame : public Tessel {};

TEST_F(Frame, StepsGivenNoRecordAnswerNull) {
  const unsigned char b = 0;
  const std::function<CRYPTOCASE*()> steps[] = {
      [&] { return CreateSignP7S_AddSigner(nullptr, &b, 1, nullptr, &b, 1); },
      [&] { return CreateSignP7S_Final(nullptr, &b, 1); },
      [&] { return CreateDigest_Update(nullptr, &b, 1); },
      [&] { return CreateSign_Update(nullptr, &b, 1); },
      [&] { return VerifySign_Update(nullptr, &b, 1); },
      [&] { return CreateDigest_Final(nullptr); },
      [&] { return CreateSign_Final(nullptr); },
      [&] { return VerifySign_Final(nullptr, &b, 1); },
  };
  for (const auto& step : steps) EXPECT_EQ(step(), nullptr);
  CRYPTOCASE_free(nullptr);
}

// Records dropped in the middle of their sequence: CRYPTOCASE_free releases
// the working contexts too (the leak checkers of the sanitizer and valgrind
// runs watch this test).
TEST_F(Frame, UnfinishedSequencesAreReleased) {
  const Signer s = make_signer("A");
  CRYPTOCASE_free(CreateDigest_Update(CreateDigest_Init("bash256"), bytes("abc"), 3));
  CRYPTOCASE_free(CreateSign_Init(bytes(s.key_pem), len(s.key_pem), nullptr));
  CRYPTOCASE_free(VerifySign_Init(bytes(s.cert_pem), len(s.cert_pem)));
  CRYPTOCASE_free(CreateSignP7S_Init(TESSEL_FORM_SMIME, TESSEL_CMS_DETACHED));
  CRYPTOCASE_free(CreateSignP7S_AddSigner(CreateSignP7S_Init(TESSEL_FORM_PEM, 0), bytes(s.key_pem),
                                          len(s.key_pem), nullptr, bytes(s.cert_pem),
                                          len(s.cert_pem)));
}

// Exactly the exports built so far leave the shared object.
TEST(Exports, DynamicSymbolTableHoldsExactlyTheExports) {
  const std::set<std::string> want = {
      "CRYPTOCASE_free",     "CreateSignP7S_Init", "CreateSignP7S_AddSigner",
      "CreateSignP7S_Final", "CreateSignP7S",      "VerifySignP7S",
      // random numbers, keys and key tokens
      "GenRandomCTR", "GenRandomHMAC", "GenRandomIntel", "GenRandomSystem", "CryptoRandom",
      "CryptoPseudoRandom", "RandomFIPS", "GenEncryptKey", "KeyExpansion", "KeyConversion",
      "GenPrivateKey", "SetPrivateKey", "GetPublicKey", "GetPrivateKey", "KeyProtect",
      "KeyUnprotect", "ChangePassword", "CreateToken", "DecodeToken",
      "ConvertP7S",          "CreateDigest_Init",  "CreateDigest_Update",
      "CreateDigest_Final",  "CreateDigest",       "CreateMac",
      "CreateHmac",          "CreateSign_Init",    "CreateSign_Update",
      "CreateSign_Final",    "CreateSign",         "VerifySign_Init",
      "VerifySign_Update",   "VerifySign_Final",   "VerifySign",
      // certificates, revocation, CRLs
      "CreateCertificate", "VerifyCertificate", "ConvertCertificate", "RevokeCertificate",
      "CreateCRL", "ConvertCRL",
      // certificate requests
      "REQUEST_INFO_Init", "REQUEST_INFO_AddValue", "GenRequest", "VerifyRequest",
      "GetRequestInfo",
      // encryption, enveloped data, bundles
      "Encrypt_Init",
      "Encrypt_Update",
      "Encrypt_Final",
      "Encrypt",
      "Decrypt_Init",
      "Decrypt_Update",
      "Decrypt_Final",
      "Decrypt",
      "EncryptData",
      "DecryptData",
      "Protect",
      "UnProtect",
      "EncryptP7S_Init",
      "EncryptP7S_AddRecipient",
      "EncryptP7S_Final",
      "EncryptP7S",
      "DecryptP7S",
      "CreateP7B_Init",
      "CreateP7B_AddCert",
      "CreateP7B_AddCRL",
      "CreateP7B",
      "ConvertP7B",
  };

  const std::string cmd = std::string("nm -D --defined-only \"") + TESSEL_LIBRARY + "\"";
  std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(cmd.c_str(), "r"), pclose);
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> got;
  std::map<std::string, std::string> address;
  char addr[64], type[8], name[256];
  while (std::fscanf(pipe.get(), "%63s %7s %255s", addr, type, name) == 3) {
    got.insert(name);
    address[name] = addr;
  }
  EXPECT_EQ(got, want);
  // The three update names are one function.
  EXPECT_EQ(address["CreateSign_Update"], address["CreateDigest_Update"]);
  EXPECT_EQ(address["VerifySign_Update"], address["CreateDigest_Update"]);
}

}  // namespace
