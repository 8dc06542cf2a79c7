#include "platform/profile.h"

#include <optional>

#include <QFile>
#include <QSaveFile>
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

// What one line of a profile file is.
struct ProfileLine {
  enum class Kind { kOther, kSection, kEntry } kind = Kind::kOther;
  QString name;   // section or key name
  QString value;  // entries only, unquoted
};

ProfileLine Classify(const QString& raw) {
  const QString line = raw.trimmed();
  if (line.isEmpty() || line.startsWith(u';')) return {};
  if (line.startsWith(u'[')) {
    const qsizetype close = line.indexOf(u']');
    return {ProfileLine::Kind::kSection, line.mid(1, close < 0 ? -1 : close - 1).trimmed(), {}};
  }
  const qsizetype equals = line.indexOf(u'=');
  if (equals < 0) return {};
  return {ProfileLine::Kind::kEntry, line.left(equals).trimmed(), Unquoted(line.mid(equals + 1))};
}

bool SameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

QStringList LinesOf(const QByteArray& contents) {
  QStringList lines = QString::fromUtf8(contents).split(u'\n');
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();  // the final line feed
  return lines;
}

std::optional<QStringList> ReadLines(const QString& file) {
  QFile input(file);
  if (!input.open(QIODevice::ReadOnly)) {
    if (input.exists()) return std::nullopt;
    return QStringList{};
  }
  return LinesOf(input.readAll());
}

bool BreaksLine(const QString& text) {
  return text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(0));
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
  bool in_section = false;
  for (const QString& raw : LinesOf(contents)) {
    const ProfileLine line = Classify(raw);
    if (line.kind == ProfileLine::Kind::kSection) in_section = SameName(line.name, section);
    if (in_section && line.kind == ProfileLine::Kind::kEntry && SameName(line.name, key)) {
      result = line.value;
      break;
    }
  }
  if (buffer_chars <= 0) return {};
  return result.left(buffer_chars - 1);
}

bool WriteProfileString(const QString& file, const QString& section, const QString& key,
                        const QString& value) {
  if (BreaksLine(section) || section.contains(u']') || BreaksLine(key) || key.contains(u'=') ||
      key.trimmed().isEmpty() || BreaksLine(value))
    return false;
  std::optional<QStringList> read = ReadLines(file);
  if (!read) return false;
  QStringList lines = std::move(*read);
  const QString entry = key + u'=' + value;
  qsizetype section_end = -1;  // where a missing key goes: after the section's last entry
  bool in_section = false;
  bool written = false;
  for (qsizetype i = 0; i < lines.size() && !written; ++i) {
    const ProfileLine line = Classify(lines[i]);
    if (line.kind == ProfileLine::Kind::kSection) {
      if (in_section) break;
      in_section = SameName(line.name, section);
      if (in_section) section_end = i + 1;
    } else if (in_section && line.kind == ProfileLine::Kind::kEntry) {
      section_end = i + 1;
      if (SameName(line.name, key)) {
        lines[i] = entry;
        written = true;
      }
    }
  }
  if (!written && section_end >= 0) {
    lines.insert(section_end, entry);
  } else if (!written) {
    lines << u'[' + section + u']' << entry;
  }
  QSaveFile output(file);
  if (!output.open(QIODevice::WriteOnly)) return false;
  output.write((lines.join(u'\n') + u'\n').toUtf8());
  return output.commit();
}

bool TouchProfileFile(const QString& file) {
  QFile output(file);
  return output.open(QIODevice::ReadWrite);
}

}  // namespace platform
