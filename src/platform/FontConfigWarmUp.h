#pragma once

#include <thread>

// Reads the desktop's font configuration on a thread of its own while the application object connects to the
// display and the main window's first controls are made. fontconfig's first call parses its configuration files
// and font caches, a few milliseconds that the first text the program measures would otherwise wait for; Qt's
// own first call then finds the work done. Should Qt ask before the thread is through, fontconfig builds the
// configuration for it too and keeps one of the two, so the thread never needs to be waited for until the end.
class FontConfigWarmUp
{
public:
    FontConfigWarmUp();
    ~FontConfigWarmUp();
    FontConfigWarmUp(const FontConfigWarmUp&) = delete;
    FontConfigWarmUp& operator=(const FontConfigWarmUp&) = delete;

private:
    std::thread m_thread;
};
