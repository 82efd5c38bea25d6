#pragma once

#include <QString>

class QApplication;

// What every window of the program shares: its title, font, icon and style.
namespace ProgramLook {

QString title();

// Sets the application's font, window icon and style.
void applyTo(QApplication& application);

} // namespace ProgramLook
