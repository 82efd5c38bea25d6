#pragma once

#include <QString>
#include <QUrl>

// Opens files and links in whatever program the desktop associates with them. Whether that works is the
// desktop's business: nothing is reported back.
class ShellOpen
{
public:
    virtual ~ShellOpen() = default;

    virtual void openFile(const QString& path) = 0;
    virtual void openUrl(const QUrl& url) = 0;

    static ShellOpen& instance();
    // Replaces the desktop (tests); nullptr restores it. Ownership stays with the caller.
    static void install(ShellOpen* shell);
};
