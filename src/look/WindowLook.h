#pragma once

#include <QColor>
#include <QString>

class QFrame;
class QWidget;

// What the program's windows share in looks: the money-green panels and the sunken frames that group controls.
class WindowLook
{
public:
    static QColor moneyGreen() { return QColor(192, 220, 192); }
    // Fills the widget's background with money green.
    static void paintMoneyGreen(QWidget& widget);
    // A sunken frame behind the controls it groups, at left, top, width, height of parent.
    static QFrame* sunkenFrame(QWidget* parent, int left, int top, int width, int height,
                               const QString& hint = QString());
};
