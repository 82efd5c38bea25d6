#include "support/FakeShellOpen.h"

void FakeShellOpen::openFile(const QString& path)
{
    m_opened.append(QStringLiteral("file:") + path);
}

void FakeShellOpen::openUrl(const QUrl& url)
{
    m_opened.append(url.toString());
}
