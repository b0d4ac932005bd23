#include "host/qt/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qtfront {
namespace {

template <typename Draw>
QIcon Drawn(int size, Draw draw) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  draw(painter);
  painter.end();
  return QIcon(pixmap);
}

}  // namespace

QIcon SearchGlyph() {
  return Drawn(16, [](QPainter& p) {
    p.setPen(QPen(QColor(40, 70, 130), 2));
    p.setBrush(QColor(210, 230, 250));
    p.drawEllipse(QRectF(2, 2, 8.5, 8.5));
    p.setPen(QPen(QColor(90, 60, 30), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
  });
}

QIcon ExportGlyph() {
  return Drawn(32, [](QPainter& p) {
    p.setPen(QPen(QColor(90, 90, 90), 1.2));
    p.setBrush(Qt::white);
    QPainterPath sheet;
    sheet.moveTo(5, 3);
    sheet.lineTo(17, 3);
    sheet.lineTo(22, 8);
    sheet.lineTo(22, 29);
    sheet.lineTo(5, 29);
    sheet.closeSubpath();
    p.drawPath(sheet);
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (int y = 12; y <= 24; y += 4) p.drawLine(8, y, 18, y);
    p.setPen(QPen(QColor(20, 120, 40), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(15, 19), QPointF(28, 19));
    p.drawLine(QPointF(24, 15), QPointF(28, 19));
    p.drawLine(QPointF(24, 23), QPointF(28, 19));
  });
}

QIcon MonthGlyph() {
  return Drawn(14, [](QPainter& p) {
    p.setPen(QPen(QColor(80, 80, 80), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 2.5, 11, 10));
    p.fillRect(QRectF(2, 3, 10, 3), QColor(180, 40, 40));
    p.setPen(QPen(QColor(80, 80, 80), 1));
    for (int x = 4; x <= 10; x += 3) {
      for (int y = 8; y <= 11; y += 3) p.drawPoint(x, y);
    }
  });
}

}  // namespace qtfront
