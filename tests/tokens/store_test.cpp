// The soft-token storage: the password check with its refusal, counter and
// lock, password changes, what a copied or altered folder gives away, the
// token file reader and the user-data area's length fields.
#include <sys/stat.h>

#include <fstream>

#include "token_test_support.h"
#include "tokens/store/password_rules.h"
#include "tokens/store/token_state.h"
#include "tokens/store/user_area.h"

namespace {

using namespace tokentest;
using namespace std::string_literals;
using tokens::TokenStatus;

constexpr char kWrong[] = "Wrong-Pass9";

class FakeClock : public tokens::Clock {
 public:
  int64_t NowMs() override { return now; }
  int64_t now = 1'700'000'000'000;
};

class StoreTest : public TokenTest {
 protected:
  FakeClock clock_;
  tokens::TokenStore store_{tokens::TokensFolder(), &clock_};
};

TEST_F(StoreTest, WrongPasswordsBarTheNextForFiveSecondsAndTenLockTheToken) {
  const std::string serial = MakeToken(TokenKind::kZorvik2);
  for (int wrong = 1; wrong <= tokens::kMaxFailures; ++wrong) {
    const tokens::Login login = store_.LogIn(serial, kWrong);
    ASSERT_EQ(login.status, TokenStatus::kWrongPassword) << wrong;
    EXPECT_EQ(login.tries_left, tokens::kMaxFailures - wrong);
    clock_.now += 4999;
    const tokens::Login barred = store_.LogIn(serial, kPassword);
    if (wrong == tokens::kMaxFailures) {
      EXPECT_EQ(barred.status, TokenStatus::kLocked);
    } else {
      EXPECT_EQ(barred.status, TokenStatus::kTryLater);
      EXPECT_EQ(barred.wait_ms, 1);
    }
    clock_.now += 1;
  }
  EXPECT_EQ(store_.LogIn(serial, kPassword).status, TokenStatus::kLocked);
  EXPECT_EQ(store_.ChangePassword(serial, kPassword, "Other-Pass2").status, TokenStatus::kLocked);

  // The reset unlocks and erases: a blank token under the new password.
  ASSERT_EQ(store_.Reset(serial, "Other-Pass2"), TokenStatus::kOk);
  const tokens::Login blank = store_.LogIn(serial, "Other-Pass2");
  ASSERT_EQ(blank.status, TokenStatus::kOk);
  EXPECT_FALSE(tokens::BlocksOf(blank.area));
  EXPECT_FALSE(store_.CertificatePem(serial));
  EXPECT_EQ(store_.LogIn(serial, kPassword).status, TokenStatus::kWrongPassword);
}

TEST_F(StoreTest, ARightPasswordStartsTheCountAfresh) {
  const std::string serial = MakeToken(TokenKind::kZorvik2);
  for (int i = 0; i < 3; ++i, clock_.now += tokens::kRefusalMs) store_.LogIn(serial, kWrong);
  ASSERT_EQ(store_.LogIn(serial, kPassword).status, TokenStatus::kOk);
  EXPECT_EQ(store_.LogIn(serial, kWrong).tries_left, tokens::kMaxFailures - 1);
}

TEST_F(StoreTest, AClockTurnedBackBarsNoLongerThanTheRefusal) {
  const std::string serial = MakeToken(TokenKind::kZorvik2);
  store_.LogIn(serial, kWrong);
  clock_.now -= 3'600'000;
  EXPECT_EQ(store_.LogIn(serial, kPassword).wait_ms, tokens::kRefusalMs);
  clock_.now += tokens::kRefusalMs;
  EXPECT_EQ(store_.LogIn(serial, kPassword).status, TokenStatus::kOk);
}

TEST_F(StoreTest, ChangedPasswordReplacesTheOldOne) {
  const std::string serial = MakeToken(TokenKind::kZorvik2);
  // A new password against the rules costs no try.
  EXPECT_EQ(store_.ChangePassword(serial, kWrong, "short1A").status, TokenStatus::kPasswordRules);
  EXPECT_EQ(store_.ChangePassword(serial, kWrong, "Other-Pass2").tries_left,
            tokens::kMaxFailures - 1);
  clock_.now += tokens::kRefusalMs;
  ASSERT_EQ(store_.ChangePassword(serial, kPassword, "Other-Pass2").status, TokenStatus::kOk);
  EXPECT_EQ(store_.LogIn(serial, "Other-Pass2").status, TokenStatus::kOk);
  EXPECT_EQ(store_.LogIn(serial, kPassword).status, TokenStatus::kWrongPassword);
}

TEST(PasswordRules, AsTheDialogStatesThem) {
  const struct {
    const char* password;
    tokens::PasswordRule rule;
  } rows[] = {
      {"Abcdefg1", tokens::PasswordRule::kOk},
      {"a_B-c.d9", tokens::PasswordRule::kOk},
      {"Abcdef1", tokens::PasswordRule::kTooShort},
      {"abcdefg1", tokens::PasswordRule::kNoMixedCase},
      {"ABCDEFG1", tokens::PasswordRule::kNoMixedCase},
      {"Abcdefgh", tokens::PasswordRule::kNoDigit},
      {"Abcd efg1", tokens::PasswordRule::kBadCharacter},
      {"Abcdefg1!", tokens::PasswordRule::kBadCharacter},
      {"Пароль-Abc1", tokens::PasswordRule::kBadCharacter},
      {"Aa1aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
       tokens::PasswordRule::kTooLong},
  };
  for (const auto& row : rows) EXPECT_EQ(tokens::CheckPasswordRules(row.password), row.rule) << row.password;
}

TEST_F(StoreTest, ACopiedFolderGivesNothingAwayAndAlteredFilesAreRefused) {
  const std::string serial = MakeToken(TokenKind::kZorvik2);
  const tokens::AreaBlocks blocks = Blocks(serial);
  ASSERT_FALSE(blocks.key_pem.empty());
  // Neither the password nor the key block (nor any of its lines) is stored
  // in the clear.
  EXPECT_TRUE(FilesContaining(data(), kPassword).empty());
  EXPECT_TRUE(FilesContaining(data(), "PRIVATE KEY").empty());
  const std::string key_line(blocks.key_pem.substr(blocks.key_pem.find('\n') + 1, 64));
  EXPECT_TRUE(FilesContaining(data(), key_line).empty());

  const std::filesystem::path elsewhere = data() / "copy";
  std::filesystem::create_directories(elsewhere);
  std::filesystem::copy(TokenFolder(serial), elsewhere / serial);
  tokens::TokenStore copy(elsewhere, &clock_);
  EXPECT_EQ(copy.LogIn(serial, kWrong).status, TokenStatus::kWrongPassword);

  // One changed digit of the sealed contents, or the folder under another
  // serial, is refused.
  const std::filesystem::path state = elsewhere / serial / tokens::kStateFile;
  std::string text = ReadFile(state);
  const std::size_t at = text.find("\"contents\": \"") + 20;
  text[at] = text[at] == '0' ? '1' : '0';
  std::ofstream(state) << text;
  clock_.now += tokens::kRefusalMs;
  EXPECT_EQ(copy.LogIn(serial, kPassword).status, TokenStatus::kDamaged);
  std::filesystem::copy(TokenFolder(serial), elsewhere / "Z2-RENAMED");
  EXPECT_EQ(copy.LogIn("Z2-RENAMED", kPassword).status, TokenStatus::kDamaged);
}

TEST_F(StoreTest, TokenFilesAndFoldersAreOwnerOnly) {
  const std::string serial = MakeToken(TokenKind::kZorvik2);
  store_.LogIn(serial, kWrong);
  clock_.now += tokens::kRefusalMs;
  ASSERT_EQ(store_.ChangePassword(serial, kPassword, "Other-Pass2").status, TokenStatus::kOk);
  ASSERT_EQ(store_.SetPlugged(serial, false), TokenStatus::kOk);
  ASSERT_TRUE(tool::SaveDemoCa(Ca(), tool::CaFolder()));
  int checked = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(tokens::DataFolder())) {
    struct stat info {};
    ASSERT_EQ(lstat(entry.path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, S_ISDIR(info.st_mode) ? 0700u : 0600u) << entry.path();
    ++checked;
  }
  EXPECT_GE(checked, 12);
}

TEST(TokenState, RefusesFilesOutOfShape) {
  tokens::TokenState valid;
  valid.serial = "Z2-00000001";
  valid.iterations = 1000;
  valid.salt = Bytes(16, 1);
  valid.verifier = Bytes(32, 2);
  valid.contents = Bytes(64, 3);
  const std::string good = tokens::SerializeTokenState(valid);
  ASSERT_TRUE(tokens::ParseTokenState(good));
  const auto replaced = [&good](const std::string& from, const std::string& to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const std::string rows[] = {
      "",
      "[]",
      good + "x",
      replaced("\"format\": 1", "\"format\": 2"),
      replaced("Z2-00000001", "../00000001"),
      replaced("\"zorvik2\"", "\"zorvik3\""),
      replaced("\"iterations\": 1000", "\"iterations\": 999"),
      replaced("\"hmac-hbelt\"", "\"hmac-sha1\""),
      replaced("\"salt\": \"01", "\"salt\": \"0"),
      replaced("\"verifier\": \"02", "\"verifier\": \"zz"),
      replaced("\"verifier\": \"02", "\"verifier\": \""),
      replaced("\"failures\": 0", "\"failures\": 11"),
      replaced("\"failures\": 0", "\"failures\": \"0\""),
      replaced("\"locked\": false", "\"locked\": 0"),
      replaced("\"refuse_until\": 0", "\"refuse_until\": -1"),
  };
  for (const std::string& text : rows) EXPECT_FALSE(tokens::ParseTokenState(text)) << text;
}

TEST(UserArea, LengthFieldsAreHexadecimalTextWithinTheirSlot) {
  const struct {
    std::string field;
    int expected;  // -1: refused
  } rows[] = {
      {"0010", 16}, {"10\0\0"s, 16}, {"00aB", 171}, {"\0\0\0\0"s, 0},
      {"018C", 396},  // the key slot's whole room, up to the certificate's field at 400
      {"018D", -1},   {"00g0", -1},  {"-001", -1},  {" 010", -1},
  };
  for (const auto& row : rows) {
    Bytes area(tokens::kPrivateAreaSize, 'k');
    std::copy(row.field.begin(), row.field.end(), area.begin());
    const auto block = tokens::ReadBlock(area, tokens::kKeyLengthAt);
    EXPECT_EQ(block ? static_cast<int>(block->size()) : -1, row.expected) << row.field;
  }
}

}  // namespace
