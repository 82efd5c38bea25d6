#include "look/ProgramStyle.h"

#include "look/PaintedIcon.h"

#include <QPainter>
#include <qdrawutil.h>
#include <QStyleOption>
#include <QWidget>

namespace {

// Two chevrons pointing along the menu bar (right) or across it (down), in 16 × 16 units.
QIcon overflowArrows(bool down, const QColor& colour)
{
    return PaintedIcon::make(
        [down, colour](QPainter& painter) {
            painter.setPen(QPen(colour, 1.5));
            if (down) {
                painter.translate(16, 0);
                painter.rotate(90);
            }
            for (qreal x : {4.0, 9.0}) {
                const QPointF chevron[] = {{x, 4.5}, {x + 3.5, 8}, {x, 11.5}};
                painter.drawPolyline(chevron, 3);
            }
        },
        16, {QSize(16, 16)});
}

} // namespace

QIcon ProgramStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option, const QWidget* widget) const
{
    if (standardIcon == SP_ToolBarHorizontalExtensionButton || standardIcon == SP_ToolBarVerticalExtensionButton) {
        const QPalette palette = widget ? widget->palette() : standardPalette();
        return overflowArrows(standardIcon == SP_ToolBarVerticalExtensionButton, palette.color(QPalette::ButtonText));
    }
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}

void ProgramStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const
{
    if (element == PE_FrameGroupBox) {
        // An etched line: a shadow line with a light one inside it, the sunken shade of qDrawShadeRect. Filled
        // rather than stroked, which costs a raster painter a pass along every pixel of a long frame, and keeps
        // each line whole, with no ragged ends, where a point is more than one pixel. A frame too small for both
        // lines is shaded as qDrawShadeRect shades it.
        const QRect& r = option->rect;
        if (r.width() < 5 || r.height() < 5) {
            qDrawShadeRect(painter, r, option->palette, true, 1, 0);
            return;
        }
        const QBrush shadow = option->palette.dark();
        painter->fillRect(r.x(), r.y(), r.width() - 1, 1, shadow);
        painter->fillRect(r.x(), r.y() + 1, 1, r.height() - 2, shadow);
        painter->fillRect(r.x(), r.bottom() - 1, r.width() - 1, 1, shadow);
        painter->fillRect(r.right() - 1, r.y() + 1, 1, r.height() - 3, shadow);
        const QBrush light = option->palette.light();
        painter->fillRect(r.x() + 1, r.y() + 1, r.width() - 3, 1, light);
        painter->fillRect(r.x() + 1, r.y() + 2, 1, r.height() - 4, light);
        painter->fillRect(r.x(), r.bottom(), r.width(), 1, light);
        painter->fillRect(r.right(), r.y(), 1, r.height() - 1, light);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}
