// Exporting a list of 100,000 rows to an iCalendar file against a bare libical loop that builds the same
// components with the same properties from the same rows and writes them out, side by side. Before measuring, both
// write their calendar once and the two files must be the same byte for byte, so the ratio is what the program
// adds to libical's own work: reading the list, its texts and dates, and the safe write.
#include "export/IcsExport.h"

#include "ListedDiary.h"
#include "SideBySide.h"
#include "databind/Field.h"
#include "diary/EventUids.h"
#include "base/Clock.h"
#include "base/DateSerial.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QTimeZone>

#include <benchmark/benchmark.h>
#include <libical/ical.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int rows = 100000;

// Every kind of row in turn: the yearly dates become events, the rest to-dos, six of them recurring.
DiaryRows calendarRows()
{
    DiaryRows full;
    full.events = rows;
    full.periods = {QStringLiteral("критическое"),  QStringLiteral("ежечасное"),     QStringLiteral("ежедневное"),
                    QStringLiteral("еженедельное"), QStringLiteral("ежемесячное"),   QStringLiteral("ежеквартальное"),
                    QStringLiteral("ежегодное"),    QStringLiteral("День рождения"), QStringLiteral("Памятная дата")};
    full.other = DiaryRows::Text::Numbered;
    full.dates = true;
    full.planned = true;
    return full;
}

ListedDiary& diary()
{
    static ListedDiary d(calendarRows());
    return d;
}

const QString diaryId = QStringLiteral("/home/user/diary");

// DTSTAMP is the moment of the export: fixed, so that the two calendars can be compared.
const QDateTime stampMoment(QDate(2026, 12, 7), QTime(9, 30), Qt::UTC);

// A row as plain values, read out of the list beforehand, so the bare loop does nothing but build and write.
struct PlainRow
{
    long long id = 0;
    std::string job;
    std::string period;
    std::string note;
    bool hasDate = false;
    icaltimetype date = icaltime_null_date();
    int timeOfDay = -1; // seconds, -1 for none
    bool hasShed = false;
    icaltimetype shed = icaltime_null_date();
    int shedTimeOfDay = 0;
    bool done = false;
};

icaltimetype plainDate(double serial)
{
    const QDate d = DateSerial::toDate(serial);
    icaltimetype value = icaltime_null_date();
    value.year = d.year();
    value.month = d.month();
    value.day = d.day();
    return value;
}

int plainTime(double serial)
{
    return DateSerial::toTime(serial).msecsSinceStartOfDay() / 1000;
}

const std::vector<PlainRow>& plainRows()
{
    static const std::vector<PlainRow> out = [] {
        std::vector<PlainRow> read;
        RecordSet& list = diary().list();
        const auto field = [&list](const char* name) -> Field& { return list.fieldByName(QString::fromLatin1(name)); };
        const auto text = [&](const char* name) {
            const Field& f = field(name);
            return f.isNull() ? std::string() : f.value().toString().toStdString();
        };
        for (int row = 0; row < list.recordCount(); ++row) {
            list.setActiveRow(row);
            PlainRow r;
            r.id = field("id_job").value().toLongLong();
            r.job = text("job");
            r.period = text("period");
            r.note = text("other");
            if (!field("date_isp").isNull()) {
                r.hasDate = true;
                r.date = plainDate(field("date_isp").asSerial());
            }
            if (!field("time_isp").isNull())
                r.timeOfDay = plainTime(field("time_isp").asSerial());
            if (!field("date_shed").isNull()) {
                r.hasShed = true;
                r.shed = plainDate(field("date_shed").asSerial());
            }
            if (!field("time_shed").isNull())
                r.shedTimeOfDay = plainTime(field("time_shed").asSerial());
            r.done = !field("vip").isNull() && field("vip").asBoolean();
            read.push_back(std::move(r));
        }
        list.setActiveRow(-1);
        return read;
    }();
    return out;
}

// The month and day of date in year, 29 February falling on the 28th in other years.
icaltimetype inYear(icaltimetype date, int year)
{
    date.year = year;
    if (date.month == 2 && date.day == 29 && !icaltime_is_leap_year(year))
        date.day = 28;
    return date;
}

// Seconds from the opening of the reminder window to the start of the day.
int windowSeconds(const PlainRow& row)
{
    const icaltimetype due = inYear(row.date, row.date.year);
    icaltimetype opens = inYear(row.shed, row.date.year);
    if (icaltime_compare_date_only(opens, due) > 0)
        opens = inYear(row.shed, row.date.year - 1);
    return static_cast<int>(icaltime_as_timet(due) - icaltime_as_timet(opens)) - row.shedTimeOfDay;
}

void put(std::FILE* file, char* text)
{
    std::fputs(text, file);
    std::free(text);
}

// The whole calendar written with libical and stdio alone; false when the file could not be written.
bool writeBare(const std::vector<PlainRow>& plain, const char* path)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    const QByteArray zoneId = QTimeZone::systemTimeZoneId();
    icaltimezone* zone = icaltimezone_get_builtin_timezone(zoneId.constData());
    const icaltimetype stamp =
        icaltime_from_timet_with_zone(stampMoment.toSecsSinceEpoch(), 0, icaltimezone_get_utc_timezone());
    const std::string diaryHash =
        QCryptographicHash::hash(diaryId.toUtf8(), QCryptographicHash::Sha256).toHex().left(16).toStdString();
    const std::map<std::string, icalrecurrencetype> rules{
        {"ежечасное", icalrecurrencetype_from_string("FREQ=HOURLY")},
        {"ежедневное", icalrecurrencetype_from_string("FREQ=DAILY")},
        {"еженедельное", icalrecurrencetype_from_string("FREQ=WEEKLY")},
        {"ежемесячное", icalrecurrencetype_from_string("FREQ=MONTHLY")},
        {"ежеквартальное", icalrecurrencetype_from_string("FREQ=MONTHLY;INTERVAL=3")},
        {"ежегодное", icalrecurrencetype_from_string("FREQ=YEARLY")},
    };
    const icalrecurrencetype yearly = icalrecurrencetype_from_string("FREQ=YEARLY");
    const icalrecurrencetype lastOfFebruary = icalrecurrencetype_from_string("FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1");
    const auto addProperty = [](icalcomponent* component, icalproperty* property) {
        icalcomponent_add_property(component, property);
    };
    const auto zoned = [&](icalproperty* property) {
        icalproperty_add_parameter(property, icalparameter_new_tzid(zoneId.constData()));
        return property;
    };

    std::fputs("BEGIN:VCALENDAR\r\n", file);
    for (icalproperty* property :
         {icalproperty_new_version("2.0"), icalproperty_new_prodid("-//Chronoteka//Chronoteka 0.1//RU"),
          icalproperty_new_calscale("GREGORIAN")}) {
        put(file, icalproperty_as_ical_string_r(property));
        icalproperty_free(property);
    }
    icalcomponent* zoneComponent = icalcomponent_new_clone(icaltimezone_get_component(zone));
    icalproperty_set_tzid(icalcomponent_get_first_property(zoneComponent, ICAL_TZID_PROPERTY), zoneId.constData());
    put(file, icalcomponent_as_ical_string_r(zoneComponent));
    icalcomponent_free(zoneComponent);

    char uid[96];
    std::string summary;
    for (const PlainRow& row : plain) {
        std::snprintf(uid, sizeof uid, "%lld-%s@chronoteka", row.id, diaryHash.c_str());
        const bool birthday = row.period == "День рождения";
        icalcomponent* component = nullptr;
        if ((birthday || row.period == "Памятная дата") && row.hasDate) {
            component = icalcomponent_new_vevent();
            addProperty(component, icalproperty_new_uid(uid));
            addProperty(component, icalproperty_new_dtstamp(stamp));
            summary = birthday ? "День рождения: " + row.job : row.job;
            addProperty(component, icalproperty_new_summary(summary.c_str()));
            addProperty(component, icalproperty_new_dtstart(row.date));
            icaltimetype next = row.date;
            icaltime_adjust(&next, 1, 0, 0, 0);
            addProperty(component, icalproperty_new_dtend(next));
            addProperty(component, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
            addProperty(component,
                        icalproperty_new_rrule(row.date.month == 2 && row.date.day == 29 ? lastOfFebruary : yearly));
            if (!row.note.empty())
                addProperty(component, icalproperty_new_description(row.note.c_str()));
            if (row.hasShed) {
                icalcomponent* alarm = icalcomponent_new_valarm();
                addProperty(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
                addProperty(alarm, icalproperty_new_description(summary.c_str()));
                addProperty(alarm, icalproperty_new_trigger(icaltriggertype_from_int(-windowSeconds(row))));
                icalcomponent_add_component(component, alarm);
            }
        } else {
            component = icalcomponent_new_vtodo();
            addProperty(component, icalproperty_new_uid(uid));
            addProperty(component, icalproperty_new_dtstamp(stamp));
            addProperty(component, icalproperty_new_summary(row.job.c_str()));
            if (row.hasDate) {
                icaltimetype due = row.date;
                if (row.timeOfDay >= 0) {
                    due.is_date = 0;
                    due.hour = row.timeOfDay / 3600;
                    due.minute = row.timeOfDay / 60 % 60;
                    due.second = row.timeOfDay % 60;
                }
                const auto withZone = [&](icalproperty* property) {
                    return row.timeOfDay >= 0 ? zoned(property) : property;
                };
                addProperty(component, withZone(icalproperty_new_due(due)));
                const auto rule = rules.find(row.period);
                if (rule != rules.end()) {
                    addProperty(component, withZone(icalproperty_new_dtstart(due)));
                    addProperty(component, icalproperty_new_rrule(rule->second));
                }
            }
            addProperty(component, icalproperty_new_status(row.done ? ICAL_STATUS_COMPLETED : ICAL_STATUS_NEEDSACTION));
            if (!row.note.empty())
                addProperty(component, icalproperty_new_description(row.note.c_str()));
        }
        put(file, icalcomponent_as_ical_string_r(component));
        icalcomponent_free(component);
    }
    std::fputs("END:VCALENDAR\r\n", file);
    return std::fclose(file) == 0;
}

void BM_BareLibicalLoop(benchmark::State& state)
{
    const std::vector<PlainRow>& plain = plainRows();
    const QByteArray path = QFile::encodeName(diary().file("bare.ics"));
    for (auto _ : state) {
        if (!writeBare(plain, path.constData()))
            state.SkipWithError("the bare loop could not write its file");
    }
    state.counters["rows"] = static_cast<double>(plain.size());
}

void BM_ExportList(benchmark::State& state)
{
    plainRows(); // the same warm-up as the bare loop
    RecordSet& list = diary().list();
    const QString path = diary().file("export.ics");
    using Clock = std::chrono::steady_clock;
    const auto milliseconds = [](Clock::duration span) {
        return std::chrono::duration<double, std::milli>(span).count();
    };
    double longestGap = 0;
    for (auto _ : state) {
        auto last = Clock::now();
        const bool written = IcsExport::write(list, path, EventUids(diaryId), [&](int, int) {
            const auto now = Clock::now();
            longestGap = std::max(longestGap, milliseconds(now - last));
            last = now;
            return true;
        });
        if (!written)
            state.SkipWithError("export cancelled");
        longestGap = std::max(longestGap, milliseconds(Clock::now() - last));
    }
    state.counters["rows"] = list.recordCount();
    state.counters["longest_progress_gap_ms"] = longestGap;
}

// Repeated, so that the figure is a ratio of medians: one export takes over a second, long enough for a busy
// machine to slow one run of the two.
BENCHMARK(BM_BareLibicalLoop)->Unit(benchmark::kMillisecond)->MinTime(1)->Repetitions(5)->UseRealTime();
BENCHMARK(BM_ExportList)->Unit(benchmark::kMillisecond)->MinTime(1)->Repetitions(5)->UseRealTime();

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Both write their calendar once; a figure comparing different files would mean nothing.
bool sameCalendars()
{
    const QString bare = diary().file("bare.ics");
    const QString exported = diary().file("export.ics");
    if (!writeBare(plainRows(), QFile::encodeName(bare).constData()) ||
        !IcsExport::write(diary().list(), exported, EventUids(diaryId))) {
        std::fprintf(stderr, "a calendar could not be written\n");
        return false;
    }
    const QByteArray a = contents(bare);
    const QByteArray b = contents(exported);
    if (a.isEmpty() || a != b) {
        std::fprintf(stderr, "the bare loop and the export wrote different calendars: %s and %s\n",
                     QFile::encodeName(bare).constData(), QFile::encodeName(exported).constData());
        return false;
    }
    std::printf("the bare loop and the export write the same calendar: %lld bytes, %d rows, zone %s\n",
                static_cast<long long>(a.size()), rows, QTimeZone::systemTimeZoneId().constData());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // A zone with summer time, so that every local time names it and the calendar carries its VTIMEZONE.
    qputenv("TZ", "Europe/Berlin");
    QCoreApplication app(argc, argv);
    Clock::setFixed(stampMoment.toLocalTime());
    ::benchmark::Initialize(&argc, argv);
    if (::benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!sameCalendars())
        return 1;
    SideBySideReporter reporter;
    ::benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string figure = "iCalendar export / bare libical loop, " + std::to_string(rows) + " rows";
    reporter.printRatio(figure.c_str(), "BM_ExportList", "BM_BareLibicalLoop", "medians; at most 1.5");
    ::benchmark::Shutdown();
    return 0;
}
