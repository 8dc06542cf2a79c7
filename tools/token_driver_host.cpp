// TokenDriverHost: registers, installs as a service and removes the Zorvik
// token middleware's service, the token watcher (TokenWatcher beside this
// program), for every user of the machine. Run with administrator rights.
//   TokenDriverHost /RegServer     writes the service's definition
//   TokenDriverHost -service       enables it and starts it for the calling user
//   TokenDriverHost /UnRegServer   stops, disables and removes it
// Where systemd runs the machine the watcher is a systemd user unit
// (/etc/systemd/user/TokenWatcher.service, enabled for all users); elsewhere
// it is an XDG autostart entry (/etc/xdg/autostart/TokenWatcher.desktop),
// which starts it at the next login. TOKEN_DRIVER_HOST_ROOT, when set, is
// put before every system path (tests; pkexec never passes it on).

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

namespace {

const QString kUnitName = QStringLiteral("TokenWatcher.service");

QString SystemPath(const QString& path) {
  return QString::fromLocal8Bit(qgetenv("TOKEN_DRIVER_HOST_ROOT")) + path;
}

bool SystemdRuns() {
  return QFileInfo(SystemPath(QStringLiteral("/run/systemd/system"))).isDir();
}

QString Definition() {
  return SystemdRuns() ? SystemPath(QStringLiteral("/etc/systemd/user/") + kUnitName)
                       : SystemPath(QStringLiteral("/etc/xdg/autostart/TokenWatcher.desktop"));
}

// The user who asked for the change (pkexec and sudo say who), else root.
QString CallingUser() {
  for (const char* name : {"PKEXEC_UID", "SUDO_UID"})
    if (const QByteArray uid = qgetenv(name); !uid.isEmpty()) return QString::fromLatin1(uid);
  return QString::number(getuid());
}

int Systemctl(const QStringList& arguments) {
  return QProcess::execute(QStringLiteral("systemctl"), arguments);
}

// The calling user's own service manager, reached from root.
int UserSystemctl(const QStringList& arguments) {
  return Systemctl(QStringList{QStringLiteral("--user"), QStringLiteral("--machine=") +
                                                             CallingUser() + QStringLiteral("@")} +
                   arguments);
}

// Desktop entry and unit values: backslashes and spaces would need quoting.
bool PlainPath(const QString& path) {
  return !path.contains(u'\\') && !path.contains(u' ') && !path.contains(u'%') &&
         !path.contains(u'\n');
}

int Register() {
  const QString watcher = QCoreApplication::applicationDirPath() + QStringLiteral("/TokenWatcher");
  if (!QFileInfo(watcher).isExecutable() || !PlainPath(watcher)) {
    std::fprintf(stderr, "TokenDriverHost: no usable %s\n", qPrintable(watcher));
    return 1;
  }
  const QString text =
      SystemdRuns()
          ? QStringLiteral("[Unit]\nDescription=Zorvik token watcher\n\n[Service]\nExecStart=%1\n"
                           "Restart=on-failure\n\n[Install]\nWantedBy=default.target\n")
                .arg(watcher)
          : QStringLiteral("[Desktop Entry]\nType=Application\nName=TokenWatcher\n"
                           "Comment=Zorvik token watcher\nExec=%1\nTerminal=false\n")
                .arg(watcher);
  const QString path = Definition();
  QDir().mkpath(QFileInfo(path).path());
  QSaveFile output(path);
  if (!output.open(QIODevice::WriteOnly)) return 1;
  // Set on the temporary file before it takes the definition's name: every
  // user's session reads it, whatever the umask.
  if (!output.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                             QFile::ReadOther))
    return 1;
  output.write(text.toUtf8());
  return output.commit() ? 0 : 1;
}

int InstallService() {
  if (!QFile::exists(Definition())) {
    std::fprintf(stderr, "TokenDriverHost: not registered\n");
    return 1;
  }
  if (!SystemdRuns()) return 0;  // the autostart entry starts it at the next login
  if (Systemctl({QStringLiteral("--global"), QStringLiteral("enable"), kUnitName}) != 0) return 1;
  // Best effort: the calling user gets it now rather than at the next login.
  UserSystemctl({QStringLiteral("daemon-reload")});
  UserSystemctl({QStringLiteral("start"), kUnitName});
  return 0;
}

int Unregister() {
  if (SystemdRuns()) {
    UserSystemctl({QStringLiteral("stop"), kUnitName});
    Systemctl({QStringLiteral("--global"), QStringLiteral("disable"), kUnitName});
  }
  QFile definition(Definition());
  return !definition.exists() || definition.remove() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const QStringList arguments = QCoreApplication::arguments();
  const QString command = arguments.value(1);
  if (arguments.size() == 2 && command.compare(QStringLiteral("/RegServer"), Qt::CaseInsensitive) == 0)
    return Register();
  if (arguments.size() == 2 && command.compare(QStringLiteral("-service"), Qt::CaseInsensitive) == 0)
    return InstallService();
  if (arguments.size() == 2 &&
      command.compare(QStringLiteral("/UnRegServer"), Qt::CaseInsensitive) == 0)
    return Unregister();
  std::fprintf(stderr, "usage: TokenDriverHost /RegServer | -service | /UnRegServer\n");
  return 2;
}
