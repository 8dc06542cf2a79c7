#include "platform/profile.h"

#include <QFile>
#include <QStringList>

namespace platform {
namespace {

QString Unquoted(QString value) {
  value = value.trimmed();
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front())
    value = value.mid(1, value.size() - 2);
  return value;
}

}  // namespace

QString ReadProfileString(const QString& file, const QString& section, const QString& key,
                          const QString& fallback, int buffer_chars) {
  QFile input(file);
  const QByteArray contents = input.open(QIODevice::ReadOnly) ? input.readAll() : QByteArray();
  return FindProfileString(contents, section, key, fallback, buffer_chars);
}

QString FindProfileString(const QByteArray& contents, const QString& section, const QString& key,
                          const QString& fallback, int buffer_chars) {
  QString result = fallback;
  const QStringList lines = QString::fromUtf8(contents).split(u'\n');
  bool in_section = false;
  for (const QString& raw : lines) {
    const QString line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(u';')) continue;
    if (line.startsWith(u'[')) {
      const qsizetype close = line.indexOf(u']');
      const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
      in_section = name.compare(section, Qt::CaseInsensitive) == 0;
      continue;
    }
    const qsizetype equals = line.indexOf(u'=');
    if (!in_section || equals < 0) continue;
    if (line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
      result = Unquoted(line.mid(equals + 1));
      break;
    }
  }
  if (buffer_chars <= 0) return {};
  return result.left(buffer_chars - 1);
}

bool TouchProfileFile(const QString& file) {
  QFile output(file);
  return output.open(QIODevice::ReadWrite);
}

}  // namespace platform
