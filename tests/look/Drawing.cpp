#include "look/PaintedIcon.h"
#include "look/ProgramStyle.h"

#include <QImage>
#include <QPainter>
#include <QStyleOptionFrame>
#include <qdrawutil.h>

#include <gtest/gtest.h>

namespace {

// An icon is drawn once for each size and mode however often it is asked for, and comes out the same each time.
TEST(PaintedIcon, EachSizeAndModeIsDrawnOnce)
{
    int drawn = 0;
    const QIcon icon = PaintedIcon::make(
        [&drawn](QPainter& painter) {
            ++drawn;
            painter.fillRect(QRectF(2, 2, 12, 12), Qt::darkGreen);
        },
        16, {QSize(16, 16), QSize(32, 32)});
    const QImage first = icon.pixmap(QSize(32, 32)).toImage();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(icon.pixmap(QSize(32, 32)).toImage(), first);
    EXPECT_EQ(drawn, 1);
    EXPECT_EQ(first.pixelColor(16, 16), QColor(Qt::darkGreen));
    EXPECT_EQ(first.pixelColor(1, 1).alpha(), 0);

    icon.pixmap(QSize(16, 16));
    icon.pixmap(QSize(32, 32), QIcon::Disabled);
    icon.pixmap(QSize(16, 16));
    EXPECT_EQ(drawn, 3);
}

// The group box's etched frame, filled line by line, is the sunken shade qDrawShadeRect draws, pixel for pixel, for
// frames large and small; where a point is two pixels, it is the same frame with every pixel doubled.
TEST(ProgramStyle, GroupBoxFrameIsTheSunkenShade)
{
    QPalette palette;
    palette.setColor(QPalette::Dark, QColor(128, 0, 0));
    palette.setColor(QPalette::Light, QColor(0, 160, 0));
    ProgramStyle style;
    const auto canvas = [](qreal ratio) {
        QImage image(QSize(260, 100) * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        return image;
    };
    const auto framed = [&](const QRect& frame, qreal ratio) {
        QImage image = canvas(ratio);
        QPainter painter(&image);
        QStyleOptionFrame option;
        option.rect = frame;
        option.palette = palette;
        style.drawPrimitive(QStyle::PE_FrameGroupBox, &option, &painter);
        return image;
    };
    for (const QRect frame :
         {QRect(1, 1, 10, 7), QRect(3, 2, 250, 90), QRect(1, 1, 5, 5), QRect(1, 1, 4, 4), QRect(2, 2, 3, 2)}) {
        QImage shaded = canvas(1);
        {
            QPainter painter(&shaded);
            qDrawShadeRect(&painter, frame, palette, true, 1, 0);
        }
        const QImage drawn = framed(frame, 1);
        EXPECT_EQ(drawn, shaded) << "frame " << frame.width() << "x" << frame.height();
        if (frame.width() >= 5 && frame.height() >= 5) {
            QImage doubled = drawn.scaled(drawn.size() * 2);
            doubled.setDevicePixelRatio(2);
            EXPECT_EQ(framed(frame, 2), doubled) << "frame " << frame.width() << "x" << frame.height() << " doubled";
        }
    }
}

} // namespace
