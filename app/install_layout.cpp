#include "app/install_layout.h"

#include <QCoreApplication>
#include <QDir>

#include "platform/install_command.h"

// Set by the build from its install folders; the defaults are the
// GNU layout's.
#ifndef TAVRIK_DATA_FROM_PROGRAM
#define TAVRIK_DATA_FROM_PROGRAM "../share/tavrik-server-crypt"
#endif
#ifndef TAVRIK_COMPONENTS_FROM_PROGRAM
#define TAVRIK_COMPONENTS_FROM_PROGRAM "../lib/tessel"
#endif

namespace app {
namespace {

QString BelowProgram(const char* relative) {
  return QDir::cleanPath(QCoreApplication::applicationDirPath() + u'/' +
                         QString::fromUtf8(relative));
}

}  // namespace

QStringList InstallCommandFiles() {
  const QString name = QString::fromLatin1(platform::kInstallCommandFileName);
  return {BelowProgram(".") + u'/' + name, BelowProgram(TAVRIK_DATA_FROM_PROGRAM) + u'/' + name};
}

QStringList ComponentFolders() {
  return {BelowProgram("."), BelowProgram("../components"),
          BelowProgram(TAVRIK_COMPONENTS_FROM_PROGRAM)};
}

}  // namespace app
