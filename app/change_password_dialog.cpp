#include "app/change_password_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QStyle>

#include "providers/token_owner.h"

namespace app {
namespace {

QLineEdit* ReadOnlyField(QWidget* parent, int id, const QString& tip) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::number(id));
  field->setReadOnly(true);
  field->setToolTip(tip);
  return field;
}

}  // namespace

QString CChangePasswordDlg::PasswordRules() {
  return QStringLiteral(
      "Правила выбора пароля:\n"
      "\n"
      "Используйте для ввода пароля буквы, цифры, символы '_', ' - ' и '.'\n"
      "Пароль должен содержать буквы разного регистра и минимум 1 цифру\n"
      "Пароль должен состоять минимум из 8 символов\n"
      "\n"
      "При ошибочном вводе пароля перед следующей попыткой будет задержка 5 секунд");
}

CChangePasswordDlg::CChangePasswordDlg(providers::Zorvik2TokenAccess& token, QWidget* parent)
    : QDialog(parent), token_(token) {
  setWindowTitle(QStringLiteral("Изменение пароля"));
  tokens_ = new QComboBox(this);
  tokens_->setObjectName(QString::number(kControlTokenList));
  tokens_->setEditable(true);
  tokens_->setInsertPolicy(QComboBox::NoInsert);
  owner_ = ReadOnlyField(this, kControlOwnerName, QStringLiteral("ФИО владельца личного ключа"));
  organisation_ =
      ReadOnlyField(this, kControlOrganisation, QStringLiteral("Наименование организации"));
  passwords_[0] = AddPasswordField(kControlOldPassword);
  passwords_[1] = AddPasswordField(kControlNewPassword);
  passwords_[2] = AddPasswordField(kControlRepeatedPassword);
  show_ = new QPushButton(QStringLiteral("Показать пароль"), this);
  show_->setObjectName(QString::number(kControlShowPasswords));
  hide_ = new QPushButton(QStringLiteral("Спрятать пароль"), this);
  hide_->setObjectName(QString::number(kControlHidePasswords));
  hide_->hide();
  auto* rules = new QLabel(this);
  rules->setObjectName(QString::number(kControlPasswordRules));
  rules->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(24, 24));
  rules->setToolTip(PasswordRules());
  auto* confirm = new QPushButton(QStringLiteral("Подтвердить"), this);
  confirm->setObjectName(QStringLiteral("1"));
  confirm->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
  cancel->setObjectName(QStringLiteral("2"));
  for (QPushButton* button : {show_, hide_, cancel}) button->setAutoDefault(false);

  connect(show_, &QPushButton::clicked, this, [this] { ShowPasswords(true); });
  connect(hide_, &QPushButton::clicked, this, [this] { ShowPasswords(false); });
  connect(confirm, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(tokens_, &QComboBox::activated, this,
          [this](int index) { ShowOwner(tokens_->itemText(index)); });

  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Выберите токен"), this), 0, 0);
  layout->addWidget(tokens_, 0, 1, 1, 2);
  layout->addWidget(owner_, 1, 1, 1, 2);
  layout->addWidget(organisation_, 2, 1, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("Введите старый пароль"), this), 3, 0);
  layout->addWidget(passwords_[0], 3, 1);
  layout->addWidget(rules, 3, 2);
  layout->addWidget(new QLabel(QStringLiteral("Введите новый пароль"), this), 4, 0);
  layout->addWidget(passwords_[1], 4, 1);
  layout->addWidget(passwords_[2], 5, 1);
  layout->addWidget(show_, 6, 1);
  layout->addWidget(hide_, 6, 1);
  layout->addWidget(confirm, 7, 1, Qt::AlignRight);
  layout->addWidget(cancel, 7, 2);

  // The list keeps its items sorted; a lone "no tokens" item is not selected.
  const QStringList items = providers::TokenListItems(token_);
  QStringList sorted = items;
  sorted.sort();
  tokens_->addItems(sorted);
  tokens_->setCurrentIndex(-1);
  if (items != QStringList{providers::NoTokensItem()}) {
    tokens_->setCurrentIndex(0);
    ShowOwner(tokens_->itemText(0));
  }
  passwords_[0]->setFocus();
}

CChangePasswordDlg::~CChangePasswordDlg() {
  ForgetPasswords();
  for (QLineEdit* field : passwords_) field->clear();
}

QLineEdit* CChangePasswordDlg::AddPasswordField(int id) {
  auto* field = new QLineEdit(this);
  field->setObjectName(QString::number(id));
  field->setEchoMode(QLineEdit::Password);
  field->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // '*'
  return field;
}

void CChangePasswordDlg::ShowOwner(const QString& item) {
  const providers::OwnerFields owner =
      providers::ReadOwner(token_, providers::SerialOfItem(item));
  owner_->setText(owner.full_name);
  organisation_->setText(owner.organisation);
}

void CChangePasswordDlg::ShowPasswords(bool shown) {
  for (QLineEdit* field : passwords_)
    field->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
  show_->setVisible(!shown);
  hide_->setVisible(shown);
}

void CChangePasswordDlg::accept() {
  request_ = {tokens_->currentText(), passwords_[0]->text(), passwords_[1]->text(),
              passwords_[2]->text()};
  owner_text_ = owner_->text();
  organisation_text_ = organisation_->text();
  for (QLineEdit* field : passwords_) field->clear();
  QDialog::accept();
}

void CChangePasswordDlg::ForgetPasswords() {
  providers::WipeText(request_.old_password);
  providers::WipeText(request_.new_password);
  providers::WipeText(request_.repeated_password);
}

}  // namespace app
