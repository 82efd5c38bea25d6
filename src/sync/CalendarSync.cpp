#include "sync/CalendarSync.h"

#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Backend.h"
#include "engine/Connection.h"
#include "sync/Synchronizer.h"

#include <QScopeGuard>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

struct CalendarSync::Private
{
    struct Request
    {
        CalDavClient::Account account;
        QUrl calendar;
    };

    Private(QString connectionString, QString diaryId)
        : connectionString(std::move(connectionString)), diaryId(std::move(diaryId))
    {
    }

    void run(CalendarSync* sync);
    Outcome sync(CalendarSync* self, const Request& request);

    const QString connectionString;
    const QString diaryId;

    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Request> waiting;
    bool syncing = false;
    bool stopping = false;
    bool cancelled = false;
    // The client and backend of the sync under way, to cancel; set and read under the mutex.
    CalDavClient* client = nullptr;
    std::shared_ptr<Backend> backend;
    std::thread thread;
    // Used by the thread alone.
    std::unique_ptr<Connection> connection;
    // What the syncs of this session with memoryOf keep of objects they could not bring over.
    Synchronizer::Memory memory;
    QUrl memoryOf;
};

CalendarSync::CalendarSync(QString connectionString, QString diaryId, QObject* parent)
    : QObject(parent), d(std::make_unique<Private>(std::move(connectionString), std::move(diaryId)))
{
}

CalendarSync::~CalendarSync()
{
    {
        const std::lock_guard lock(d->mutex);
        d->stopping = true;
        d->waiting.reset();
    }
    cancel();
    d->wake.notify_one();
    if (d->thread.joinable())
        d->thread.join();
}

void CalendarSync::start(const CalDavClient::Account& account, const QUrl& calendar)
{
    {
        const std::lock_guard lock(d->mutex);
        d->waiting = Private::Request{account, calendar};
        if (!d->thread.joinable())
            d->thread = std::thread([this] { d->run(this); });
    }
    d->wake.notify_one();
}

void CalendarSync::cancel()
{
    const std::lock_guard lock(d->mutex);
    if (!d->syncing)
        return;
    d->cancelled = true;
    if (d->client)
        d->client->cancel();
    if (d->backend)
        d->backend->interrupt();
}

bool CalendarSync::running() const
{
    const std::lock_guard lock(d->mutex);
    return d->syncing || d->waiting;
}

void CalendarSync::Private::run(CalendarSync* self)
{
    for (;;) {
        Private::Request request;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return stopping || waiting; });
            if (stopping)
                return;
            request = std::move(*waiting);
            waiting.reset();
            syncing = true;
            cancelled = false;
        }
        const Outcome outcome = sync(self, request);
        {
            const std::lock_guard lock(mutex);
            syncing = false;
        }
        QMetaObject::invokeMethod(
            self, [self, outcome] { emit self->finished(outcome); }, Qt::QueuedConnection);
    }
}

CalendarSync::Outcome CalendarSync::Private::sync(CalendarSync* self, const Request& request)
{
    Outcome outcome;
    try {
        if (!connection) {
            std::shared_ptr<Backend> opened = DiaryBackend::open(connectionString);
            connection = std::make_unique<Connection>(opened, JobTable::schema());
            const std::lock_guard lock(mutex);
            backend = std::move(opened);
        }
        // Made on this thread, whose event loop its answers come through.
        CalDavClient server(request.account);
        {
            const std::lock_guard lock(mutex);
            client = &server;
            if (cancelled)
                server.cancel();
        }
        // Forgotten before the client goes, so that a cancel from the window never reaches it gone.
        const auto forget = qScopeGuard([this] {
            const std::lock_guard lock(mutex);
            client = nullptr;
        });
        if (memoryOf != request.calendar) {
            memory = {};
            memoryOf = request.calendar;
        }
        int told = -1;
        outcome = Synchronizer(*connection, server, diaryId, &memory).run(request.calendar, [&](int done, int total) {
            // Told once for each percent: a first sync of many events would flood the window otherwise.
            const int percent = total > 0 ? done * 100 / total : 100;
            if (percent == told)
                return;
            told = percent;
            QMetaObject::invokeMethod(
                self, [self, done, total] { emit self->progress(done, total); }, Qt::QueuedConnection);
        });
    } catch (const std::exception& failure) {
        outcome.error = QString::fromUtf8(failure.what());
    }
    const std::lock_guard lock(mutex);
    if (cancelled) {
        outcome.cancelled = true;
        outcome.error.clear();
    }
    if (!outcome.error.isEmpty() || outcome.cancelled) {
        // Opened anew for the next sync: a server diary that went away may be back by then.
        backend.reset();
        connection.reset();
    }
    return outcome;
}
