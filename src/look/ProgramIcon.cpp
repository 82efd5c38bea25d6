#include "look/ProgramIcon.h"

#include "look/PaintedIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// In the drawing's 64 × 64 units.
void drawCalendarWithClock(QPainter& painter)
{
    const QColor dark(0x2e, 0x6b, 0x3c);
    const QColor band(0x3c, 0x8c, 0x4e);
    // The sheet, its coloured top band and the two rings that hold it.
    painter.setPen(QPen(dark, 3));
    painter.setBrush(QColor(0xf4, 0xf8, 0xf4));
    painter.drawRoundedRect(QRectF(6, 10, 52, 48), 6, 6);
    painter.setPen(Qt::NoPen);
    painter.setBrush(band);
    painter.drawRoundedRect(QRectF(6, 10, 52, 13), 6, 6);
    painter.drawRect(QRectF(6, 17, 52, 6));
    painter.setBrush(dark);
    painter.drawRoundedRect(QRectF(17, 4, 5, 12), 2, 2);
    painter.drawRoundedRect(QRectF(42, 4, 5, 12), 2, 2);
    // The clock face and its hands.
    painter.setPen(QPen(dark, 3));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(32, 40), 13, 13);
    QPainterPath hands(QPointF(32, 31));
    hands.lineTo(32, 40);
    hands.lineTo(38, 44);
    painter.setPen(QPen(QColor(0xb0, 0x30, 0x30), 3, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(hands);
}

} // namespace

QIcon ProgramIcon::icon()
{
    // The sizes window managers use for title bars, task lists and window switchers.
    return PaintedIcon::make(drawCalendarWithClock, 64, {QSize(16, 16), QSize(32, 32), QSize(48, 48)});
}
