#include "databind/controls/DataGrid.h"
#include "diary/UnitDM.h"
#include "engine/SearchWords.h"
#include "support/FixedClock.h"
#include "support/Program.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"
#include "databind/controls/BoundEdit.h"
#include "units/SearchMarks.h"
#include "units/SearchPanel.h"
#include "units/UnitMain.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

const QDateTime moment(QDate(2026, 12, 7), QTime(10, 30, 15));

class MainWindowSearchTest : public ::testing::Test
{
protected:
    void SetUp() override { ScriptedMessageBoxes::instance().clear(); }

    void start()
    {
        program = std::make_unique<Program>(diary);
        program->showMainWindow();
    }

    TFormMain& form() { return program->singletons.mainWindow(); }
    RecordSet& list() { return program->singletons.dataModule().QJob; }
    SearchPanel& search() { return form().searchPanel(); }

    qint64 add(const QString& job, const QVariant& period, const QString& other = {}, bool done = false)
    {
        return diary.addRow({{QStringLiteral("job"), job},
                             {QStringLiteral("period"), period},
                             {QStringLiteral("other"), other},
                             {QStringLiteral("date_isp"), QDate(2026, 12, 1)},
                             {QStringLiteral("vip"), done}});
    }

    // Ctrl+F, then the text key by key as the user types it; the search runs as the typing pauses.
    void find(const QString& text)
    {
        QTest::keyClick(form().DBGrid1, Qt::Key_F, Qt::ControlModifier);
        ASSERT_TRUE(search().isVisible());
        QTRY_VERIFY(search().EdSearch->hasFocus());
        for (QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, search().EdSearch, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        ASSERT_TRUE(search().TimeSearch->isActive() || text.isEmpty());
        searchNow();
    }

    // Asks at once for what the line holds, as the typing's pause would, and waits for the answer.
    void searchNow()
    {
        QSignalSpy answered(&search(), &SearchPanel::answered);
        search().TimeSearchTimer();
        if (search().isSearching()) {
            ASSERT_TRUE(answered.wait(10000));
        }
    }

    // The descriptions the result list shows, top to bottom.
    QStringList found()
    {
        QStringList jobs;
        for (int i = 0; i < search().ListFound->topLevelItemCount(); ++i)
            jobs << search().ListFound->topLevelItem(i)->toolTip(0);
        return jobs;
    }

    qint64 currentId() { return list().fieldByName(QStringLiteral("id_job")).value().toLongLong(); }

    FixedClock clock{moment};
    TempDiary diary;
    std::unique_ptr<Program> program;
};

} // namespace

TEST_F(MainWindowSearchTest, TypingAWordFormListsTheEventsOfEveryPeriodicity)
{
    add(QStringLiteral("Купить подарки"), QStringLiteral("ежедневное"));
    add(QStringLiteral("Ёлка во дворе"), QStringLiteral("ежегодное"), {}, true);
    add(QStringLiteral("Петров П.П."), QStringLiteral("День рождения"), QStringLiteral("любит подарок с книгой"));
    add(QStringLiteral("Паспорт"), QStringLiteral("раз в жизни"), QStringLiteral("продлить у нотариуса"));
    start();
    const struct
    {
        QString typed;
        QStringList expected; // newest first
    } cases[] = {
        {QStringLiteral("подарков"), {QStringLiteral("Петров П.П."), QStringLiteral("Купить подарки")}},
        {QStringLiteral("щавель"), {}},
        {QStringLiteral("елк"), {QStringLiteral("Ёлка во дворе")}},
        {QStringLiteral("нотар"), {QStringLiteral("Паспорт")}},
        {QStringLiteral("подарок книг"), {QStringLiteral("Петров П.П.")}},
    };
    for (const auto& c : cases) {
        search().EdSearch->clear();
        find(c.typed);
        EXPECT_EQ(found(), c.expected) << c.typed.toStdString();
        EXPECT_EQ(search().LabelFound->text(), c.expected.isEmpty()
                                                   ? QStringLiteral("Ничего не найдено")
                                                   : QStringLiteral("Найдено: %1").arg(c.expected.size()))
            << c.typed.toStdString();
    }
    QTreeWidgetItem* row = search().ListFound->topLevelItem(0);
    EXPECT_EQ(row->text(1), QStringLiteral("День рождения"));
    EXPECT_EQ(row->text(2), QStringLiteral("01.12.2026"));
    const auto* description = qobject_cast<QLabel*>(search().ListFound->itemWidget(row, 0));
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->text(), QStringLiteral("Петров П.П."));
    EXPECT_TRUE(ScriptedMessageBoxes::instance().shown().isEmpty());
}

TEST_F(MainWindowSearchTest, PickingAnEventChoosesItsNodeAndMakesItsRowCurrent)
{
    for (int i = 0; i < 3; ++i)
        add(QStringLiteral("прочее %1").arg(i), QStringLiteral("ежедневное"));
    const struct
    {
        QString job;
        QVariant period;
        QString node;
        bool doubleClick;
    } cases[] = {
        {QStringLiteral("полить цветы"), QStringLiteral("ежедневное"), QStringLiteral("ежедневное"), false},
        {QStringLiteral("отчёт в налоговую"), QStringLiteral("Ежеквартальное"), QStringLiteral("ежеквартальное"), true},
        {QStringLiteral("Сидоров С.С."), QStringLiteral("День рождения"), QStringLiteral("День рождения"), false},
        {QStringLiteral("свадьба"), QStringLiteral("Памятная дата"), QStringLiteral("Памятная дата"), true},
        {QStringLiteral("починить крышу"), QStringLiteral("когда-нибудь"), QStringLiteral("Все мероприятия"), false},
        {QStringLiteral("разобрать чердак"), QVariant(), QStringLiteral("Все мероприятия"), true},
    };
    std::vector<qint64> ids;
    for (const auto& c : cases) {
        ids.push_back(add(c.job, c.period));
        add(QStringLiteral("прочее"), c.period);
    }
    start();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.job.toStdString());
        search().EdSearch->clear();
        find(c.job.left(c.job.size() - 1));
        ASSERT_EQ(found(), QStringList{c.job});
        if (c.doubleClick) {
            QTreeWidget& results = *search().ListFound;
            const QRect rect = results.visualItemRect(results.topLevelItem(0));
            // As the window system delivers a double click: a click, then the second press as a double click.
            QTest::mouseClick(results.viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
            QTest::mouseDClick(results.viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
            QTest::mouseRelease(results.viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        } else {
            QTest::keyClick(search().EdSearch, Qt::Key_Return);
        }
        EXPECT_EQ(form().Tree->currentItem()->text(0), c.node);
        EXPECT_EQ(currentId(), ids[i]);
        EXPECT_EQ(form().Label4->text(), c.node == QStringLiteral("День рождения") ? QStringLiteral("Фамилия И.О.")
                                                                                   : QStringLiteral("Мероприятие"));
        EXPECT_FALSE(search().isVisible());
        EXPECT_TRUE(form().DBGrid1->hasFocus());
    }
    EXPECT_TRUE(ScriptedMessageBoxes::instance().shown().isEmpty());
}

TEST_F(MainWindowSearchTest, AnEditNotYetPostedIsSavedBeforeTheFoundEventIsShown)
{
    const qint64 edited = add(QStringLiteral("дело"), QStringLiteral("ежечасное"));
    const qint64 wanted = add(QStringLiteral("встреча с юристом"), QStringLiteral("ежедневное"));
    start();
    form().EdJob->setFocus();
    QTRY_VERIFY(form().EdJob->hasFocus());
    QTest::keyClick(form().EdJob, Qt::Key_End);
    QTest::sendKeyEvent(QTest::Click, form().EdJob, Qt::Key_unknown, QStringLiteral("!"), Qt::NoModifier);
    ASSERT_EQ(currentId(), edited);
    find(QStringLiteral("юрист"));
    QTest::keyClick(search().EdSearch, Qt::Key_Enter);
    EXPECT_EQ(diary.value(edited, QStringLiteral("job")).toString(), QStringLiteral("дело!"));
    EXPECT_EQ(diary.value(edited, QStringLiteral("date_zap")).toDateTime(), moment);
    EXPECT_EQ(currentId(), wanted);
    EXPECT_EQ(form().Tree->currentItem()->text(0), QStringLiteral("ежедневное"));
}

// Enter typed before the answer came picks the first event the answer brings.
TEST_F(MainWindowSearchTest, EnterBeforeTheAnswerPicksTheFirstEventItBrings)
{
    add(QStringLiteral("прочее"), QStringLiteral("ежедневное"));
    const qint64 wanted = add(QStringLiteral("встреча с юристом"), QStringLiteral("ежемесячное"));
    start();
    QTest::keyClick(form().DBGrid1, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(search().EdSearch->hasFocus());
    for (QChar ch : QStringLiteral("юрист"))
        QTest::sendKeyEvent(QTest::Click, search().EdSearch, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    QTest::keyClick(search().EdSearch, Qt::Key_Return);
    EXPECT_TRUE(search().isSearching());
    QTRY_COMPARE(currentId(), wanted);
    EXPECT_EQ(form().Tree->currentItem()->text(0), QStringLiteral("ежемесячное"));
    EXPECT_FALSE(search().isVisible());
}

TEST_F(MainWindowSearchTest, EscClosesTheSearchAndCtrlFBringsBackTheWordsSelected)
{
    add(QStringLiteral("Купить подарки"), QStringLiteral("ежедневное"));
    start();
    find(QStringLiteral("подарки"));
    QTest::keyClick(search().EdSearch, Qt::Key_Escape);
    EXPECT_FALSE(search().isVisible());
    EXPECT_TRUE(form().DBGrid1->hasFocus());

    QTest::keyClick(form().DBGrid1, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(search().isVisible());
    EXPECT_EQ(search().EdSearch->selectedText(), QStringLiteral("подарки"));
}

TEST_F(MainWindowSearchTest, WhateverIsTypedMakesNoErrorBox)
{
    add(QStringLiteral("Купить подарки"), QStringLiteral("ежедневное"));
    start();
    const QString hostile[] = {
        QStringLiteral("\"подарки"),
        QStringLiteral("подар* OR NEAR(a b) -купить"),
        QStringLiteral("(((\")) ^ : {} [] ' ; -- /*"),
        QStringLiteral("подарки & | ! <-> :*"),
        QStringLiteral("🎁 подарки 🎄"),
        QString(10000, u'ж'),
        QStringLiteral("   "),
    };
    for (const QString& text : hostile) {
        search().EdSearch->setText(text);
        searchNow();
    }
    EXPECT_TRUE(ScriptedMessageBoxes::instance().shownTexts().isEmpty())
        << ScriptedMessageBoxes::instance().shownTexts().join(u'\n').toStdString();
}

TEST(SearchMarks, TheWordsLikeATypedWordAreBold)
{
    const struct
    {
        QString text;
        QString typed;
        QString html;
    } cases[] = {
        {QStringLiteral("Купить подарки"), QStringLiteral("подарок"), QStringLiteral("Купить <b>подарки</b>")},
        {QStringLiteral("много подарков"), QStringLiteral("подарки"), QStringLiteral("много <b>подарков</b>")},
        {QStringLiteral("Ёлка, ёлочка"), QStringLiteral("елк"), QStringLiteral("<b>Ёлка</b>, ёлочка")},
        {QStringLiteral("ДР у мамы"), QStringLiteral("др мам"), QStringLiteral("<b>ДР</b> у <b>мамы</b>")},
        {QStringLiteral("дом и дорога"), QStringLiteral("до"), QStringLiteral("<b>дом</b> и <b>дорога</b>")},
        {QStringLiteral("<i>кот</i> & пёс"), QStringLiteral("кот"),
         QStringLiteral("&lt;i&gt;<b>кот</b>&lt;/i&gt; &amp; пёс")},
        {QStringLiteral("подать заявление"), QStringLiteral("подарок"), QStringLiteral("подать заявление")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SearchMarks::markedHtml(c.text, SearchWords::of(c.typed)), c.html) << c.text.toStdString();
}
