#include "platform/message_box.h"

#include <cstdio>

#include <QGuiApplication>
#include <QMessageBox>

namespace platform {
namespace {

MessageSink& Sink() {
  static MessageSink sink;
  return sink;
}

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation:
      return QMessageBox::Information;
    case MessageIcon::kExclamation:
      return QMessageBox::Warning;
    case MessageIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void SetMessageSink(MessageSink sink) {
  Sink() = std::move(sink);
}

void ShowMessageBox(const QString& text, const QString& title, MessageIcon icon) {
  if (Sink()) return Sink()(text, title, icon);
  if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
    std::fprintf(stderr, "%s: %s\n", title.toUtf8().constData(), text.toUtf8().constData());
    std::fflush(stderr);
    return;
  }
  QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok);
  box.exec();
}

}  // namespace platform
