#pragma once
// Autostart at logon: an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/Tavrik_Server_Crypt.desktop. Its presence means
// autostart is on.

#include <QString>
#include <QStringList>

namespace platform {

QString AutostartEntryPath();
bool AutostartEntryExists();
// Writes the entry running command (program first, then its arguments) as a
// whole new file; false when it cannot be written.
bool WriteAutostartEntry(const QStringList& command);
// true when no entry is left.
bool RemoveAutostartEntry();

// The Exec value of a desktop entry for these arguments: quoted where the
// desktop entry rules reserve a character, percent signs doubled, and
// backslashes escaped once more for the string value.
QString DesktopExecValue(const QStringList& arguments);

}  // namespace platform
