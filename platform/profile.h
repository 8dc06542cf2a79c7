#pragma once
// Reading INI settings files the way the profile functions read them: section
// and key names compare case-insensitively, values lose surrounding blanks and
// one pair of matching quotes, missing entries give the default.

#include <QByteArray>
#include <QString>

namespace platform {

// buffer_chars counts the terminator, as a caller's buffer would: the result
// holds at most buffer_chars - 1 characters.
QString ReadProfileString(const QString& file, const QString& section, const QString& key,
                          const QString& fallback, int buffer_chars);
// The same lookup in the text of a settings file.
QString FindProfileString(const QByteArray& contents, const QString& section, const QString& key,
                          const QString& fallback, int buffer_chars);

// Creates the file empty when it is missing; false when that fails.
bool TouchProfileFile(const QString& file);

}  // namespace platform
