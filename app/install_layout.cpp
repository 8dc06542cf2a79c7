#include "app/install_layout.h"

#include <QCoreApplication>
#include <QDir>

#include "platform/install_command.h"

// TAVRIK_DATA_FROM_PROGRAM and TAVRIK_COMPONENTS_FROM_PROGRAM come from the
// build's install folders (app/CMakeLists.txt).

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
