#pragma once

#include "base/Error.h"
#include "support/DataModuleTest.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

// The data module over a temporary diary with the clock fixed, and a shown, active test window to put controls
// in. QJob lists every row in id order once allJobs() has run.
class ControlTest : public DataModuleTest
{
protected:
    ControlTest() { ScriptedMessageBoxes::instance().clear(); }

    // Adds a control below the ones placed before, so a click at its centre reaches it.
    template <class Control> Control* place(Control* control)
    {
        if (!window.layout())
            new QVBoxLayout(&window);
        window.layout()->addWidget(control);
        return control;
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

    QWidget window; // destroyed before the data module its controls are bound to
};
