// The owner record, the token list and the carrying-out of a password change.
#include <gtest/gtest.h>

#include "fake_zorvik2_token.h"
#include "providers/password_change.h"
#include "providers/token_owner.h"

namespace {

using testing_support::FakeZorvik2Token;
const std::string kFailed = "Ошибка получения данных";

TEST(OwnerRecordTest, ParsedOrTheFailureTextInBothFields) {
  struct Case {
    std::string record, name, organisation;
  };
  const std::vector<Case> cases = {
      {R"({"surname":"Иванов","givenName":"Пётр","name":"ООО \"Ромашка\""})", "Иванов Пётр",
       "ООО \"Ромашка\""},
      {R"({"surname":"S","givenName":"G"})", kFailed, kFailed},            // a member missing
      {R"({"surname":"S","givenName":7,"name":"N"})", kFailed, kFailed},   // not a string
      {R"(["surname","givenName","name"])", kFailed, kFailed},             // not an object
      {R"({"surname":"S","givenName":"G","name":"N")", kFailed, kFailed},  // cut short
      {"{\"surname\":\"\xff\",\"givenName\":\"G\",\"name\":\"N\"}", kFailed, kFailed},  // not UTF-8
  };
  for (const Case& c : cases) {
    const auto owner = providers::ParseOwnerRecord(c.record);
    EXPECT_EQ(owner.full_name.toStdString(), c.name) << c.record;
    EXPECT_EQ(owner.organisation.toStdString(), c.organisation) << c.record;
  }
}

TEST(OwnerRecordTest, ReadThroughTheLengthField) {
  FakeZorvik2Token token;
  const std::string record = R"({"surname":"S","givenName":"G","name":"N"})";
  token.AddToken("A1", record);
  token.areas["zero"][3400] = std::string("0000", 4);
  token.areas["zero"][3404] = record;
  token.areas["junk"][3400] = "zz";
  token.areas["nul"][3400] = std::string("2A\0\0", 4);  // read up to the NUL: 42 bytes
  token.areas["nul"][3404] = record;
  token.areas["short"][3400] = "0010";  // 16 bytes: a record cut short
  token.areas["short"][3404] = record;
  token.areas["nolength"][3404] = record;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"A1", "S G"}, {"nul", "S G"}, {"zero", kFailed}, {"junk", kFailed},
      {"short", kFailed}, {"nolength", kFailed}, {"absent", kFailed}, {"", kFailed}};
  for (const auto& [serial, name] : cases)
    EXPECT_EQ(providers::ReadOwner(token, QString::fromStdString(serial)).full_name.toStdString(),
              name)
        << serial;
}

TEST(TokenListTest, ItemsOrTheSingleNoTokensItem) {
  FakeZorvik2Token token;
  token.serials = {"B2", "A1"};
  EXPECT_EQ(providers::TokenListItems(token), (QStringList{"S/N B2", "S/N A1"}));
  token.list_status = 5;
  EXPECT_EQ(providers::TokenListItems(token), QStringList{"Нет установленных токенов"});
  EXPECT_EQ(providers::TokenListItems(*std::make_unique<providers::NoZorvik2Token>()),
            QStringList{"Нет установленных токенов"});
  EXPECT_EQ(providers::SerialOfItem("S/N A1"), "A1");
  EXPECT_EQ(providers::SerialOfItem("S/N"), "");
}

TEST(PasswordChangeTest, ChecksThenTheTokensVerdict) {
  using Icon = platform::MessageIcon;
  struct Case {
    providers::PasswordChangeRequest request;
    uint32_t status;
    std::optional<std::pair<std::string, Icon>> message;
    std::vector<FakeZorvik2Token::Change> changes;
  };
  const std::vector<Case> cases = {
      {{"S/N A1", "old", "Pass1234", "Pass1234"}, 0,
       std::pair{"Пароль успешно изменен", Icon::kInformation}, {{"A1", "old", "Pass1234"}}},
      {{"S/N A1", "bad", "Pass1234", "Pass1234"}, 4,
       std::pair{"Неправильный пароль", Icon::kExclamation}, {{"A1", "bad", "Pass1234"}}},
      {{"S/N A1", "old", "Pass1234", "Pass1234"}, 9,
       std::pair{"Ошибка изменения пароля", Icon::kNone}, {{"A1", "old", "Pass1234"}}},
      {{"S/N A1", "old", "Pass1234", "pass1234"}, 0,
       std::pair{"Пароли не совпадают", Icon::kExclamation}, {}},
      {{"", "old", "new", "new"}, 0, std::nullopt, {}},
      {{"S/N A1", "old", "new", ""}, 0, std::nullopt, {}},
      // The no-tokens item: the rest of its text is the serial.
      {{"Нет установленных токенов", "o", "n", "n"}, 9,
       std::pair{"Ошибка изменения пароля", Icon::kNone}, {{"установленных токенов", "o", "n"}}},
  };
  for (const Case& c : cases) {
    FakeZorvik2Token token;
    token.change_status = c.status;
    const auto message = providers::CarryOutPasswordChange(token, c.request);
    SCOPED_TRACE(c.request.new_password.toStdString() + "/" + c.request.token_text.toStdString());
    ASSERT_EQ(message.has_value(), c.message.has_value());
    if (message) {
      EXPECT_EQ(message->text.toStdString(), c.message->first);
      EXPECT_EQ(message->icon, c.message->second);
    }
    EXPECT_EQ(token.changes, c.changes);
  }
}

}  // namespace
