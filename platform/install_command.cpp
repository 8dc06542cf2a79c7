#include "platform/install_command.h"

#include <QFile>
#include <QStringDecoder>

namespace platform {
namespace {

constexpr qint64 kMaxSize = 64 * 1024;

}  // namespace

std::optional<QStringList> ReadInstallCommand(const QString& file) {
  QFile input(file);
  if (!input.open(QIODevice::ReadOnly)) return std::nullopt;
  return ParseInstallCommand(input.read(kMaxSize + 1));
}

std::optional<QStringList> ParseInstallCommand(const QByteArray& bytes) {
  if (bytes.size() > kMaxSize) return std::nullopt;
  QStringDecoder decoder(QStringDecoder::Utf8);
  const QString text = decoder(bytes);
  if (decoder.hasError()) return std::nullopt;
  QStringList arguments;
  for (QString line : text.split(u'\n')) {
    if (line.endsWith(u'\r')) line.chop(1);
    if (line.isEmpty() || line.startsWith(u'#')) continue;
    for (const QChar c : line)
      if (c.category() == QChar::Other_Control) return std::nullopt;
    arguments << line;
  }
  if (arguments.isEmpty() || arguments.front().trimmed().isEmpty()) return std::nullopt;
  return arguments;
}

}  // namespace platform
