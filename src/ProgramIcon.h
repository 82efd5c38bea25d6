#pragma once

#include <QIcon>

// The program's icon, drawn by code at whatever size is asked: a calendar sheet with a clock on it, the same
// drawing as icons/chronoteka.svg that the desktop entry installs. Drawing it needs no image reader, so start-up
// neither decodes files nor loads Qt's image-format plugins.
namespace ProgramIcon {

QIcon icon();

} // namespace ProgramIcon
