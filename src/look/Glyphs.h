#pragma once

#include <QIcon>

class QPainter;

// Small pictures the program's buttons share, drawn by code in a square of 16 units.
namespace Glyphs {

// The green tick of a confirming button.
void drawTick(QPainter& painter);
QIcon tick();

} // namespace Glyphs
