#pragma once

#include <QString>

#include <exception>

class QWidget;

// How an error is shown: its text in a box with the error icon and OK.
namespace ErrorBox {

// The text of an error as shown: a full stop is appended when the last character comes after "."
QString withFullStop(const QString& text);

void show(QWidget* parent, const QString& caption, const std::exception& error);

} // namespace ErrorBox
