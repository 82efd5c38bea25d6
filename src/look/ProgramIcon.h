#pragma once

#include <QIcon>

// The program's icon: a calendar sheet with a clock on it, the same drawing as icons/chronoteka.svg that the
// desktop entry installs, drawn by code so that start-up reads no image file.
namespace ProgramIcon {

QIcon icon();

} // namespace ProgramIcon
