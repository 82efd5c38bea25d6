#include "platform/MessageBoxes.h"
#include "platform/QtLanguage.h"
#include "support/QtPrinters.h"
#include "support/ScriptedMessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Shows message in a real box and returns the texts of its buttons, closing it with Esc's button.
QStringList buttonsOfARealBox(const MessageBoxes::Message& message)
{
    QStringList texts;
    QTimer::singleShot(0, [&texts] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (QAbstractButton* button : box->buttons())
            texts << button->text().remove(QLatin1Char('&'));
        box->escapeButton()->click();
    });
    MessageBoxes::install(nullptr);
    MessageBoxes::instance().show(nullptr, message);
    MessageBoxes::install(&ScriptedMessageBoxes::instance());
    texts.sort();
    return texts;
}

} // namespace

TEST(QtTexts, QtsOwnTextsAreRussianButTheDeleteQuestionKeepsItsEnglishButtons)
{
    const QString undo = QCoreApplication::translate("QLineEdit", "&Undo");
    EXPECT_NE(undo, QStringLiteral("&Undo"));
    EXPECT_TRUE(undo.contains(QRegularExpression(QStringLiteral("[А-Яа-я]")))) << undo.toStdString();

    MessageBoxes::Message question{QStringLiteral("Внимание!!!"), QStringLiteral("Показать?"), MessageBoxes::Icon::None,
                                   MessageBoxes::Buttons::OkCancel};
    EXPECT_EQ(buttonsOfARealBox(question), (QStringList{"OK", "Отмена"}));
    question.buttonTexts = MessageBoxes::ButtonTexts::English;
    EXPECT_EQ(buttonsOfARealBox(question), (QStringList{"Cancel", "OK"}));
}

TEST(QtTexts, WithoutAUserLocaleDatesSpeakRussian)
{
    const QLocale before;
    QtLanguage::installRussian(*QCoreApplication::instance(), QLocale::c());
    EXPECT_EQ(QLocale().language(), QLocale::Russian);
    EXPECT_EQ(QLocale().standaloneMonthName(1), QStringLiteral("январь"));

    QLocale::setDefault(QLocale(QLocale::German));
    QtLanguage::installRussian(*QCoreApplication::instance(), QLocale(QLocale::German));
    EXPECT_EQ(QLocale().language(), QLocale::German);
    QLocale::setDefault(before);
}
