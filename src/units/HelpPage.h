#pragma once

#include <QString>

// The help page beside the diary, in the diary folder.
class HelpPage
{
public:
    // Joined as plain text, so whatever the folder ends with is kept as it is.
    static QString path(const QString& diaryFolder);
    static void open(const QString& diaryFolder);
};
