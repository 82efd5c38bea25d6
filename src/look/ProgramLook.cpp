#include "look/ProgramLook.h"

#include "look/ProgramIcon.h"
#include "look/ProgramStyle.h"

#include <QApplication>
#include <QFont>

namespace ProgramLook {

QString title()
{
    return QStringLiteral("Хронотека");
}

void applyTo(QApplication& application)
{
    // The windows are laid out in pixels for an 8-point dialog font at 96 dpi: Liberation Sans at 11 pixels has
    // the same character height and close widths, and carries Cyrillic.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    application.setFont(font);
    application.setWindowIcon(ProgramIcon::icon());
    application.setStyle(new ProgramStyle);
}

} // namespace ProgramLook
