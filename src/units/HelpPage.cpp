#include "units/HelpPage.h"

#include "platform/ShellOpen.h"

QString HelpPage::path(const QString& diaryFolder)
{
    return diaryFolder + QStringLiteral("/help2.htm");
}

void HelpPage::open(const QString& diaryFolder)
{
    ShellOpen::instance().openFile(path(diaryFolder));
}
