#include "ProgramIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

class Engine : public QIconEngine
{
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        // The drawing's units: a 64 × 64 view box.
        painter->scale(rect.width() / 64.0, rect.height() / 64.0);
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.5);

        const QColor dark(0x2e, 0x6b, 0x3c);
        const QColor band(0x3c, 0x8c, 0x4e);
        // The sheet, its coloured top band and the two rings that hold it.
        painter->setPen(QPen(dark, 3));
        painter->setBrush(QColor(0xf4, 0xf8, 0xf4));
        painter->drawRoundedRect(QRectF(6, 10, 52, 48), 6, 6);
        painter->setPen(Qt::NoPen);
        painter->setBrush(band);
        painter->drawRoundedRect(QRectF(6, 10, 52, 13), 6, 6);
        painter->drawRect(QRectF(6, 17, 52, 6));
        painter->setBrush(dark);
        painter->drawRoundedRect(QRectF(17, 4, 5, 12), 2, 2);
        painter->drawRoundedRect(QRectF(42, 4, 5, 12), 2, 2);
        // The clock face and its hands.
        painter->setPen(QPen(dark, 3));
        painter->setBrush(Qt::white);
        painter->drawEllipse(QPointF(32, 40), 13, 13);
        QPainterPath hands(QPointF(32, 31));
        hands.lineTo(32, 40);
        hands.lineTo(38, 44);
        painter->setPen(QPen(QColor(0xb0, 0x30, 0x30), 3, Qt::SolidLine, Qt::RoundCap));
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(hands);
        painter->restore();
    }

    // QIconEngine's own pixmap() paints over an uninitialised picture.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap picture(size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return picture;
    }

    // The window system takes these sizes for the window's icon; any other is drawn on request.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {QSize(16, 16), QSize(24, 24), QSize(32, 32), QSize(48, 48)};
    }

    QIconEngine* clone() const override { return new Engine; }

    QString key() const override { return QStringLiteral("chronoteka"); }
};

} // namespace

QIcon ProgramIcon::icon()
{
    return QIcon(new Engine);
}
