#include "app/icons.h"

#include <QColor>
#include <QPainter>
#include <QPixmap>

namespace app {

QIcon ServerIcon(bool running) {
  QIcon icon;
  for (int size : {16, 32, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(running ? QColor(0x2e, 0x9e, 0x4f) : QColor(0x8a, 0x8a, 0x8a));
    painter.setPen(QPen(QColor(0x30, 0x30, 0x30), size / 16.0));
    painter.drawEllipse(QRectF(size * 0.08, size * 0.08, size * 0.84, size * 0.84));
    painter.setPen(QPen(Qt::white, size / 8.0));
    painter.drawLine(QPointF(size * 0.5, size * 0.25), QPointF(size * 0.5, size * 0.75));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace app
