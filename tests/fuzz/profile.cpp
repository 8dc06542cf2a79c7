// The settings-file reader: the program's two keys looked up in any text,
// with buffers of every size up to 127 characters.
#include <algorithm>

#include <QByteArray>
#include <QString>

#include "fuzz_support.h"
#include "platform/profile.h"
#include "selectors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::Input in = fuzz::split_input(data, size);
  const QString key =
      fuzz::entry<fuzz::ProfileEntry>(in.selector) == fuzz::ProfileEntry::kDefaultProvider
          ? QStringLiteral("defaultProvider")
          : QStringLiteral("autoStart");
  const int buffer_chars = static_cast<int>(in.selector >> 1);
  const QByteArray contents(in.payload.data(), static_cast<qsizetype>(in.payload.size()));
  const QString value =
      platform::FindProfileString(contents, QStringLiteral("Tavrik_Server_Crypt Settings"), key,
                                  QStringLiteral("fallback"), buffer_chars);
  if (value.size() > std::max(0, buffer_chars - 1)) fuzz::fail("value longer than the buffer");
  return 0;
}
