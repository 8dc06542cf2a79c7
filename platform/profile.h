#pragma once
// INI settings files handled the way the profile functions handle them:
// section and key names compare case-insensitively, values lose surrounding
// blanks and one pair of matching quotes, missing entries give the default.

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

// Sets key in section: the first matching key line is replaced, or the key is
// added at the end of its section, or the section at the end of the file.
// Every other line stays as it was. The file is replaced as a whole (written
// beside it, then renamed), so a reader never sees half of it. false when
// the file cannot be read or written, or a name or value would break a line.
bool WriteProfileString(const QString& file, const QString& section, const QString& key,
                        const QString& value);

// Creates the file empty when it is missing; false when that fails.
bool TouchProfileFile(const QString& file);

}  // namespace platform
