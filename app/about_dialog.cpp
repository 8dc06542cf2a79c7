#include "app/about_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "app/branding.h"
#include "app/icons.h"
#include "platform/shell_open.h"
#include "service/reply.h"

namespace app {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("О программе Tavrik_Server_Crypt"));
  setModal(true);

  auto* icon = new QLabel(this);
  icon->setPixmap(ServerIcon(true).pixmap(32, 32));
  auto* link = new QLabel(this);
  link->setObjectName(QString::number(kControlMakerLink));
  link->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                    .arg(QString::fromUtf8(kBankSiteAddress), QString::fromUtf8(kMakerName)));
  link->setToolTip(QString::fromUtf8(kBankSiteAddress));
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(link, &QLabel::linkActivated, this,
          [](const QString& address) { platform::OpenAddress(address); });
  auto* ok = new QPushButton(QStringLiteral("ОК"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* link_line = new QHBoxLayout;
  link_line->addWidget(link);
  link_line->addWidget(new QLabel(QString::fromUtf8(kCopyrightYear), this));
  link_line->addStretch();

  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Сервер для входа в интернет-банкинг"), this), 0, 1);
  layout->addWidget(new QLabel(QString::fromUtf8(kMakerName), this), 1, 1);
  layout->addWidget(icon, 2, 0, 2, 1, Qt::AlignTop);
  layout->addWidget(
      new QLabel(QStringLiteral("Tavrik_Server_Crypt, версия %1").arg(service::kVersion), this), 2, 1);
  layout->addLayout(link_line, 3, 1);
  layout->addWidget(new QLabel(QString::fromUtf8(kMakerAddress), this), 4, 1);
  layout->addWidget(ok, 5, 1, Qt::AlignRight);
}

}  // namespace app
