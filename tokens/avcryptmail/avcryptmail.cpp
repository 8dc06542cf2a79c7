// libAvCryptMail: the Avest vendor library over the soft tokens. Sessions
// live in this library (a set of live handles, so that a stale or foreign
// handle is refused rather than followed); the password prompt runs without
// the library's lock, so a person typing never holds up another session.
#include "tokens/avcryptmail/avcryptmail.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "tokens/avcryptmail/askpass.h"
#include "tokens/store/completion.h"
#include "tokens/store/owner_record.h"
#include "tokens/store/soft_token.h"
#include "tokens/store/tessel_record.h"

namespace {

using tokens::TokenStatus;

constexpr int kPrompts = 3;
constexpr uint32_t kKnownSignFlags = AVCM_SIGN_DETACHED | AVCM_SIGN_WITH_CERTS | AVCM_SIGN_DER;

struct Session {
  std::string serial;
  tokens::SecretBytes area;
};

struct Library {
  std::mutex mutex;
  int starts = 0;
  std::set<Session*> sessions;
};

Library& TheLibrary() {
  static Library library;
  return library;
}

uint32_t Start(uint32_t mode) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  if (mode == AVCM_INIT_START) {
    ++library.starts;
    return AVCM_OK;
  }
  if (mode != AVCM_INIT_FINISH) return AVCM_E_BAD_PARAMETER;
  if (library.starts == 0) return AVCM_E_NOT_INITIALISED;
  if (--library.starts == 0) {
    for (Session* session : library.sessions) delete session;
    library.sessions.clear();
  }
  return AVCM_OK;
}

std::string PromptText(tokens::TokenStore& store, const std::string& serial) {
  std::string text = "Авест: пароль токена S/N " + serial;
  if (const auto area = store.PublicArea(serial)) {
    const auto record = tokens::OwnerRecordOf(*area);
    const auto owner = record ? tokens::ParseOwnerRecord(*record) : std::nullopt;
    if (owner)
      text += " (" + owner->surname + " " + owner->given_name + ", " + owner->organisation + ")";
  }
  return text;
}

// A wrong password bars the next for a few seconds: the vendor's own login
// waits that out instead of failing.
tokens::Login LogIn(tokens::TokenStore& store, const std::string& serial,
                    const tokens::SecretString& password) {
  tokens::Login login = store.LogIn(serial, password);
  for (int waits = 0; login.status == TokenStatus::kTryLater && waits < 3; ++waits) {
    std::this_thread::sleep_for(std::chrono::milliseconds(login.wait_ms));
    login = store.LogIn(serial, password);
  }
  return login;
}

// A session, or the vendor code of the failed login.
uint32_t OpenSession(std::unique_ptr<Session>& session) {
  tokens::TokenStore store;
  const std::vector<std::string> connected = store.Connected(tokens::TokenKind::kAvest);
  if (connected.empty()) return AVCM_E_NO_TOKEN;
  const std::string& serial = connected.front();
  const std::string program = avest::PromptProgram();
  const std::string text = PromptText(store, serial);
  std::string shown = text;
  for (int attempt = 0; attempt < kPrompts; ++attempt) {
    const avest::PromptAnswer answer = avest::AskPassword(program, shown);
    if (answer.outcome == avest::PromptOutcome::kUnavailable) return AVCM_E_NO_PROMPT;
    if (answer.outcome == avest::PromptOutcome::kCancelled) return AVCM_E_CANCELLED;
    tokens::Login login = LogIn(store, serial, answer.password);
    switch (login.status) {
      case TokenStatus::kOk:
        session = std::make_unique<Session>(Session{serial, std::move(login.area)});
        return AVCM_OK;
      case TokenStatus::kWrongPassword:
      case TokenStatus::kTryLater:
        shown = "Неверный пароль. " + text;
        continue;
      case TokenStatus::kLocked:
        return AVCM_E_LOCKED;
      case TokenStatus::kNoToken:
        return AVCM_E_NO_TOKEN;
      default:
        return AVCM_E_TOKEN_DAMAGED;
    }
  }
  return AVCM_E_WRONG_PASSWORD;
}

// The signature in the vendor's form, or the vendor code of the failure.
uint32_t SignWith(const Session& session, const unsigned char* data, uint32_t data_len,
                  uint32_t flags, tokens::Bytes& signature) {
  if (!tokens::TokenStore().IsConnected(session.serial)) return AVCM_E_NO_TOKEN;
  const auto blocks = tokens::BlocksOf(session.area);
  if (!blocks) return AVCM_E_TOKEN_DAMAGED;
  int32_t cms_flags = (flags & AVCM_SIGN_DETACHED) != 0 ? TESSEL_CMS_DETACHED : 0;
  if ((flags & AVCM_SIGN_WITH_CERTS) == 0) cms_flags |= TESSEL_CMS_NOCERTS;
  const tokens::Record made(CreateSignP7S(
      data, static_cast<int32_t>(data_len), tokens::Ptr(blocks->key_pem),
      tokens::Len(blocks->key_pem), tokens::kKeyBlockPassword, blocks->certificate.data(),
      tokens::Len(blocks->certificate), TESSEL_FORM_DER, cms_flags));
  if (!tokens::Succeeded(made)) return AVCM_E_SIGN_FAILED;
  signature = tokens::DataOf(made);
  if ((flags & AVCM_SIGN_WITH_CERTS) != 0) {
    tokens::Completion chain = tokens::AddBlockCertificates(signature, blocks->completion);
    if (chain.error != tokens::CompletionError::kNone) return AVCM_E_SIGN_FAILED;
    signature = std::move(chain.cms);
  }
  if ((flags & AVCM_SIGN_DER) == 0) {
    const tokens::Record pem(ConvertP7S(TESSEL_FORM_PEM, signature.data(), tokens::Len(signature)));
    if (!tokens::Succeeded(pem)) return AVCM_E_SIGN_FAILED;
    signature = tokens::DataOf(pem);
  }
  return AVCM_OK;
}

template <typename Body>
uint32_t Guarded(Body body) {
  try {
    return body();
  } catch (...) {
    return AVCM_E_SIGN_FAILED;
  }
}

}  // namespace

extern "C" {

uint32_t AvCmInit(uint32_t mode) {
  return Guarded([&] { return Start(mode); });
}

uint32_t AvCmInitEx(uint32_t mode, uint32_t flags) {
  if (flags != 0) return AVCM_E_BAD_PARAMETER;
  return AvCmInit(mode);
}

uint32_t AvCmLogin(void* reserved1, void* reserved2, void** session, int32_t mode) {
  return Guarded([&] {
    if (reserved1 != nullptr || reserved2 != nullptr || session == nullptr ||
        (mode != 0 && mode != 1 && mode != 8 && mode != 9))
      return AVCM_E_BAD_PARAMETER;
    *session = nullptr;
    Library& library = TheLibrary();
    {
      std::lock_guard lock(library.mutex);
      if (library.starts == 0) return AVCM_E_NOT_INITIALISED;
    }
    std::unique_ptr<Session> opened;
    if (const uint32_t result = OpenSession(opened); result != AVCM_OK) return result;
    std::lock_guard lock(library.mutex);
    if (library.starts == 0) return AVCM_E_NOT_INITIALISED;  // finished while prompting
    library.sessions.insert(opened.get());
    *session = opened.release();
    return AVCM_OK;
  });
}

uint32_t AvCmLogout(void* session, uint32_t flags) {
  return Guarded([&] {
    if (flags != 0) return AVCM_E_BAD_PARAMETER;
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    const auto found = library.sessions.find(static_cast<Session*>(session));
    if (found == library.sessions.end()) return AVCM_E_BAD_SESSION;
    delete *found;
    library.sessions.erase(found);
    return AVCM_OK;
  });
}

uint32_t AvCmSign(void* session, const unsigned char* data, uint32_t data_len, uint32_t flags,
                  unsigned char* signature, uint32_t* signature_len) {
  return Guarded([&] {
    if (data == nullptr || data_len == 0 || data_len > INT32_MAX || signature_len == nullptr ||
        (flags & ~kKnownSignFlags) != 0)
      return AVCM_E_BAD_PARAMETER;
    tokens::Bytes made;
    {
      Library& library = TheLibrary();
      std::lock_guard lock(library.mutex);
      const auto found = library.sessions.find(static_cast<Session*>(session));
      if (found == library.sessions.end()) return AVCM_E_BAD_SESSION;
      if (const uint32_t result = SignWith(**found, data, data_len, flags, made); result != AVCM_OK)
        return result;
    }
    const auto size = static_cast<uint32_t>(made.size());
    if (signature == nullptr || size > *signature_len) {
      *signature_len = size;
      return AVCM_E_MORE_DATA;
    }
    std::memcpy(signature, made.data(), made.size());
    *signature_len = size;
    return AVCM_OK;
  });
}

}  // extern "C"
