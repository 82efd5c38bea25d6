#pragma once

#include "databind/FormatSettings.h"

class QLocale;

// The user's date and time formats as the platform's locale gives them.
class UserLocale
{
public:
    // From the system locale.
    static FormatSettings formatSettings();
    // The short date and long time formats of locale, without a time-zone part, and their separators.
    // The C and POSIX locales (no user locale chosen) give the Russian formats.
    static FormatSettings formatSettings(const QLocale& locale);
};
