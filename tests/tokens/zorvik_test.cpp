// libzorvik through its C interface: token list, login with the refusal
// after a wrong password, reads, password change and the completion.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "token_test_support.h"
#include "tokens/store/files.h"
#include "tokens/zorvik/zorvik.h"

namespace {

using namespace tokentest;

struct RecordFree {
  void operator()(ZORVIKCASE* r) const { ZORVIKCASE_free(r); }
};
using Result = std::unique_ptr<ZORVIKCASE, RecordFree>;

constexpr char kContent[] = "платёжное поручение № 1";

class ZorvikTest : public TokenTest {
 protected:
  ~ZorvikTest() override { ZORVIKCASE_free(DeAuthUser()); }
  static int32_t Status(ZORVIKCASE* r) { return Result(r)->status; }
  static Bytes Read(const std::string& serial, int32_t offset, int32_t length) {
    const Result r(ReadData(serial.c_str(), offset, length));
    EXPECT_EQ(r->status, ZORVIK_OK) << offset;
    EXPECT_EQ(r->data[r->data_len], '\0');
    return Bytes(r->data, r->data + r->data_len);
  }
  // A block as the signing program reads it: length field, then the block.
  static Bytes Block(const std::string& serial, int32_t length_at) {
    const std::string field = text(Read(serial, length_at, 4));
    return Read(serial, length_at + 4, static_cast<int32_t>(std::stoul(field, nullptr, 16)));
  }
  static Result Complete(const Bytes& block, const Bytes& pre) {
    return Result(ProcessP7S(block.data(), static_cast<int32_t>(block.size()), pre.data(),
                             static_cast<int32_t>(pre.size())));
  }
  static Bytes DataOf(const Result& r) { return Bytes(r->data, r->data + r->data_len); }
};

TEST_F(ZorvikTest, ListsConnectedZorvik2TokensOnly) {
  EXPECT_EQ(Status(GetSerialNumber()), ZORVIK_NO_TOKEN);
  const std::string b = MakeToken(TokenKind::kZorvik2);
  const std::string a = MakeToken(TokenKind::kZorvik2);
  MakeToken(TokenKind::kZorvik);
  MakeToken(TokenKind::kAvest);
  ASSERT_EQ(Store().SetPlugged(b, false), tokens::TokenStatus::kOk);
  const Result list(GetSerialNumber());
  ASSERT_EQ(list->status, ZORVIK_OK);
  ASSERT_EQ(list->serial_count, 1);
  EXPECT_EQ(list->serials[0], a);
  EXPECT_EQ(Status(AuthUser(b.c_str(), kPassword)), ZORVIK_NO_TOKEN);
}

TEST_F(ZorvikTest, ReadsNeedTheLoginExceptTheOwnerRecord) {
  const std::string serial = MakeToken(TokenKind::kZorvik2);
  EXPECT_EQ(Status(ReadData(serial.c_str(), 0, 4)), ZORVIK_NOT_LOGGED_IN);
  EXPECT_EQ(text(Block(serial, 3400)), R"({"givenName":"Анна","name":"ООО «Тест»","surname":"Иванова"})");

  ASSERT_EQ(Status(AuthUser(serial.c_str(), kPassword)), ZORVIK_OK);
  const tokens::AreaBlocks blocks = Blocks(serial);
  EXPECT_EQ(text(Block(serial, 0)), std::string(blocks.key_pem.begin(), blocks.key_pem.end()));
  EXPECT_EQ(Block(serial, 400), blocks.certificate);
  EXPECT_EQ(Block(serial, 1900), blocks.completion);
  EXPECT_EQ(Status(ReadData(serial.c_str(), 3400, 1 << 20)), ZORVIK_OUT_OF_RANGE);
  EXPECT_EQ(Status(ReadData(serial.c_str(), -1, 4)), ZORVIK_OUT_OF_RANGE);
  EXPECT_EQ(Status(ReadData("../Z2", 0, 4)), ZORVIK_NO_TOKEN);

  ASSERT_EQ(Status(DeAuthUser()), ZORVIK_OK);
  EXPECT_EQ(Status(ReadData(serial.c_str(), 0, 4)), ZORVIK_NOT_LOGGED_IN);
  EXPECT_EQ(Status(DeAuthUser()), ZORVIK_NOT_LOGGED_IN);
}

TEST_F(ZorvikTest, AWrongPasswordIsStatusFourAndBarsEveryPasswordForFiveSeconds) {
  const std::string serial = MakeToken(TokenKind::kZorvik2);
  const Result wrong(AuthUser(serial.c_str(), "Wrong-Pass9"));
  EXPECT_EQ(wrong->status, ZORVIK_WRONG_PASSWORD);
  EXPECT_EQ(wrong->tries_left, 9);
  const Result barred(AuthUser(serial.c_str(), kPassword));
  ASSERT_EQ(barred->status, ZORVIK_TRY_LATER);
  EXPECT_GT(barred->wait_ms, 4000);
  EXPECT_LE(barred->wait_ms, 5000);
  std::this_thread::sleep_for(std::chrono::milliseconds(barred->wait_ms));
  EXPECT_EQ(Status(AuthUser(serial.c_str(), kPassword)), ZORVIK_OK);
}

TEST_F(ZorvikTest, ALockedTokenRefusesEvenTheRightPassword) {
  const std::string serial = MakeToken(TokenKind::kZorvik2);
  std::string state = ReadFile(TokenFolder(serial) / tokens::kStateFile);
  state.replace(state.find("\"locked\": false"), 15, "\"locked\": true");
  ASSERT_TRUE(tokens::WriteFileAtomically(TokenFolder(serial) / tokens::kStateFile, state));
  EXPECT_EQ(Status(AuthUser(serial.c_str(), kPassword)), ZORVIK_LOCKED);
}

TEST_F(ZorvikTest, ChangeUserPasswordEnforcesTheRulesAndRetiresTheOldPassword) {
  const std::string serial = MakeToken(TokenKind::kZorvik2);
  EXPECT_EQ(Status(ChangeUserPassword(serial.c_str(), kPassword, "nodigits-Ab")),
            ZORVIK_PASSWORD_RULES);
  EXPECT_EQ(Status(ChangeUserPassword(serial.c_str(), kPassword, "New-Pass2")), ZORVIK_OK);
  EXPECT_EQ(Status(AuthUser(serial.c_str(), "New-Pass2")), ZORVIK_OK);
  EXPECT_EQ(Status(AuthUser(serial.c_str(), kPassword)), ZORVIK_WRONG_PASSWORD);
  EXPECT_EQ(Status(ChangeUserPassword("Z2-NONE", kPassword, "New-Pass2")), ZORVIK_NO_TOKEN);
}

TEST_F(ZorvikTest, CompletionAddsTheChainSoTheRootAloneVerifies) {
  const std::string serial = MakeToken(TokenKind::kZorvik2);
  ASSERT_EQ(Status(AuthUser(serial.c_str(), kPassword)), ZORVIK_OK);
  const tokens::AreaBlocks blocks = Blocks(serial);
  const Bytes pre = PreSignature(blocks, kContent);
  EXPECT_EQ(CertificateCount(pre), 1);
  const Result done = Complete(Block(serial, 1900), pre);
  ASSERT_EQ(done->status, ZORVIK_OK);
  EXPECT_EQ(done->data[done->data_len], '\0');
  const Bytes completed = DataOf(done);
  EXPECT_EQ(CertificateCount(completed), 3);
  EXPECT_EQ(VerifyDetached(completed, kContent), TESSEL_OK);
  EXPECT_TRUE(OpensslVerifies(completed, kContent, Ca().root_pem));
  EXPECT_FALSE(OpensslVerifies(pre, kContent, Ca().root_pem));  // the chain was missing
}

TEST_F(ZorvikTest, CompletionRefusesAnythingButTheTokensOwnPreSignature) {
  const std::string serial = MakeToken(TokenKind::kZorvik2);
  const std::string other = MakeToken(TokenKind::kZorvik2);
  const tokens::AreaBlocks own = Blocks(serial);
  const tokens::AreaBlocks foreign = Blocks(other);
  EXPECT_EQ(Complete(own.completion, PreSignature(own, kContent))->status, ZORVIK_NOT_LOGGED_IN);
  ASSERT_EQ(Status(AuthUser(serial.c_str(), kPassword)), ZORVIK_OK);

  const Bytes pre = PreSignature(own, kContent);
  const tokens::Record attached(CreateSignP7S(
      bytes(kContent), len(kContent), tokens::Ptr(own.key_pem), tokens::Len(own.key_pem),
      tokens::kKeyBlockPassword, own.certificate.data(), tokens::Len(own.certificate),
      TESSEL_FORM_DER, 0));
  const struct {
    const char* what;
    Bytes block;
    Bytes pre;
    int32_t status;
  } rows[] = {
      {"another token's signature", own.completion, PreSignature(foreign, kContent),
       ZORVIK_FOREIGN_SIGNATURE},
      {"content included", own.completion, tokens::DataOf(attached), ZORVIK_FOREIGN_SIGNATURE},
      {"not a SignedData", own.completion, own.certificate, ZORVIK_FOREIGN_SIGNATURE},
      {"cut short", own.completion, Bytes(pre.begin(), pre.end() - 1), ZORVIK_FOREIGN_SIGNATURE},
      {"not the token's completion block", Bytes(own.completion.begin(), own.completion.end() - 1),
       pre, ZORVIK_BAD_COMPLETION},
      {"the token's own", own.completion, pre, ZORVIK_OK},
  };
  for (const auto& row : rows) EXPECT_EQ(Complete(row.block, row.pre)->status, row.status) << row.what;
}

// Two processes log in to one token and complete signatures at the same time;
// every step succeeds and the token's files stay whole.
TEST_F(ZorvikTest, TwoProcessesUseOneTokenAtOnce) {
  const std::string serial = MakeToken(TokenKind::kZorvik2);
  const tokens::AreaBlocks blocks = Blocks(serial);
  const Bytes pre = PreSignature(blocks, kContent);
  pid_t children[2];
  for (pid_t& child : children) {
    child = fork();
    if (child != 0) continue;
    int failures = 0;
    for (int round = 0; round < 8; ++round) {
      failures += Status(AuthUser(serial.c_str(), kPassword)) != ZORVIK_OK;
      const Result done = Complete(blocks.completion, pre);
      failures += done->status != ZORVIK_OK || VerifyDetached(DataOf(done), kContent) != TESSEL_OK;
      failures += Status(DeAuthUser()) != ZORVIK_OK;
    }
    _exit(failures);
  }
  for (const pid_t child : children) {
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  EXPECT_EQ(Status(AuthUser(serial.c_str(), kPassword)), ZORVIK_OK);
}

}  // namespace
