#include "engine/Dialect.h"

#include "base/DateSerial.h"
#include "engine/EngineErrors.h"

#include <QStringList>

#include <vector>

namespace {

enum class TokenKind { Word, Name, Number, Text, Parameter, Symbol, Serial };

struct Token
{
    TokenKind kind;
    QString text; // the word, the name or text without its quotes, the symbol, or a serial's digits
};

// A token, or a parenthesised group of items.
struct Item
{
    Token token;
    bool isGroup = false;
    std::vector<Item> items;
};

bool isWordStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isWordPart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

QString serialFromDateLiteral(const QString& literal)
{
    const QString text = literal.simplified();
    static const char* const dateTimeFormats[] = {"M/d/yyyy H:mm:ss", "M/d/yyyy H:mm", "yyyy-MM-dd H:mm:ss",
                                                  "yyyy-MM-dd H:mm"};
    static const char* const dateFormats[] = {"M/d/yyyy", "yyyy-MM-dd"};
    static const char* const timeFormats[] = {"H:mm:ss", "H:mm"};
    double serial = 0;
    bool found = false;
    for (const char* format : dateTimeFormats) {
        const QDateTime moment = QDateTime::fromString(text, QLatin1String(format));
        if (!found && moment.isValid()) {
            serial = DateSerial::fromDate(moment.date()) + DateSerial::fromTime(moment.time());
            found = true;
        }
    }
    for (const char* format : dateFormats) {
        const QDate date = QDate::fromString(text, QLatin1String(format));
        if (!found && date.isValid()) {
            serial = DateSerial::fromDate(date);
            found = true;
        }
    }
    for (const char* format : timeFormats) {
        const QTime time = QTime::fromString(text, QLatin1String(format));
        if (!found && time.isValid()) {
            serial = DateSerial::fromTime(time);
            found = true;
        }
    }
    if (!found)
        throw EngineErrors::syntax(QStringLiteral("invalid date #%1#").arg(literal));
    return QString::number(serial, 'g', 17);
}

// Reads text delimited by quote, in which a doubled quote stands for one; start is just after the opening quote.
QString quoted(const QString& text, qsizetype& i, QChar quote, const char* what)
{
    QString content;
    while (true) {
        if (i >= text.size())
            throw EngineErrors::syntax(QStringLiteral("%1 without its closing %2").arg(QLatin1String(what), quote));
        if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote) {
                content += quote;
                i += 2;
                continue;
            }
            ++i;
            return content;
        }
        content += text[i++];
    }
}

std::vector<Token> tokenize(const QString& text)
{
    std::vector<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text[i];
        if (c.isSpace()) {
            ++i;
        } else if (isWordStart(c)) {
            const qsizetype start = i;
            while (i < n && isWordPart(text[i]))
                ++i;
            tokens.push_back({TokenKind::Word, text.mid(start, i - start)});
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && text[i + 1].isDigit())) {
            const qsizetype start = i;
            while (i < n && text[i].isDigit())
                ++i;
            if (i < n && text[i] == u'.') {
                ++i;
                while (i < n && text[i].isDigit())
                    ++i;
            }
            if (i + 1 < n && (text[i] == u'e' || text[i] == u'E') &&
                (text[i + 1].isDigit() ||
                 ((text[i + 1] == u'+' || text[i + 1] == u'-') && i + 2 < n && text[i + 2].isDigit()))) {
                i += 2;
                while (i < n && text[i].isDigit())
                    ++i;
            }
            if (i < n && isWordPart(text[i]))
                throw EngineErrors::syntax(QStringLiteral("malformed number '%1'").arg(text.mid(start, i - start + 1)));
            tokens.push_back({TokenKind::Number, text.mid(start, i - start)});
        } else if (c == u'\'' || c == u'"') {
            ++i;
            tokens.push_back({TokenKind::Text, quoted(text, i, c, "text")});
        } else if (c == u'[') {
            const qsizetype close = text.indexOf(u']', i + 1);
            if (close < 0)
                throw EngineErrors::syntax(QStringLiteral("name without its closing ]"));
            tokens.push_back({TokenKind::Name, text.mid(i + 1, close - i - 1)});
            i = close + 1;
        } else if (c == u'#') {
            const qsizetype close = text.indexOf(u'#', i + 1);
            if (close < 0)
                throw EngineErrors::syntax(QStringLiteral("date without its closing #"));
            tokens.push_back({TokenKind::Serial, serialFromDateLiteral(text.mid(i + 1, close - i - 1))});
            i = close + 1;
        } else if (c == u'?') {
            tokens.push_back({TokenKind::Parameter, QStringLiteral("?")});
            ++i;
        } else {
            static const QString twoCharacterSymbols[] = {QStringLiteral("<="), QStringLiteral(">="),
                                                          QStringLiteral("<>")};
            static const QString oneCharacterSymbols = QStringLiteral("=<>+-*/&(),;.");
            const QString pair = text.mid(i, 2);
            bool matched = false;
            for (const QString& symbol : twoCharacterSymbols) {
                if (pair == symbol) {
                    tokens.push_back({TokenKind::Symbol, symbol});
                    i += 2;
                    matched = true;
                    break;
                }
            }
            if (matched)
                continue;
            if (!oneCharacterSymbols.contains(c))
                throw EngineErrors::syntax(QStringLiteral("unexpected character '%1'").arg(c));
            tokens.push_back({TokenKind::Symbol, QString(c)});
            ++i;
        }
    }
    return tokens;
}

bool isSymbol(const Item& item, const char* symbol)
{
    return !item.isGroup && item.token.kind == TokenKind::Symbol && item.token.text == QLatin1String(symbol);
}

bool isWord(const Item& item, const char* word)
{
    return !item.isGroup && item.token.kind == TokenKind::Word &&
           item.token.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool isKeyword(const Item& item)
{
    // The words that end an operand of &: everything that binds looser than it, and the clause words.
    static const char* const keywords[] = {
        "select", "distinct", "distinctrow", "top",   "from",  "where", "as",     "and",   "or",    "not",    "xor",
        "eqv",    "imp",      "between",     "in",    "is",    "like",  "order",  "by",    "group", "having", "on",
        "join",   "inner",    "left",        "right", "outer", "asc",   "desc",   "union", "all",   "into",   "values",
        "set",    "case",     "when",        "then",  "else",  "end",   "exists", "escape"};
    if (item.isGroup || item.token.kind != TokenKind::Word)
        return false;
    for (const char* keyword : keywords) {
        if (isWord(item, keyword))
            return true;
    }
    return false;
}

bool endsOperand(const Item& item)
{
    static const char* const symbols[] = {",", "=", "<>", "<", ">", "<=", ">=", "&", ";"};
    for (const char* symbol : symbols) {
        if (isSymbol(item, symbol))
            return true;
    }
    return isKeyword(item);
}

// Groups and their translation recurse once per level; a bound keeps a hostile text from exhausting the stack,
// far above anything a real query nests (SQLite's own expression depth stops at 1000).
constexpr int maxNesting = 200;

std::vector<Item> group(const std::vector<Token>& tokens, size_t& i, int depth)
{
    std::vector<Item> items;
    while (i < tokens.size()) {
        const Token& token = tokens[i++];
        if (token.kind == TokenKind::Symbol && token.text == QLatin1String("(")) {
            if (depth == maxNesting)
                throw EngineErrors::nestedTooDeep(maxNesting);
            Item inner{token, true, group(tokens, i, depth + 1)};
            items.push_back(std::move(inner));
        } else if (token.kind == TokenKind::Symbol && token.text == QLatin1String(")")) {
            if (depth == 0)
                throw EngineErrors::syntax(QStringLiteral("unbalanced )"));
            return items;
        } else {
            items.push_back(Item{token, false, {}});
        }
    }
    if (depth > 0)
        throw EngineErrors::syntax(QStringLiteral("missing )"));
    return items;
}

class Emitter
{
public:
    explicit Emitter(std::vector<int>* serverParameters = nullptr) : m_serverParameters(serverParameters) {}

    int parameters = 0;

private:
    // Set when writing for the PostgreSQL server: what each $n stands for.
    std::vector<int>* m_serverParameters;
    const QString collated = QStringLiteral(" COLLATE ") + Dialect::textCollation;
    // Within WHERE, HAVING or ON, where texts compare without regard to case.
    bool m_inCondition = false;

public:
    // Items [from, to) of one level, with each chain of & turned into nested calls, left to right.
    QString list(const std::vector<Item>& items, size_t from, size_t to)
    {
        QStringList parts;
        size_t i = from;
        while (i < to) {
            size_t ampersand = i;
            while (ampersand < to && !isSymbol(items[ampersand], "&"))
                ++ampersand;
            if (ampersand == to) {
                parts << plain(items, i, to);
                break;
            }
            size_t start = ampersand;
            while (start > i && !endsOperand(items[start - 1]))
                --start;
            if (start == ampersand)
                throw EngineErrors::syntax(QStringLiteral("& without a left operand"));
            if (start > i)
                parts << plain(items, i, start);
            if (m_serverParameters) {
                size_t next = ampersand;
                parts << serverConcat(items, start, ampersand, to, &next);
                i = next;
                continue;
            }
            // a & b & c is dialect_concat(dialect_concat(a, b), c): the calls' openings all go first, so the text
            // is built by appending, in time linear in the chain's length.
            QString tail = plain(items, start, ampersand);
            int calls = 0;
            size_t next = ampersand;
            while (next < to && isSymbol(items[next], "&")) {
                size_t end = next + 1;
                while (end < to && !endsOperand(items[end]))
                    ++end;
                if (end == next + 1)
                    throw EngineErrors::syntax(QStringLiteral("& without a right operand"));
                tail += QStringLiteral(", ") + plain(items, next + 1, end) + u')';
                ++calls;
                next = end;
            }
            parts << QStringLiteral("dialect_concat(").repeated(calls) + tail;
            i = next;
        }
        return join(parts);
    }

private:
    // The operands of one chain of &, from the first one [start, ampersand) on; next receives where it ends.
    // PostgreSQL's concat() takes a null as empty text as & does, but gives empty text for nulls alone, where &
    // gives null. Each operand is written twice, as text, so its parameters keep their one $n.
    QString serverConcat(const std::vector<Item>& items, size_t start, size_t ampersand, size_t to, size_t* next)
    {
        QStringList operands{QStringLiteral("CAST((%1) AS text)").arg(plain(items, start, ampersand))};
        size_t at = ampersand;
        while (at < to && isSymbol(items[at], "&")) {
            size_t end = at + 1;
            while (end < to && !endsOperand(items[end]))
                ++end;
            if (end == at + 1)
                throw EngineErrors::syntax(QStringLiteral("& without a right operand"));
            operands << QStringLiteral("CAST((%1) AS text)").arg(plain(items, at + 1, end));
            at = end;
        }
        *next = at;
        return QStringLiteral("(CASE WHEN %1 IS NULL THEN NULL ELSE concat(%2) END)")
            .arg(operands.join(QStringLiteral(" IS NULL AND ")), operands.join(QStringLiteral(", ")));
    }

    QString serverParameter(int source)
    {
        m_serverParameters->push_back(source);
        return QStringLiteral("$%1").arg(m_serverParameters->size());
    }

    // The dialect's functions in PostgreSQL's terms; empty for any other call.
    QString serverCall(const Item& name, const Item& arguments)
    {
        const QString lower = name.token.text.toLower();
        const bool noArguments = arguments.items.empty();
        if (lower == QLatin1String("now") && noArguments)
            return QStringLiteral("CAST(%1 AS timestamp)").arg(serverParameter(Dialect::clockNow));
        if (lower == QLatin1String("date") && noArguments)
            return QStringLiteral("CAST(%1 AS timestamp)").arg(serverParameter(Dialect::clockToday));
        for (const char* part : {"year", "month", "day"}) {
            if (lower == QLatin1String(part))
                return QStringLiteral("CAST(EXTRACT(%1 FROM CAST(%2 AS timestamp)) AS integer)")
                    .arg(QString::fromLatin1(part).toUpper(), one(arguments, false));
        }
        if (lower == QLatin1String("iif")) {
            const bool outer = m_inCondition;
            std::vector<size_t> commas;
            for (size_t i = 0; i < arguments.items.size(); ++i) {
                if (isSymbol(arguments.items[i], ","))
                    commas.push_back(i);
            }
            if (commas.size() != 2)
                throw EngineErrors::syntax(QStringLiteral("iif takes three arguments"));
            const QString condition = list(arguments.items, 0, commas[0]);
            const QString whenTrue = list(arguments.items, commas[0] + 1, commas[1]);
            const QString whenFalse = list(arguments.items, commas[1] + 1, arguments.items.size());
            m_inCondition = outer;
            return QStringLiteral("(CASE WHEN %1 THEN %2 ELSE %3 END)").arg(condition, whenTrue, whenFalse);
        }
        return {};
    }

    static QString join(const QStringList& parts)
    {
        QString out;
        for (const QString& part : parts) {
            if (part.isEmpty())
                continue;
            if (!out.isEmpty() && !out.endsWith(u'.') && part != QLatin1String(".") && !part.startsWith(u','))
                out += u' ';
            out += part;
        }
        return out;
    }

    QString plain(const std::vector<Item>& items, size_t from, size_t to)
    {
        QStringList parts;
        for (size_t i = from; i < to; ++i) {
            const bool call =
                !items[i].isGroup && items[i].token.kind == TokenKind::Word && i + 1 < to && items[i + 1].isGroup;
            if (call && m_serverParameters) {
                const QString written = serverCall(items[i], items[i + 1]);
                if (!written.isEmpty()) {
                    parts << written;
                    ++i;
                    continue;
                }
            }
            if (call) {
                // In this order: a clause word before a group sets how the group's texts compare.
                const QString name = one(items[i], true);
                parts << name + one(items[i + 1], false);
                ++i;
            } else {
                parts << one(items[i], false);
            }
            // x IN (...) compares with x's collation, not with that of the list's texts.
            if (m_inCondition && !isKeyword(items[i]) && i + 1 < to &&
                (isWord(items[i + 1], "in") ||
                 (isWord(items[i + 1], "not") && i + 2 < to && isWord(items[i + 2], "in"))))
                parts.back() += collated;
        }
        return join(parts);
    }

    QString one(const Item& item, bool beforeGroup)
    {
        if (item.isGroup) {
            const bool outer = m_inCondition;
            const QString inner = QStringLiteral("(%1)").arg(list(item.items, 0, item.items.size()));
            m_inCondition = outer;
            return inner;
        }
        const Token& token = item.token;
        if (token.kind == TokenKind::Word) {
            for (const char* word : {"where", "having", "on"})
                if (isWord(item, word))
                    m_inCondition = true;
            for (const char* word : {"select", "from", "order", "group", "union"})
                if (isWord(item, word))
                    m_inCondition = false;
        }
        switch (token.kind) {
        case TokenKind::Word: {
            const QString lower = token.text.toLower();
            static const char* const functions[] = {"now", "date", "year", "month", "day"};
            if (beforeGroup && !m_serverParameters) {
                for (const char* function : functions) {
                    if (lower == QLatin1String(function))
                        return QStringLiteral("dialect_") + lower;
                }
            }
            if (lower == QLatin1String("true"))
                return m_serverParameters ? QStringLiteral("TRUE") : QStringLiteral("1");
            if (lower == QLatin1String("false"))
                return m_serverParameters ? QStringLiteral("FALSE") : QStringLiteral("0");
            if (lower == QLatin1String("mod"))
                return QStringLiteral("%");
            return token.text;
        }
        case TokenKind::Name:
            return Dialect::quotedName(token.text);
        case TokenKind::Text:
            return QStringLiteral("'%1'").arg(QString(token.text).replace(u'\'', QStringLiteral("''"))) +
                   (m_inCondition ? collated : QString());
        case TokenKind::Parameter: {
            const QString marker = m_serverParameters ? serverParameter(parameters) : token.text;
            ++parameters;
            return marker + (m_inCondition ? collated : QString());
        }
        case TokenKind::Serial:
            if (m_serverParameters)
                return QStringLiteral("TIMESTAMP '%1'")
                    .arg(DateSerial::toDateTime(token.text.toDouble())
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
            return token.text;
        case TokenKind::Number:
        case TokenKind::Symbol:
            return token.text;
        }
        return token.text;
    }
};

// The position of FROM when items are a select of one table whose rows can be told apart by the table's row
// identity, else 0; table and qualifier receive the table's name and how the select list refers to it.
size_t plainSelectFrom(const std::vector<Item>& items, QString* table, QString* qualifier)
{
    if (items.size() < 4 || !isWord(items[0], "select") || isWord(items[1], "distinct") ||
        isWord(items[1], "distinctrow") || isWord(items[1], "top"))
        return 0;
    size_t from = 0;
    for (size_t i = 1; i < items.size(); ++i) {
        for (const char* word : {"group", "having", "union", "join"}) {
            if (isWord(items[i], word))
                return 0;
        }
        if (from == 0 && isWord(items[i], "from"))
            from = i;
    }
    if (from == 0)
        return 0;
    static const char* const aggregates[] = {"count", "sum",   "avg",    "min", "max", "first",
                                             "last",  "stdev", "stdevp", "var", "varp"};
    for (size_t i = 1; i + 1 < from; ++i) {
        for (const char* aggregate : aggregates) {
            if (isWord(items[i], aggregate) && items[i + 1].isGroup)
                return 0;
        }
    }
    const auto isTableName = [](const Item& item) {
        return !item.isGroup &&
               (item.token.kind == TokenKind::Name || (item.token.kind == TokenKind::Word && !isKeyword(item)));
    };
    size_t i = from + 1;
    if (i >= items.size() || !isTableName(items[i]))
        return 0;
    const Item& tableItem = items[i++];
    const Item* alias = nullptr;
    if (i < items.size() && isWord(items[i], "as"))
        ++i;
    if (i < items.size() && isTableName(items[i]))
        alias = &items[i++];
    if (i < items.size() && !isWord(items[i], "where") && !isWord(items[i], "order"))
        return 0;
    const auto refer = [](const Item& item) {
        return item.token.kind == TokenKind::Name ? Dialect::quotedName(item.token.text) : item.token.text;
    };
    *table = tableItem.token.text;
    *qualifier = refer(alias ? *alias : tableItem);
    return from;
}

} // namespace

namespace {

std::vector<Item> parse(const QString& text)
{
    std::vector<Token> tokens = tokenize(text);
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind == TokenKind::Symbol && tokens[i].text == QLatin1String(";")) {
            if (i + 1 != tokens.size())
                throw EngineErrors::charactersAfterEnd();
            tokens.pop_back();
        }
    }
    if (tokens.empty())
        throw EngineErrors::syntax(QStringLiteral("the query is empty"));
    size_t position = 0;
    return group(tokens, position, 0);
}

// Whether the select list of items, before from, names only columns of the table: "*", or names, each perhaps
// after its table's, between commas. Such a row reads the same when it is read again by its row identity alone.
bool namesColumnsOnly(const std::vector<Item>& items, size_t from)
{
    const auto isSymbolItem = [&items](size_t i, QLatin1String symbol) {
        return !items[i].isGroup && items[i].token.kind == TokenKind::Symbol && items[i].token.text == symbol;
    };
    const auto isName = [&items](size_t i) {
        return !items[i].isGroup && (items[i].token.kind == TokenKind::Name ||
                                     (items[i].token.kind == TokenKind::Word && !isKeyword(items[i])));
    };
    if (from == 2 && isSymbolItem(1, QLatin1String("*")))
        return true;
    size_t i = 1;
    while (i < from) {
        if (!isName(i++))
            return false;
        if (i + 1 < from && isSymbolItem(i, QLatin1String(".")) && isName(i + 1))
            i += 2;
        if (i == from)
            return true;
        if (!isSymbolItem(i++, QLatin1String(",")))
            return false;
    }
    return false;
}

// Whether items from order on are "ORDER BY <column>" (ascending) and the column is one of names: a list in the
// order of a key that a next step can go on from.
bool ordersBy(const std::vector<Item>& items, size_t order, const QStringList& names)
{
    if (order + 3 > items.size() || order + 4 < items.size() || !isWord(items[order + 1], "by"))
        return false;
    const Item& column = items[order + 2];
    if (column.isGroup || (column.token.kind != TokenKind::Name && column.token.kind != TokenKind::Word))
        return false;
    if (order + 4 == items.size() && !isWord(items[order + 3], "asc"))
        return false;
    return names.contains(column.token.text, Qt::CaseInsensitive);
}

int parametersIn(const std::vector<Item>& items, size_t from, size_t to)
{
    int count = 0;
    for (size_t i = from; i < to; ++i) {
        const Item& item = items[i];
        if (item.isGroup)
            count += parametersIn(item.items, 0, item.items.size());
        else if (item.token.kind == TokenKind::Parameter)
            ++count;
    }
    return count;
}

// The parameters that a WHERE clause, items from where to end, compares for equality with a column in a condition
// the whole clause requires ("... AND <column> = ? AND ..."): nothing equals null, so with any of them null the
// select has no rows. None when the clause has an OR, a BETWEEN or a CASE outside brackets, whose ANDs join less.
std::vector<int> equalledParameters(const std::vector<Item>& items, size_t where, size_t end)
{
    if (where >= end || !isWord(items[where], "where"))
        return {};
    for (size_t i = where + 1; i < end; ++i) {
        for (const char* word : {"or", "between", "case"})
            if (isWord(items[i], word))
                return {};
    }
    const auto isColumn = [](const Item& item) {
        return !item.isGroup &&
               (item.token.kind == TokenKind::Name || (item.token.kind == TokenKind::Word && !isKeyword(item)));
    };
    const auto isParameter = [](const Item& item) { return !item.isGroup && item.token.kind == TokenKind::Parameter; };
    std::vector<int> equalled;
    size_t start = where + 1;
    for (size_t i = start; i <= end; ++i) {
        if (i < end && !isWord(items[i], "and"))
            continue;
        if (i - start == 3 && isSymbol(items[start + 1], "=")) {
            const Item& left = items[start];
            const Item& right = items[start + 2];
            // The parameter is the first of the three items to count, whichever side it is on.
            if ((isColumn(left) && isParameter(right)) || (isParameter(left) && isColumn(right)))
                equalled.push_back(parametersIn(items, 0, start));
        }
        start = i + 1;
    }
    return equalled;
}

// The translation of items; identity, when not empty, is how the plain select's table names its row identity.
// server, when set, makes the texts for the PostgreSQL server, its parameters told there. keyColumns names the
// columns whose order is the row identity's, for which the keys may be listed in steps.
Dialect::Translation translated(const std::vector<Item>& items, Emitter& emitter, size_t from, const QString& qualifier,
                                const QString& identity, std::vector<int>* server = nullptr,
                                const QStringList& keyColumns = {})
{
    Dialect::Translation translation;
    if (from > 0 && !identity.isEmpty()) {
        translation.sql = QStringLiteral("%1, %2.%3 AS %4 %5")
                              .arg(emitter.list(items, 0, from), qualifier, identity, Dialect::rowIdentityName,
                                   emitter.list(items, from, items.size()));
        translation.hasRowIdentity = true;
        if (namesColumnsOnly(items, from)) {
            size_t clauses = from + 1;
            while (clauses < items.size() && !isWord(items[clauses], "where") && !isWord(items[clauses], "order"))
                ++clauses;
            const QString key = QStringLiteral("%1.%2").arg(qualifier, identity);
            std::vector<int> keysParameters;
            Emitter keys(server ? &keysParameters : nullptr);
            translation.keysSql = QStringLiteral("SELECT %1 AS %2 %3")
                                      .arg(key, Dialect::rowIdentityName, keys.list(items, from, items.size()));
            Emitter rows(server ? &keysParameters : nullptr);
            translation.rowsSql =
                QStringLiteral("%1, %2 AS %3 %4 WHERE %2")
                    .arg(rows.list(items, 0, from), key, Dialect::rowIdentityName, rows.list(items, from, clauses));
            size_t order = clauses;
            while (order < items.size() && !isWord(items[order], "order"))
                ++order;
            translation.emptyWhenNull = equalledParameters(items, clauses, order);
            if (order < items.size() && ordersBy(items, order, keyColumns)) {
                // The same parameters in the same places: only numbers follow them.
                std::vector<int> stepParameters;
                Emitter step(server ? &stepParameters : nullptr);
                const QString source = step.list(items, from, clauses);
                // The condition in brackets, still after WHERE, where texts compare as they do in the select.
                QString where = QStringLiteral("WHERE ");
                if (clauses < order) {
                    Item condition{Token{TokenKind::Symbol, QStringLiteral("(")}, true, {}};
                    condition.items.assign(items.begin() + static_cast<std::ptrdiff_t>(clauses) + 1,
                                           items.begin() + static_cast<std::ptrdiff_t>(order));
                    const std::vector<Item> clause{items[clauses], std::move(condition)};
                    where = step.list(clause, 0, clause.size()) + QStringLiteral(" AND ");
                }
                translation.keysAfterSql =
                    QStringLiteral("SELECT %1 AS %2 %3 %4%1 > ").arg(key, Dialect::rowIdentityName, source, where);
                translation.keysLimitSql = QStringLiteral(" ORDER BY %1 LIMIT ").arg(key);
            }
        }
    } else {
        translation.sql = emitter.list(items, 0, items.size());
    }
    translation.parameterCount = emitter.parameters;
    return translation;
}

// Which write items are, and the table it writes (as written, without brackets).
Dialect::Translation::Write writeOf(const std::vector<Item>& items, QString* table)
{
    using Write = Dialect::Translation::Write;
    Write write = Write::None;
    size_t at = 1;
    if (isWord(items[0], "insert") && items.size() > 2 && isWord(items[1], "into")) {
        write = Write::Insert;
        at = 2;
    } else if (isWord(items[0], "delete") && items.size() > 2 && isWord(items[1], "from")) {
        write = Write::Delete;
        at = 2;
    } else if (isWord(items[0], "update") && items.size() > 1) {
        write = Write::Update;
    }
    if (write == Write::None || items[at].isGroup ||
        (items[at].token.kind != TokenKind::Word && items[at].token.kind != TokenKind::Name))
        return Write::None;
    *table = items[at].token.text;
    return write;
}

} // namespace

QString Dialect::quotedName(const QString& name)
{
    return QStringLiteral("\"%1\"").arg(QString(name).replace(u'"', QStringLiteral("\"\"")));
}

Dialect::Translation Dialect::translate(const QString& text, const TableSchema* known)
{
    const std::vector<Item> items = parse(text);
    Emitter emitter;
    QString table;
    QString qualifier;
    const size_t from = plainSelectFrom(items, &table, &qualifier);
    // The rowid orders rows as the key of a table the engine knows, which is its alias.
    QStringList keyColumns{QStringLiteral("rowid")};
    if (known && from > 0 && table.compare(known->name, Qt::CaseInsensitive) == 0) {
        for (const TableSchema::Column& column : known->columns) {
            if (column.kind == ColumnKind::AutoIncrement)
                keyColumns << column.name;
        }
    }
    Translation translation = translated(items, emitter, from, qualifier, QStringLiteral("rowid"), nullptr,
                                         known ? keyColumns : QStringList());
    if (from > 0)
        translation.table = table;
    translation.write = writeOf(items, &translation.writtenTable);
    return translation;
}

Dialect::Translation Dialect::translateForServer(const QString& text, const TableSchema& table)
{
    const std::vector<Item> items = parse(text);
    std::vector<int> serverParameters;
    Emitter emitter(&serverParameters);
    QString name;
    QString qualifier;
    const size_t from = plainSelectFrom(items, &name, &qualifier);
    // Only the program's table has a key the engine knows to write rows back by.
    QString key;
    if (from > 0 && name.compare(table.name, Qt::CaseInsensitive) == 0) {
        for (const TableSchema::Column& column : table.columns) {
            if (column.kind == ColumnKind::AutoIncrement)
                key = quotedName(column.name);
        }
    }
    // "*" names the table's columns as the program knows them: a column dropped from under it is then refused by
    // name, and a column of someone else's added to it is not read.
    if (!key.isEmpty() && from == 2 && !items[1].isGroup && items[1].token.kind == TokenKind::Symbol &&
        items[1].token.text == QLatin1String("*")) {
        std::vector<Item> named(items.begin(), items.begin() + 1);
        const auto add = [&named](TokenKind kind, const QString& text) {
            Item item;
            item.token = {kind, text};
            named.push_back(std::move(item));
        };
        for (const TableSchema::Column& column : table.columns) {
            if (named.size() > 1)
                add(TokenKind::Symbol, QStringLiteral(","));
            add(TokenKind::Name, column.name);
        }
        const size_t namedFrom = named.size();
        named.insert(named.end(), items.begin() + 2, items.end());
        Translation translation = translated(named, emitter, namedFrom, qualifier, key, &serverParameters);
        translation.table = table.name;
        translation.serverParameters = std::move(serverParameters);
        return translation;
    }
    Translation translation = translated(items, emitter, from, qualifier, key, &serverParameters);
    if (translation.hasRowIdentity)
        translation.table = table.name;
    translation.serverParameters = std::move(serverParameters);
    translation.write = writeOf(items, &translation.writtenTable);
    return translation;
}
