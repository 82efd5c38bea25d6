#pragma once

#include <QCoreApplication>

#include <memory>

// The application object a test executable runs under: each kind of test main links the one it needs (plain Qt
// for the engine and the record sets, widgets with the program's look for the controls and windows, the
// program's own for the start-up).
std::unique_ptr<QCoreApplication> makeTestApplication(int& argc, char** argv);
