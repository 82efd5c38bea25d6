#include "look/Glyphs.h"

#include "look/PaintedIcon.h"

#include <QPainter>

namespace Glyphs {

void drawTick(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 128, 0), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(6.5, 12), QPointF(13, 4)}));
}

QIcon tick()
{
    return PaintedIcon::make(&drawTick, 16, {QSize(16, 16)});
}

} // namespace Glyphs
