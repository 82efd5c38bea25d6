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
        // An etched line: a shadow line with a light one inside it.
        qDrawShadeRect(painter, option->rect, option->palette, true, 1, 0);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}
