#include "app/corvalen_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace corvalen {
namespace {

// Draws the artwork on a 48-unit grid scaled to `size` pixels.
QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 48.0, size / 48.0);

  const QColor outline(20, 45, 90);
  const QColor body(60, 110, 190);
  const QColor top(140, 185, 240);
  // Outlines stay about one pixel wide whatever the size.
  QPen pen(outline, 48.0 / size * 1.2);
  painter.setPen(pen);

  // The drum: a body with a rounded bottom, two bands, and a lighter lid.
  QPainterPath drum;
  drum.moveTo(4, 11);
  drum.lineTo(4, 37);
  drum.arcTo(QRectF(4, 31, 30, 12), 180, 180);
  drum.lineTo(34, 11);
  drum.closeSubpath();
  painter.setBrush(body);
  painter.drawPath(drum);
  painter.setBrush(Qt::NoBrush);
  painter.drawArc(QRectF(4, 14, 30, 12), 180 * 16, 180 * 16);
  painter.drawArc(QRectF(4, 22, 30, 12), 180 * 16, 180 * 16);
  painter.setBrush(top);
  painter.drawEllipse(QRectF(4, 5, 30, 12));

  // The arrow: an update going up.
  const QPolygonF arrow({QPointF(32, 46), QPointF(32, 34), QPointF(25, 34), QPointF(37, 20),
                         QPointF(47, 34), QPointF(42, 34), QPointF(42, 46)});
  painter.setPen(QPen(QColor(20, 90, 20), 48.0 / size * 1.2));
  painter.setBrush(QColor(60, 190, 60));
  painter.drawPolygon(arrow);
  return pixmap;
}

}  // namespace

QIcon CorvalenIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48}) icon.addPixmap(DrawIcon(size));
  return icon;
}

}  // namespace corvalen
