// A settings file of any content: after a key is written, reading it gives the
// value written, and a second write of the same value changes no byte.
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include <QFile>

#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString file = QStringLiteral("/tmp/fuzz_profile-%1.ini").arg(getpid());
  const QString section = QStringLiteral("Tavrik_Server_Crypt Settings");
  {
    QFile output(file);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    output.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  platform::ReadProfileString(file, section, QStringLiteral("defaultProvider"), {}, 10);
  if (!platform::WriteProfileString(file, section, QStringLiteral("autoStart"),
                                    QStringLiteral("true")))
    __builtin_trap();
  if (platform::ReadProfileString(file, section, QStringLiteral("autoStart"), {}, 10) !=
      QLatin1String("true"))
    __builtin_trap();
  QFile first(file);
  first.open(QIODevice::ReadOnly);
  const QByteArray written = first.readAll();
  first.close();
  platform::WriteProfileString(file, section, QStringLiteral("autoStart"), QStringLiteral("true"));
  QFile second(file);
  second.open(QIODevice::ReadOnly);
  if (second.readAll() != written) __builtin_trap();
  return 0;
}
