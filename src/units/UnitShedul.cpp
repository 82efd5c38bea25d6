#include "units/UnitShedul.h"

#include "base/Clock.h"
#include "databind/controls/BoundCheckBox.h"
#include "databind/controls/BoundMemo.h"
#include "databind/controls/BoundText.h"
#include "databind/controls/DataGrid.h"
#include "diary/UnitDM.h"
#include "look/Glyphs.h"
#include "look/WindowLook.h"
#include "platform/ErrorReporter.h"
#include "reminders/ReminderTexts.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The choices of "Отложить": minutes from now, or none for 9:00 the next morning.
struct SnoozeChoice
{
    const char* text;
    std::optional<int> minutes;
};

constexpr SnoozeChoice snoozeChoices[] = {
    {"10 минут", 10}, {"30 минут", 30}, {"1 час", 60}, {"3 часа", 180}, {"до завтра", std::nullopt},
};

QDateTime snoozedUntil(const SnoozeChoice& choice)
{
    if (choice.minutes)
        return Clock::now().addSecs(qint64{*choice.minutes} * 60);
    return QDateTime(Clock::today().addDays(1), QTime(9, 0));
}

BoundText* maroonText(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* text = new BoundText(parent);
    text->setObjectName(QString::fromLatin1(name));
    QFont font = text->font();
    font.setBold(true);
    font.setPointSize(10);
    text->setFont(font);
    QPalette palette = text->palette();
    palette.setColor(QPalette::WindowText, QColor(128, 0, 0));
    text->setPalette(palette);
    text->setAutoFillBackground(false);
    text->setGeometry(left, top, width, height);
    return text;
}

} // namespace

TFormShedul::TFormShedul(TDataModule1& dataModule, QWidget* parent) : FirstShowDialog(parent), m_dataModule(dataModule)
{
    setObjectName(QStringLiteral("FormShedul"));
    setWindowTitle(QStringLiteral("Напоминание"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(630, 320);
    setModal(false);
}

void TFormShedul::createControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    GroupBox1 = new QGroupBox;
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setFixedHeight(73);
    WindowLook::paintMoneyGreen(*GroupBox1);
    WindowLook::sunkenFrame(GroupBox1, 0, 8, 161, 62);
    WindowLook::sunkenFrame(GroupBox1, 162, 8, 153, 62);
    WindowLook::sunkenFrame(GroupBox1, 320, 8, 361, 62);

    Vip = new BoundCheckBox(QStringLiteral("Задание выполнено"), GroupBox1);
    Vip->setObjectName(QStringLiteral("Vip"));
    Vip->setToolTip(QStringLiteral("Признак выполненного мероприятия"));
    Vip->setGeometry(16, 16, 129, 17);

    BtnOK = new QPushButton(Glyphs::tick(), QStringLiteral("OK"), GroupBox1);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setToolTip(QStringLiteral("Сохранить мероприятие"));
    // OK and "Отложить" share the frame of the done flag, side by side under it.
    BtnOK->setGeometry(6, 40, 72, 25);
    BtnOK->setDefault(true);
    connect(BtnOK, &QPushButton::clicked, this, [this] { ErrorReporter::guarded([this] { BtnOKClick(); }); });

    BtnSnooze = new QPushButton(QStringLiteral("Отложить"), GroupBox1);
    BtnSnooze->setObjectName(QStringLiteral("BtnSnooze"));
    BtnSnooze->setToolTip(QStringLiteral("Напомнить позже"));
    BtnSnooze->setGeometry(82, 40, 76, 25);
    auto* snoozeMenu = new QMenu(BtnSnooze);
    for (const SnoozeChoice& choice : snoozeChoices)
        connect(snoozeMenu->addAction(QString::fromUtf8(choice.text)), &QAction::triggered, this,
                [this, &choice] { snoozeUntil(snoozedUntil(choice)); });
    BtnSnooze->setMenu(snoozeMenu);

    Label2 = new QLabel(QStringLiteral("Дата/Время исполнения"), GroupBox1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(176, 16);
    Label2->adjustSize();
    WindowLook::sunkenFrame(GroupBox1, 168, 40, 81, 17, QStringLiteral("Дата исполнения"));
    DateIsp = maroonText(GroupBox1, "DateIsp", 168, 40, 73, 17);
    WindowLook::sunkenFrame(GroupBox1, 264, 40, 41, 17, QStringLiteral("Время исполнения"));
    TimeIsp = maroonText(GroupBox1, "TimeIsp", 264, 40, 41, 17);

    Label1 = new QLabel(QStringLiteral("Примечание"), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(328, 16);
    Label1->adjustSize();
    Other = new BoundMemo(GroupBox1);
    Other->setObjectName(QStringLiteral("Other"));
    Other->setGeometry(360, 32, 265, 33);

    GroupBox2 = new QGroupBox;
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    WindowLook::paintMoneyGreen(*GroupBox2);
    auto* listLayout = new QVBoxLayout(GroupBox2);
    listLayout->setContentsMargins(2, 2, 2, 2);
    DBGrid2 = new DataGrid;
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setColumns({QStringLiteral("job")});
    DBGrid2->setTitlesVisible(false);
    DBGrid2->setAlwaysShowSelection(true);
    DBGrid2->setTabKeyNavigation(true); // Tab and Shift+Tab move between the reminders, never out of the list
    DBGrid2->setToolTip(QStringLiteral("Список мероприятий"));
    QFont bold = DBGrid2->font();
    bold.setBold(true);
    DBGrid2->setFont(bold);
    QPalette gridPalette = DBGrid2->palette();
    gridPalette.setColor(QPalette::Base, gridPalette.color(QPalette::ToolTipBase));
    gridPalette.setColor(QPalette::Button, QColor(215, 228, 242)); // the inactive caption's gradient colour
    DBGrid2->setPalette(gridPalette);
    listLayout->addWidget(DBGrid2);

    layout->addWidget(GroupBox1);
    layout->addWidget(GroupBox2, 1);
    setTabOrder(Vip, BtnOK);
    setTabOrder(BtnOK, BtnSnooze);
    setTabOrder(BtnSnooze, Other);
    setTabOrder(Other, DBGrid2);

    DateIsp->setDataField(QStringLiteral("date_isp"));
    TimeIsp->setDataField(QStringLiteral("time_isp"));
    Vip->setDataField(QStringLiteral("vip"));
    Other->setDataField(QStringLiteral("other"));
    bindTo(m_dataModule.reminderSource(m_shown.value_or(ReminderKind::Hour)));
}

void TFormShedul::bindTo(DataSource& source)
{
    DBGrid2->setDataSource(&source);
    DateIsp->setDataSource(&source);
    TimeIsp->setDataSource(&source);
    Vip->setDataSource(&source);
    Other->setDataSource(&source);
}

bool TFormShedul::saveShownSet()
{
    if (!DBGrid2)
        return true;
    RecordSet* set = DBGrid2->recordSet();
    return !set || !set->isOpen() || ErrorReporter::guarded([set] { set->checkBrowseMode(); });
}

void TFormShedul::showReminders(ReminderKind kind)
{
    // A tick or note on the set shown so far would otherwise stay unwritten in a set nobody shows any more.
    saveShownSet();
    // A window the user minimised comes back too: a notification's "Открыть" must bring it up.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    bindTo(m_dataModule.reminderSource(kind));
    const ReminderTexts& texts = reminderTexts(kind);
    const bool birthdays = kind == ReminderKind::Birth;
    Label2->setText(texts.dateLabel);
    Label2->adjustSize();
    GroupBox2->setTitle(texts.listCaption);
    // A birthday is listed with the age the person turns this year, which the birthday query works out.
    DBGrid2->setColumns({birthdays ? QStringLiteral("jobbirth") : QStringLiteral("job")});
    TimeIsp->setVisible(!birthdays);
    Vip->setEnabled(!birthdays);
    setWindowTitle(texts.caption);
    m_shown = kind;
}

void TFormShedul::BtnOKClick()
{
    if (!m_shown)
        return;
    RecordSet& set = m_dataModule.reminderSet(*m_shown);
    // Enter leaves the focus in the control that holds the change: have it written back before the test,
    // as a click on OK would by taking the focus.
    if (set.isEditing())
        set.updateRecord();
    if (set.isModified())
        set.post();
}

void TFormShedul::snoozeUntil(const QDateTime& until)
{
    if (!m_shown || !saveShownSet())
        return;
    hide();
    emit snoozeRequested(*m_shown, until);
}
