#include "tokens/askpass/askpass_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace askpass {

AskpassDialog::AskpassDialog(const QString& text, QWidget* parent)
    : QDialog(parent), field_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Авест: вход в токен"));
  auto* label = new QLabel(text, this);
  label->setWordWrap(true);
  field_->setEchoMode(QLineEdit::Password);
  field_->setMaxLength(64);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(field_);
  layout->addWidget(buttons);
  field_->setFocus();
}

QByteArray AskpassDialog::TakePassword() {
  QByteArray password = field_->text().toUtf8();
  field_->clear();
  return password;
}

}  // namespace askpass
