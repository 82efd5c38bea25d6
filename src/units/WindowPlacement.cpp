#include "units/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <QWidget>

namespace {
constexpr char placedProperty[] = "chronotekaPlaced";
}

void WindowPlacement::centreOnFirstShow(QWidget& window)
{
    if (window.property(placedProperty).toBool())
        return;
    window.setProperty(placedProperty, true);
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect desktop = screen->availableGeometry();
    // Moving marks the position as chosen, so dialogs no longer centre themselves over their parent.
    window.move(desktop.center() - window.rect().center());
}
