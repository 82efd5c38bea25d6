#include "units/UnitOption.h"

#include "base/Error.h"
#include "look/ProgramLook.h"
#include "platform/ErrorReporter.h"
#include "platform/MessageBoxes.h"
#include "settings/IntegerText.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <utility>

namespace {

const QStringList birthdayLines = {QStringLiteral("Проверять"), QStringLiteral("именинников"),
                                   QStringLiteral("каждые")};

QLabel* label(QWidget* parent, const QString& text, int left, int top)
{
    auto* created = new QLabel(text, parent);
    created->move(left, top);
    created->adjustSize();
    return created;
}

QLineEdit* edit(QWidget* parent, int top)
{
    auto* created = new QLineEdit(parent);
    created->setGeometry(104, top, 57, 21);
    label(parent, QStringLiteral("минут"), 168, top + 3);
    return created;
}

} // namespace

TFormOption::TFormOption(ConfigFile settings, QWidget* parent)
    : FirstShowDialog(parent), m_settings(std::move(settings))
{
    setWindowTitle(QStringLiteral("Настройки"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(262, 244);
}

void TFormOption::createControls()
{
    GroupBox1 = new QGroupBox(QStringLiteral("Период напоминания"), this);
    GroupBox1->setGeometry(rect());

    // Created in keyboard order, which puts the memo after the button, as it was laid out.
    Label1 = label(GroupBox1, QStringLiteral("Ежечасные"), 16, 19);
    EdHour = edit(GroupBox1, 16);
    Label2 = label(GroupBox1, QStringLiteral("Ежедневные"), 16, 43);
    EdDay = edit(GroupBox1, 40);
    Label3 = label(GroupBox1, QStringLiteral("Еженедельные"), 16, 67);
    EdWeek = edit(GroupBox1, 64);
    Label4 = label(GroupBox1, QStringLiteral("Ежемесячные"), 16, 91);
    EdMonth = edit(GroupBox1, 88);
    Label5 = label(GroupBox1, QStringLiteral("Критические"), 16, 115);
    EdCritik = edit(GroupBox1, 112);

    BtnOK = new QPushButton(QStringLiteral("OK"), GroupBox1);
    BtnOK->setGeometry(88, 200, 75, 25);
    BtnOK->setAutoDefault(false);

    Memo1 = new QPlainTextEdit(GroupBox1);
    Memo1->setGeometry(24, 144, 73, 49);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setTabChangesFocus(true);
    Memo1->document()->setDocumentMargin(1);
    QPalette memoColours = Memo1->palette();
    memoColours.setColor(QPalette::Base, QApplication::palette("QMenu").color(QPalette::Window));
    Memo1->setPalette(memoColours);
    Memo1->setPlainText(birthdayLines.join(QLatin1Char('\n')));

    EdBirth = edit(GroupBox1, 152);

    setTabOrder(EdHour, EdDay);
    setTabOrder(EdDay, EdWeek);
    setTabOrder(EdWeek, EdMonth);
    setTabOrder(EdMonth, EdCritik);
    setTabOrder(EdCritik, BtnOK);
    setTabOrder(BtnOK, Memo1);
    setTabOrder(Memo1, EdBirth);

    connect(BtnOK, &QPushButton::clicked, this, &TFormOption::BtnOKClick);
}

std::array<QLineEdit*, TimerIntervals::count> TFormOption::edits() const
{
    return {EdHour, EdDay, EdWeek, EdMonth, EdCritik, EdBirth};
}

void TFormOption::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Restoring the dialog from minimised shows it again too; that must not overwrite what the user typed.
    if (!event->spontaneous())
        FormShow();
}

void TFormOption::FormShow()
{
    // An unreadable file is reported and the dialog opens all the same with the boxes as they were. Without a
    // file the boxes show the intervals the timers run with, so that the user sees what is in force.
    ErrorReporter::guarded([this] {
        const auto boxes = edits();
        if (!m_settings.exists()) {
            const TimerIntervals::Minutes running = TimerIntervals::minutesOf(m_timers);
            for (int i = 0; i < TimerIntervals::count; ++i)
                if (m_timers[i])
                    boxes[i]->setText(QString::number(running[i]));
            return;
        }
        const TimerIntervals::StoredMinutes stored = m_settings.read();
        for (int i = 0; i < TimerIntervals::count; ++i)
            if (stored[i])
                boxes[i]->setText(QString::number(*stored[i]));
    });
}

void TFormOption::BtnOKClick()
{
    ErrorReporter::guarded([this] {
        if (MessageBoxes::ask(this, QStringLiteral("Внимание !"), QStringLiteral("Записать значения таймеров ?")) !=
            MessageBoxes::Answer::Ok)
            return;

        const QString fieldNames[TimerIntervals::count] = {Label1->text(), Label2->text(),
                                                           Label3->text(), Label4->text(),
                                                           Label5->text(), birthdayLines.join(QLatin1Char(' '))};
        const auto boxes = edits();
        TimerIntervals::Minutes minutes{};
        // Every field is checked before anything changes, so a wrong one leaves the timers and the file alone;
        // a text that is no number at all is named before a number out of range.
        for (int i = 0; i < TimerIntervals::count; ++i)
            minutes[i] = IntegerText::toInt(boxes[i]->text());
        for (int i = 0; i < TimerIntervals::count; ++i)
            if (!TimerIntervals::inRange(minutes[i]))
                throw Error(QStringLiteral("Значение поля «%1» должно быть целым числом минут от 0 до %2")
                                .arg(fieldNames[i])
                                .arg(TimerIntervals::maxMinutes));

        TimerIntervals::apply(m_timers, minutes);
        m_settings.write(minutes);
        MessageBoxes::tell(this, ProgramLook::title(), QStringLiteral("Запись произведена успешно !"));
        accept();
    });
}
