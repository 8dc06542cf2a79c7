#include "platform/shell_open.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

bool OpenWithShell(const QString& file) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

bool OpenAddress(const QString& address) {
  return QDesktopServices::openUrl(QUrl(address));
}

}  // namespace platform
