// The installation's command line file: any bytes give no command or a list of
// arguments, none empty-named first and none holding a control character.
#include <cstddef>
#include <cstdint>

#include "platform/install_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto command = platform::ParseInstallCommand(
      QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  if (!command) return 0;
  if (command->isEmpty() || command->front().trimmed().isEmpty()) __builtin_trap();
  for (const QString& argument : *command)
    for (const QChar c : argument)
      if (c.category() == QChar::Other_Control) __builtin_trap();
  return 0;
}
