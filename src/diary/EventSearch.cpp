#include "diary/EventSearch.h"

#include "base/DateSerial.h"
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "diary/Queries.h"
#include "engine/Backend.h"
#include "engine/Connection.h"
#include "engine/Snapshot.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace {

// The rows of the keys found, in the search's order; a row deleted since the search is left out.
std::vector<FoundEvent> eventsOf(Connection& connection, const std::vector<qint64>& keys)
{
    if (keys.empty())
        return {};
    const std::unique_ptr<Snapshot> rows = connection.select(Queries::foundEvents(keys), {});
    const int id = rows->columnIndex(JobTable::name(JobTable::Column::IdJob));
    const int job = rows->columnIndex(JobTable::name(JobTable::Column::Job));
    const int period = rows->columnIndex(JobTable::name(JobTable::Column::Period));
    const int dateIsp = rows->columnIndex(JobTable::name(JobTable::Column::DateIsp));
    std::unordered_map<qint64, FoundEvent> byKey;
    for (int row = 0; row < rows->rowCount(); ++row) {
        FoundEvent event;
        event.id = rows->value(row, id).toLongLong();
        event.job = rows->value(row, job).toString();
        event.period = rows->value(row, period).toString();
        const QVariant& date = rows->value(row, dateIsp);
        if (!date.isNull() && DateSerial::isShowable(date.toDouble()))
            event.dateIsp = DateSerial::toDateTime(date.toDouble());
        byKey.emplace(event.id, event);
    }
    std::vector<FoundEvent> found;
    for (qint64 key : keys) {
        const auto event = byKey.find(key);
        if (event != byKey.end())
            found.push_back(event->second);
    }
    return found;
}

} // namespace

EventSearch::EventSearch(QString connectionString, QObject* parent)
    : QObject(parent), m_connectionString(std::move(connectionString))
{
}

EventSearch::~EventSearch()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        if (m_backend)
            m_backend->interrupt();
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

quint64 EventSearch::find(const SearchWords& words, int limit)
{
    quint64 number = 0;
    {
        const std::lock_guard lock(m_mutex);
        number = ++m_asked;
        m_waiting = Question{number, words, limit};
        if (!m_thread.joinable())
            m_thread = std::thread(&EventSearch::run, this);
    }
    m_wake.notify_one();
    return number;
}

void EventSearch::run()
{
    for (;;) {
        Question question;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || m_waiting; });
            if (m_stopping)
                return;
            question = std::move(*m_waiting);
            m_waiting.reset();
        }
        answer(question);
    }
}

void EventSearch::answer(const Question& question)
{
    std::vector<FoundEvent> events;
    QString error;
    try {
        if (!m_connection) {
            std::shared_ptr<Backend> backend = DiaryBackend::open(m_connectionString);
            m_connection = std::make_unique<Connection>(backend, JobTable::schema());
            const std::lock_guard lock(m_mutex);
            m_backend = std::move(backend);
        }
        int told = -1;
        m_connection->backend().prepareSearch([&](qint64 done, qint64 total) {
            if (total >= noticeablePreparation) {
                // Others may add events meanwhile, which the total counted at the start leaves out.
                const int percent = static_cast<int>(std::min<qint64>(done * 100 / total, 100));
                if (percent != told) {
                    told = percent;
                    QMetaObject::invokeMethod(
                        this, [this, number = question.number, percent] { emit preparing(number, percent); },
                        Qt::QueuedConnection);
                }
            }
            const std::lock_guard lock(m_mutex);
            return !m_stopping;
        });
        {
            const std::lock_guard lock(m_mutex);
            if (m_stopping)
                return;
        }
        events = eventsOf(*m_connection, m_connection->searchJobs(question.words, question.limit));
    } catch (const std::exception& failure) {
        error = QString::fromUtf8(failure.what());
        // Opened anew for the next question: a server that went away may be back by then.
        {
            const std::lock_guard lock(m_mutex);
            m_backend.reset();
        }
        m_connection.reset();
    }
    QMetaObject::invokeMethod(
        this,
        [this, number = question.number, events = std::move(events), error] { emit found(number, events, error); },
        Qt::QueuedConnection);
}
