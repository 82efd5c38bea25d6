#pragma once

#include "sync/CalDavClient.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>

// Two-way sync of the diary with one calendar collection, run on a thread of its own through a connection of its
// own, so that neither a slow server nor a first sync of many events holds up the window.
class CalendarSync : public QObject
{
    Q_OBJECT
public:
    // What a sync did.
    struct Outcome
    {
        // Events of the diary written, added or deleted by the sync, for the window to re-read its list.
        int diaryChanges = 0;
        // Events both sides changed since the last sync, kept twice.
        int conflicts = 0;
        // What did not go over, one text the user reads for each object: an event the server refused, an object
        // that could not be read or mapped. Each is told by the sync that meets it, and not again by later syncs
        // of the session until it changes.
        QStringList problems;
        // Why it stopped; empty when it completed. What it had done by then is kept, and the next sync goes on.
        QString error;
        bool cancelled = false;
    };

    // connectionString names the diary, diaryId is its identity (for the events' UIDs).
    CalendarSync(QString connectionString, QString diaryId, QObject* parent = nullptr);
    // Cancels a sync under way and waits for its thread.
    ~CalendarSync() override;
    CalendarSync(const CalendarSync&) = delete;
    CalendarSync& operator=(const CalendarSync&) = delete;

    // Starts a sync of the diary with the calendar; asked while one runs, one more runs after it.
    void start(const CalDavClient::Account& account, const QUrl& calendar);
    // Stops the sync under way as soon as it can; what it had done is kept.
    void cancel();
    bool running() const;

signals:
    // How many of the objects this sync sends and fetches are done; emitted on the window's thread.
    void progress(int done, int total);
    void finished(const CalendarSync::Outcome& outcome);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
