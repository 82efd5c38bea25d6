#include "support/ConnectionInfo.h"

#include <QStringList>

#include <libpq-fe.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

QString quotedInfoValue(const QString& value)
{
    const bool plain = !value.isEmpty() && std::none_of(value.begin(), value.end(), [](QChar c) {
        return c.isSpace() || c == u'\'' || c == u'\\';
    });
    if (plain)
        return value;
    QString escaped = value;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + escaped + u'\'';
}

} // namespace

QString ConnectionInfo::withKeywords(const QString& info, const QList<std::pair<QByteArray, QString>>& keywords)
{
    char* error = nullptr;
    PQconninfoOption* const options = PQconninfoParse(info.toUtf8().constData(), &error);
    if (!options) {
        const std::string message = QByteArray(error ? error : "out of memory").trimmed().toStdString();
        PQfreemem(error);
        throw std::runtime_error("connection info " + info.toStdString() + ": " + message);
    }
    const auto replaced = [&keywords](const char* keyword) {
        return std::any_of(keywords.begin(), keywords.end(), [keyword](const auto& given) {
            return given.first == keyword || (given.first == "host" && qstrcmp(keyword, "hostaddr") == 0);
        });
    };
    QStringList pairs;
    for (const PQconninfoOption* option = options; option->keyword; ++option) {
        if (option->val && !replaced(option->keyword))
            pairs << QString::fromUtf8(option->keyword) + u'=' + quotedInfoValue(QString::fromUtf8(option->val));
    }
    PQconninfoFree(options);
    for (const auto& [keyword, value] : keywords)
        pairs << QString::fromUtf8(keyword) + u'=' + quotedInfoValue(value);
    return pairs.join(u' ');
}
