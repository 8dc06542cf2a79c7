// libAvCryptMail: the login through the askpass prompt program, signatures as
// the flag word asks, sessions, and the hand-over through sign_Avest.
#include <cstring>
#include <type_traits>

#include "token_test_support.h"
#include "tokens/avcryptmail/avcryptmail.h"
#include "tokens/pexlo/pexlo.h"

namespace {

using namespace tokentest;

// sign_Avest calls AvCmSign as the vendor defines it.
static_assert(std::is_same_v<decltype(&AvCmSign), PEXLO_AVCMSIGN>);
static_assert(PEXLO_AVCM_MORE_DATA == AVCM_E_MORE_DATA);

constexpr char kContent[] = "документ";

class AvestTest : public TokenTest {
 protected:
  AvestTest() { EXPECT_EQ(AvCmInit(AVCM_INIT_START), AVCM_OK); }
  ~AvestTest() override { AvCmInit(AVCM_INIT_FINISH); }
  // The prompt program: answers with the script's output, records its text.
  void Prompt(const std::string& body) {
    const std::filesystem::path script = data() / "askpass";
    WriteScript(script, "printf '%s' \"$1\" > " + (data() / "prompt.text").string() + "\n" + body);
    setenv("AVCM_ASKPASS", script.c_str(), 1);
  }
  std::string PromptText() const { return ReadFile(data() / "prompt.text"); }
  static Bytes Sign(void* session, uint32_t flags, uint32_t* result) {
    Bytes signature(16384);
    uint32_t length = static_cast<uint32_t>(signature.size());
    *result = AvCmSign(session, bytes(kContent), static_cast<uint32_t>(std::strlen(kContent)),
                       flags, signature.data(), &length);
    signature.resize(*result == AVCM_OK ? length : 0);
    return signature;
  }
};

TEST_F(AvestTest, SignsAsTheFlagWordAsks) {
  const std::string serial = MakeToken(TokenKind::kAvest);
  const tokens::AreaBlocks blocks = Blocks(serial);
  Prompt(std::string("echo ") + kPassword);
  void* session = nullptr;
  ASSERT_EQ(AvCmLogin(nullptr, nullptr, &session, 9), AVCM_OK);
  EXPECT_EQ(PromptText(), "Авест: пароль токена S/N " + serial + " (Иванова Анна, ООО «Тест»)");

  uint32_t result = 0;
  const Bytes program = Sign(session, 0x2100100, &result);  // what the program passes
  ASSERT_EQ(result, AVCM_OK);
  EXPECT_EQ(CertificateCount(program), 3);
  EXPECT_EQ(VerifyDetached(program, kContent), TESSEL_OK);
  EXPECT_TRUE(OpensslVerifies(program, kContent, Ca().root_pem));

  const Bytes attached = Sign(session, AVCM_SIGN_DER, &result);
  ASSERT_EQ(result, AVCM_OK);
  EXPECT_EQ(CertificateCount(attached), 0);
  const tokens::Record opened(VerifySignP7S(attached.data(), tokens::Len(attached), nullptr, 0,
                                            blocks.certificate.data(),
                                            tokens::Len(blocks.certificate)));
  ASSERT_EQ(opened->status, TESSEL_OK);
  EXPECT_EQ(text(tokens::DataOf(opened)), kContent);

  const Bytes pem = Sign(session, AVCM_SIGN_DETACHED | AVCM_SIGN_WITH_CERTS, &result);
  ASSERT_EQ(result, AVCM_OK);
  EXPECT_EQ(text(pem).rfind("-----BEGIN CMS-----", 0), 0u);
  Sign(session, 0x2100101, &result);
  EXPECT_EQ(result, AVCM_E_BAD_PARAMETER);

  // Through sign_Avest: the signature, or nothing when it does not fit.
  Bytes out(8192);
  uint32_t length = 8192;
  ASSERT_EQ(sign_Avest(AvCmSign, session, bytes(kContent), 4, out.data(), &length, 0x2100100),
            PEXLO_OK);
  const uint32_t size = length;
  length = size - 1;
  EXPECT_EQ(sign_Avest(AvCmSign, session, bytes(kContent), 4, out.data(), &length, 0x2100100),
            PEXLO_TOO_SMALL);
  EXPECT_EQ(length, 0u);

  ASSERT_EQ(AvCmLogout(session, 0), AVCM_OK);
  Sign(session, 0x2100100, &result);
  EXPECT_EQ(result, AVCM_E_BAD_SESSION);
  EXPECT_EQ(AvCmLogout(session, 0), AVCM_E_BAD_SESSION);
}

TEST_F(AvestTest, LoginFailuresHaveTheirOwnCodes) {
  void* session = &session;
  Prompt("exit 1");
  EXPECT_EQ(AvCmLogin(nullptr, nullptr, &session, 0), AVCM_E_NO_TOKEN);
  MakeToken(TokenKind::kZorvik2);
  EXPECT_EQ(AvCmLogin(nullptr, nullptr, &session, 0), AVCM_E_NO_TOKEN);
  MakeToken(TokenKind::kAvest);
  EXPECT_EQ(AvCmLogin(nullptr, nullptr, &session, 0), AVCM_E_CANCELLED);
  EXPECT_EQ(session, nullptr);
  setenv("AVCM_ASKPASS", (data() / "none").c_str(), 1);
  EXPECT_EQ(AvCmLogin(nullptr, nullptr, &session, 0), AVCM_E_NO_PROMPT);
  EXPECT_EQ(AvCmLogin(nullptr, nullptr, &session, 2), AVCM_E_BAD_PARAMETER);
  ASSERT_EQ(AvCmInit(AVCM_INIT_FINISH), AVCM_OK);
  EXPECT_EQ(AvCmLogin(nullptr, nullptr, &session, 0), AVCM_E_NOT_INITIALISED);
  EXPECT_EQ(AvCmInit(AVCM_INIT_FINISH), AVCM_E_NOT_INITIALISED);
  AvCmInit(AVCM_INIT_START);
}

TEST_F(AvestTest, AWrongPasswordBringsThePromptBackAfterTheRefusal) {
  MakeToken(TokenKind::kAvest);
  const std::string count = (data() / "count").string();
  // First answer wrong, second right.
  Prompt("if [ -e " + count + " ]; then echo " + kPassword + "; else touch " + count +
         "; echo Wrong-Pass9; fi");
  void* session = nullptr;
  ASSERT_EQ(AvCmLogin(nullptr, nullptr, &session, 0), AVCM_OK);
  EXPECT_EQ(PromptText().rfind("Неверный пароль. ", 0), 0u);
  EXPECT_EQ(AvCmLogout(session, 0), AVCM_OK);
}

}  // namespace
