#include "databind/Field.h"

#include "databind/DatabaseError.h"
#include "databind/DateTimeText.h"
#include "databind/FormatSettings.h"
#include "databind/RecordSet.h"
#include "base/Clock.h"
#include "base/CodePoints.h"
#include "base/DateSerial.h"

#include <QLocale>

namespace {

DateTimeText::Moment momentOf(double serial)
{
    return {DateSerial::toDate(serial), DateSerial::toTime(serial)};
}

double serialOf(const DateTimeText::Moment& moment)
{
    return DateSerial::fromDateAndTime(moment.date, moment.time);
}

[[noreturn]] void invalidText(const char* pattern, const QString& text)
{
    throw DatabaseError(QString::fromLatin1(pattern).arg(text));
}

// A date-time read from text: null for blank text.
QVariant dateTimeFromText(const QString& text)
{
    if (text.trimmed().isEmpty())
        return QVariant();
    const std::optional<DateTimeText::Moment> moment =
        DateTimeText::parse(text, FormatSettings::current(), Clock::today().year());
    if (!moment)
        invalidText("'%1' is not a valid date and time", text);
    return serialOf(*moment);
}

} // namespace

Field::Field(RecordSet& recordSet, QString name, FieldKind kind, int size, int index)
    : m_recordSet(&recordSet), m_name(std::move(name)), m_kind(kind), m_size(size), m_index(index)
{
}

int Field::displayWidth() const
{
    if (m_displayWidth > 0)
        return m_displayWidth;
    switch (m_kind) {
    case FieldKind::Text:
        return m_size > 0 ? m_size : 10;
    case FieldKind::Boolean:
        return 5;
    case FieldKind::DateTime:
        return 18;
    default:
        return 10;
    }
}

const QVariant& Field::stored() const
{
    return m_recordSet->storedValue(*this);
}

QVariant Field::value() const
{
    // Read once: every bound control reads its fields at each move.
    const QVariant& v = stored();
    // A stored value is the null QVariant or one of the kind's own, so only a date-time needs converting.
    if (m_kind != FieldKind::DateTime)
        return v;
    if (v.isNull())
        return QVariant();
    const double serial = v.toDouble();
    return DateSerial::isShowable(serial) ? QVariant(DateSerial::toDateTime(serial)) : QVariant();
}

bool Field::isNull() const
{
    // A date-time the program can't show (a foreign diary's, or a damaged one's) reads as no date at all, so that
    // no control, list or export shows a made-up one.
    const QVariant& v = stored();
    return v.isNull() || (m_kind == FieldKind::DateTime && !DateSerial::isShowable(v.toDouble()));
}

bool Field::asBoolean() const
{
    return stored().toBool();
}

QDateTime Field::asDateTime() const
{
    return isNull() ? QDateTime() : DateSerial::toDateTime(stored().toDouble());
}

void Field::setAsDateTime(const QDateTime& value)
{
    setValue(value.isValid() ? QVariant(value) : QVariant());
}

void Field::setValue(const QVariant& value)
{
    if (value.isNull()) {
        m_recordSet->writeValue(*this, QVariant());
        return;
    }
    QVariant stored;
    switch (m_kind) {
    case FieldKind::Boolean:
        stored = value.toBool();
        break;
    case FieldKind::DateTime:
        switch (value.typeId()) {
        case QMetaType::QDateTime:
            if (value.toDateTime().isValid())
                stored = DateSerial::fromDateTime(value.toDateTime());
            break;
        case QMetaType::QDate:
            if (value.toDate().isValid())
                stored = DateSerial::fromDate(value.toDate());
            break;
        case QMetaType::QTime:
            if (value.toTime().isValid())
                stored = DateSerial::fromTime(value.toTime());
            break;
        case QMetaType::QString:
            stored = dateTimeFromText(value.toString());
            break;
        default:
            stored = value.toDouble();
            break;
        }
        break;
    case FieldKind::Text:
    case FieldKind::Memo: {
        // An empty text is stored as null, as a period never chosen is.
        const QString text = value.toString();
        if (!text.isEmpty())
            stored = m_kind == FieldKind::Text && m_size > 0 ? CodePoints::left(text, m_size) : text;
        break;
    }
    case FieldKind::AutoIncrement:
    case FieldKind::Integer:
        stored = value.toLongLong();
        break;
    case FieldKind::Float:
        stored = value.toDouble();
        break;
    }
    m_recordSet->writeValue(*this, std::move(stored));
}

QString Field::displayText() const
{
    if (isNull())
        return QString();
    const QVariant& v = stored();
    switch (m_kind) {
    case FieldKind::DateTime:
        if (!m_displayFormat.isEmpty())
            return DateTimeText::formatted(momentOf(v.toDouble()), m_displayFormat, FormatSettings::current());
        return DateTimeText::defaultText(momentOf(v.toDouble()), FormatSettings::current());
    default:
        return editText();
    }
}

QString Field::editText() const
{
    if (isNull())
        return QString();
    const QVariant& v = stored();
    switch (m_kind) {
    case FieldKind::Boolean:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldKind::DateTime:
        return DateTimeText::defaultText(momentOf(v.toDouble()), FormatSettings::current());
    case FieldKind::Float:
        return QLocale().toString(v.toDouble(), 'g', 15);
    default:
        return v.toString();
    }
}

void Field::setText(const QString& text)
{
    switch (m_kind) {
    case FieldKind::DateTime:
        setValue(dateTimeFromText(text));
        return;
    case FieldKind::Boolean: {
        if (text.isEmpty()) {
            clear();
            return;
        }
        const QString trueText = QStringLiteral("True");
        const QString falseText = QStringLiteral("False");
        if (trueText.startsWith(text, Qt::CaseInsensitive))
            setValue(true);
        else if (falseText.startsWith(text, Qt::CaseInsensitive))
            setValue(false);
        else
            invalidText("'%1' is not a valid boolean value", text);
        return;
    }
    case FieldKind::AutoIncrement:
    case FieldKind::Integer: {
        if (text.trimmed().isEmpty()) {
            clear();
            return;
        }
        bool ok = false;
        const qint64 number = text.trimmed().toLongLong(&ok);
        if (!ok)
            invalidText("'%1' is not a valid integer value", text);
        setValue(number);
        return;
    }
    case FieldKind::Float: {
        if (text.trimmed().isEmpty()) {
            clear();
            return;
        }
        bool ok = false;
        const double number = QLocale().toDouble(text.trimmed(), &ok);
        if (!ok)
            invalidText("'%1' is not a valid floating point value", text);
        setValue(number);
        return;
    }
    case FieldKind::Text:
    case FieldKind::Memo:
        setValue(text);
        return;
    }
}
