// libzorvik: the Zorvik2 middleware over the soft tokens. One login per
// process, held in memory (wiped when it ends) under a mutex, so that the
// program's request thread and its logout timer may call in any order.
#include "tokens/zorvik/zorvik.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "tokens/store/completion.h"
#include "tokens/store/soft_token.h"

namespace {

using tokens::SecretBytes;
using tokens::TokenKind;
using tokens::TokenStatus;

struct Session {
  std::mutex mutex;
  bool open = false;
  std::string serial;
  SecretBytes area;
};

Session& TheSession() {
  static Session session;
  return session;
}

ZORVIKCASE* NewRecord(int32_t status) {
  auto* record = static_cast<ZORVIKCASE*>(std::calloc(1, sizeof(ZORVIKCASE)));
  if (record != nullptr) record->status = status;
  return record;
}

// The bytes and a NUL after them.
ZORVIKCASE* DataRecord(const unsigned char* data, std::size_t size) {
  ZORVIKCASE* record = NewRecord(ZORVIK_OK);
  if (record == nullptr) return nullptr;
  record->data = static_cast<unsigned char*>(std::malloc(size + 1));
  if (record->data == nullptr) {
    record->status = ZORVIK_FAILED;
    return record;
  }
  if (size > 0) std::memcpy(record->data, data, size);
  record->data[size] = '\0';
  record->data_len = static_cast<int32_t>(size);
  return record;
}

int32_t StatusOf(TokenStatus status) {
  switch (status) {
    case TokenStatus::kOk:
      return ZORVIK_OK;
    case TokenStatus::kNoToken:
      return ZORVIK_NO_TOKEN;
    case TokenStatus::kWrongPassword:
      return ZORVIK_WRONG_PASSWORD;
    case TokenStatus::kTryLater:
      return ZORVIK_TRY_LATER;
    case TokenStatus::kLocked:
      return ZORVIK_LOCKED;
    case TokenStatus::kPasswordRules:
      return ZORVIK_PASSWORD_RULES;
    case TokenStatus::kDamaged:
      return ZORVIK_DAMAGED;
    default:
      return ZORVIK_FAILED;
  }
}

ZORVIKCASE* CheckRecord(const tokens::PasswordCheck& check) {
  ZORVIKCASE* record = NewRecord(StatusOf(check.status));
  if (record != nullptr) {
    record->wait_ms = static_cast<int32_t>(check.wait_ms);
    record->tries_left = check.tries_left;
  }
  return record;
}

void Close(Session& session) {
  session.open = false;
  session.serial.clear();
  tokens::Wipe(session.area);
}

// Nothing thrown inside may cross the C interface.
template <typename Body>
ZORVIKCASE* Guarded(Body body) {
  try {
    return body();
  } catch (...) {
    return NewRecord(ZORVIK_FAILED);
  }
}

ZORVIKCASE* Slice(std::span<const unsigned char> area, std::size_t offset, std::size_t length) {
  if (offset > area.size() || length > area.size() - offset) return NewRecord(ZORVIK_OUT_OF_RANGE);
  return DataRecord(area.data() + offset, length);
}

}  // namespace

extern "C" {

ZORVIKCASE* AuthUser(const char* serial, const char* password) {
  return Guarded([&] {
    if (serial == nullptr || password == nullptr) return NewRecord(ZORVIK_FAILED);
    Session& session = TheSession();
    std::lock_guard lock(session.mutex);
    Close(session);
    tokens::TokenStore store;
    if (!store.IsConnected(serial, TokenKind::kZorvik2)) return NewRecord(ZORVIK_NO_TOKEN);
    tokens::Login login = store.LogIn(serial, password);
    if (login.status != TokenStatus::kOk) return CheckRecord(login);
    session.open = true;
    session.serial = serial;
    session.area = std::move(login.area);
    return NewRecord(ZORVIK_OK);
  });
}

ZORVIKCASE* DeAuthUser(void) {
  return Guarded([] {
    Session& session = TheSession();
    std::lock_guard lock(session.mutex);
    const bool was_open = session.open;
    Close(session);
    return NewRecord(was_open ? ZORVIK_OK : ZORVIK_NOT_LOGGED_IN);
  });
}

ZORVIKCASE* ReadData(const char* serial, int32_t offset, int32_t length) {
  return Guarded([&] {
    if (serial == nullptr) return NewRecord(ZORVIK_FAILED);
    if (offset < 0 || length < 0) return NewRecord(ZORVIK_OUT_OF_RANGE);
    tokens::TokenStore store;
    if (!store.IsConnected(serial, TokenKind::kZorvik2)) return NewRecord(ZORVIK_NO_TOKEN);
    const auto at = static_cast<std::size_t>(offset);
    const auto size = static_cast<std::size_t>(length);
    Session& session = TheSession();
    {
      std::lock_guard lock(session.mutex);
      if (session.open && session.serial == serial) return Slice(session.area, at, size);
    }
    if (offset < tokens::kPrivateAreaSize) return NewRecord(ZORVIK_NOT_LOGGED_IN);
    const auto public_area = store.PublicArea(serial);
    if (!public_area) return NewRecord(ZORVIK_DAMAGED);
    return Slice(*public_area, at - tokens::kPrivateAreaSize, size);
  });
}

ZORVIKCASE* GetSerialNumber(void) {
  return Guarded([] {
    const std::vector<std::string> serials =
        tokens::TokenStore().Connected(TokenKind::kZorvik2);
    if (serials.empty()) return NewRecord(ZORVIK_NO_TOKEN);
    ZORVIKCASE* record = NewRecord(ZORVIK_OK);
    if (record == nullptr) return record;
    record->serials = static_cast<char**>(std::calloc(serials.size(), sizeof(char*)));
    if (record->serials == nullptr) {
      record->status = ZORVIK_FAILED;
      return record;
    }
    for (const std::string& serial : serials) {
      char* copy = strdup(serial.c_str());
      if (copy == nullptr) {
        record->status = ZORVIK_FAILED;
        break;
      }
      record->serials[record->serial_count++] = copy;
    }
    return record;
  });
}

ZORVIKCASE* ChangeUserPassword(const char* serial, const char* old_password,
                               const char* new_password) {
  return Guarded([&] {
    if (serial == nullptr || old_password == nullptr || new_password == nullptr)
      return NewRecord(ZORVIK_FAILED);
    tokens::TokenStore store;
    if (!store.IsConnected(serial, TokenKind::kZorvik2)) return NewRecord(ZORVIK_NO_TOKEN);
    return CheckRecord(store.ChangePassword(serial, old_password, new_password));
  });
}

ZORVIKCASE* ProcessP7S(const unsigned char* block, int32_t block_len, const unsigned char* p7s,
                       int32_t p7s_len) {
  return Guarded([&] {
    if (block_len < 0 || p7s_len <= 0 || p7s == nullptr || (block == nullptr && block_len > 0))
      return NewRecord(ZORVIK_FAILED);
    Session& session = TheSession();
    std::lock_guard lock(session.mutex);
    if (!session.open) return NewRecord(ZORVIK_NOT_LOGGED_IN);
    if (!tokens::TokenStore().IsConnected(session.serial)) return NewRecord(ZORVIK_NO_TOKEN);
    const auto own_block = tokens::ReadBlock(session.area, tokens::kCompletionLengthAt);
    const auto own_cert = tokens::ReadBlock(session.area, tokens::kCertificateLengthAt);
    const std::span<const unsigned char> given(block, static_cast<std::size_t>(block_len));
    if (!own_block || !own_cert || own_block->size() != given.size() ||
        !std::equal(given.begin(), given.end(), own_block->begin()))
      return NewRecord(ZORVIK_BAD_COMPLETION);
    const tokens::Completion done = tokens::CompletePreSignature(
        {p7s, static_cast<std::size_t>(p7s_len)}, given, *own_cert);
    if (done.error == tokens::CompletionError::kBadBlock) return NewRecord(ZORVIK_BAD_COMPLETION);
    if (done.error != tokens::CompletionError::kNone) return NewRecord(ZORVIK_FOREIGN_SIGNATURE);
    return DataRecord(done.cms.data(), done.cms.size());
  });
}

void ZORVIKCASE_free(ZORVIKCASE* record) {
  if (record == nullptr) return;
  if (record->data != nullptr) {
    OPENSSL_cleanse(record->data, static_cast<std::size_t>(record->data_len) + 1);
    std::free(record->data);
  }
  for (int32_t i = 0; i < record->serial_count; ++i) std::free(record->serials[i]);
  std::free(record->serials);
  std::free(record);
}

}  // extern "C"
