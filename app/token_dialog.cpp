#include "app/token_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include "providers/token_selection.h"

namespace app {
namespace {

template <typename Widget>
Widget* Control(Widget* widget, int id) {
  widget->setObjectName(QString::number(id));
  return widget;
}

}  // namespace

CGetPassDlg::CGetPassDlg(providers::TokenComponents& components, bool choose_token,
                         const QString& requester)
    : components_(components) {
  setWindowTitle(QStringLiteral("Авторизация пользователя Zorvik / Zorvik2"));
  // In front of the browser that asked, without an owner window.
  setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);

  requester_ = new QLabel(requester, this);
  requester_->setObjectName(QStringLiteral("requester"));
  requester_->setWordWrap(true);
  tokens_ = Control(new QComboBox(this), kControlTokenList);
  tokens_->setEditable(true);
  tokens_->setInsertPolicy(QComboBox::NoInsert);
  refresh_ = Control(new QPushButton(QStringLiteral("Обновить"), this), kControlTokenRefresh);
  refresh_->setAutoDefault(false);
  owner_ = Control(new QLineEdit(this), kControlTokenOwner);
  owner_->setReadOnly(true);
  owner_->setToolTip(QStringLiteral("ФИО владельца личного ключа"));
  organisation_ = Control(new QLineEdit(this), kControlTokenOrganisation);
  organisation_->setReadOnly(true);
  organisation_->setToolTip(QStringLiteral("Наименование организации"));
  password_ = Control(new QLineEdit(this), kControlTokenPassword);
  password_->setEchoMode(QLineEdit::Password);
  password_->setMaxLength(kTokenPasswordMaxChars);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CGetPassDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CGetPassDlg::reject);

  auto* token_row = new QHBoxLayout;
  token_row->addWidget(tokens_, 1);
  token_row->addWidget(refresh_);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Выберите токен"), token_row);
  form->addRow(owner_);
  form->addRow(organisation_);
  form->addRow(new QLabel(QStringLiteral("Введите пароль доступа к токену"), this));
  form->addRow(password_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(requester_);
  layout->addLayout(form);
  layout->addWidget(buttons);
  setMinimumWidth(420);

  if (choose_token) {
    FillTokenList();
    if (tokens_->count() > 0 && tokens_->itemText(0) != providers::kNoTokensItem) {
      tokens_->setCurrentIndex(0);
      ShowOwnerOf(tokens_->itemText(0));
    }
  } else {
    for (QWidget* control : {static_cast<QWidget*>(tokens_), static_cast<QWidget*>(refresh_),
                             static_cast<QWidget*>(owner_), static_cast<QWidget*>(organisation_)})
      control->setEnabled(false);
  }
  connect(tokens_, &QComboBox::activated, this,
          [this](int index) { ShowOwnerOf(tokens_->itemText(index)); });
  connect(refresh_, &QPushButton::clicked, this, &CGetPassDlg::Refresh);
  password_->setFocus();
}

CGetPassDlg::~CGetPassDlg() {
  TakePassword();
}

void CGetPassDlg::FillTokenList() {
  tokens_->clear();
  const QStringList items = providers::TokenItems(components_);
  tokens_->addItems(items);
  tokens_->model()->sort(0);
  tokens_->setCurrentIndex(-1);
}

void CGetPassDlg::Refresh() {
  FillTokenList();
  if (tokens_->count() > 0 && tokens_->itemText(0) != providers::kNoTokensItem) {
    tokens_->setCurrentIndex(0);
    ShowOwnerOf(tokens_->itemText(0));
  }
  password_->setFocus();
}

void CGetPassDlg::ShowOwnerOf(const QString& item) {
  const providers::OwnerFields owner =
      providers::ReadOwnerFields(components_, providers::SerialOfTokenText(item));
  owner_->setText(owner.full_name);
  organisation_->setText(owner.organisation);
}

providers::SecretText CGetPassDlg::TakePassword() {
  QString typed = password_->text();
  providers::SecretText password = providers::TakeSecret(typed);
  password_->clear();
  return password;
}

void CGetPassDlg::SetPassword(const providers::SecretText& password) {
  // The field keeps this very buffer (it is wiped when the password is taken).
  password_->setText(QString::fromUtf8(password.data(), static_cast<qsizetype>(password.size())));
}

void CGetPassDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  raise();
  activateWindow();
  password_->setFocus();
}

}  // namespace app
