#include "settings/ProgramSettings.h"

#include "base/Error.h"
#include "base/RegularFile.h"

#include <QFileInfo>

ProgramSettings::ProgramSettings(QString path) : m_path(std::move(path)) {}

void ProgramSettings::load()
{
    m_values.clear();
    m_unreadable.clear();
    if (!QFileInfo::exists(m_path) && !QFileInfo(m_path).isSymLink())
        return;
    const auto failure = [this](const QString& reason) {
        m_unreadable = QStringLiteral("Cannot open file \"%1\". %2").arg(m_path, reason);
        return Error(m_unreadable);
    };
    // A byte more than the most that is read tells a file too large to be ours, which is not cut to size.
    const QByteArray bytes = RegularFile::read(m_path, maxSize + 1, failure);
    if (bytes.size() > maxSize)
        throw failure(QStringLiteral("File too large"));
    for (const QString& line : QString::fromUtf8(bytes).split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0)
            m_values.append({line.left(equals).trimmed(), line.mid(equals + 1).trimmed()});
    }
}

std::optional<QString> ProgramSettings::value(const QString& key) const
{
    for (const auto& [name, value] : m_values)
        if (name == key)
            return value;
    return std::nullopt;
}

bool ProgramSettings::flag(const QString& key, bool otherwise) const
{
    const std::optional<QString> stored = value(key);
    if (stored == QStringLiteral("1"))
        return true;
    if (stored == QStringLiteral("0"))
        return false;
    return otherwise;
}

void ProgramSettings::store(const QString& key, const std::optional<QString>& value)
{
    Q_ASSERT(!key.contains(u'=') && !key.contains(u'\n') && !(value && value->contains(u'\n')));
    if (!m_unreadable.isEmpty())
        throw Error(m_unreadable);
    QList<std::pair<QString, QString>> values = m_values;
    const auto found =
        std::find_if(values.begin(), values.end(), [&](const auto& entry) { return entry.first == key; });
    if (!value) {
        if (found != values.end())
            values.erase(found);
    } else if (found != values.end()) {
        found->second = *value;
    } else {
        values.append({key, *value});
    }

    QString text;
    for (const auto& [name, stored] : values)
        text += name + u'=' + stored + u'\n';
    RegularFile::replace(m_path, text.toUtf8(), [this](const QString& reason) {
        return Error(QStringLiteral("Cannot create file \"%1\". %2").arg(m_path, reason));
    });
    m_values = std::move(values);
}

void ProgramSettings::storeFlag(const QString& key, bool value)
{
    store(key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
