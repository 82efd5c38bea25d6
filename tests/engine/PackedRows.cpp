#include "engine/DecodedRows.h"
#include "engine/PackedRows.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

ColumnInfo columnOf(ColumnKind kind)
{
    ColumnInfo column;
    column.kind = kind;
    return column;
}

// A row of every kind, texts between the numbers so that a text's bytes start after another's end.
const std::vector<ColumnInfo> columns{
    columnOf(ColumnKind::Text),     columnOf(ColumnKind::AutoIncrement), columnOf(ColumnKind::Memo),
    columnOf(ColumnKind::Boolean),  columnOf(ColumnKind::Float),         columnOf(ColumnKind::Text),
    columnOf(ColumnKind::DateTime), columnOf(ColumnKind::Integer),       columnOf(ColumnKind::Boolean),
};

// The engine's forms, exactly: the same type and the same value.
void expectSame(const QVariant& read, const QVariant& written, int column)
{
    EXPECT_EQ(read.isNull(), written.isNull()) << "column " << column;
    if (written.isNull())
        return;
    EXPECT_EQ(read.typeId(), written.typeId()) << "column " << column;
    EXPECT_EQ(read, written) << "column " << column;
}

std::vector<QVariant> row(QVariant a, QVariant b, QVariant c, QVariant d, QVariant e, QVariant f, QVariant g,
                          QVariant h, QVariant i)
{
    return {a, b, c, d, e, f, g, h, i};
}

const QString longText = QString(QStringLiteral("Длинная заметка 🎉 ")).repeated(5000);

const std::vector<std::vector<QVariant>> rows{
    row(QString(), qint64(0), QStringLiteral("пусто"), false, 0.0, QString(), 0.0, qint64(0), true),
    row(QStringLiteral("Встреча"), std::numeric_limits<qint64>::max(), longText, true, -1e300, QStringLiteral("я"),
        46127.999988425923, std::numeric_limits<qint64>::min(), false),
    row(QStringLiteral("день 🎂 рождения"), qint64(-1), QString::fromUtf8("nul\0inside", 10), QVariant(),
        std::numeric_limits<double>::denorm_min(), QStringLiteral("ежедневное"), -693593.5, qint64(1) << 53,
        QVariant()),
    row(QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()),
    row(QVariant(), qint64(7), QVariant(), true, QVariant(), QStringLiteral("Ünïcödé ∑ 𝄞"), QVariant(), QVariant(),
        false),
};

} // namespace

TEST(PackedRows, EveryKindComesBackAsWrittenNullsAndEmptyTextsApart)
{
    PackedRows packed(columns);
    for (const std::vector<QVariant>& values : rows)
        packed.add(values);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        SCOPED_TRACE(r);
        for (std::size_t c = 0; c < columns.size(); ++c)
            expectSame(packed.value(static_cast<int>(r), static_cast<int>(c)), rows[r][c], static_cast<int>(c));
    }
    EXPECT_EQ(packed.value(2, 2).toString().size(), 10) << "a NUL inside a text keeps what follows it";
    EXPECT_FALSE(packed.value(0, 0).isNull()) << "an empty text is no null";
}

TEST(PackedRows, TextsAtTheEdgesOfTheNarrowFormComeBackWhole)
{
    const QString texts[] = {
        QStringLiteral("plain ASCII ~\x7f"),
        QStringLiteral("\u0400 Ѐ and \u047f ѿ, ё Ё й Й"),
        QStringLiteral("\u03ff before Cyrillic"),
        QStringLiteral("\u0480 after the narrow letters, Ԁ"),
        QStringLiteral("café"),
        QStringLiteral("Россия 🇷🇺"),
        QString(QChar(u'\0')),
    };
    const std::vector<ColumnInfo> two{columnOf(ColumnKind::Text), columnOf(ColumnKind::Memo)};
    PackedRows packed(two);
    // Each text beside every other, so either may come first.
    for (const QString& first : texts)
        for (const QString& second : texts)
            packed.add({first, second});
    int slot = 0;
    for (const QString& first : texts) {
        for (const QString& second : texts) {
            EXPECT_EQ(packed.value(slot, 0).toString(), first);
            EXPECT_EQ(packed.value(slot, 1).toString(), second);
            ++slot;
        }
    }
}

TEST(PackedRows, BytesAsADatabaseHoldsThemDecodeAsQtDecodesUtf8)
{
    const QByteArray texts[] = {
        "\xEF\xBB\xBF\xD1\x82\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82", // a byte-order mark before Cyrillic
        "\xD0\xBF\xD1",                                         // a letter, then half of one
        "\xD0",
        "abc\xFF\xFE"
        "def",
        "\xC0\xAF overlong",
    };
    const std::vector<ColumnInfo> two{columnOf(ColumnKind::Text), columnOf(ColumnKind::Memo)};
    PackedRows packed(two);
    for (const QByteArray& text : texts) {
        Backend::Cell cells[2];
        cells[0].isNull = cells[1].isNull = false;
        cells[0].text = cells[1].text = text;
        packed.add(cells);
    }
    QVariant reused;
    for (int slot = 0; slot < static_cast<int>(std::size(texts)); ++slot) {
        const QString expected = QString::fromUtf8(texts[slot]);
        EXPECT_EQ(packed.value(slot, 0).toString(), expected) << slot;
        packed.read(slot, 1, reused);
        EXPECT_EQ(reused.toString(), expected) << slot;
    }
}

TEST(PackedRows, ARowWrittenAnewClearedOrMovedToOneBlockLeavesTheOthersAlone)
{
    PackedRows packed(columns, 256);
    for (const std::vector<QVariant>& values : rows)
        packed.add(values);
    packed.replace(1, rows[2]);
    packed.clear(2);
    const std::vector<QVariant> none(columns.size());
    std::vector<const std::vector<QVariant>*> expected{&rows[0], &rows[2], &none, &rows[3], &rows[4]};
    auto expectRows = [&](const char* when) {
        SCOPED_TRACE(when);
        for (std::size_t r = 0; r < expected.size(); ++r) {
            SCOPED_TRACE(r);
            const std::vector<QVariant> read = packed.values(static_cast<int>(r));
            for (std::size_t c = 0; c < columns.size(); ++c)
                expectSame(read[c], (*expected[r])[c], static_cast<int>(c));
        }
    };
    expectRows("written");
    packed.shrinkToFit();
    expectRows("moved to one block");
    // Written on after the move: new blocks beside the moved one.
    packed.add(rows[1]);
    packed.replace(0, rows[4]);
    expected.push_back(&rows[1]);
    expected[0] = &rows[4];
    expectRows("written after the move");
    packed.shrinkToFit();
    expectRows("moved again");

    // Rows of no text, and a set of no rows.
    const std::vector<ColumnInfo> numbers{columnOf(ColumnKind::Integer), columnOf(ColumnKind::Boolean)};
    PackedRows plain(numbers, 16);
    for (qint64 r = 0; r < 10; ++r)
        plain.add({r, r % 2 == 0});
    plain.clear(3);
    plain.shrinkToFit();
    for (int r = 0; r < 10; ++r)
        EXPECT_EQ(plain.value(r, 0), r == 3 ? QVariant() : QVariant(qint64(r))) << r;
    PackedRows empty(numbers);
    empty.shrinkToFit();
    EXPECT_EQ(empty.add({qint64(1), true}), 0);
}

TEST(PackedRows, RowsLargerThanAnArenaAndManySmallOnesKeepTheirPlaces)
{
    const std::vector<ColumnInfo> one{columnOf(ColumnKind::Memo)};
    PackedRows packed(one);
    const QString huge = longText.repeated(4); // some 400 KB of UTF-8
    for (int r = 0; r < 20000; ++r)
        packed.add({r % 5000 == 0 ? huge : QString::number(r)});
    for (int r = 0; r < 20000; r += 997)
        EXPECT_EQ(packed.value(r, 0), QVariant(r % 5000 == 0 ? huge : QString::number(r))) << r;
}

TEST(DecodedRows, AReferenceShowsItsCellWhileOtherRowsAreReadAndTheNewValueAfterAWrite)
{
    PackedRows packed(columns);
    for (int r = 0; r < 40; ++r)
        packed.add(row(QStringLiteral("строка %1").arg(r), qint64(r), QVariant(), r % 2 == 0, r * 0.5, QString(),
                       QVariant(), QVariant(), QVariant()));
    DecodedRows decoded;
    const QVariant& held = decoded.value(packed, 3, 3, 0);
    for (int r = 0; r < DecodedRows::kept - 1; ++r)
        EXPECT_EQ(decoded.value(packed, 10 + r, 10 + r, 0), QVariant(QStringLiteral("строка %1").arg(10 + r)));
    EXPECT_EQ(held, QVariant(QStringLiteral("строка 3")));

    // Rows read in turn, again and again, each cell as often as a bound control and a grid read it.
    for (int round = 0; round < 3; ++round)
        for (int r = 39; r >= 0; r -= 3)
            for (int c : {1, 0, 1, 4, 3})
                EXPECT_EQ(decoded.value(packed, r, r, c), packed.value(r, c)) << r << ' ' << c;

    const QVariant& written = decoded.value(packed, 5, 5, 0);
    packed.replace(5, row(QStringLiteral("исправлено"), qint64(5), QVariant(), true, 2.5, QString(), QVariant(),
                          QVariant(), QVariant()));
    decoded.refresh(packed, 5, 5);
    EXPECT_EQ(written, QVariant(QStringLiteral("исправлено")));
    packed.clear(5);
    decoded.refresh(packed, 5, 5);
    EXPECT_TRUE(written.isNull());
    EXPECT_TRUE(decoded.value(packed, 5, 5, 1).isNull());
}
