#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

class ProgramSettings;

// The calendar account the diary syncs with, as the program's settings keep it: everything but the password, which
// only the keyring or the session's memory holds.
struct SyncAccount
{
    static inline const QString urlKey = QStringLiteral("syncUrl");
    static inline const QString userKey = QStringLiteral("syncUser");
    static inline const QString calendarKey = QStringLiteral("syncCalendar");
    static inline const QString minutesKey = QStringLiteral("syncMinutes");
    static inline const QString certificateKey = QStringLiteral("syncTrustedCertificate");
    static constexpr int defaultMinutes = 15;
    static constexpr int maxMinutes = 24 * 60;

    // The server's address or the calendar collection's, as the user gave it; empty turns the sync off.
    QUrl url;
    QString user;
    // The calendar chosen among the account's.
    QUrl calendar;
    // How often the program syncs by itself; 0: only when asked.
    int minutes = defaultMinutes;
    // The SHA-256 digest of the server's certificate the user chose to trust though it does not verify (a server at
    // home); empty: none. A digest is no secret: it is kept as hex text with the rest.
    QByteArray trustedCertificate;

    // Whether there is an account to sync with: an address and a calendar.
    bool isOn() const { return !url.isEmpty() && !calendar.isEmpty(); }

    // The account the settings hold; a number of minutes out of range or unreadable counts as the default, a digest
    // that is not one as none.
    static SyncAccount load(const ProgramSettings& settings);
    // Stores the five keys, removing those with nothing in them. Throws as ProgramSettings::store does.
    void store(ProgramSettings& settings) const;

    // The address typed: without a scheme it is https; blank text gives an empty URL. A password written into
    // the address is dropped, so that none reaches the settings file.
    static QUrl urlFromText(const QString& text);
};
