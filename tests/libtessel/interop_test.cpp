// CMS interchange with the stock openssl command and the national-algorithm
// module: our output verifies there, its output verifies here.
#include <fstream>
#include <sstream>
#include <string>

#include "support/openssl_command.h"
#include "tessel_support.h"

namespace {

using namespace tesseltest;

class Interop : public Tessel, public testsupport::CommandFiles {
 protected:
  void SetUp() override {
    Tessel::SetUp();
    signer_ = make_signer("A");
    write("key.pem", signer_.key_pem);
    write("cert.pem", signer_.cert_pem);
    write("content.bin", content_);
  }

  using CommandFiles::write;
  void write(const std::string& name, const CRYPTOCASE* rec) const { write(name, text_of(rec)); }

  Case sign(int32_t form, int32_t flags) const { return sign(content_, form, flags); }
  Case sign(const std::string& content, int32_t form, int32_t flags) const {
    return Case(CreateSignP7S(bytes(content), len(content), bytes(signer_.key_pem),
                              len(signer_.key_pem), nullptr, bytes(signer_.cert_pem),
                              len(signer_.cert_pem), form, flags));
  }

  Signer signer_;
  // Binary content with bare line ends: any text conversion on the way
  // would break the signature.
  const std::string content_ = std::string("line one\nline two\r\n\0\xff end", 26);
};

TEST_F(Interop, ServerCallVerifiesWithOpensslCms) {
  Case rec = sign(TESSEL_FORM_DER, TESSEL_CMS_DETACHED);
  ASSERT_EQ(rec->status, TESSEL_OK);
  write("sig.der", rec.get());
  ASSERT_TRUE(run("cms", "-verify -binary -inform DER -in " + path("sig.der") + " -content " +
                             path("content.bin") + " -CAfile " + path("cert.pem") + " -out " +
                             path("out.bin")));
  EXPECT_EQ(read("out.bin"), content_);
}

TEST_F(Interop, SmimeOutputVerifiesWithOpensslSmimeAndCms) {
  // A MIME part is text: the detached form keeps only CRLF-ended lines
  // intact, so that is what S/MIME content has to be.
  const std::string text = "Line one\r\nLine two\r\n";
  for (int32_t flags : {int32_t{TESSEL_CMS_DETACHED}, int32_t{0}}) {
    SCOPED_TRACE(flags);
    Case rec = sign(text, TESSEL_FORM_SMIME, flags);
    ASSERT_EQ(rec->status, TESSEL_OK);
    write("mail.txt", rec.get());
    for (const char* command : {"smime", "cms"}) {
      ASSERT_TRUE(run(command, std::string("-verify -binary -in ") + path("mail.txt") +
                                   " -CAfile " + path("cert.pem") + " -out " + path("out.bin")));
      EXPECT_EQ(read("out.bin"), text) << command;
    }
  }
}

TEST_F(Interop, OpensslCmsSignatureVerifiesHere) {
  for (const char* mode : {"", "-nodetach"}) {
    SCOPED_TRACE(mode);
    ASSERT_TRUE(run("cms", std::string("-sign -binary ") + mode + " -in " + path("content.bin") +
                               " -signer " + path("cert.pem") + " -inkey " + path("key.pem") +
                               " -outform DER -out " + path("theirs.der")));
    const std::string theirs = read("theirs.der");
    const bool attached = *mode != '\0';
    Case rec(VerifySignP7S(bytes(theirs), len(theirs), attached ? nullptr : bytes(content_),
                           attached ? 0 : len(content_), nullptr, 0));
    ASSERT_EQ(rec->status, TESSEL_OK);
    EXPECT_EQ(text_of(rec.get()), content_);
    std::string tampered = content_;
    tampered[0] ^= 1;
    if (!attached) {
      Case bad(
          VerifySignP7S(bytes(theirs), len(theirs), bytes(tampered), len(tampered), nullptr, 0));
      EXPECT_EQ(bad->status, TESSEL_VERIFY_FAILED);
    }
  }
}

}  // namespace
