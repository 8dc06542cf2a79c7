#include "platform/shell_open.h"

#include <QProcess>
#include <QStringList>

namespace platform {

bool OpenWithShell(const QString& file_or_address) {
  return QProcess::startDetached(QStringLiteral("xdg-open"), QStringList{file_or_address});
}

}  // namespace platform
