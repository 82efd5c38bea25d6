#include "sync/Synchronizer.h"

#include "engine/Connection.h"
#include "export/IcsComponents.h"
#include "diary/EventUids.h"
#include "diary/IcsUid.h"
#include "sync/DiaryEvents.h"
#include "sync/ObjectMerge.h"
#include "sync/SyncState.h"

#include <QCryptographicHash>
#include <QUuid>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace {

using Event = DiaryEvents::Event;
using Object = CalDavClient::Object;
using Failure = CalDavClient::Failure;

// Objects fetched in one request and applied in one transaction; and the objects sent whose state is stored in
// one transaction. A sync stopped between two loses none of them: an object sent whose state was not stored is
// found again by its UID.
constexpr std::size_t objectsPerStep = 100;
// Rounds of sending: a conflict met while sending makes a copy, sent in the next round.
constexpr int sendingRounds = 3;

bool isSafeInPath(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_' ||
           c == u'.';
}

// The name of a new object: its UID where that is safe in a URL, otherwise a digest of it.
QString fileNameOf(const QString& uid)
{
    if (!uid.isEmpty() && uid.size() <= 100 && std::all_of(uid.begin(), uid.end(), isSafeInPath))
        return uid + QStringLiteral(".ics");
    return QString::fromLatin1(QCryptographicHash::hash(uid.toUtf8(), QCryptographicHash::Sha1).toHex()) +
           QStringLiteral(".ics");
}

// What tells an object from the others of its collection: its name, whatever form of its path the server gives.
QString keyOf(const QString& href)
{
    return QUrl::fromPercentEncoding(href.section(u'/', -1, -1, QString::SectionSkipEmpty).toUtf8());
}

// The summary in an object's text, read as plainly as a text that may be broken allows (bytes that are not UTF-8, an
// answer that is not XML): what names the object to the user. Empty when there is none.
QString summaryIn(const QByteArray& data)
{
    const QByteArrayView name("SUMMARY");
    for (qsizetype at = data.indexOf(name); at >= 0; at = data.indexOf(name, at + name.size())) {
        const qsizetype after = at + name.size();
        if ((at > 0 && data[at - 1] != '\n') || after >= data.size() || (data[after] != ':' && data[after] != ';'))
            continue;
        qsizetype end = data.indexOf('\n', after);
        if (end < 0)
            end = data.size();
        const qsizetype colon = data.indexOf(':', after);
        if (colon < 0 || colon >= end)
            continue;
        constexpr qsizetype longest = 80;
        QString summary = QString::fromUtf8(data.mid(colon + 1, std::min(end - colon - 1, longest * 4))).trimmed();
        summary.replace(QStringLiteral("\\,"), QStringLiteral(",")).replace(QStringLiteral("\\;"), QStringLiteral(";"));
        return summary.size() > longest ? summary.left(longest) + u'…' : summary;
    }
    return QString();
}

// One run of a sync: what it knows of the diary, the collection and the state, kept in step with the database. A
// batch may be tried again (Backend::writeBatch), so what its work changes here is journalled and undone before
// another try.
class Run
{
public:
    Run(Connection& diary, CalDavClient& client, const QString& diaryId, const QUrl& calendar,
        const Synchronizer::Progress& progress, Synchronizer::Memory& memory)
        : m_diary(diary), m_client(client), m_diaryId(diaryId), m_components(diaryId), m_calendar(calendar),
          m_collection(calendar.toString(QUrl::StripTrailingSlash)),
          m_members(calendar.adjusted(QUrl::StripTrailingSlash).path(QUrl::FullyEncoded) + u'/'), m_progress(progress),
          m_memory(memory)
    {
    }

    // What was stored by a sync that stops is counted all the same, for the window to show it.
    CalendarSync::Outcome sync()
    {
        try {
            syncAll();
        } catch (const Failure& failure) {
            if (failure.kind() == Failure::Kind::Cancelled)
                m_outcome.cancelled = true;
            else
                m_outcome.error = QString::fromUtf8(failure.what());
        } catch (const std::exception& failure) {
            m_outcome.error = QString::fromUtf8(failure.what());
        }
        return m_outcome;
    }

private:
    void syncAll()
    {
        QByteArray token;
        EventUids::prepare(m_diary);
        write([&](Backend::Batch& batch) {
            SyncState::prepare(batch);
            token = SyncState::token(batch, m_collection);
            m_events.clear();
            m_digests.clear();
            for (Event& event : DiaryEvents::all(batch))
                m_events.emplace(*event.id, std::move(event));
            m_state.clear();
            m_byHref.clear();
            for (const SyncState::Object& object : SyncState::objects(batch, m_collection)) {
                m_byHref[keyOf(object.href)] = object.id;
                m_state.emplace(object.id, object);
            }
            m_uids = EventUids::read(batch, m_diaryId);
        });
        const CalDavClient::Changes changes = m_client.changes(m_calendar, token);
        receive(changes);
        send();
        if (!changes.syncToken.isEmpty() && changes.syncToken != token)
            write([&](Backend::Batch& batch) { SyncState::storeToken(batch, m_collection, changes.syncToken); });
    }

    // The server's changes: the objects changed fetched and applied a step at a time, then those gone.
    void receive(const CalDavClient::Changes& changes)
    {
        std::vector<QString> changed;
        std::unordered_set<QString> listed;
        for (const Object& object : changes.changed) {
            const QString key = keyOf(object.href);
            listed.insert(key);
            m_listedEtags[key] = object.etag;
            // Told already, and unchanged since: not fetched again.
            if (const auto unreadable = m_memory.unreadable.find(key);
                unreadable != m_memory.unreadable.end() && unreadable->second == object.etag)
                continue;
            const SyncState::Object* known = stateOfHref(object.href);
            if (!known || known->etag != object.etag)
                changed.push_back(object.href);
        }
        std::vector<QString> gone = changes.removed;
        if (changes.complete)
            for (const auto& [id, known] : m_state)
                if (!listed.count(keyOf(known.href)))
                    gone.push_back(known.href);
        m_total = static_cast<int>(changed.size()) + localWork();
        report();
        for (std::size_t first = 0; first < changed.size(); first += objectsPerStep) {
            const std::vector<QString> step(changed.begin() + first,
                                            changed.begin() + std::min(changed.size(), first + objectsPerStep));
            const std::vector<Object> objects = m_client.fetch(m_calendar, step);
            std::unordered_set<QString> fetched;
            write([&](Backend::Batch& batch) {
                for (const Object& object : objects) {
                    fetched.insert(keyOf(object.href));
                    applyObject(batch, object);
                }
            });
            // Deleted between the listing and the fetch.
            for (const QString& href : step)
                if (!fetched.count(keyOf(href)))
                    gone.push_back(href);
            m_done += static_cast<int>(step.size());
            report();
        }
        if (!gone.empty())
            write([&](Backend::Batch& batch) {
                for (const QString& href : gone)
                    applyRemoval(batch, href);
            });
    }

    // The diary's new, changed and deleted events sent, their state stored a step at a time.
    void send()
    {
        for (int round = 0; round < sendingRounds; ++round) {
            std::vector<qint64> added, changed, deleted;
            for (const auto& [id, event] : m_events) {
                const SyncState::Object* known = find(m_state, id);
                if (held(id))
                    continue;
                if (!known)
                    added.push_back(id);
                else if (digestOf(id) != known->digest)
                    changed.push_back(id);
            }
            for (const auto& [id, known] : m_state)
                if (!m_events.count(id) && !held(id))
                    deleted.push_back(id);
            if (added.empty() && changed.empty() && deleted.empty())
                return;
            if (round > 0) {
                m_total += static_cast<int>(added.size() + changed.size() + deleted.size());
                report();
            }
            // The order of ids: the events the diary made first are sent first.
            std::sort(added.begin(), added.end());
            try {
                for (qint64 id : added)
                    sendNew(id);
                for (qint64 id : changed)
                    sendChange(id);
                for (qint64 id : deleted)
                    sendDeletion(id);
            } catch (...) {
                storeSent();
                throw;
            }
            storeSent();
        }
    }

    int localWork()
    {
        int work = 0;
        for (const auto& [id, event] : m_events) {
            const SyncState::Object* known = find(m_state, id);
            work += (!known || digestOf(id) != known->digest) && !held(id);
        }
        for (const auto& [id, known] : m_state)
            work += !m_events.count(id) && !held(id);
        return work;
    }

    // An event whose change is not sent this time: the server refused it as it stands (it goes again once it
    // changes), or its object can't be read, so that a write would lose what another client made of it (the
    // diary's edits wait for the object to read again, and then meet it as a conflict that keeps both).
    bool held(qint64 id)
    {
        const bool present = m_events.count(id) > 0;
        if (const auto refused = m_memory.refused.find(id); refused != m_memory.refused.end()) {
            if (present ? refused->second == digestOf(id) : refused->second.isEmpty())
                return true;
        }
        const SyncState::Object* known = find(m_state, id);
        const QString key = known ? keyOf(known->href) : present ? fileNameOf(uidOf(id)) : QString();
        return !key.isEmpty() && m_memory.unreadable.count(key);
    }

    // The server would not take the event's change: told once, and not sent again until it changes.
    void refuse(qint64 id, const QString& reason)
    {
        QString name;
        if (const Event* event = find(m_events, id)) {
            m_memory.refused.insert_or_assign(id, digestOf(id));
            name = event->job;
            m_outcome.problems << QStringLiteral("Синхронизация: «%1» не отправлено: %2.").arg(name, reason);
            return;
        }
        m_memory.refused.insert_or_assign(id, QByteArray());
        write([&](Backend::Batch& batch) { name = summaryIn(SyncState::text(batch, m_collection, id)); });
        m_outcome.problems << QStringLiteral("Синхронизация: удаление «%1» не отправлено: %2.").arg(name, reason);
    }

    // An object that can't be read or mapped, told once for each version of it. The diary's event of it, if any,
    // stays as it is.
    void unreadable(const Object& object, const QString& reason)
    {
        const QString key = keyOf(object.href);
        const auto listed = m_listedEtags.find(key);
        const QByteArray etag = !object.etag.isEmpty() || listed == m_listedEtags.end() ? object.etag : listed->second;
        if (const auto told = m_memory.unreadable.find(key); told != m_memory.unreadable.end() && told->second == etag)
            return;
        journal(m_memory.unreadable, key);
        m_memory.unreadable.insert_or_assign(key, etag);
        const QString summary = summaryIn(object.data);
        QString text =
            summary.isEmpty()
                ? QStringLiteral("Синхронизация: объект %1 не перенесён в ежедневник: %2.").arg(object.href, reason)
                : QStringLiteral("Синхронизация: объект «%1» (%2) не перенесён в ежедневник: %3.")
                      .arg(summary, object.href, reason);
        if (const std::optional<qint64> id = idOfHref(object.href); id && find(m_events, *id))
            text += QStringLiteral(" Мероприятие «%1» оставлено в ежедневнике как есть, объект на сервере не тронут.")
                        .arg(find(m_events, *id)->job);
        m_outcome.problems << text;
        m_journal.push_back([this] { m_outcome.problems.removeLast(); });
    }

    void sendNew(qint64 id)
    {
        const Event& event = m_events.at(id);
        const QString href = m_members + fileNameOf(uidOf(id));
        const QByteArray text = m_components.calendarOf(DiaryEvents::component(event, uidOf(id)));
        QByteArray etag;
        try {
            etag = m_client.put(href, text, QByteArray());
        } catch (const Failure& failure) {
            if (failure.kind() == Failure::Kind::Refused) {
                refuse(id, failure.text());
                done();
                return;
            }
            if (failure.kind() != Failure::Kind::PreconditionFailed)
                throw;
            // There already: sent by a sync whose answer was lost, or made by another client with this name. A
            // server that answers so with nothing under the name holds the UID under another one, and would answer
            // so at every sync.
            if (!settle(href))
                refuse(id, QStringLiteral("сервер календаря не принял его (412 Precondition Failed), а объекта %1 на "
                                          "нём нет; видимо, событие с тем же UID хранится там под другим именем")
                               .arg(href));
            return;
        }
        sent({id, href, etag.isEmpty() ? etagOf(href) : etag, DiaryEvents::digest(event)}, text);
    }

    void sendChange(qint64 id)
    {
        const Event& event = m_events.at(id);
        const SyncState::Object known = m_state.at(id);
        QByteArray lastSeen;
        write([&](Backend::Batch& batch) { lastSeen = SyncState::text(batch, m_collection, id); });
        const QByteArray ours = m_components.calendarOf(DiaryEvents::component(event, uidOf(id)));
        const QByteArray text = ObjectMerge::merge(lastSeen, ours, event, known.digest);
        QByteArray etag;
        try {
            etag = m_client.put(known.href, text, known.etag);
        } catch (const Failure& failure) {
            if (failure.kind() == Failure::Kind::Refused) {
                refuse(id, failure.text());
                done();
                return;
            }
            if (failure.kind() != Failure::Kind::PreconditionFailed)
                throw;
            settle(known.href);
            return;
        }
        sent({id, known.href, etag.isEmpty() ? etagOf(known.href) : etag, DiaryEvents::digest(event)}, text);
    }

    void sendDeletion(qint64 id)
    {
        const SyncState::Object known = m_state.at(id);
        try {
            m_client.remove(known.href, known.etag);
        } catch (const Failure& failure) {
            if (failure.kind() == Failure::Kind::Refused) {
                refuse(id, failure.text());
                done();
                return;
            }
            if (failure.kind() != Failure::Kind::PreconditionFailed)
                throw;
            settle(known.href);
            return;
        }
        m_sent.push_back([this, id](Backend::Batch& batch) {
            SyncState::remove(batch, m_collection, id);
            eraseState(id);
        });
        done();
    }

    // Someone else changed the object at href meanwhile: their version is applied as a change of theirs. Whether
    // the server has an object there.
    bool settle(const QString& href)
    {
        storeSent();
        const std::vector<Object> theirs = m_client.fetch(m_calendar, {href});
        write([&](Backend::Batch& batch) {
            if (theirs.empty())
                applyRemoval(batch, href);
            else
                applyObject(batch, theirs.front());
        });
        done();
        return !theirs.empty();
    }

    void sent(const SyncState::Object& object, const QByteArray& text)
    {
        m_memory.refused.erase(object.id);
        m_sent.push_back([this, object, text](Backend::Batch& batch) { keepState(batch, object, text); });
        done();
        if (m_sent.size() >= objectsPerStep)
            storeSent();
    }

    void storeSent()
    {
        if (m_sent.empty())
            return;
        write([&](Backend::Batch& batch) {
            for (const auto& work : m_sent)
                work(batch);
        });
        m_sent.clear();
    }

    QByteArray etagOf(const QString& href)
    {
        const std::vector<Object> objects = m_client.fetch(m_calendar, {href});
        return objects.empty() ? QByteArray() : objects.front().etag;
    }

    // An object of the server as the diary's event: new, changed, or the same as the diary has it.
    void applyObject(Backend::Batch& batch, const Object& object)
    {
        // What the diary can't hold stays on the server as it is, told to the user.
        if (!object.unreadable.isEmpty()) {
            unreadable(object, object.unreadable);
            return;
        }
        std::vector<Event> read;
        try {
            read = IcsImport::read(object.data, m_diaryId);
        } catch (const IcsImport::Unreadable& failure) {
            unreadable(object, failure.where());
            return;
        }
        if (read.empty()) {
            unreadable(object, QStringLiteral("в нём нет ни события, ни задачи"));
            return;
        }
        if (m_memory.unreadable.count(keyOf(object.href))) {
            journal(m_memory.unreadable, keyOf(object.href));
            m_memory.unreadable.erase(keyOf(object.href));
        }
        Event theirs = read.front();
        const QString uid = theirs.uid;
        std::optional<qint64> id = idOfHref(object.href);
        if (!id) {
            const std::optional<qint64> owner = eventOfUid(uid);
            if (owner && find(m_state, *owner)) {
                unreadable(
                    object,
                    QStringLiteral("событие с тем же UID уже связано с объектом %1").arg(find(m_state, *owner)->href));
                return;
            }
            if (owner && find(m_events, *owner))
                id = owner;
        }
        const SyncState::Object* known = id ? find(m_state, *id) : nullptr;
        const std::optional<SyncState::Object> before = known ? std::optional(*known) : std::nullopt;
        const Event* local = id ? current(batch, *id) : nullptr;
        if (local) {
            const Event ours = *local;
            // An object met for the first time may be the diary's own export that the user put on the server.
            const QByteArray theirDigest = DiaryEvents::digest(theirs);
            if (DiaryEvents::objectDigest(m_components, ours) == theirDigest ||
                (!before &&
                 DiaryEvents::objectDigest(m_components, ours, DiaryEvents::Writer::Export) == theirDigest)) {
                keepState(batch, {*id, object.href, object.etag, DiaryEvents::digest(ours)}, object.data);
                return;
            }
            if (!before || DiaryEvents::digest(ours) != before->digest) {
                // Both changed: theirs in its place, ours beside it as a copy to be sent.
                Event copy = ours;
                copy.id.reset();
                copy.job = markedAsCopy(copy.job);
                setEvent(DiaryEvents::insert(batch, copy));
                count(m_outcome.conflicts);
                count(m_outcome.diaryChanges);
            }
            theirs.id = *id;
            const Event stored = DiaryEvents::update(batch, theirs);
            setEvent(stored);
            count(m_outcome.diaryChanges);
            keepState(batch, {*id, object.href, object.etag, DiaryEvents::digest(stored)}, object.data);
            return;
        }
        // New to the diary; or deleted here and changed there, when the changed one stays.
        if (before) {
            SyncState::remove(batch, m_collection, before->id);
            eraseState(before->id);
        }
        theirs.id.reset();
        const Event stored = DiaryEvents::insert(batch, theirs);
        setEvent(stored);
        count(m_outcome.diaryChanges);
        if (uid != IcsUid::of(*stored.id, m_diaryId))
            keepUid(batch, *stored.id, uid);
        keepState(batch, {*stored.id, object.href, object.etag, DiaryEvents::digest(stored)}, object.data);
    }

    // An object gone from the server: its event goes too, unless the diary changed it since.
    void applyRemoval(Backend::Batch& batch, const QString& href)
    {
        if (m_memory.unreadable.count(keyOf(href))) {
            journal(m_memory.unreadable, keyOf(href));
            m_memory.unreadable.erase(keyOf(href));
        }
        const std::optional<qint64> id = idOfHref(href);
        if (!id)
            return;
        const SyncState::Object known = m_state.at(*id);
        if (const Event* local = current(batch, *id)) {
            if (DiaryEvents::digest(*local) == known.digest) {
                DiaryEvents::remove(batch, *id);
                eraseEvent(*id);
                count(m_outcome.diaryChanges);
            }
        }
        // An event kept has no state now, so it is sent again as a new object.
        SyncState::remove(batch, m_collection, *id);
        eraseState(*id);
    }

    // The event as the diary holds it now, read in the transaction that is about to write it: the user may have
    // saved an edit since the sync read the diary, which the sync must weigh rather than overwrite.
    const Event* current(Backend::Batch& batch, qint64 id)
    {
        const std::optional<Event> event = DiaryEvents::read(batch, id);
        if (!event) {
            if (find(m_events, id))
                eraseEvent(id);
            return nullptr;
        }
        setEvent(*event);
        return find(m_events, id);
    }

    void keepState(Backend::Batch& batch, const SyncState::Object& object, const QByteArray& text)
    {
        SyncState::store(batch, m_collection, object, text);
        setState(object);
    }

    static QString markedAsCopy(const QString& job)
    {
        const QString mark = Synchronizer::conflictMark();
        constexpr int longest = 250;
        return job.left(longest - mark.size()) + mark;
    }

    // The digest of the diary's event, taken once a sync unless the event changes: a sync with nothing to do
    // compares every event's.
    const QByteArray& digestOf(qint64 id)
    {
        const auto cached = m_digests.find(id);
        if (cached != m_digests.end())
            return cached->second;
        return m_digests.emplace(id, DiaryEvents::digest(m_events.at(id))).first->second;
    }

    QString uidOf(qint64 id) const { return m_uids->uidOf(id); }

    // The event of the diary with that UID: one it kept, or one of its own that is there.
    std::optional<qint64> eventOfUid(const QString& uid) const
    {
        const std::optional<qint64> id = m_uids->eventOf(uid);
        return id && find(m_events, *id) ? id : std::nullopt;
    }

    // An event inserted keeps the UID its object has.
    void keepUid(Backend::Batch& batch, qint64 id, const QString& uid) { m_uids->keep(batch, id, uid); }

    std::optional<qint64> idOfHref(const QString& href) const
    {
        const auto found = m_byHref.find(keyOf(href));
        return found == m_byHref.end() ? std::nullopt : std::optional(found->second);
    }

    const SyncState::Object* stateOfHref(const QString& href) const
    {
        const std::optional<qint64> id = idOfHref(href);
        return id ? find(m_state, *id) : nullptr;
    }

    template <typename Map> static const typename Map::mapped_type* find(const Map& map, qint64 id)
    {
        const auto found = map.find(id);
        return found == map.end() ? nullptr : &found->second;
    }

    // One transaction; what its work changed here stands only when it is stored.
    void write(const std::function<void(Backend::Batch&)>& work)
    {
        const QByteArray token = QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
        const std::optional<EventUids> uids = m_uids;
        const auto restore = [&] {
            undo();
            m_uids = uids;
        };
        try {
            m_diary.writeBatch(token, [&](Backend::Batch& batch) {
                restore();
                work(batch);
            });
        } catch (...) {
            restore();
            throw;
        }
        m_journal.clear();
    }

    void undo()
    {
        m_digests.clear();
        while (!m_journal.empty()) {
            m_journal.back()();
            m_journal.pop_back();
        }
    }

    template <typename Map, typename Key> void journal(Map& map, const Key& key)
    {
        const auto found = map.find(key);
        if (found == map.end())
            m_journal.push_back([&map, key] { map.erase(key); });
        else
            m_journal.push_back([&map, key, old = found->second] { map.insert_or_assign(key, old); });
    }

    void setEvent(const Event& event)
    {
        m_digests.erase(*event.id);
        journal(m_events, *event.id);
        m_events.insert_or_assign(*event.id, event);
    }

    void eraseEvent(qint64 id)
    {
        m_digests.erase(id);
        journal(m_events, id);
        m_events.erase(id);
    }

    void setState(const SyncState::Object& object)
    {
        if (const SyncState::Object* old = find(m_state, object.id); old && keyOf(old->href) != keyOf(object.href)) {
            journal(m_byHref, keyOf(old->href));
            m_byHref.erase(keyOf(old->href));
        }
        journal(m_state, object.id);
        journal(m_byHref, keyOf(object.href));
        m_state.insert_or_assign(object.id, object);
        m_byHref.insert_or_assign(keyOf(object.href), object.id);
    }

    void eraseState(qint64 id)
    {
        const SyncState::Object* old = find(m_state, id);
        if (!old)
            return;
        journal(m_byHref, keyOf(old->href));
        m_byHref.erase(keyOf(old->href));
        journal(m_state, id);
        m_state.erase(id);
    }

    void count(int& counter)
    {
        ++counter;
        m_journal.push_back([&counter] { --counter; });
    }

    void done()
    {
        ++m_done;
        m_total = std::max(m_total, m_done);
        report();
    }

    void report() const
    {
        if (m_progress)
            m_progress(m_done, m_total);
    }

    Connection& m_diary;
    CalDavClient& m_client;
    const QString& m_diaryId;
    const IcsComponents m_components;
    const QUrl m_calendar;
    const QString m_collection;
    // The path the collection's objects are named under: the collection's own with its closing slash, which an
    // address typed without one lacks.
    const QString m_members;
    const Synchronizer::Progress& m_progress;
    Synchronizer::Memory& m_memory;
    // The ETags the listing gave, by the objects' names.
    std::unordered_map<QString, QByteArray> m_listedEtags;

    std::unordered_map<qint64, Event> m_events;
    std::unordered_map<qint64, QByteArray> m_digests;
    std::unordered_map<qint64, SyncState::Object> m_state;
    std::unordered_map<QString, qint64> m_byHref;
    std::optional<EventUids> m_uids;
    std::vector<std::function<void()>> m_journal;
    // The state of objects sent, not yet stored.
    std::vector<std::function<void(Backend::Batch&)>> m_sent;

    CalendarSync::Outcome m_outcome;
    int m_done = 0;
    int m_total = 0;
};

} // namespace

Synchronizer::Synchronizer(Connection& diary, CalDavClient& client, const QString& diaryId, Memory* memory)
    : m_diary(diary), m_client(client), m_diaryId(diaryId), m_memory(memory)
{
}

Synchronizer::~Synchronizer() = default;

CalendarSync::Outcome Synchronizer::run(const QUrl& calendar, const Progress& progress)
{
    Memory own;
    Run run(m_diary, m_client, m_diaryId, calendar, progress, m_memory ? *m_memory : own);
    return run.sync();
}

QString Synchronizer::conflictMark()
{
    return QStringLiteral(" (копия при конфликте синхронизации)");
}
