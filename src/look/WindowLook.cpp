#include "look/WindowLook.h"

#include <QFrame>
#include <QPalette>
#include <QWidget>

void WindowLook::paintMoneyGreen(QWidget& widget)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, moneyGreen());
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

QFrame* WindowLook::sunkenFrame(QWidget* parent, int left, int top, int width, int height, const QString& hint)
{
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setGeometry(left, top, width, height);
    if (!hint.isEmpty())
        frame->setToolTip(hint);
    frame->lower();
    return frame;
}
