#include "units/UnitMain.h"

#include "databind/controls/BoundCheckBox.h"
#include "databind/controls/BoundComboBox.h"
#include "databind/controls/BoundEdit.h"
#include "databind/controls/BoundMemo.h"
#include "databind/controls/DataGrid.h"
#include "databind/controls/DataNavigator.h"
#include "diary/DiaryUndo.h"
#include "diary/EventUids.h"
#include "diary/Period.h"
#include "diary/UnitDM.h"
#include "base/Clock.h"
#include "export/CalendarImport.h"
#include "export/ExcelExport.h"
#include "export/IcsExport.h"
#include "look/WindowLook.h"
#include "platform/ErrorReporter.h"
#include "platform/TrayIcon.h"
#include "reminders/ReminderWindow.h"
#include "units/DatePicker.h"
#include "units/HelpPage.h"
#include "units/SearchPanel.h"
#include "units/TrayHiding.h"
#include "units/TypingUndo.h"
#include "units/WindowPlacement.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr QSize clientSize(733, 513);

// Where a node of the tree keeps the periodicity it lists; "Все мероприятия" keeps none.
constexpr int periodRole = Qt::UserRole;

std::optional<Period> periodOf(const QTreeWidgetItem* node)
{
    const QVariant kind = node ? node->data(0, periodRole) : QVariant();
    if (!kind.isValid())
        return std::nullopt;
    return Period(kind.value<Period::Kind>());
}

// The tree's two pictures: a closed note for a node, an open one with a tick for the chosen node.
QPixmap nodeImage(bool selected)
{
    QPixmap image(16, 16);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(46, 107, 60), 1));
    painter.setBrush(selected ? QColor(255, 236, 140) : QColor(250, 250, 240));
    painter.drawRoundedRect(QRectF(2.5, 1.5, 11, 13), 1.5, 1.5);
    painter.setBrush(QColor(60, 140, 78));
    painter.drawRect(QRectF(2.5, 1.5, 11, 3));
    if (selected) {
        painter.setPen(QPen(QColor(176, 48, 48), 2));
        painter.drawPolyline(QPolygonF({QPointF(5, 9), QPointF(7.5, 11.5), QPointF(11.5, 6.5)}));
    }
    return image;
}

} // namespace

TFormMain::TFormMain(TrayIcon& tray, TDataModule1& dataModule, ReminderWindow& reminderWindow, QDialog& settingsDialog,
                     QDialog& aboutBox, QString diaryFolder, QWidget* parent)
    : QMainWindow(parent), m_tray(tray), m_dataModule(dataModule), m_reminderWindow(reminderWindow),
      m_settingsDialog(settingsDialog), m_aboutBox(aboutBox), m_diaryFolder(std::move(diaryFolder))
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("БД Хронотека"));
    // The client area below the menu bar is laid out for 733 x 513 pixels, its smallest size. A larger window
    // (maximised, or a border the window manager lets the user drag) gives the extra height to the list and the
    // extra width to the grid; the editor panel and the navigator keep their heights at the bottom.
    auto* client = new QWidget(this);
    client->setMinimumSize(clientSize);
    setCentralWidget(client);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    createMenus();
    createListArea();
    createEditorPanel();
    createNavigatorArea();
    layout->addWidget(GroupBox3, 1);
    layout->addWidget(GroupBox4);
    layout->addWidget(GroupBox1);
    resize(clientSize.width(), clientSize.height() + menuBar()->sizeHint().height());

    setTabOrder(Tree, DBGrid1);
    // The editor panel's keyboard order; the last-change box is disabled and so skipped.
    QWidget* order[] = {DBGrid1,     EdDateIsp,   EdTime_Isp, CBoxPeriod, EdJob, MemoOther,
                        EdShed_Date, EdShed_Time, CheckNapom, CheckVip,   DTIsp, DTShed_Date};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu->popup(mapToGlobal(pos)); });

    m_trayHiding = new TrayHiding(*this, m_tray, *PopupMenu);
    ErrorReporter::guarded([this] { FormCreate(); });
    bindControls();
}

QString TFormMain::allEventsNode()
{
    return QStringLiteral("Все мероприятия");
}

void TFormMain::createMenus()
{
    QMenuBar* MainMenu = menuBar();
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    QMenu* file = MainMenu->addMenu(QStringLiteral("Файл"));
    N2 = file->addAction(QStringLiteral("Экспорт в Excel"));
    N10 = file->addAction(QStringLiteral("Экспорт в iCalendar"));
    N12 = file->addAction(QStringLiteral("Импорт из iCalendar…"));
    // The calendar sync (WindowSync) answers these two.
    N14 = file->addAction(QStringLiteral("Синхронизировать"));
    N14->setEnabled(false);
    // The backups (WindowBackups) answer this one.
    N15 = file->addAction(QStringLiteral("Резервные копии…"));
    N15->setEnabled(false);
    N3 = file->addAction(QStringLiteral("Выход"));
    QMenu* edit = MainMenu->addMenu(QStringLiteral("Правка"));
    N17 = edit->addAction(DiaryUndo::command(DiaryUndo::Direction::Undo));
    N17->setShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_Z));
    N18 = edit->addAction(DiaryUndo::command(DiaryUndo::Direction::Redo));
    N18->setShortcuts({QKeySequence(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Z),
                       QKeySequence(Qt::ControlModifier | Qt::Key_Y)});
    edit->addSeparator();
    new TypingUndo(this);
    connect(edit, &QMenu::aboutToShow, this, &TFormMain::EditMenuShow);
    // The keys act whatever the menu last showed: a step with nothing to take is a step that does nothing.
    connect(edit, &QMenu::aboutToHide, this, [this] {
        N17->setEnabled(true);
        N18->setEnabled(true);
    });
    connect(N17, &QAction::triggered, this, &TFormMain::N17Click);
    connect(N18, &QAction::triggered, this, &TFormMain::N18Click);
    N11 = edit->addAction(QStringLiteral("Найти…"));
    N11->setShortcut(QKeySequence::Find);
    N4 = MainMenu->addMenu(QStringLiteral("Настройка"));
    N5 = N4->addAction(QStringLiteral("Интервалы"));
    N13 = N4->addAction(QStringLiteral("Синхронизация…"));
    QMenu* help = MainMenu->addMenu(QStringLiteral("Справка"));
    N8 = help->addAction(QStringLiteral("О Программе"));
    N9 = help->addAction(QStringLiteral("Вызов Справки"));
    N7 = MainMenu->addAction(QStringLiteral("Выход"));

    connect(N2, &QAction::triggered, this, &TFormMain::N2Click);
    connect(N10, &QAction::triggered, this, &TFormMain::N10Click);
    connect(N12, &QAction::triggered, this, &TFormMain::N12Click);
    connect(N3, &QAction::triggered, this, &TFormMain::N7Click);
    connect(N11, &QAction::triggered, this, &TFormMain::N11Click);
    connect(N5, &QAction::triggered, this, &TFormMain::N5Click);
    connect(N8, &QAction::triggered, this, &TFormMain::N8Click);
    connect(N9, &QAction::triggered, this, &TFormMain::N9Click);
    connect(N7, &QAction::triggered, this, &TFormMain::N7Click);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    PopShow = PopupMenu->addAction(QStringLiteral("Показать"));
    PopHide = PopupMenu->addAction(QStringLiteral("Спрятать в трей"));
    N1 = PopupMenu->addAction(QStringLiteral("Дни рождения"));
    PopExit = PopupMenu->addAction(QStringLiteral("Выход"));
    connect(PopShow, &QAction::triggered, this, &TFormMain::PopShowClick);
    connect(PopHide, &QAction::triggered, this, &TFormMain::PopHideClick);
    connect(PopExit, &QAction::triggered, this, &TFormMain::PopExitClick);
    connect(N1, &QAction::triggered, this, &TFormMain::N1Click);
}

void TFormMain::createListArea()
{
    // Each control is made on its parent: moving a filled panel to another parent later would send every control
    // in it the font and palette changes again.
    GroupBox3 = new QGroupBox(QStringLiteral("Список"), centralWidget());
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    WindowLook::paintMoneyGreen(*GroupBox3);
    auto* layout = new QHBoxLayout(GroupBox3);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);

    Tree = new QTreeWidget(GroupBox3);
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setFixedWidth(191);
    Tree->setHeaderHidden(true);
    Tree->setIndentation(19);
    Tree->setToolTip(QStringLiteral("Выберите периодичность мероприятия"));
    Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QFont bold = Tree->font();
    bold.setBold(true);
    Tree->setFont(bold);
    QPalette palette = Tree->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
    palette.setColor(QPalette::Text, palette.color(QPalette::Active, QPalette::Highlight));
    // The chosen node stays marked when the tree loses the focus.
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    Tree->setPalette(palette);

    QIcon images;
    images.addPixmap(nodeImage(false), QIcon::Normal);
    images.addPixmap(nodeImage(true), QIcon::Selected);
    auto addNode = [&](QTreeWidgetItem* node, const QString& text) {
        node->setText(0, text);
        node->setIcon(0, images);
        return node;
    };
    m_allNode = addNode(new QTreeWidgetItem(Tree), allEventsNode());
    for (const Period& period : Period::all()) {
        const bool under = period.placement() == Period::Placement::UnderAllEvents;
        QTreeWidgetItem* node =
            addNode(under ? new QTreeWidgetItem(m_allNode) : new QTreeWidgetItem(Tree), period.text());
        node->setData(0, periodRole, QVariant::fromValue(period.kind()));
    }
    connect(Tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* node) { TreeChange(node); });
    layout->addWidget(Tree);

    DBGrid1 = new DataGrid(GroupBox3);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setColumns({QStringLiteral("job"), QStringLiteral("vip")});
    DBGrid1->setReadOnly(true);
    DBGrid1->setRowSelect(true);
    DBGrid1->setToolTip(QStringLiteral("Список мероприятий"));
    DBGrid1->setFont(bold);
    QPalette gridPalette = DBGrid1->palette();
    gridPalette.setColor(QPalette::Base, gridPalette.color(QPalette::ToolTipBase));
    DBGrid1->setPalette(gridPalette);
    QHeaderView* titles = DBGrid1->horizontalHeader();
    QPalette titlePalette = titles->palette();
    titlePalette.setColor(QPalette::ButtonText, QColor(0, 0, 128));
    titles->setPalette(titlePalette);
    titles->setFont(bold);
    DBGrid1->setDrawColumnCell(
        [this](const QRect& rect, int dataColumn, const DataGridColumn& column, DataGrid::DrawState state) {
            DBGrid1DrawColumnCell(rect, dataColumn, column, state);
        });
    m_listSide = new QVBoxLayout;
    m_listSide->setSpacing(0);
    m_listSide->addWidget(DBGrid1, 1);
    layout->addLayout(m_listSide, 1);
}

SearchPanel& TFormMain::searchPanel()
{
    if (!Search) {
        Search = new SearchPanel(m_dataModule, GroupBox3);
        connect(Search, &SearchPanel::eventChosen, this, &TFormMain::SearchEventChosen);
        connect(Search, &SearchPanel::closed, this, [this] { DBGrid1->setFocus(); });
        m_listSide->insertWidget(0, Search);
        // Tab goes from the grid into the search, and on from it to the editor panel, as the panel's place says.
        setTabOrder(DBGrid1, Search->EdSearch);
        setTabOrder(Search->EdSearch, Search->ListFound);
    }
    return *Search;
}

void TFormMain::createEditorPanel()
{
    GroupBox4 = new QGroupBox(centralWidget());
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    GroupBox4->setFixedHeight(218);
    WindowLook::paintMoneyGreen(*GroupBox4);
    QWidget* panel = GroupBox4;

    auto label = [panel](const char* name, const QString& text, int left, int top) {
        auto* l = new QLabel(text, panel);
        l->setObjectName(QString::fromLatin1(name));
        l->move(left, top);
        l->adjustSize();
        return l;
    };
    auto place = [](QWidget* control, const char* name, const char* hint, int left, int top, int width, int height) {
        control->setObjectName(QString::fromLatin1(name));
        if (hint)
            control->setToolTip(QString::fromUtf8(hint));
        control->setGeometry(left, top, width, height);
    };

    WindowLook::sunkenFrame(panel, 8, 16, 217, 65);
    WindowLook::sunkenFrame(panel, 232, 16, 185, 65);
    WindowLook::sunkenFrame(panel, 424, 16, 305, 121);
    WindowLook::sunkenFrame(panel, 8, 88, 217, 49);
    WindowLook::sunkenFrame(panel, 232, 88, 185, 49);

    Label1 = label("Label1", QStringLiteral("Дата/Время исполнения"), 40, 24);
    EdDateIsp = new BoundEdit(panel);
    place(EdDateIsp, "EdDateIsp", "Дата исполнения мероприятия", 24, 40, 97, 21);
    DTIsp = new DatePicker(DatePicker::CalendarAlignment::Right, panel);
    place(DTIsp, "DTIsp", nullptr, 120, 40, 21, 21);
    EdTime_Isp = new BoundEdit(panel);
    EdTime_Isp->setMaxLength(5);
    place(EdTime_Isp, "EdTime_Isp", "Время исполнения мероприятия", 152, 40, 63, 21);

    Label5 = label("Label5", QStringLiteral("Периодичность мероприятия"), 248, 24);
    CBoxPeriod = new BoundComboBox(panel);
    for (const Period& period : Period::all())
        if (period.isOffered())
            CBoxPeriod->addItem(period.text());
    place(CBoxPeriod, "CBoxPeriod", "Периодичность мероприятия", 248, 40, 153, 21);

    Label6 = label("Label6", QStringLiteral("Дата/Время начала напоминания"), 448, 24);
    EdShed_Date = new BoundEdit(panel);
    place(EdShed_Date, "EdShed_Date",
          "Дата начала напоминания мероприятия (только Годовые, квартальные, памятные и дни рождения", 448, 40, 97, 21);
    DTShed_Date = new DatePicker(DatePicker::CalendarAlignment::Left, panel);
    place(DTShed_Date, "DTShed_Date", nullptr, 544, 40, 21, 21);
    EdShed_Time = new BoundEdit(panel);
    EdShed_Time->setMaxLength(5);
    place(EdShed_Time, "EdShed_Time", "Время начала напоминания", 576, 40, 47, 21);
    CheckNapom = new BoundCheckBox(QStringLiteral("Включить таймер"), panel);
    place(CheckNapom, "CheckNapom", nullptr, 456, 88, 121, 17);

    Label3 = label("Label3", QStringLiteral("Дата последнего изменения"), 16, 88);
    EdDate_Zap = new BoundEdit(panel);
    EdDate_Zap->setEnabled(false);
    place(EdDate_Zap, "EdDate_Zap", "Дата последнего изменения (изменяется авоматически)", 56, 104, 121, 21);
    CheckVip = new BoundCheckBox(QStringLiteral("Мероприятие выполнено"), panel);
    place(CheckVip, "CheckVip", "Признак выполненного мероприятия", 248, 104, 153, 17);

    Label4 = label("Label4", QStringLiteral("Мероприятие"), 24, 144);
    EdJob = new BoundEdit(panel);
    place(EdJob, "EdJob", "Краткое описание мероприятия (или именинник)", 96, 144, 625, 21);
    Label2 = label("Label2", QStringLiteral("Примечание"), 27, 168);
    MemoOther = new BoundMemo(panel);
    place(MemoOther, "MemoOther", "Впишите сюда все, что пожелаете", 96, 168, 425, 41);

    connect(DTIsp, &DatePicker::picked, this, &TFormMain::DTIspChange);
    connect(DTShed_Date, &DatePicker::picked, this, &TFormMain::DTShed_DateChange);
}

void TFormMain::createNavigatorArea()
{
    GroupBox1 = new QGroupBox(QStringLiteral("Управление"), centralWidget());
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setFixedHeight(68);
    WindowLook::paintMoneyGreen(*GroupBox1);
    DBNavigator1 = new DataNavigator(GroupBox1);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(176, 16, 370, 41);
    DBNavigator1->setHints({QStringLiteral("Первая запись"), QStringLiteral("Предыдущая запись"),
                            QStringLiteral("Следующая запись"), QStringLiteral("Последняя запись"),
                            QStringLiteral("Вставить"), QStringLiteral("Удалить"), QStringLiteral("Редактировать"),
                            QStringLiteral("Сохранить"), QStringLiteral("Отменить"),
                            QStringLiteral("Обновить данные")});
}

void TFormMain::FormCreate()
{
    m_trayHiding->addIcon();
    DTIsp->setDate(Clock::today());
    DTShed_Date->setDate(Clock::today());
}

void TFormMain::bindControls()
{
    DataSource* source = &m_dataModule.SQJob;
    auto bind = [source](auto* control, const char* field) {
        control->setDataSource(source);
        control->setDataField(QString::fromLatin1(field));
    };
    bind(EdDateIsp, "date_isp");
    bind(EdTime_Isp, "time_isp");
    bind(CBoxPeriod, "period");
    bind(EdShed_Date, "date_shed");
    bind(EdShed_Time, "time_shed");
    bind(CheckNapom, "napom");
    bind(EdDate_Zap, "date_zap");
    bind(CheckVip, "vip");
    bind(EdJob, "job");
    bind(MemoOther, "other");
    DBGrid1->setDataSource(source);
    DBNavigator1->setDataSource(source);
}

void TFormMain::showEvent(QShowEvent* event)
{
    WindowPlacement::centreOnFirstShow(*this);
    QMainWindow::showEvent(event);
}

void TFormMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_activatedOnce) {
        m_activatedOnce = true;
        Tree->setFocus();
        // The diary is listed at once instead of an empty list waiting for a choice.
        Tree->setCurrentItem(m_allNode);
    }
}

bool TFormMain::saveListEdit()
{
    RecordSet& list = m_dataModule.QJob;
    return !list.isOpen() || ErrorReporter::guarded([&] { list.checkBrowseMode(); });
}

void TFormMain::TreeChange(QTreeWidgetItem* node)
{
    if (m_quietNodeChange)
        return;
    if (!saveListEdit()) {
        // The list still holds the edit the user can correct or cancel: keep its node chosen.
        m_quietNodeChange = true;
        Tree->setCurrentItem(m_listNode);
        m_quietNodeChange = false;
        return;
    }
    ErrorReporter::guarded([&] {
        const std::optional<Period> period = periodOf(node);
        m_listNode = node;
        if (period)
            m_dataModule.showPeriod(*period);
        else
            m_dataModule.showAllEvents();
        setBirthdayMode(period && period->kind() == Period::Kind::Birthday);
    });
}

void TFormMain::setBirthdayMode(bool on)
{
    m_birthdayMode = on;
    Label1->setText(on ? QStringLiteral("Дата рождения") : QStringLiteral("Дата/Время исполнения"));
    Label1->adjustSize();
    EdTime_Isp->setEnabled(!on);
    Label4->setText(on ? QStringLiteral("Фамилия И.О.") : QStringLiteral("Мероприятие"));
    Label4->adjustSize();
}

void TFormMain::pickDate(const QString& fieldName, const QDate& date)
{
    ErrorReporter::guarded([&] {
        RecordSet& QJob = m_dataModule.QJob;
        if (QJob.state() != RecordSet::State::Edit)
            QJob.edit();
        // Written into the field itself, so entering the box before a post re-reads the picked date.
        QJob.fieldByName(fieldName).setAsDateTime(QDateTime(date, QTime(0, 0)));
    });
}

void TFormMain::DTIspChange()
{
    pickDate(QStringLiteral("date_isp"), DTIsp->date());
}

void TFormMain::DTShed_DateChange()
{
    pickDate(QStringLiteral("date_shed"), DTShed_Date->date());
}

void TFormMain::N2Click()
{
    const QString sheet = m_listNode ? m_listNode->text(0) : allEventsNode();
    ExcelExport::run(this, m_dataModule.QJob, sheet,
                     m_birthdayMode ? ExcelExport::FirstColumn::Person : ExcelExport::FirstColumn::Event);
}

void TFormMain::N10Click()
{
    // The diary's identity tells its rows from another diary's in the calendar that imports them; events that came
    // from elsewhere keep the UIDs they came with.
    IcsExport::run(this, m_dataModule.QJob, EventUids::read(m_dataModule.ADOConnection1, m_dataModule.diaryIdentity()));
}

void TFormMain::N12Click()
{
    CalendarImport::run(this, m_dataModule, CalendarImport::standardDialogs(), m_beforeImport);
}

void TFormMain::N17Click()
{
    ErrorReporter::guarded([this] { m_dataModule.undoLast(); });
}

void TFormMain::N18Click()
{
    ErrorReporter::guarded([this] { m_dataModule.redoNext(); });
}

void TFormMain::EditMenuShow()
{
    ErrorReporter::guarded([this] {
        for (const auto& [action, direction] :
             {std::pair(N17, DiaryUndo::Direction::Undo), std::pair(N18, DiaryUndo::Direction::Redo)}) {
            const DiaryUndo::Offer offer = DiaryUndo::offer(m_dataModule.ADOConnection1, direction);
            action->setText(offer.text);
            action->setEnabled(offer.available);
        }
    });
}

void TFormMain::N7Click()
{
    close();
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    if (!FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

bool TFormMain::FormClose()
{
    if (!saveListEdit() || !m_reminderWindow.saveShownSet())
        return false;
    m_trayHiding->removeIcon();
    return true;
}

void TFormMain::N5Click()
{
    m_settingsDialog.exec();
}

void TFormMain::N8Click()
{
    m_aboutBox.exec();
}

void TFormMain::N9Click()
{
    HelpPage::open(m_diaryFolder);
}

void TFormMain::PopShowClick()
{
    m_trayHiding->showFromTray();
}

void TFormMain::PopHideClick()
{
    m_trayHiding->hideToTray();
}

void TFormMain::PopExitClick()
{
    if (!FormClose())
        return;
    QCoreApplication::quit();
}

void TFormMain::DBGrid1DrawColumnCell(const QRect& rect, int dataColumn, const DataGridColumn& column,
                                      DataGrid::DrawState state)
{
    RecordSet* list = DBGrid1->recordSet();
    const Field* vip = list ? list->findField(QStringLiteral("vip")) : nullptr;
    if (!vip || list->isEmpty() || vip->asBoolean())
        return;
    // Events not yet done stand out in bright green; black marks the focused cell.
    DBGrid1->setCellBackground(state.testFlag(DataGrid::Focused) ? QColor(0, 0, 0) : QColor(9, 255, 171));
    DBGrid1->defaultDrawColumnCell(rect, dataColumn, column, state);
}

void TFormMain::N1Click()
{
    emit birthdaysRequested();
}

void TFormMain::N11Click()
{
    searchPanel().openSearch();
}

void TFormMain::SearchEventChosen(qint64 id)
{
    ErrorReporter::guarded([&] {
        const std::optional<Period> period = m_dataModule.showEvent(id);
        QTreeWidgetItem* node = m_allNode;
        for (QTreeWidgetItemIterator it(Tree); period && *it; ++it)
            if (periodOf(*it) == period)
                node = *it;
        m_quietNodeChange = true;
        Tree->setCurrentItem(node);
        m_quietNodeChange = false;
        Tree->scrollToItem(node);
        m_listNode = node;
        setBirthdayMode(period && period->kind() == Period::Kind::Birthday);
        searchPanel().closeSearch();
    });
}
