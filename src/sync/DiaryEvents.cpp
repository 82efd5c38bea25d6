#include "sync/DiaryEvents.h"

#include "base/DateSerial.h"
#include "diary/JobTable.h"

#include <QCryptographicHash>
#include <QDateTime>

namespace {

using JobTable::Column;

// The columns read, in this order.
constexpr Column readColumns[] = {Column::IdJob, Column::Job,   Column::Period, Column::DateIsp,  Column::TimeIsp,
                                  Column::Vip,   Column::Other, Column::Napom,  Column::DateShed, Column::TimeShed};
// The columns written, in the order values() gives them.
constexpr Column writtenColumns[] = {Column::Job,   Column::Period, Column::DateIsp,  Column::TimeIsp, Column::Vip,
                                     Column::Other, Column::Napom,  Column::DateShed, Column::TimeShed};

QString columnList(std::span<const Column> columns, const QString& each = QStringLiteral("%1"))
{
    QStringList names;
    for (Column c : columns)
        names << each.arg(JobTable::name(c));
    return names.join(QStringLiteral(", "));
}

const QString selectAll = QStringLiteral("SELECT %1 FROM job").arg(columnList(readColumns));
const QString selectOne = selectAll + QStringLiteral(" WHERE id_job = ?");

QDate dateOf(const QVariant& value)
{
    return value.isNull() ? QDate() : DateSerial::toDate(value.toDouble());
}

QTime timeOf(const QVariant& value)
{
    if (value.isNull())
        return {};
    // Whole seconds, as a calendar keeps them.
    const QTime time = DateSerial::toTime(value.toDouble());
    return time.isValid() ? QTime(time.hour(), time.minute(), time.second()) : time;
}

DiaryEvents::Event eventOf(const std::vector<QVariant>& row)
{
    DiaryEvents::Event event;
    event.id = row[0].toLongLong();
    event.job = row[1].toString();
    event.period = row[2].toString();
    event.date = dateOf(row[3]);
    event.time = timeOf(row[4]);
    event.done = row[5].toBool();
    event.note = row[6].toString();
    event.napom = row[7].toBool();
    event.shedDate = dateOf(row[8]);
    event.shedTime = timeOf(row[9]);
    return event;
}

QVariant dateValue(const QDate& date)
{
    return date.isValid() ? QVariant(date) : QVariant();
}

QVariant timeValue(const QTime& time)
{
    return time.isValid() ? QVariant(QDateTime(DateSerial::epoch(), time)) : QVariant();
}

QVariant textValue(const QString& text, int size)
{
    return size > 0 && text.size() > size ? text.left(size) : text;
}

QList<QVariant> valuesOf(const DiaryEvents::Event& event)
{
    const auto size = [](Column c) { return JobTable::columns()[static_cast<std::size_t>(c)].size; };
    return {textValue(event.job, size(Column::Job)),
            event.period.isEmpty() ? QVariant() : textValue(event.period, size(Column::Period)),
            dateValue(event.date),
            timeValue(event.time),
            event.done,
            event.note.isEmpty() ? QVariant() : QVariant(event.note),
            event.napom,
            dateValue(event.shedDate),
            timeValue(event.shedTime)};
}

void appendDigits(QByteArray& text, int number, int digits)
{
    char written[4];
    for (int i = digits - 1; i >= 0; --i, number /= 10)
        written[i] = static_cast<char>('0' + number % 10);
    text.append(written, digits);
}

// As QDate::toString(Qt::ISODate) writes it: nothing for a date that is not valid or has no four-digit year.
void appendIsoDate(QByteArray& text, const QDate& date)
{
    if (!date.isValid() || date.year() < 0 || date.year() > 9999)
        return;
    appendDigits(text, date.year(), 4);
    text += '-';
    appendDigits(text, date.month(), 2);
    text += '-';
    appendDigits(text, date.day(), 2);
}

// As QTime::toString(Qt::ISODate) writes it, without milliseconds.
void appendIsoTime(QByteArray& text, const QTime& time)
{
    if (!time.isValid())
        return;
    appendDigits(text, time.hour(), 2);
    text += ':';
    appendDigits(text, time.minute(), 2);
    text += ':';
    appendDigits(text, time.second(), 2);
}

} // namespace

std::vector<DiaryEvents::Event> DiaryEvents::all(Backend::Batch& batch)
{
    std::vector<Event> events;
    for (const auto& row : batch.rows(selectAll))
        events.push_back(eventOf(row));
    return events;
}

std::optional<DiaryEvents::Event> DiaryEvents::read(Backend::Batch& batch, qint64 id)
{
    const auto rows = batch.rows(selectOne, {id});
    if (rows.empty())
        return std::nullopt;
    return eventOf(rows.front());
}

DiaryEvents::Event DiaryEvents::insert(Backend::Batch& batch, const Event& event)
{
    static const QString sql =
        QStringLiteral("INSERT INTO job (%1) VALUES (%2)")
            .arg(columnList(writtenColumns), QStringList(std::size(writtenColumns), QStringLiteral("?")).join(u", "));
    const qint64 id = batch.insert(sql, valuesOf(event));
    return *read(batch, id);
}

DiaryEvents::Event DiaryEvents::update(Backend::Batch& batch, const Event& event)
{
    static const QString sql =
        QStringLiteral("UPDATE job SET %1 WHERE id_job = ?").arg(columnList(writtenColumns, QStringLiteral("%1 = ?")));
    batch.run(sql, valuesOf(event) << *event.id);
    return *read(batch, *event.id);
}

void DiaryEvents::remove(Backend::Batch& batch, qint64 id)
{
    batch.run(QStringLiteral("DELETE FROM job WHERE id_job = ?"), {id});
}

DiaryEvents::Event DiaryEvents::asStored(const Event& event)
{
    const auto size = [](Column c) { return JobTable::columns()[static_cast<std::size_t>(c)].size; };
    Event stored = event;
    stored.job = textValue(event.job, size(Column::Job)).toString();
    stored.period = textValue(event.period, size(Column::Period)).toString();
    if (event.time.isValid())
        stored.time = QTime(event.time.hour(), event.time.minute(), event.time.second());
    return stored;
}

QByteArray DiaryEvents::digest(const Event& event)
{
    // The parts joined by a separator, dates and times as ISO texts. Written out by hand: a sync with nothing to do
    // takes the digest of every event, and Qt's date texts took most of its time.
    QByteArray text;
    text.reserve(160);
    const auto separate = [&text] { text += '\x1f'; };
    text += event.job.toUtf8();
    separate();
    text += event.period.toLower().toUtf8();
    separate();
    appendIsoDate(text, event.date);
    separate();
    appendIsoTime(text, event.time);
    separate();
    text += event.done ? '1' : '0';
    separate();
    text += event.note.toUtf8();
    separate();
    text += event.napom ? '1' : '0';
    separate();
    appendIsoDate(text, event.shedDate);
    separate();
    appendIsoTime(text, event.shedTime);
    return QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex();
}

IcsComponents::Row DiaryEvents::component(const Event& event, const QString& uid, Writer writer)
{
    IcsComponents::Row row;
    row.id = event.id.value_or(0);
    row.uid = uid;
    row.job = event.job;
    row.period = event.period;
    row.date = event.date;
    row.time = event.time;
    if (event.napom || writer == Writer::Export) {
        row.shedDate = event.shedDate;
        row.shedTime = event.shedTime;
    }
    row.done = event.done;
    row.note = event.note;
    return row;
}

QByteArray DiaryEvents::objectDigest(const IcsComponents& components, const Event& event, Writer writer)
{
    const std::vector<Event> read =
        IcsImport::read(components.calendarOf(component(event, QString(), writer)), QString());
    return read.empty() ? QByteArray() : digest(read.front());
}
