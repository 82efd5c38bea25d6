#pragma once

#include "platform/ShellOpen.h"

#include <QStringList>

// Records what would have been opened instead of starting programs; installed for its own lifetime.
class FakeShellOpen : public ShellOpen
{
public:
    FakeShellOpen() { ShellOpen::install(this); }
    ~FakeShellOpen() override { ShellOpen::install(nullptr); }
    FakeShellOpen(const FakeShellOpen&) = delete;
    FakeShellOpen& operator=(const FakeShellOpen&) = delete;

    void openFile(const QString& path) override;
    void openUrl(const QUrl& url) override;

    // "file:<path>" or the URL as text, in order.
    const QStringList& opened() const { return m_opened; }

private:
    QStringList m_opened;
};
