#include "platform/autostart.h"

#include <algorithm>

#include <QFile>
#include <QSaveFile>

#include "platform/user_folders.h"

namespace platform {
namespace {

constexpr QStringView kReserved = u" \t\n\"'\\><~|&;$*?#()`";

QString ExecArgument(const QString& argument) {
  QString result;
  const bool quote = argument.isEmpty() || std::any_of(argument.begin(), argument.end(),
                                                       [](QChar c) { return kReserved.contains(c); });
  for (const QChar c : argument) {
    if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\')) result += u'\\';
    result += c;
    if (c == u'%') result += u'%';
  }
  return quote ? u'"' + result + u'"' : result;
}

}  // namespace

QString DesktopExecValue(const QStringList& arguments) {
  QStringList quoted;
  for (const QString& argument : arguments) quoted << ExecArgument(argument);
  return quoted.join(u' ').replace(u'\\', QStringLiteral("\\\\"));
}

QString AutostartEntryPath() {
  return QString::fromStdString(UserConfigHome()) +
         QStringLiteral("autostart/Tavrik_Server_Crypt.desktop");
}

bool AutostartEntryExists() {
  return QFile::exists(AutostartEntryPath());
}

bool WriteAutostartEntry(const QStringList& command) {
  if (command.isEmpty()) return false;
  MakeFolderWithParents(UserConfigHome() + "autostart");
  const QString entry = QStringLiteral(
                            "[Desktop Entry]\n"
                            "Type=Application\n"
                            "Name=Tavrik_Server_Crypt\n"
                            "Comment=Сервер для входа в интернет-банкинг\n"
                            "Exec=%1\n"
                            "Terminal=false\n"
                            "X-GNOME-Autostart-enabled=true\n")
                            .arg(DesktopExecValue(command));
  QSaveFile output(AutostartEntryPath());
  if (!output.open(QIODevice::WriteOnly)) return false;
  output.write(entry.toUtf8());
  return output.commit();
}

bool RemoveAutostartEntry() {
  QFile entry(AutostartEntryPath());
  return !entry.exists() || entry.remove();
}

}  // namespace platform
