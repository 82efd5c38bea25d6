#include "engine/postgres/ServerSearch.h"

#include "engine/Dialect.h"
#include "engine/FleetingVowels.h"
#include "engine/postgres/ServerSession.h"

#include <QStringList>

namespace {

const char dictionary[] = "chronoteka_russian_stem";

// A text folded as the search words are: lower case by the collation of our own, so that a database made in the C
// locale folds Cyrillic too; ё as е; without the dot above that ICU's lower case adds to i after İ, as the program
// folds İ to i alone; and every run of characters that are neither letters nor digits as a space, by
// ICU's classes whatever the database's locale, since the server's parser would otherwise read "mail.ru", "3.14",
// "из-за" or «подарки» as tokens of their own where the search words and the file's index see separate words.
QString folded(const QString& text)
{
    return QStringLiteral("regexp_replace(translate(lower((%1) COLLATE %2), 'ё' || U&'\\0307', 'е') "
                          "COLLATE \"und-x-icu\", "
                          "'[^[:alnum:]]+', ' ', 'g')")
        .arg(text, Dialect::textCollation);
}

// The words of an event: its description and its note as one text. The index is made on exactly this expression
// and the search must write it alike, or the server won't use the index.
QString eventVector(const QString& configuration)
{
    return QStringLiteral("to_tsvector('%1'::regconfig, %2)")
        .arg(configuration, folded(QStringLiteral("coalesce(job, '') || ' ' || coalesce(other, '')")));
}

QString indexName(const QString& table)
{
    return Dialect::quotedName(table + QStringLiteral("_search"));
}

} // namespace

bool ServerSearch::hasConfiguration(ServerSession& session)
{
    return session
               .run("SELECT EXISTS (SELECT 1 FROM pg_ts_config WHERE cfgname = $1 AND pg_ts_config_is_visible(oid))",
                    {QByteArray(configuration)})
               .text(0, 0)[0] == 't';
}

void ServerSearch::makeConfiguration(ServerSession& session)
{
    // Snowball's stemmer without its list of stop words: «в», «и», «не» are words to find like any other. Words of
    // letters go through the stemmer, which leaves what is not Cyrillic as it is; words mixed with digits and
    // numbers stay as they are written, as in the configuration copied, as the file's index keeps them.
    session.run(QStringLiteral("CREATE TEXT SEARCH DICTIONARY %1 (TEMPLATE = snowball, LANGUAGE = russian)")
                    .arg(QLatin1String(dictionary))
                    .toUtf8());
    session.run(QStringLiteral("CREATE TEXT SEARCH CONFIGURATION %1 (COPY = simple)")
                    .arg(QLatin1String(configuration))
                    .toUtf8());
    session.run(QStringLiteral("ALTER TEXT SEARCH CONFIGURATION %1 ALTER MAPPING FOR asciiword, word, "
                               "asciihword, hword, hword_asciipart, hword_part WITH %2")
                    .arg(QLatin1String(configuration), QLatin1String(dictionary))
                    .toUtf8());
}

ServerSearch::IndexState ServerSearch::indexState(ServerSession& session, const QString& table)
{
    const ServerResult valid =
        session.run("SELECT indisvalid FROM pg_index WHERE indexrelid = to_regclass($1)", {indexName(table).toUtf8()});
    if (valid.rowCount() == 0)
        return IndexState::Missing;
    return valid.text(0, 0)[0] == 't' ? IndexState::Valid : IndexState::Invalid;
}

void ServerSearch::makeIndex(ServerSession& session, const QString& table, Build build)
{
    session.run(QStringLiteral("CREATE INDEX %1 %2 ON %3 USING gin ((%4))")
                    .arg(build == Build::Concurrently ? QStringLiteral("CONCURRENTLY") : QString(), indexName(table),
                         Dialect::quotedName(table), eventVector(QLatin1String(configuration)))
                    .toUtf8());
}

void ServerSearch::dropIndex(ServerSession& session, const QString& table)
{
    session.run(QStringLiteral("DROP INDEX CONCURRENTLY IF EXISTS %1").arg(indexName(table)).toUtf8());
}

QByteArray ServerSearch::lexemesStatement(const QString& configuration, int wordCount)
{
    QStringList words;
    for (int i = 0; i < wordCount; ++i)
        words << QStringLiteral("$%1").arg(i + 1);
    return QStringLiteral("SELECT word.n, lexeme "
                          "FROM unnest(ARRAY[%1]::text[]) WITH ORDINALITY AS word(typed, n), "
                          "unnest(tsvector_to_array(to_tsvector('%2'::regconfig, %3))) AS lexeme ORDER BY word.n")
        .arg(words.join(QStringLiteral(", ")), configuration, folded(QStringLiteral("word.typed")))
        .toUtf8();
}

QByteArray ServerSearch::queryText(const std::vector<std::pair<int, QString>>& lexemes, int prefixWord)
{
    // Quoted as the query's syntax wants, so that nothing in a lexeme is read as an operator.
    const auto quoted = [](QString lexeme) {
        lexeme.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("''"));
        return u'\'' + lexeme + u'\'';
    };
    QStringList all;
    for (const auto& [word, lexeme] : lexemes) {
        QStringList any;
        for (const QString& form : FleetingVowels::forms(lexeme))
            any << quoted(form) + (word == prefixWord ? QStringLiteral(":*") : QString());
        all << u'(' + any.join(QStringLiteral(" | ")) + u')';
    }
    return all.join(QStringLiteral(" & ")).toUtf8();
}

QByteArray ServerSearch::statement(const QString& table, const QString& key, const QString& configuration)
{
    // The events found are ordered apart from finding them. Otherwise the planner, which guesses a word it has no
    // figure for to be in one event of two hundred, walks the key's index backwards hoping to meet the limit early,
    // and for a word rarer than that reads every event and stems its texts; the index's worst, a word in most
    // events, still only reads the events found.
    return QStringLiteral("WITH found AS MATERIALIZED (SELECT %1 FROM %2 WHERE %3 @@ $2::tsquery) "
                          "SELECT %1 FROM found ORDER BY %1 DESC LIMIT $1")
        .arg(Dialect::quotedName(key), Dialect::quotedName(table), eventVector(configuration))
        .toUtf8();
}
