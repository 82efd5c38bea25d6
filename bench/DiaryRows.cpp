#include "DiaryRows.h"

#include "diary/JobTable.h"
#include "base/DateSerial.h"
#include "engine/sqlite/SqliteSchema.h"

#include <QDate>
#include <QFile>

#include <sqlite3.h>

#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Text of exactly length characters, Cyrillic words as a Russian diary holds.
QString sampleWords(std::mt19937& random, int length)
{
    static const QString words[] = {QStringLiteral("позвонить"), QStringLiteral("купить"), QStringLiteral("отчёт"),
                                    QStringLiteral("встреча"),   QStringLiteral("в"),      QStringLiteral("банк"),
                                    QStringLiteral("подарок"),   QStringLiteral("Анне"),   QStringLiteral("2026")};
    QString text;
    while (text.size() < length)
        text += words[random() % std::size(words)] + u' ';
    return text.left(length);
}

// Text of exactly length characters, words drawn so that the few most common fill much of it, as in real notes.
QString prose(std::mt19937& random, int length)
{
    static const QStringList words =
        QStringLiteral(
            "в на и с к по для не позвонить купить подарок встреча отчёт банк маме папе Анне Ивану завтра утром "
            "вечером "
            "срочно важно подарки подарков позвонил купил отчёта отчёты встречу встречи банке врачу врач стоматолога "
            "стоматолог паспорт паспорта продлить оплатить счёт счета квартиру квартира машину машина ремонт ремонта "
            "документы документов письмо письма отправить забрать заказать день рождения праздник ёлку ёлка билеты "
            "билет поезд самолёт отпуск отпуска работа работе проект проекта совещание совещания договор договора "
            "налог "
            "налоговую страховка страховку детей школа школу садик молоко хлеб продукты аптека лекарства спортзал "
            "тренировка книгу книги прочитать написать подготовить презентацию клиент клиенту звонок понедельник "
            "пятницу субботу 2026 2027 коллегам соседям бабушке дедушке юбилей свадьба свадьбу цветы торт ресторан "
            "столик забронировать гостиницу визу консульство ключи мастер сантехник электрик интернет телефон "
            "зарядку ноутбук починить вернуть библиотеку посылку почту курьер доставка сдать анализы прививку "
            "ветеринар кота собаку корм дачу рассаду семена удобрения шины техосмотр права штраф")
            .split(u' ');
    QString text;
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    while (text.size() < length) {
        const double u = uniform(random);
        text += words[static_cast<qsizetype>(u * u * u * static_cast<double>(words.size()))] + u' ';
    }
    return text.left(length);
}

QByteArray textOf(DiaryRows::Text kind, int length, const QString& numbered, std::mt19937& random)
{
    switch (kind) {
    case DiaryRows::Text::None:
        return {};
    case DiaryRows::Text::Numbered:
        return numbered.toUtf8();
    case DiaryRows::Text::Words:
        return sampleWords(random, length).toUtf8();
    case DiaryRows::Text::Prose:
        return prose(random, length).toUtf8();
    }
    return {};
}

void check(sqlite3* db, int result, int expected)
{
    if (result != expected)
        throw std::runtime_error(std::string("filling the diary: ") + sqlite3_errmsg(db));
}

} // namespace

DiaryRows DiaryRows::searched()
{
    bool set = false;
    const int events = qEnvironmentVariableIntValue("CHRONOTEKA_SEARCH_EVENTS", &set);
    DiaryRows rows;
    rows.events = set && events > 0 ? events : 1000000;
    rows.job = Text::Prose;
    rows.jobLength = 40;
    rows.other = Text::Prose;
    rows.otherLength = 100;
    return rows;
}

void DiaryRows::writeTo(const QString& path) const
{
    if (periods.isEmpty())
        throw std::invalid_argument("events need at least one period");
    SqliteSchema::createEmptyDatabase(path, JobTable::schema());
    sqlite3* opened = nullptr;
    const int openResult = sqlite3_open(QFile::encodeName(path).constData(), &opened);
    const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(opened, sqlite3_close);
    check(db.get(), openResult, SQLITE_OK);

    QStringList columns{QStringLiteral("job"), QStringLiteral("period"), QStringLiteral("vip")};
    if (other != Text::None)
        columns << QStringLiteral("other");
    if (dates)
        columns << QStringLiteral("date_zap") << QStringLiteral("date_isp") << QStringLiteral("time_isp");
    if (planned)
        columns << QStringLiteral("date_shed") << QStringLiteral("time_shed");
    if (reminders)
        columns << QStringLiteral("napom") << QStringLiteral("interval");
    const QStringList marks(columns.size(), QStringLiteral("?"));
    const QByteArray sql = QStringLiteral("insert into job (%1) values (%2)")
                               .arg(columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")))
                               .toUtf8();

    check(db.get(), sqlite3_exec(db.get(), "begin", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_stmt* prepared = nullptr;
    const int prepareResult = sqlite3_prepare_v2(db.get(), sql.constData(), -1, &prepared, nullptr);
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> insert(prepared, sqlite3_finalize);
    check(db.get(), prepareResult, SQLITE_OK);

    std::vector<QByteArray> periodTexts;
    for (const QString& period : periods)
        periodTexts.push_back(period.toUtf8());
    std::mt19937 random(2026);
    // A fixed first day rather than today, so every run writes the same file.
    const double firstDay = DateSerial::fromDate(QDate(2026, 12, 7));
    int slot = 0; // columns are bound in the order they are listed above
    const auto bindText = [&](const QByteArray& text) {
        sqlite3_bind_text(insert.get(), ++slot, text.constData(), static_cast<int>(text.size()), SQLITE_STATIC);
    };
    const auto bindNumber = [&](double number) { sqlite3_bind_double(insert.get(), ++slot, number); };
    for (int i = 0; i < events; ++i) {
        const auto pick = [&](int range) {
            return scattered ? static_cast<int>(random() % static_cast<unsigned>(range)) : i % range;
        };
        const QByteArray jobText = textOf(job, jobLength, QStringLiteral("Мероприятие номер %1").arg(i), random);
        const QByteArray otherText =
            textOf(other, otherLength, QStringLiteral("Примечание к мероприятию %1").arg(i), random);
        const QByteArray& period = periodTexts[static_cast<std::size_t>(i) % periodTexts.size()];
        slot = 0;
        const auto bindFlag = [&] { sqlite3_bind_int(insert.get(), ++slot, pick(2)); };
        bindText(jobText);
        bindText(period);
        bindFlag();
        if (other != Text::None)
            bindText(otherText);
        const double day = firstDay + pick(365);
        if (dates) {
            bindNumber(firstDay + pick(1000) / 1000.0);
            bindNumber(day);
            bindNumber(pick(96) / 96.0);
        }
        if (planned) {
            bindNumber(day - 3);
            bindNumber(pick(48) / 48.0);
        }
        if (reminders) {
            bindFlag();
            bindFlag();
        }
        check(db.get(), sqlite3_step(insert.get()), SQLITE_DONE);
        sqlite3_reset(insert.get());
    }
    check(db.get(), sqlite3_exec(db.get(), "commit", nullptr, nullptr, nullptr), SQLITE_OK);
}
