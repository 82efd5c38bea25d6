#include "settings/SyncAccount.h"

#include "settings/ProgramSettings.h"

#include <optional>

namespace {

constexpr qsizetype sha256Size = 32;

std::optional<QString> textOf(const QUrl& url)
{
    if (url.isEmpty())
        return std::nullopt;
    return url.toString(QUrl::FullyEncoded);
}

QUrl urlOf(const std::optional<QString>& text)
{
    return text ? QUrl(*text, QUrl::StrictMode) : QUrl();
}

} // namespace

SyncAccount SyncAccount::load(const ProgramSettings& settings)
{
    SyncAccount account;
    account.url = urlOf(settings.value(urlKey));
    account.user = settings.value(userKey).value_or(QString());
    account.calendar = urlOf(settings.value(calendarKey));
    bool number = false;
    const int minutes = settings.value(minutesKey).value_or(QString()).toInt(&number);
    if (number && minutes >= 0 && minutes <= maxMinutes)
        account.minutes = minutes;
    const QByteArray hex = settings.value(certificateKey).value_or(QString()).toLatin1();
    const QByteArray digest = QByteArray::fromHex(hex);
    if (digest.size() == sha256Size && digest.toHex() == hex.toLower())
        account.trustedCertificate = digest;
    return account;
}

void SyncAccount::store(ProgramSettings& settings) const
{
    settings.store(urlKey, textOf(url));
    settings.store(userKey, user.isEmpty() ? std::nullopt : std::optional<QString>(user));
    settings.store(calendarKey, textOf(calendar));
    settings.store(minutesKey, QString::number(minutes));
    settings.store(certificateKey, trustedCertificate.isEmpty()
                                       ? std::nullopt
                                       : std::optional<QString>(QString::fromLatin1(trustedCertificate.toHex())));
}

QUrl SyncAccount::urlFromText(const QString& text)
{
    const QString typed = text.trimmed();
    if (typed.isEmpty())
        return {};
    QUrl url(typed.contains(QStringLiteral("://")) ? typed : QStringLiteral("https://") + typed, QUrl::TolerantMode);
    url.setPassword({});
    return url;
}
