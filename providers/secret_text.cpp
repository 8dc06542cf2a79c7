#include "providers/secret_text.h"

#include <string.h>

#include <algorithm>

namespace providers {

void WipeMemory(void* data, std::size_t size) {
  if (data != nullptr && size > 0) explicit_bzero(data, size);
}

SecretText TakeSecret(QString& typed) {
  QByteArray utf8 = typed.toUtf8();
  SecretText secret(utf8.constData(), static_cast<std::size_t>(utf8.size()));
  WipeMemory(utf8.data(), static_cast<std::size_t>(utf8.size()));
  // Written through the shared buffer on purpose: a detaching write would
  // leave the widget's copy untouched.
  std::fill_n(const_cast<QChar*>(typed.constData()), typed.size(), QChar());  // NOLINT
  typed.clear();
  return secret;
}

}  // namespace providers
