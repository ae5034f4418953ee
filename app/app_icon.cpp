#include "app/app_icon.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace kolmara {

QPixmap ProgramIconPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1F, 0x5F, 0xA8));
  const qreal r = size * 0.18;
  p.drawRoundedRect(QRectF(0, 0, size, size).adjusted(1, 1, -1, -1), r, r);
  QFont font;
  font.setBold(true);
  font.setPixelSize(qMax(6, size * 5 / 12));
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, QStringLiteral("QX"));
  return pixmap;
}

QIcon ProgramIcon() {
  static const QIcon icon = [] {
    QIcon i;
    for (int size : {16, 24, 32, 48, 64, 128}) i.addPixmap(ProgramIconPixmap(size));
    return i;
  }();
  return icon;
}

}  // namespace kolmara
