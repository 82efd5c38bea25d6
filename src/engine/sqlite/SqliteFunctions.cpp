#include "engine/sqlite/SqliteFunctions.h"

#include "base/CaselessText.h"
#include "base/Clock.h"
#include "base/DateSerial.h"
#include "engine/Dialect.h"
#include "engine/EngineErrors.h"
#include "engine/sqlite/SearchTokenizer.h"
#include "engine/sqlite/SqliteErrors.h"

#include <QByteArray>

#include <sqlite3.h>

#include <cmath>
#include <optional>

namespace {

enum class DatePart { Year, Month, Day };

void now(sqlite3_context* context, int, sqlite3_value**)
{
    sqlite3_result_double(context, DateSerial::fromDateTime(Clock::now()));
}

void today(sqlite3_context* context, int, sqlite3_value**)
{
    sqlite3_result_double(context, DateSerial::fromDate(Clock::today()));
}

std::optional<double> serialOf(sqlite3_value* value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return sqlite3_value_double(value);
    case SQLITE_TEXT: {
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)));
        bool isNumber = false;
        const double number = text.toDouble(&isNumber);
        if (isNumber)
            return number;
        const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
        if (date.isValid())
            return DateSerial::fromDate(date);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

void datePart(sqlite3_context* context, int, sqlite3_value** arguments)
{
    const std::optional<double> serial = serialOf(arguments[0]);
    const QDate date = serial ? DateSerial::toDate(*serial) : QDate();
    if (!date.isValid()) {
        sqlite3_result_null(context);
        return;
    }
    switch (*static_cast<const DatePart*>(sqlite3_user_data(context))) {
    case DatePart::Year:
        sqlite3_result_int(context, date.year());
        break;
    case DatePart::Month:
        sqlite3_result_int(context, date.month());
        break;
    case DatePart::Day:
        sqlite3_result_int(context, date.day());
        break;
    }
}

// A number as & writes it: whole numbers without a decimal point, others with up to 15 significant digits.
QByteArray numberText(double number)
{
    if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 1e15)
        return QByteArray::number(static_cast<qint64>(number));
    return QByteArray::number(number, 'g', 15).toUpper();
}

void appendText(QByteArray& out, sqlite3_value* value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        break;
    case SQLITE_INTEGER:
        out += QByteArray::number(sqlite3_value_int64(value));
        break;
    case SQLITE_FLOAT:
        out += numberText(sqlite3_value_double(value));
        break;
    default:
        out.append(reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
        break;
    }
}

// a & b: a null operand counts as empty text, and only two nulls give null.
void concat(sqlite3_context* context, int, sqlite3_value** arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL && sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    QByteArray out;
    appendText(out, arguments[0]);
    appendText(out, arguments[1]);
    sqlite3_result_text(context, out.constData(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// Texts compared as the dialect compares them: without regard to case, as the program matches stored texts. Read
// straight from the bytes, since a list compares every row it reads with each periodicity it leaves out.
int compareIgnoringCase(void*, int leftSize, const void* left, int rightSize, const void* right)
{
    return CaselessText::compareUtf8(QByteArrayView(static_cast<const char*>(left), leftSize),
                                     QByteArrayView(static_cast<const char*>(right), rightSize));
}

const DatePart year = DatePart::Year;
const DatePart month = DatePart::Month;
const DatePart day = DatePart::Day;

} // namespace

namespace SqliteFunctions {

void install(sqlite3* db)
{
    using Function = void (*)(sqlite3_context*, int, sqlite3_value**);
    constexpr int pure = SQLITE_UTF8 | SQLITE_INNOCUOUS | SQLITE_DETERMINISTIC;
    // The clock may move between statements, so now() and date() must not be folded into constants.
    constexpr int clocked = SQLITE_UTF8 | SQLITE_INNOCUOUS;
    const struct
    {
        const char* name;
        int arguments;
        int flags;
        Function function;
        const DatePart* part;
    } functions[] = {
        {"dialect_now", 0, clocked, now, nullptr},  {"dialect_date", 0, clocked, today, nullptr},
        {"dialect_year", 1, pure, datePart, &year}, {"dialect_month", 1, pure, datePart, &month},
        {"dialect_day", 1, pure, datePart, &day},   {"dialect_concat", 2, pure, concat, nullptr},
    };
    for (const auto& f : functions) {
        const int rc = sqlite3_create_function_v2(db, f.name, f.arguments, f.flags, const_cast<DatePart*>(f.part),
                                                  f.function, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw sqliteError(db, rc);
    }
    const QByteArray collation = Dialect::textCollation.toUtf8();
    const int rc =
        sqlite3_create_collation_v2(db, collation.constData(), SQLITE_UTF8, nullptr, compareIgnoringCase, nullptr);
    if (rc != SQLITE_OK)
        throw sqliteError(db, rc);
    SearchTokenizer::install(db);
}

} // namespace SqliteFunctions
