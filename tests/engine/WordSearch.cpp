// Finding events by their words, alike in the diary file and on the server: word forms and folding, and whatever
// the user types taken as words.
#include "DiaryFile.h"
#include "engine/Backend.h"
#include "engine/SearchWords.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

namespace {

using Keys = std::set<qint64>;

class WordSearch : public testing::TestWithParam<DiaryKind>
{
protected:
    WordSearch()
    {
        auto add = [&](const char* job, const char* other = "") {
            return m_diary.add({QString::fromUtf8(job), {}, {}, {}, false, QString::fromUtf8(other)});
        };
        gifts = add("Купить подарки");
        gift = add("Подарок маме", "не забыть открытку");
        giftsMany = add("Список", "Сколько подарков нужно к празднику?");
        tree = add("Нарядить Ёлку");
        treeLoud = add("Заказать ЕЛКУ");
        treeYard = add("Ёлка во дворе");
        birthday = add("ДР Ивана");
        budget = add("Встреча", "обсудить бюджет на 2024 год");
        operators = add("NEAR AND OR NOT", "job: \"кавычки\" -минус ^крышка (скобки) *звезда");
        dentist = add("Позвонить в Dentist-Clinic");
        meeting = add("Встреча в 10:30", "адрес на mail.ru, из-за погоды");
        windows = add("Помыть окна");
        quoted = add("«Подарки»… дом—дача", "заказ 2подарка");
        istanbul = add("Рейс в İstanbul");
        m_connection = m_diary.connect();
    }

    // The keys found, checked to come newest first.
    Keys found(const SearchWords& words)
    {
        const std::vector<qint64> keys = m_connection->backend().searchJobs(words, 1000);
        EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end(), std::greater<>()));
        return Keys(keys.begin(), keys.end());
    }

    qint64 gifts, gift, giftsMany, tree, treeLoud, treeYard, birthday, budget, operators, dentist, meeting, windows,
        quoted, istanbul;

private:
    DiaryFile m_diary{GetParam()};
    std::unique_ptr<Connection> m_connection;
};

} // namespace

// Every form of a word, case and ё folded, the last word a prefix while it is typed (nothing after it), and every
// word needed, in the description or the note. «подарок» and «окон» keep the о their other forms lose.
TEST_P(WordSearch, FindsEveryFormOfEveryWordTyped)
{
    const Keys allGifts{gifts, gift, giftsMany, quoted};
    const Keys trees{tree, treeLoud, treeYard};
    const struct
    {
        const char* typed;
        Keys expected;
    } cases[] = {
        {"подарок ", allGifts},
        {"подарки ", allGifts},
        {"подарков ", allGifts},
        {"ПОДАРКАМИ ", allGifts},
        {"подарки", allGifts},
        {"пода", allGifts},
        {"подарк", allGifts},
        {"елка ", trees},
        {"Ёлки ", trees},
        {"ёлк", trees},
        {"ёж", {}},
        {"др ", {birthday}},
        {"Др", {birthday}},
        {"купить подарок ", {gifts}},
        {"подарок купи", {gifts}},
        {"купить подар", {gifts}},
        {"подарок ёлка", {}},
        {"ёлка купить ", {}},
        {"маме подарков ", {gift}},
        {"открытки ", {gift}},
        {"подарок открытку ", {gift}},
        {"подарков праздник", {giftsMany}},
        {"ёлку нарядить ", {tree}},
        {"2024 ", {budget}},
        {"202", {budget}},
        {"20 ", {}},
        {"бюджета ", {budget}},
        {"dentist ", {dentist}},
        {"CLINIC", {dentist}},
        {"dentists ", {}},
        {"в ", {dentist, meeting, istanbul}},
        {"во ", {treeYard}},
        {"MAIL ", {meeting}},
        {"ru 30 за", {meeting}},
        {"окон ", {windows}},
        {"окно", {windows}},
        {"дача ", {quoted}},
        {"дом дач", {quoted}},
        {"2подарка ", {quoted}},
        {"2подарки ", {}},
        {"İstanbul ", {istanbul}},
        {"istanb", {istanbul}},
        {"ISTANBUL", {istanbul}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(found(SearchWords::of(QString::fromUtf8(c.typed))), c.expected) << c.typed;
}

// Nothing typed, nor any word the backend is given whole, is read as query syntax or fails: operators and quotes
// are separators; a word that gives nothing to look for (punctuation, an emoji) asks for nothing; no word at all
// finds nothing.
TEST_P(WordSearch, WhateverIsTypedIsTakenAsWords)
{
    const Keys allGifts{gifts, gift, giftsMany, quoted};
    const QString hostile = QStringLiteral(R"(подарки'&|!<->:*()\"\\ ''""%_)");
    const struct
    {
        SearchWords words;
        Keys expected;
    } cases[] = {
        {SearchWords::of(QString()), {}},
        {SearchWords::of(QStringLiteral("   ")), {}},
        {SearchWords::of(QStringLiteral("  ,.;  ")), {}},
        {SearchWords::of(QStringLiteral("\"")), {}},
        {SearchWords::of(QStringLiteral("*")), {}},
        {SearchWords::of(QStringLiteral("\"подарок")), allGifts},
        {SearchWords::of(QStringLiteral("подарок\" ")), allGifts},
        {SearchWords::of(QStringLiteral("подарок*")), allGifts},
        {SearchWords::of(QStringLiteral("-подарок")), allGifts},
        {SearchWords::of(QStringLiteral("(подарок)")), allGifts},
        {SearchWords::of(QStringLiteral("^подарок")), allGifts},
        {SearchWords::of(QStringLiteral("job:подарок")), {}},
        {SearchWords::of(QStringLiteral("job: кавычки")), {operators}},
        {SearchWords::of(QStringLiteral("NEAR(подарок купить)")), {}},
        {SearchWords::of(QStringLiteral("near")), {operators}},
        {SearchWords::of(QStringLiteral("OR")), {operators}},
        {SearchWords::of(QStringLiteral("подарок OR ёлка")), {}},
        {SearchWords::of(QStringLiteral("AND NOT")), {operators}},
        {SearchWords::of(QStringLiteral("NOT подарок")), {}},
        {SearchWords::of(QStringLiteral("подарок + купить")), {gifts}},
        {SearchWords::of(QStringLiteral("\" OR \"\" AND * - NEAR( ) ^ : {job} \\ ' ; --")), {operators}},
        {SearchWords::of(hostile), allGifts},
        {{{hostile}, false}, allGifts},
        {{{hostile}, true}, allGifts},
        {{{QStringLiteral("'")}, true}, {}},
        {{{QStringLiteral("\\")}, false}, {}},
        {{{QStringLiteral(":*"), QStringLiteral("подарки")}, true}, allGifts},
        {{{QStringLiteral("подарки & !купить")}, false}, {gifts}},
        {{{QStringLiteral("подарки | маме")}, false}, {gift}},
        {{{QStringLiteral("подарки <-> купить")}, false}, {gifts}},
        {SearchWords::of(QStringLiteral("🎂 подарок 🎂")), allGifts},
        {SearchWords::of(QStringLiteral("🎂")), {}},
        {SearchWords::of(QStringLiteral("а").repeated(10000)), {}},
        {{{QString(10000, u'я'), QStringLiteral("маме")}, false}, {gift}},
        {SearchWords::of(QStringLiteral("подарок ").repeated(1250)), allGifts},
        {SearchWords::of(QStringLiteral("а б ").repeated(2500)), {}},
    };
    for (const auto& c : cases) {
        const std::string shown = c.words.words.join(u'|').left(40).toStdString();
        Keys keys;
        EXPECT_EQ(errorOf([&] { keys = found(c.words); }), QString()) << shown;
        EXPECT_EQ(keys, c.expected) << shown;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, WordSearch, testing::Values(DiaryKind::File, DiaryKind::Server), diaryKindName);
