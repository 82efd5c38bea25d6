#pragma once

#include <QString>

// The help page beside the diary, in the directory the program started in.
class HelpPage
{
public:
    // Joined as plain text, so whatever the start directory ends with is kept as it is.
    static QString path(const QString& startDir);
    static void open(const QString& startDir);
};
