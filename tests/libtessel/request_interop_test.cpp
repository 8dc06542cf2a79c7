// Certificate requests against the stock openssl command with the
// national-algorithm module: our requests verify and print there, its
// requests verify and read here.
#include <fstream>
#include <sstream>
#include <string>

#include "support/openssl_command.h"
#include "tessel_support.h"

namespace {

using namespace tesseltest;

class RequestInterop : public Tessel,
                       public testsupport::CommandFiles,
                       public ::testing::WithParamInterface<const char*> {
 protected:
  // openssl req; its output (stdout and stderr) lands in "log".
  bool run(const std::string& args) const { return CommandFiles::run("req", args); }
};

TEST_P(RequestInterop, OpensslAcceptsAndPrintsGeneratedRequests) {
  const Signer s = make_signer(GetParam());
  const std::string config =
      "[request_extensions]\nbasicConstraints = critical,CA:FALSE\n"
      "subjectAltName = email:user@example.by\n";
  const std::vector<RequestValue> subject = {
      {6, "BY"}, {10, "Tessel Bank"}, {3, "Request User"}, {11, "Cards"}};
  for (int32_t form : {TESSEL_FORM_PEM, TESSEL_FORM_DER}) {
    SCOPED_TRACE(form);
    write("req", gen_request(s.key_pem, subject, config, form));
    const std::string inform = form == TESSEL_FORM_DER ? " -inform DER" : "";
    ASSERT_TRUE(run("-verify -noout" + inform + " -in " + path("req")));
    // This version of the command ends with 0 either way: its word counts.
    EXPECT_NE(read("log").find("self-signature verify OK"), std::string::npos) << read("log");
    ASSERT_TRUE(run("-text -noout -nameopt oneline" + inform + " -in " + path("req")));
    const std::string text = read("log");
    EXPECT_NE(text.find("Subject: CN = Request User, C = BY, O = Tessel Bank, OU = Cards"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Version: 1 (0x0)"), std::string::npos) << text;
    EXPECT_NE(text.find("Requested Extensions:"), std::string::npos) << text;
    EXPECT_NE(text.find("email:user@example.by"), std::string::npos) << text;
  }
  // A request altered after signing is refused there as here.
  std::string der = gen_request(s.key_pem, subject, {}, TESSEL_FORM_DER);
  der[der.find("Cards")] = 'c';
  write("bad", der);
  run("-verify -noout -inform DER -in " + path("bad"));
  EXPECT_NE(read("log").find("self-signature verify failure"), std::string::npos) << read("log");
  EXPECT_EQ(Case(VerifyRequest(bytes(der), len(der)))->status, TESSEL_VERIFY_FAILED);
}

TEST_P(RequestInterop, OpensslRequestsVerifyAndReadHere) {
  const Signer s = make_signer(GetParam());
  write("key.pem", s.key_pem);
  ASSERT_TRUE(run("-new -key " + path("key.pem") + " -subj \"/CN=From Openssl/O=Elsewhere\" -out " +
                  path("theirs.pem")));
  const std::string theirs = read("theirs.pem");
  EXPECT_EQ(Case(VerifyRequest(bytes(theirs), len(theirs)))->status, TESSEL_OK);
  Case info(GetRequestInfo(bytes(theirs), len(theirs)));
  ASSERT_EQ(info->status, TESSEL_OK);
  EXPECT_EQ(text_of(info.get()), "CN=From Openssl\nO=Elsewhere");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(info->public_key),
                        static_cast<std::size_t>(info->public_key_len)),
            s.pubkey_pem);
}

INSTANTIATE_TEST_SUITE_P(Bign, RequestInterop, ::testing::Values("A", "C"));

}  // namespace
