#pragma once

#include "engine/Error.h"
#include "support/FixedClock.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TempDiary.h"
#include "units/UnitDM.h"

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

// A temporary diary with the data module over it, the clock fixed, and a shown, active test window to put
// controls in. QJob lists every row in id order once listJobs() has run.
class ControlTest : public ::testing::Test
{
protected:
    ControlTest() { ScriptedMessageBoxes::instance().clear(); }

    // Adds a control below the ones placed before, so a click at its centre reaches it.
    template <class Control>
    Control* place(Control* control)
    {
        if (!window.layout())
            new QVBoxLayout(&window);
        window.layout()->addWidget(control);
        return control;
    }

    TDataModule1& module()
    {
        if (!m_module)
            m_module = std::make_unique<TDataModule1>();
        return *m_module;
    }

    RecordSet& listJobs()
    {
        RecordSet& q = module().QJob;
        q.setSql({QStringLiteral("select * from job order by id_job")});
        q.open();
        return q;
    }

    qint64 addJob(const QString& job, const QVariantMap& more = {})
    {
        QVariantMap values = more;
        values.insert(QStringLiteral("job"), job);
        return diary.addRow(values);
    }

    // Shows the window and makes it active, so focus changes behave as for a user.
    void showWindow()
    {
        window.resize(640, 400);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    static void focus(QWidget* widget)
    {
        widget->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(widget->hasFocus());
    }

    // Types each character as a key with that text, Cyrillic included.
    static void type(QWidget* widget, const QString& text)
    {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    static QStringList shownTexts() { return ScriptedMessageBoxes::instance().shownTexts(); }

    static QDateTime now() { return QDateTime(QDate(2026, 3, 12), QTime(14, 5, 9)); }

    TempDiary diary;
    FixedClock clock{now()};

private:
    std::unique_ptr<TDataModule1> m_module;

protected:
    QWidget window; // goes before the data module its controls are bound to
};
