#pragma once

#include <QIcon>
#include <QList>
#include <QSize>

#include <functional>

class QPainter;

// An icon drawn by code, at whatever size is asked and only when it is asked, each size once: nothing is drawn for
// an icon that is never shown, and no image file is read (reading one makes Qt load every image-format plugin).
namespace PaintedIcon {

// Paints the picture in a square of viewBox × viewBox units, scaled to the size asked; a disabled icon is drawn
// at half opacity.
using Drawing = std::function<void(QPainter&)>;

// sizes: the sizes the icon offers, as the window system's icon property wants them; any other is drawn on request.
QIcon make(Drawing drawing, qreal viewBox, const QList<QSize>& sizes);

} // namespace PaintedIcon
