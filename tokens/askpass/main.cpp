// tessel-askpass: the Qt password prompt of libAvCryptMail. The text to show
// is the one argument; on OK the password and a line feed go to standard
// output and the exit status is 0, on Cancel (or without a display) the
// status is 1.
#include <string.h>

#include <QApplication>
#include <cstdio>

#include "tokens/askpass/askpass_dialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Nobody can answer a window that is never shown: cancel at once rather
  // than hold the login up for ever.
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
    std::fputs("tessel-askpass: no display to ask on\n", stderr);
    return 1;
  }
  const QString text = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                : QStringLiteral("Введите пароль токена");
  askpass::AskpassDialog dialog(text);
  dialog.raise();
  dialog.activateWindow();
  if (dialog.exec() != QDialog::Accepted) return 1;
  QByteArray password = dialog.TakePassword();
  const bool written = std::fwrite(password.constData(), 1, static_cast<std::size_t>(password.size()),
                                   stdout) == static_cast<std::size_t>(password.size()) &&
                       std::fputc('\n', stdout) != EOF && std::fflush(stdout) == 0;
  explicit_bzero(password.data(), static_cast<std::size_t>(password.size()));
  return written ? 0 : 1;
}
