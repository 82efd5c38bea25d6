#include "export/IcsImport.h"

#include "databind/RecordSet.h"
#include "diary/DiaryBackend.h"
#include "diary/EventUids.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "export/IcsExport.h"
#include "diary/IcsUid.h"
#include "support/FixedClock.h"
#include "support/InChild.h"
#include "support/TempDiary.h"
#include "support/ZoneScope.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <ostream>

#include <sys/resource.h>
#include <unistd.h>

using Row = IcsImport::Row;

void PrintTo(const Row& row, std::ostream* out)
{
    const auto text = [](const auto& value) { return value.toString(Qt::ISODate).toStdString(); };
    *out << '{' << (row.id ? std::to_string(*row.id) : "-") << ' ' << row.uid.toStdString() << " «"
         << row.job.toStdString() << "» «" << row.period.toStdString() << "» " << text(row.date) << ' '
         << text(row.time) << " napom=" << row.napom << ' ' << text(row.shedDate) << ' ' << text(row.shedTime)
         << " done=" << row.done << " «" << row.note.toStdString() << "»}";
}

namespace {

const QString diaryId = QStringLiteral("/home/user/diary");

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

const QString birthday = QStringLiteral("День рождения");
const QString memorable = QStringLiteral("Памятная дата");

// Rows the export writes whole: each comes back as it went, its id found again from its UID. (A to-do's reminder
// is not written, so the rows that keep one are the yearly dates.)
const Row kept[] = {
    {{}, {}, "Позвонить маме", "", QDate(2027, 3, 5), QTime(14, 30), false, {}, {}, false, "строка 1\nстрока 2"},
    {{}, {}, "Сдать отчёт", "", QDate(2027, 3, 6), {}, false, {}, {}, true, ""},
    {{}, {}, "Когда-нибудь", "", {}, {}, false, {}, {}, false, ""},
    {{}, {}, "Проверка почты", "ежечасное", QDate(2027, 3, 1), QTime(8, 0), false, {}, {}, false, ""},
    {{}, {}, "Зарядка", "ежедневное", QDate(2027, 3, 1), QTime(7, 15), false, {}, {}, false, ""},
    {{}, {}, "Планёрка", "еженедельное", QDate(2027, 3, 1), QTime(9, 0), false, {}, {}, true, ""},
    {{}, {}, "Квартплата", "ежемесячное", QDate(2027, 3, 10), {}, false, {}, {}, false, ""},
    {{}, {}, "Налоги", "ежеквартальное", QDate(2027, 4, 15), {}, false, {}, {}, false, ""},
    // In summer time, which the zone's rules and not a fixed offset must give back.
    {{}, {}, "Техосмотр", "ежегодное", QDate(2027, 7, 20), QTime(11, 45), false, {}, {}, false, ""},
    {{}, {}, "Иван, брат", birthday, QDate(1980, 3, 10), {}, true, QDate(1980, 3, 5), QTime(10, 0), false, "подарок"},
    {{}, {}, "Свадьба", memorable, QDate(2001, 6, 20), {}, false, {}, {}, false, ""},
    // The window opens across the new year, and on the day's start.
    {{}, {}, "Анна", birthday, QDate(1990, 1, 3), {}, true, QDate(1989, 12, 28), {}, false, ""},
    {{}, {}, "Високосный", birthday, QDate(2000, 2, 29), {}, true, QDate(2000, 2, 20), QTime(9, 30), false, ""},
};

class IcsImportRoundTrip : public ::testing::TestWithParam<const char*>
{
};

// In a zone with summer time the export writes local times naming it; in UTC, UTC times.
TEST_P(IcsImportRoundTrip, TheProgramsOwnExportReadsBackAsTheSameRows)
{
    const ZoneScope zone(GetParam());
    const FixedClock clock{QDateTime(QDate(2027, 3, 1), QTime(10, 0))};
    TempDiary diary;
    std::vector<Row> expected;
    for (Row row : kept) {
        QVariantMap values{{QStringLiteral("job"), row.job},
                           {QStringLiteral("period"), row.period},
                           {QStringLiteral("vip"), row.done},
                           {QStringLiteral("napom"), row.napom},
                           {QStringLiteral("other"), row.note}};
        const auto put = [&values](const char* column, const auto& value) {
            if (value.isValid())
                values[QString::fromLatin1(column)] = value;
        };
        put("date_isp", row.date);
        put("time_isp", row.time);
        put("date_shed", row.shedDate);
        put("time_shed", row.shedTime);
        row.id = diary.addRow(values);
        row.uid = IcsUid::of(*row.id, diaryId);
        expected.push_back(row);
    }
    Connection connection(DiaryBackend::open(diary.connectionString()), JobTable::schema());
    RecordSet list(QStringLiteral("QJob"), connection);
    list.setSql({QStringLiteral("select * from job order by id_job")});
    list.open();
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("дневник.ics"));
    ASSERT_TRUE(IcsExport::write(list, path, EventUids(diaryId)));

    EXPECT_EQ(IcsImport::read(contents(path), diaryId), expected);

    // Another diary's rows are new to this one: no id is taken from a UID it did not make.
    for (const Row& row : IcsImport::read(contents(path), QStringLiteral("/home/other/diary")))
        EXPECT_FALSE(row.id) << row.job.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Zones, IcsImportRoundTrip, ::testing::Values("Europe/Berlin", "UTC"), [](const auto& info) {
    return std::string(info.param == std::string("UTC") ? "Utc" : "Berlin");
});

TEST(IcsImport, ACalendarWrittenByAnotherProgramMapsToRows)
{
    const ZoneScope zone("Europe/Berlin");
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("other.ics"));
    QProcess python;
    // Debian's own Python, which python3-icalendar installs into.
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(WRITE_ICS), path});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();

    const std::vector<Row> expected = {
        // 10:00 in New York in winter, 16:00 in Berlin; the zone is named but not described in the file.
        {{},
         "meeting-1@example.org",
         "Встреча, с запятой; и точкой с запятой",
         "",
         QDate(2027, 3, 1),
         QTime(16, 0),
         false,
         {},
         {},
         false,
         "Первая строка\nвторая"},
        // Its moved occurrence is no event of its own.
        {{}, "report-2@example.org", "Отчёт", "еженедельное", QDate(2027, 7, 1), QTime(8, 15), false, {}, {}, true, ""},
        {{},
         "call-3@example.org",
         "Позвонить",
         "",
         QDate(2027, 4, 2),
         {},
         true,
         QDate(2027, 4, 1),
         QTime(21, 30),
         false,
         ""},
        {{}, "anniversary-4@example.org", "Годовщина", memorable, QDate(2010, 8, 15), {}, false, {}, {}, false, ""},
    };
    EXPECT_EQ(IcsImport::read(contents(path), diaryId), expected);
}

// Only the UIDs the export makes for this diary give an id: any other would put an object over an unrelated row.
TEST(IcsImport, OnlyThisDiarysOwnUidsGiveARowsId)
{
    const QString tail = IcsUid::of(7, diaryId).mid(1);
    const struct
    {
        QString uid;
        std::optional<qint64> id;
    } cases[] = {
        {IcsUid::of(7, diaryId), 7},
        {IcsUid::of(9007199254740993, diaryId), 9007199254740993},
        {u'0' + tail, std::nullopt},
        {QStringLiteral("07") + tail, std::nullopt},
        {QStringLiteral("+7") + tail, std::nullopt},
        {QStringLiteral(" 7") + tail, std::nullopt},
        {tail, std::nullopt},
        {QStringLiteral("99999999999999999999") + tail, std::nullopt},
        {IcsUid::of(7, diaryId) + u'x', std::nullopt},
        {IcsUid::of(7, QStringLiteral("/home/user/diary2")), std::nullopt},
        {QStringLiteral("7@example.org"), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IcsUid::idOf(c.uid, diaryId), c.id) << c.uid.toStdString();
}

// A calendar whose line `line` breaks it, folded lines counted as the file's lines.
struct Broken
{
    const char* name;
    QByteArray calendar;
    int line;
    const char* reason;
};

void PrintTo(const Broken& c, std::ostream* out)
{
    *out << c.name;
}

const QByteArray head = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nUID:1@x\r\n";
const QByteArray tail = "END:VTODO\r\nEND:VCALENDAR\r\n";

const Broken broken[] = {
    {"NoColon", head + "SUMMARY без двоеточия\r\n" + tail, 5, "не разобрано «SUMMARY без двоеточия»"},
    {"NoKind", head + "BEGIN:\r\n" + tail, 5, "не разобрано «BEGIN:»"},
    {"BeginAlone", head + "BEGIN\r\n" + tail, 5, "не разобрано «BEGIN»"},
    {"AfterFoldedLines", head + "SUMMARY:очень\r\n  длинная\r\n\tстрока\r\nRRULE:FREQ=SOMETIMES\r\n" + tail, 8,
     "не разобрано «RRULE:FREQ=SOMETIMES»"},
    {"ImpossibleDate", head + "DUE:20271345\r\n" + tail, 5, "неверная дата"},
    {"ImpossibleTime", head + "DUE:20270301T256100\r\n" + tail, 5, "неверная дата"},
    {"NotADate", head + "DUE;VALUE=TEXT:завтра\r\n" + tail, 5, "не разобрано «DUE;VALUE=TEXT:завтра»"},
    {"AlarmAtImpossibleTime",
     head + "DUE:20270301\r\nBEGIN:VALARM\r\nTRIGGER;VALUE=DATE-TIME:20270230T100000Z\r\n" + "END:VALARM\r\n" + tail, 7,
     "неверная дата"},
    {"EndOfAnother", head + "END:VEVENT\r\nEND:VCALENDAR\r\n", 5,
     "«END:VEVENT» не закрывает «BEGIN:VTODO» из строки 3"},
    {"NeverEnded", head, 3, "«BEGIN:VTODO» не закрыт до конца файла"},
    {"EndWithoutBegin", "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\nEND:VTODO\r\n", 3, "«END:VTODO» без начала"},
    {"OutsideTheCalendar", "SUMMARY:x\r\n" + head + tail, 1, "«SUMMARY:x» вне календаря"},
    {"NotACalendar", "BEGIN:VCARD\r\nEND:VCARD\r\n", 1, "календарь должен начинаться с «BEGIN:VCALENDAR»"},
    {"Empty", "\r\n", 1, "в файле нет календаря"},
};

class IcsImportBroken : public ::testing::TestWithParam<Broken>
{
};

TEST_P(IcsImportBroken, IsRefusedNamingTheLine)
{
    const Broken& c = GetParam();
    try {
        IcsImport::read(c.calendar, diaryId);
        FAIL() << "read";
    } catch (const IcsImport::Unreadable& e) {
        EXPECT_EQ(e.line(), c.line);
        EXPECT_TRUE(e.text().startsWith(QStringLiteral("Файл iCalendar не прочитан: строка %1, ").arg(c.line)))
            << e.what();
        EXPECT_TRUE(e.text().contains(QString::fromUtf8(c.reason))) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Calendars, IcsImportBroken, ::testing::ValuesIn(broken),
                         [](const auto& info) { return std::string(info.param.name); });

// A calendar of one to-do whose description is size bytes of Cyrillic text, on one line as some writers leave it
// or folded as most do.
QByteArray withDescription(qsizetype size, bool folded)
{
    const QByteArray word = QStringLiteral("описание ").toUtf8();
    QByteArray line = "DESCRIPTION:";
    line.reserve(size + line.size() + word.size());
    while (line.size() - 12 + word.size() <= size)
        line += word;
    line += QByteArray(size - (line.size() - 12), 'x');
    QByteArray text = head + "SUMMARY:Длинное\r\n";
    if (!folded)
        return text + line + "\r\n" + tail;
    for (qsizetype from = 0; from < line.size(); from += 75)
        text += (from ? " " : "") + line.mid(from, 75) + "\r\n";
    return text + tail;
}

// The description comes whole, at a cost in proportion to its size: reading a line of megabytes once took time in
// the square of its length (10 MB took 190 times as long as 1 MB). The ratio allowed is far above the linear 10,
// which a megabyte that fits in the processor's cache makes up to 75 here, and the best of three runs is taken,
// so that a busy machine does not make it fail.
TEST(IcsImport, ALongDescriptionIsReadWholeAtACostInProportionToItsSize)
{
    for (const bool folded : {false, true}) {
        std::map<qsizetype, double> seconds;
        for (const qsizetype megabytes : {1, 2, 4, 8, 10}) {
            const qsizetype size = megabytes * 1000 * 1000;
            const QByteArray calendar = withDescription(size, folded);
            double best = 1e9;
            for (int run = 0; run < 3; ++run) {
                QElapsedTimer timer;
                timer.start();
                const std::vector<Row> rows = IcsImport::read(calendar, diaryId);
                best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e9);
                ASSERT_EQ(rows.size(), 1u);
                EXPECT_EQ(rows[0].note.toUtf8().size(), size);
            }
            seconds[megabytes] = best;
            std::printf("%s, %lld MB: %.3f s\n", folded ? "folded" : "one line", static_cast<long long>(megabytes),
                        best);
        }
        EXPECT_LT(seconds[10] / seconds[1], 120.0) << (folded ? "folded" : "one line");
    }
}

// A description past the length libical's parser is spared reads as a short one does: its escapes undone alike.
TEST(IcsImport, ALongDescriptionsEscapesAreUndoneAsAShortOnes)
{
    const QByteArray escaped = "запятая\\, точка с запятой\\; строка\\nи\\Nещё\\\\ косая|";
    const QString meant = QStringLiteral("запятая, точка с запятой; строка\nи\nещё\\ косая|");
    // An escape RFC 5545 does not know is read as libical reads it, whatever the length.
    const QByteArray odd = escaped + "\\x";
    const QString shortOdd = IcsImport::read(head + "DESCRIPTION:" + odd + "\r\n" + tail, diaryId).at(0).note;
    for (const int repeats : {1, 10, 5000}) {
        SCOPED_TRACE(repeats);
        std::vector<Row> rows =
            IcsImport::read(head + "DESCRIPTION:" + escaped.repeated(repeats) + "\r\n" + tail, diaryId);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].note.toStdString(), meant.repeated(repeats).toStdString());
        rows = IcsImport::read(head + "DESCRIPTION:" + escaped.repeated(repeats) + odd + "\r\n" + tail, diaryId);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].note.toStdString(), (meant.repeated(repeats) + shortOdd).toStdString());
        const std::vector<Row> spaced =
            IcsImport::read(head + "DESCRIPTION:" + escaped.repeated(repeats) + " \t \r\n" + tail, diaryId);
        EXPECT_EQ(spaced.at(0).note.toStdString(), meant.repeated(repeats).toStdString());
    }
}

// The memory a read of a description of 10 MB takes beyond the calendar it reads, in a process of its own whose
// peak starts where the read does, as a multiple of the description's size: the value once in libical and once in
// the row, with what the allocator keeps of the blocks freed meanwhile (2.3 to 3.3 here). Handed whole to
// libical's parser, the value was copied three times over besides.
TEST(IcsImport, ALongDescriptionIsReadInMemoryInProportionToItsSize)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer holds freed blocks back for a while, which the peak would count";
#endif
    for (const bool folded : {false, true}) {
        const QString taken = inChild([folded] {
            constexpr qsizetype size = 10 * 1000 * 1000;
            const QByteArray calendar = withDescription(size, folded);
            QFile statm(QStringLiteral("/proc/self/statm"));
            statm.open(QIODevice::ReadOnly);
            const qint64 before = statm.readAll().split(' ').value(1).toLongLong() * ::sysconf(_SC_PAGESIZE);
            const std::vector<Row> rows = IcsImport::read(calendar, diaryId);
            struct rusage usage = {};
            ::getrusage(RUSAGE_SELF, &usage);
            return QString::number(static_cast<double>(usage.ru_maxrss * 1024 - before) / size, 'f', 2);
        });
        std::printf("%s: %s times the description's size\n", folded ? "folded" : "one line", qPrintable(taken));
        EXPECT_LE(taken.toDouble(), 4.0) << (folded ? "folded" : "one line");
    }
}

} // namespace
