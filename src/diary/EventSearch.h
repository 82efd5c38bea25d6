#pragma once

#include "diary/FoundEvent.h"
#include "engine/SearchWords.h"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class Backend;
class Connection;

// The search of the whole diary on a thread of its own, through a connection of its own, so that neither the first
// build of an index over many events nor a slow server holds up the window. Only the latest question is answered:
// one asked while another is looked up replaces any still waiting. The thread starts at the first question.
class EventSearch : public QObject
{
    Q_OBJECT
public:
    explicit EventSearch(QString connectionString, QObject* parent = nullptr);
    // Interrupts what the thread runs on the diary (a build stops after its step) and waits for it.
    ~EventSearch() override;
    EventSearch(const EventSearch&) = delete;
    EventSearch& operator=(const EventSearch&) = delete;

    // Asks for the events holding the words, at most limit of them; found answers with the number returned.
    quint64 find(const SearchWords& words, int limit);

    // How much work a question waits for before preparing tells of it: less passes unnoticed.
    static constexpr qint64 noticeablePreparation = 5000;

signals:
    // How far the index the question waits for is readied, in percent.
    void preparing(quint64 question, int percent);
    // The events found for the question, newest first; error: why they could not be looked up.
    void found(quint64 question, const std::vector<FoundEvent>& events, const QString& error);

private:
    struct Question
    {
        quint64 number = 0;
        SearchWords words;
        int limit = 0;
    };

    void run();
    void answer(const Question& question);

    const QString m_connectionString;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Question> m_waiting;
    quint64 m_asked = 0;
    bool m_stopping = false;
    // The thread's backend, to interrupt; set and read under the mutex.
    std::shared_ptr<Backend> m_backend;
    std::thread m_thread;
    // Used by the thread alone.
    std::unique_ptr<Connection> m_connection;
};
