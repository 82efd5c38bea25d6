#pragma once

#include <QList>
#include <QString>

#include <optional>
#include <utility>

// The program's own settings, in a small file beside config.dat, which keeps its six intervals as they always were:
// UTF-8 lines of key=value. Each feature owns its keys; a line this version does not know is kept as it was.
class ProgramSettings
{
public:
    static constexpr qsizetype maxSize = 64 * 1024;

    // path: a full path, which the error messages name. Nothing is read until load().
    explicit ProgramSettings(QString path);

    const QString& path() const { return m_path; }

    // Reads the file; a missing file holds nothing. Throws Error "Cannot open file ..." when it is there but can't be
    // read, and then holds nothing; until a later load() succeeds, store() then throws that error again rather than
    // replace a file whose other lines it never read.
    void load();

    std::optional<QString> value(const QString& key) const;
    // A flag stored as 1 or 0; otherwise when the key is absent or holds anything else.
    bool flag(const QString& key, bool otherwise) const;

    // Sets a key (none removes it) and replaces the file as a whole. Throws Error "Cannot create file ..." with the
    // reason; the settings then stay as they were before the call.
    void store(const QString& key, const std::optional<QString>& value);
    void storeFlag(const QString& key, bool value);

private:
    QString m_path;
    QList<std::pair<QString, QString>> m_values;
    // The text of the error the last load() threw; empty after a load that succeeded.
    QString m_unreadable;
};
