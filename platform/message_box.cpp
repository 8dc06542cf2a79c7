#include "platform/message_box.h"

#include <cstdio>

#include <QGuiApplication>
#include <QMessageBox>

namespace platform {

void ShowMessageBox(const QString& text, const QString& title, MessageIcon icon) {
  if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
    std::fprintf(stderr, "%s: %s\n", title.toUtf8().constData(), text.toUtf8().constData());
    std::fflush(stderr);
    return;
  }
  QMessageBox box(
      icon == MessageIcon::kInformation ? QMessageBox::Information : QMessageBox::NoIcon, title,
      text, QMessageBox::Ok);
  box.exec();
}

}  // namespace platform
