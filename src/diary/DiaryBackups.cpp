#include "diary/DiaryBackups.h"

#include "base/Clock.h"
#include "base/Error.h"
#include "diary/DiaryBackend.h"
#include "diary/DiaryCopy.h"
#include "diary/DiaryIdentity.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/sqlite/SqliteBackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>

#include <algorithm>
#include <map>
#include <tuple>

namespace {

const QString momentFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss");
// "<identity>_<moment>.mdb", or "<identity>_<moment>_<n>.mdb" for a second copy within the same second.
const QRegularExpression
    backupName(QStringLiteral("^(.+)_(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)(?:_\\d+)?\\.mdb$"));

// The diary's own tables that a restore leaves as they are: its identity, and the sync's record of what the
// calendar holds, so that the sync sends the restored events as changes rather than take them for the calendar's.
const QStringList keptByRestore = {QStringLiteral("chronoteka_property"),
                                   QStringLiteral("chronoteka_caldav_collection"),
                                   QStringLiteral("chronoteka_caldav_object")};

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

Error backupFailed(const QString& reason)
{
    return Error(QStringLiteral("Не удалось сделать резервную копию ежедневника: %1").arg(reason));
}

QString megabytes(qint64 bytes)
{
    return QString::number((bytes + (1 << 20) - 1) >> 20);
}

} // namespace

DiaryBackups::DiaryBackups(QString folder, QString connectionString, Limits limits)
    : m_folder(std::move(folder)), m_connectionString(std::move(connectionString)), m_limits(limits)
{
}

QString DiaryBackups::identity() const
{
    Connection diary(DiaryBackend::open(m_connectionString), JobTable::schema());
    return DiaryIdentity::of(diary);
}

void DiaryBackups::copyTo(const QString& connectionString, const QString& path)
{
    if (!Connection::namesServer(connectionString)) {
        SqliteBackup::copy(Connection::dataSourcePath(connectionString), path);
        return;
    }
    // A server's diary goes row by row, with its identity, into a new file beside the copy's name.
    const QFileInfo target(path);
    if (target.exists() || target.isSymLink())
        throw Error(QStringLiteral("Файл «%1» уже существует.").arg(shown(path)));
    const QString temporary = target.dir().filePath(QStringLiteral(".%1.new").arg(target.fileName()));
    QFile::remove(temporary);
    try {
        DiaryCopy::copy(connectionString, JobTable::connectionString(temporary));
        SqliteBackup::stamp(temporary);
        if (!QFile::rename(temporary, path))
            throw Error(QStringLiteral("Не удалось создать файл «%1».").arg(shown(path)));
    } catch (...) {
        QFile::remove(temporary);
        QFile::remove(temporary + QStringLiteral("-wal"));
        QFile::remove(temporary + QStringLiteral("-shm"));
        throw;
    }
}

QString DiaryBackups::make(const QString& spared)
{
    try {
        if (!QDir().mkpath(m_folder))
            throw Error(QStringLiteral("не удалось создать папку «%1»").arg(shown(m_folder)));
        const QString id = identity();
        const QString moment = Clock::now().toString(momentFormat);
        QString path = QDir(m_folder).filePath(QStringLiteral("%1_%2.mdb").arg(id, moment));
        for (int n = 2; QFileInfo::exists(path); ++n)
            path = QDir(m_folder).filePath(QStringLiteral("%1_%2_%3.mdb").arg(id, moment).arg(n));
        copyTo(m_connectionString, path);
        rotate(id, path, spared);
        return path;
    } catch (const Error& error) {
        if (error.text().startsWith(QStringLiteral("Не удалось сделать резервную копию")))
            throw;
        throw backupFailed(error.text());
    }
}

void DiaryBackups::rotate(const QString& identity, const QString& made, const QString& spared)
{
    std::vector<Backup> copies = ofDiary(identity, false);
    std::vector<QDateTime> moments;
    for (const Backup& copy : copies)
        moments.push_back(copy.made);
    const std::vector<bool> keep = kept(moments, Clock::now());
    std::vector<Backup> left;
    for (std::size_t i = 0; i < copies.size(); ++i) {
        if (keep[i] || copies[i].path == made || copies[i].path == spared)
            left.push_back(copies[i]);
        else
            QFile::remove(copies[i].path);
    }

    // Every copy in the folder counts, of whatever diary, since they share the disk.
    const QStorageInfo disk(m_folder);
    const qint64 share = disk.isValid() ? disk.bytesTotal() / 100 * m_limits.diskPercent : m_limits.maxBytes;
    const qint64 budget = std::min(share, m_limits.maxBytes);
    qint64 total = 0;
    for (const QFileInfo& file : QDir(m_folder).entryInfoList({QStringLiteral("*.mdb")}, QDir::Files))
        total += file.size();
    // The oldest of this diary's copies go first; the one just made goes last.
    for (auto copy = left.rbegin(); total > budget && copy != left.rend(); ++copy) {
        if (copy->path == made || copy->path == spared)
            continue;
        if (QFile::remove(copy->path))
            total -= copy->size;
    }
    if (total > budget) {
        QFile::remove(made);
        throw backupFailed(QStringLiteral("резервные копии заняли бы больше %1 МБ (%2% диска, но не больше %3 МБ).")
                               .arg(megabytes(total))
                               .arg(m_limits.diskPercent)
                               .arg(megabytes(m_limits.maxBytes)));
    }
}

std::vector<DiaryBackups::Backup> DiaryBackups::ofDiary(const QString& identity, bool withEvents) const
{
    std::vector<Backup> found;
    for (const QFileInfo& file : QDir(m_folder).entryInfoList({identity + QStringLiteral("_*.mdb")}, QDir::Files)) {
        const QRegularExpressionMatch match = backupName.match(file.fileName());
        if (!match.hasMatch() || match.captured(1) != identity)
            continue;
        Backup backup;
        backup.path = file.filePath();
        backup.made = QDateTime::fromString(match.captured(2), momentFormat);
        backup.size = file.size();
        if (withEvents) {
            const SqliteBackup::Checked checked = SqliteBackup::check(backup.path, JobTable::schema(), false);
            if (checked.verdict == SqliteBackup::Verdict::Diary)
                backup.events = checked.events;
        }
        if (backup.made.isValid())
            found.push_back(backup);
    }
    std::sort(found.begin(), found.end(),
              [](const Backup& a, const Backup& b) { return std::tie(a.made, a.path) > std::tie(b.made, b.path); });
    return found;
}

bool DiaryBackups::madeOn(const QDate& day) const
{
    const std::vector<Backup> copies = ofDiary(identity(), false);
    return std::any_of(copies.begin(), copies.end(), [&day](const Backup& copy) { return copy.made.date() == day; });
}

std::vector<DiaryBackups::Backup> DiaryBackups::list() const
{
    return ofDiary(identity(), true);
}

std::vector<bool> DiaryBackups::kept(const std::vector<QDateTime>& made, const QDateTime& now)
{
    std::vector<bool> keep(made.size(), false);
    const QDate today = now.date();
    // The newest copy in each period: a day, an ISO week, a month, each counted back from today.
    std::map<qint64, std::size_t> days;
    std::map<qint64, std::size_t> weeks;
    std::map<qint64, std::size_t> months;
    const auto newest = [&made](std::map<qint64, std::size_t>& periods, qint64 period, std::size_t i) {
        auto [entry, added] = periods.emplace(period, i);
        if (!added && made[i] > made[entry->second])
            entry->second = i;
    };
    for (std::size_t i = 0; i < made.size(); ++i) {
        // A copy of the last day, or one from a clock that was ahead, always stays.
        if (made[i] > now.addDays(-1))
            keep[i] = true;
        const QDate day = made[i].date();
        const qint64 daysBack = day.daysTo(today);
        if (daysBack < 7)
            newest(days, daysBack, i);
        const qint64 weeksBack = (today.addDays(1 - today.dayOfWeek())).daysTo(day.addDays(1 - day.dayOfWeek())) / -7;
        if (weeksBack < 4)
            newest(weeks, weeksBack, i);
        const qint64 monthsBack = (today.year() - day.year()) * 12 + today.month() - day.month();
        if (monthsBack < 6)
            newest(months, monthsBack, i);
    }
    for (const auto* periods : {&days, &weeks, &months})
        for (const auto& [period, i] : *periods)
            keep[i] = true;
    return keep;
}

qint64 DiaryBackups::check(const QString& path)
{
    const SqliteBackup::Checked checked = SqliteBackup::check(path, JobTable::schema());
    switch (checked.verdict) {
    case SqliteBackup::Verdict::Diary:
        return checked.events;
    case SqliteBackup::Verdict::NotRegular:
        if (!checked.reason.isEmpty())
            throw Error(
                QStringLiteral("Не удалось прочитать резервную копию «%1»: %2").arg(shown(path), checked.reason));
        throw Error(
            QStringLiteral("«%1» — не обычный файл (устройство, канал или папка); восстанавливать из него нечего.")
                .arg(shown(path)));
    case SqliteBackup::Verdict::NotDiary:
        break;
    case SqliteBackup::Verdict::Newer:
        throw Error(QStringLiteral("Резервная копия «%1» сделана более новой версией программы; восстановить из неё "
                                   "может только она.")
                        .arg(shown(path)));
    case SqliteBackup::Verdict::Damaged:
        throw Error(QStringLiteral("Резервная копия «%1» повреждена; восстановить из неё нельзя.").arg(shown(path)));
    }
    throw Error(QStringLiteral("Файл «%1» — не резервная копия ежедневника.").arg(shown(path)));
}

qint64 DiaryBackups::restore(const QString& path)
{
    const qint64 events = check(path);
    if (Connection::namesServer(m_connectionString))
        throw Error(QStringLiteral("Восстановить из резервной копии можно только ежедневник в файле; ежедневник на "
                                   "сервере не изменён."));
    make(path);
    try {
        SqliteBackup::restore(Connection::dataSourcePath(m_connectionString), path, JobTable::schema(), keptByRestore,
                              Connection::defaultBusyTimeout);
    } catch (const Error& error) {
        throw Error(QStringLiteral("Не удалось восстановить ежедневник из резервной копии: %1 Ежедневник не изменён.")
                        .arg(error.text()));
    }
    return events;
}
