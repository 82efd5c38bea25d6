#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QDir>

namespace {

class DesktopShellOpen : public ShellOpen
{
public:
    void openFile(const QString& path) override
    {
        // A path that starts with two slashes would be read as a network host; on this system it is the same
        // local path with one.
        QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::cleanPath(path)));
    }

    void openUrl(const QUrl& url) override { QDesktopServices::openUrl(url); }
};

DesktopShellOpen s_desktop;
ShellOpen* s_installed = nullptr;

} // namespace

ShellOpen& ShellOpen::instance()
{
    return s_installed ? *s_installed : s_desktop;
}

void ShellOpen::install(ShellOpen* shell)
{
    s_installed = shell;
}
