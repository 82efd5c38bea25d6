#include "databind/DateTimeText.h"

#include <QLocale>

namespace {

QString padded(int number, int width)
{
    return QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

int runLength(const QString& text, qsizetype at)
{
    const QChar letter = text.at(at).toLower();
    qsizetype end = at;
    while (end < text.size() && text.at(end).toLower() == letter)
        ++end;
    return static_cast<int>(end - at);
}

// The order in which day, month and year stand in a Qt date format, e.g. "dMy" for "dd.MM.yyyy".
QString dateOrder(const QString& format)
{
    QString order;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if ((c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) && !order.contains(c))
            order.append(c);
    }
    return order.size() == 3 ? order : QStringLiteral("dMy");
}

class Scanner
{
public:
    explicit Scanner(const QString& text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }
    void skipBlanks()
    {
        while (!atEnd() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }
    bool take(QChar c)
    {
        if (atEnd() || m_text.at(m_pos) != c)
            return false;
        ++m_pos;
        return true;
    }
    bool peek(QChar c) const { return !atEnd() && m_text.at(m_pos) == c; }
    // A run of at most nine digits; digits gives how many there were.
    std::optional<int> number(int* digits = nullptr)
    {
        const qsizetype start = m_pos;
        int value = 0;
        while (!atEnd() && m_text.at(m_pos).isDigit() && m_pos - start < 9)
            value = value * 10 + m_text.at(m_pos++).digitValue();
        if (m_pos == start)
            return std::nullopt;
        if (digits)
            *digits = static_cast<int>(m_pos - start);
        return value;
    }
    bool takeWord(const QString& word)
    {
        if (word.isEmpty() || m_text.mid(m_pos, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        m_pos += word.size();
        return true;
    }

private:
    const QString& m_text;
    qsizetype m_pos = 0;
};

std::optional<QDate> scanDate(Scanner& in, int first, int firstDigits, const FormatSettings& settings, int currentYear)
{
    int numbers[3] = {first, 0, 0};
    int digits[3] = {firstDigits, 0, 0};
    int count = 1;
    while (count < 3 && in.take(settings.dateSeparator)) {
        const std::optional<int> n = in.number(&digits[count]);
        if (!n)
            return std::nullopt;
        numbers[count++] = *n;
    }
    if (count < 2)
        return std::nullopt;

    const QString order = dateOrder(settings.shortDate);
    int day = 0, month = 0, year = currentYear;
    int yearDigits = 4;
    int next = 0;
    for (const QChar part : order) {
        if (part == QLatin1Char('y') && count == 2)
            continue; // day and month alone: this year
        if (part == QLatin1Char('d'))
            day = numbers[next];
        else if (part == QLatin1Char('M'))
            month = numbers[next];
        else {
            year = numbers[next];
            yearDigits = digits[next];
        }
        ++next;
    }
    if (yearDigits <= 2) {
        const int centuryBase = currentYear - 50;
        year += centuryBase / 100 * 100;
        if (year < centuryBase)
            year += 100;
    }
    if (year < 1 || year > 9999)
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QTime> scanTime(Scanner& in, int hour, const FormatSettings& settings)
{
    if (!in.take(settings.timeSeparator))
        return std::nullopt;
    const std::optional<int> minute = in.number();
    if (!minute)
        return std::nullopt;
    int second = 0;
    if (in.take(settings.timeSeparator)) {
        const std::optional<int> s = in.number();
        if (!s)
            return std::nullopt;
        second = *s;
    }
    in.skipBlanks();
    const QLocale locale;
    const bool am = in.takeWord(QStringLiteral("AM")) || in.takeWord(locale.amText());
    const bool pm = !am && (in.takeWord(QStringLiteral("PM")) || in.takeWord(locale.pmText()));
    if (am || pm) {
        if (hour > 12)
            return std::nullopt;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    if (hour > 23 || *minute > 59 || second > 59)
        return std::nullopt;
    return QTime(hour, *minute, second);
}

} // namespace

QString DateTimeText::defaultText(const Moment& moment, const FormatSettings& settings)
{
    const QLocale locale;
    QString text = locale.toString(moment.date, settings.shortDate);
    const QTime& t = moment.time;
    if (t.hour() != 0 || t.minute() != 0 || t.second() != 0)
        text += QLatin1Char(' ') + locale.toString(t, settings.longTime);
    return text;
}

QString DateTimeText::formatted(const Moment& moment, const QString& format, const FormatSettings& settings)
{
    const QLocale locale;
    const QDate& date = moment.date;
    const QTime& time = moment.time;
    QString text;
    bool afterHour = false;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        const QChar lower = c.toLower();
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const qsizetype end = format.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? format.size() : end;
            text += format.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        if (c == QLatin1Char('/')) {
            text += settings.dateSeparator;
            ++i;
            continue;
        }
        if (c == QLatin1Char(':')) {
            text += settings.timeSeparator;
            ++i;
            continue;
        }
        const int run = runLength(format, i);
        if (lower == QLatin1Char('d')) {
            if (run <= 2)
                text += padded(date.day(), run);
            else
                text += locale.dayName(date.dayOfWeek(), run == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
        } else if (lower == QLatin1Char('m') && afterHour) {
            text += padded(time.minute(), qMin(run, 2));
        } else if (lower == QLatin1Char('m')) {
            if (run <= 2)
                text += padded(date.month(), run);
            else
                text += locale.monthName(date.month(), run == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
        } else if (lower == QLatin1Char('y')) {
            text += run <= 2 ? padded(date.year() % 100, 2) : padded(date.year(), 4);
        } else if (lower == QLatin1Char('h')) {
            text += padded(time.hour(), qMin(run, 2));
        } else if (lower == QLatin1Char('n')) {
            text += padded(time.minute(), qMin(run, 2));
        } else if (lower == QLatin1Char('s')) {
            text += padded(time.second(), qMin(run, 2));
        } else if (lower == QLatin1Char('z')) {
            text += padded(time.msec(), run >= 3 ? 3 : 1);
        } else {
            text += format.mid(i, run);
            i += run;
            continue;
        }
        afterHour = lower == QLatin1Char('h');
        i += run;
    }
    return text;
}

std::optional<DateTimeText::Moment> DateTimeText::parse(const QString& text, const FormatSettings& settings,
                                                        int currentYear)
{
    Scanner in(text);
    in.skipBlanks();
    int digits = 0;
    const std::optional<int> first = in.number(&digits);
    if (!first)
        return std::nullopt;

    Moment moment{QDate(1899, 12, 30), QTime(0, 0)};
    if (in.peek(settings.dateSeparator)) {
        const std::optional<QDate> date = scanDate(in, *first, digits, settings, currentYear);
        if (!date)
            return std::nullopt;
        moment.date = *date;
        in.skipBlanks();
        if (!in.atEnd()) {
            const std::optional<int> hour = in.number();
            if (!hour)
                return std::nullopt;
            const std::optional<QTime> time = scanTime(in, *hour, settings);
            if (!time)
                return std::nullopt;
            moment.time = *time;
        }
    } else {
        const std::optional<QTime> time = scanTime(in, *first, settings);
        if (!time)
            return std::nullopt;
        moment.time = *time;
    }
    in.skipBlanks();
    if (!in.atEnd())
        return std::nullopt;
    return moment;
}
