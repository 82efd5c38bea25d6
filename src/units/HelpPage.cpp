#include "units/HelpPage.h"

#include "platform/ShellOpen.h"

QString HelpPage::path(const QString& startDir)
{
    return startDir + QStringLiteral("/help2.htm");
}

void HelpPage::open(const QString& startDir)
{
    ShellOpen::instance().openFile(path(startDir));
}
