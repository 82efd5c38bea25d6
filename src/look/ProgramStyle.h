#pragma once

#include <QProxyStyle>

// The desktop's own widget style, with the two things the main window needs at start-up that the style would
// read from image files drawn here instead: reading an image makes Qt load every image-format plugin (SVG and JPEG
// with their libraries), a cost paid at every start. They are the group boxes' frames, drawn as the etched line
// the windows were designed with, and the menu bar's overflow arrows, for a button that the main window, wide
// enough for its menu, never shows.
class ProgramStyle : public QProxyStyle
{
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
