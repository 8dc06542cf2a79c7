// The Qt password prompt: OK hands over the typed password and empties the
// field, Escape cancels.
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include "tokens/askpass/askpass_dialog.h"

namespace {

TEST(AskpassDialog, EnterAcceptsTheTypedPasswordAndEscapeCancels) {
  int argc = 1;
  char name[] = "askpass_gui_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  for (const auto& [key, result] : {std::pair{Qt::Key_Return, QDialog::Accepted},
                                    std::pair{Qt::Key_Escape, QDialog::Rejected}}) {
    askpass::AskpassDialog dialog(QStringLiteral("Пароль токена S/N AV-1"));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClicks(dialog.field(), QStringLiteral("Abc-1234"));
    EXPECT_EQ(dialog.field()->echoMode(), QLineEdit::Password);
    QTest::keyClick(dialog.field(), key);
    EXPECT_EQ(dialog.result(), result);
    if (result == QDialog::Accepted) {
      EXPECT_EQ(dialog.TakePassword(), QByteArray("Abc-1234"));
      EXPECT_TRUE(dialog.field()->text().isEmpty());
    }
  }
}

}  // namespace
