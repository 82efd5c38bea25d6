#include "units/UnitOption.h"

#include "platform/BootClockTimer.h"
#include "settings/ConfigFile.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString question = QStringLiteral("Записать значения таймеров ?");
const QString success = QStringLiteral("Запись произведена успешно !");

// The dialog over the config.dat of a diary folder of its own.
class SettingsDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ScriptedMessageBoxes::instance().clear();
        for (int i = 0; i < TimerIntervals::count; ++i) {
            m_timers[i].start(TimerIntervals::builtInMilliseconds[i]);
            m_pointers[i] = &m_timers[i];
        }
        m_form.setTimers(m_pointers);
    }

    void type(const QStringList& texts)
    {
        QLineEdit* const boxes[] = {m_form.EdHour,  m_form.EdDay,    m_form.EdWeek,
                                    m_form.EdMonth, m_form.EdCritik, m_form.EdBirth};
        for (int i = 0; i < TimerIntervals::count; ++i)
            boxes[i]->setText(texts[i]);
    }

    QStringList texts() const
    {
        return {m_form.EdHour->text(),  m_form.EdDay->text(),    m_form.EdWeek->text(),
                m_form.EdMonth->text(), m_form.EdCritik->text(), m_form.EdBirth->text()};
    }

    QList<int> intervals() const
    {
        QList<int> result;
        for (const BootClockTimer& timer : m_timers)
            result.append(timer.isActive() ? timer.interval() : 0);
        return result;
    }

    static QList<int> builtIn() { return {600000, 3600000, 10800000, 21600000, 1000, 7200000}; }

    QString configPath() const { return m_dir.filePath(QStringLiteral("config.dat")); }

    QByteArray fileBytes() const
    {
        QFile file(configPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    BootClockTimer m_timers[TimerIntervals::count];
    TimerIntervals::Timers m_pointers{};
    TFormOption m_form{ConfigFile(configPath())};
};

} // namespace

TEST_F(SettingsDialog, KeyboardOrderPutsTheMemoAfterTheButton)
{
    m_form.show();
    const QList<QWidget*> order = {m_form.EdHour,   m_form.EdDay, m_form.EdWeek, m_form.EdMonth,
                                   m_form.EdCritik, m_form.BtnOK, m_form.Memo1,  m_form.EdBirth};
    for (int i = 0; i + 1 < order.size(); ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i + 1]) << "after tab stop " << i;
    }
}

TEST_F(SettingsDialog, OkAppliesTheIntervalsWritesTheFileAndCloses)
{
    m_form.show();
    type({"1", "$3C", " 180", "0", "+2", "120"});
    m_form.BtnOKClick();

    const auto& shown = ScriptedMessageBoxes::instance().shown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].caption, QStringLiteral("Внимание !"));
    EXPECT_EQ(shown[0].text, question);
    EXPECT_EQ(shown[0].buttons, MessageBoxes::Buttons::OkCancel);
    EXPECT_EQ(shown[0].icon, MessageBoxes::Icon::None);
    EXPECT_EQ(shown[1].caption, QStringLiteral("Хронотека"));
    EXPECT_EQ(shown[1].text, success);
    EXPECT_EQ(shown[1].buttons, MessageBoxes::Buttons::Ok);
    EXPECT_EQ(shown[1].icon, MessageBoxes::Icon::None);

    EXPECT_EQ(intervals(), (QList<int>{60000, 3600000, 10800000, 0, 120000, 7200000}));
    EXPECT_FALSE(m_timers[3].isActive()) << "0 minutes stops the timer";
    EXPECT_TRUE(m_timers[1].isActive());
    EXPECT_EQ(fileBytes().toHex(), QByteArray("010000003c000000b4000000000000000200000078000000"));
    EXPECT_FALSE(m_form.isVisible());
    EXPECT_EQ(m_form.result(), QDialog::Accepted);
}

TEST_F(SettingsDialog, CancelAtTheQuestionChangesNothing)
{
    ConfigFile(configPath()).write({10, 60, 180, 360, 1, 120});
    const QByteArray before = fileBytes();
    m_form.show();
    type({"1", "2", "3", "4", "5", "6"});
    ScriptedMessageBoxes::instance().setNextAnswer(MessageBoxes::Answer::Cancel);
    m_form.BtnOKClick();

    EXPECT_EQ(ScriptedMessageBoxes::instance().shownTexts(), QStringList{question});
    EXPECT_EQ(intervals(), builtIn());
    EXPECT_EQ(fileBytes(), before);
    EXPECT_TRUE(m_form.isVisible());
    EXPECT_EQ(texts(), (QStringList{"1", "2", "3", "4", "5", "6"}));
}

TEST_F(SettingsDialog, WrongFieldIsReportedAndNothingChanges)
{
    const struct
    {
        QStringList typed;
        QString error;
    } cases[] = {
        {{"", "60", "180", "360", "1", "120"}, "'' is not a valid integer value."},
        {{"10", "60", "180", "360", "1", "12 0"}, "'12 0' is not a valid integer value."},
        // A field that is no number is named before an earlier one that is out of range.
        {{"-1", "шесть", "180", "360", "1", "120"}, "'шесть' is not a valid integer value."},
        {{"-1", "60", "180", "360", "1", "120"},
         "Значение поля «Ежечасные» должно быть целым числом минут от 0 до 35791."},
        {{"10", "60", "180", "360", "35792", "120"},
         "Значение поля «Критические» должно быть целым числом минут от 0 до 35791."},
        {{"10", "60", "180", "360", "1", "$FFFFFFFF"},
         "Значение поля «Проверять именинников каждые» должно быть целым числом минут от 0 до 35791."},
    };
    m_form.show();
    for (const auto& c : cases) {
        ScriptedMessageBoxes::instance().clear();
        type(c.typed);
        m_form.BtnOKClick();

        EXPECT_EQ(ScriptedMessageBoxes::instance().shownTexts(), (QStringList{question, c.error}));
        EXPECT_EQ(ScriptedMessageBoxes::instance().shown().back().icon, MessageBoxes::Icon::Error);
        EXPECT_EQ(intervals(), builtIn()) << c.error.toStdString();
        EXPECT_FALSE(QFile::exists(configPath())) << c.error.toStdString();
        EXPECT_TRUE(m_form.isVisible());
        EXPECT_EQ(texts(), c.typed);
    }
}

TEST_F(SettingsDialog, FailedWriteIsReportedInsteadOfSuccessAndTheDialogStays)
{
    m_form.show();
    ASSERT_TRUE(QDir().mkdir(configPath()));
    type({"1", "60", "180", "360", "1", "120"});
    m_form.BtnOKClick();

    const QStringList shown = ScriptedMessageBoxes::instance().shownTexts();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[1].startsWith(QStringLiteral("Cannot create file \"%1/config.dat\". ").arg(m_dir.path())))
        << shown[1].toStdString();
    EXPECT_FALSE(shown.contains(success));
    EXPECT_TRUE(m_form.isVisible());
    EXPECT_EQ(m_timers[0].interval(), 60000) << "the intervals apply for this run even so";
}

TEST_F(SettingsDialog, ShowingFillsTheBoxesFromTheFileOrWithoutOneFromTheTimers)
{
    // Without a file, the intervals in force; the critical timer's second is less than a minute.
    m_form.show();
    EXPECT_EQ(texts(), (QStringList{"10", "60", "180", "360", "0", "120"}));
    type({"a", "b", "c", "d", "e", "f"});
    m_form.hide();
    m_pointers[1]->start(25 * 60000);
    m_form.show();
    EXPECT_EQ(texts(), (QStringList{"10", "25", "180", "360", "0", "120"}));
    m_form.hide();

    QFile file(configPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // 7, 99999 (out of range), 0, then a file too short for the last three.
    file.write(QByteArray::fromHex("070000009f86010000000000"));
    file.close();
    m_form.show();
    EXPECT_EQ(texts(), (QStringList{"7", "25", "0", "360", "0", "120"}));
    EXPECT_TRUE(ScriptedMessageBoxes::instance().shown().isEmpty());
}

TEST_F(SettingsDialog, UnreadableFileIsReportedAndTheDialogOpensAllTheSame)
{
    m_form.show();
    type({"1", "2", "3", "4", "5", "6"});
    m_form.hide();
    ASSERT_TRUE(QDir().mkdir(configPath()));
    m_form.show();
    ASSERT_EQ(ScriptedMessageBoxes::instance().shown().size(), 1);
    EXPECT_TRUE(ScriptedMessageBoxes::instance().shownTexts()[0].startsWith(QStringLiteral("Cannot open file \"")));
    EXPECT_TRUE(m_form.isVisible());
    EXPECT_EQ(texts(), (QStringList{"1", "2", "3", "4", "5", "6"}));
}

TEST_F(SettingsDialog, SavedSettingsSurviveARestart)
{
    m_form.show();
    type({"5", "15", "25", "35", "45", "55"});
    m_form.BtnOKClick();

    BootClockTimer restarted[TimerIntervals::count];
    TimerIntervals::Timers pointers{};
    for (int i = 0; i < TimerIntervals::count; ++i) {
        restarted[i].start(TimerIntervals::builtInMilliseconds[i]);
        pointers[i] = &restarted[i];
    }
    ConfigFile(configPath()).loadInto(pointers);
    for (int i = 0; i < TimerIntervals::count; ++i)
        EXPECT_EQ(restarted[i].interval(), (5 + 10 * i) * 60000) << i;

    TFormOption again{ConfigFile(configPath())};
    again.show();
    EXPECT_EQ(again.EdHour->text(), QStringLiteral("5"));
    EXPECT_EQ(again.EdBirth->text(), QStringLiteral("55"));
    EXPECT_EQ(again.EdCritik->text(), QStringLiteral("45"));
}
