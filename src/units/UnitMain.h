#pragma once

#include "databind/controls/DataGrid.h"

#include <QMainWindow>
#include <QString>

#include <array>

class DataNavigator;
class DatePicker;
class BoundCheckBox;
class BoundComboBox;
class BoundEdit;
class BoundMemo;
class QAction;
class QCloseEvent;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class RecordSet;
class TDataModule1;
class TFormShedul;
class TrayHiding;
class TrayIcon;

// The main window: the periodicity tree beside the list of events, the editor panel for the current event, the
// record navigator, the menus, the six reminder timers and the tray icon.
class TFormMain : public QMainWindow
{
    Q_OBJECT
public:
    // Lays out the window and runs FormCreate; the data module does not exist yet.
    explicit TFormMain(TrayIcon& tray, QWidget* parent = nullptr);
    ~TFormMain() override;

    // Attaches the bound controls to the data module's sources, once it exists.
    void attachDataModule(TDataModule1& dataModule);

    // Menus.
    QAction* N2 = nullptr; // "Файл" -> "Экспорт в Excel"
    QAction* N3 = nullptr; // "Файл" -> "Выход"
    QAction* N5 = nullptr; // "Настройка" -> "Интервалы"
    QAction* N8 = nullptr; // "Справка" -> "О Программе"
    QAction* N9 = nullptr; // "Справка" -> "Вызов Справки"
    QAction* N7 = nullptr; // "Выход" on the menu bar itself
    QMenu* PopupMenu = nullptr;
    QAction* PopShow = nullptr;
    QAction* PopHide = nullptr;
    QAction* N1 = nullptr; // "Дни рождения"
    QAction* PopExit = nullptr;

    // List area.
    QGroupBox* GroupBox3 = nullptr;
    QTreeWidget* Tree = nullptr;
    DataGrid* DBGrid1 = nullptr;

    // Editor panel.
    QGroupBox* GroupBox4 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    BoundEdit* EdDateIsp = nullptr;
    DatePicker* DTIsp = nullptr;
    BoundEdit* EdTime_Isp = nullptr;
    BoundComboBox* CBoxPeriod = nullptr;
    BoundEdit* EdShed_Date = nullptr;
    DatePicker* DTShed_Date = nullptr;
    BoundEdit* EdShed_Time = nullptr;
    BoundCheckBox* CheckNapom = nullptr;
    BoundEdit* EdDate_Zap = nullptr;
    BoundCheckBox* CheckVip = nullptr;
    BoundEdit* EdJob = nullptr;
    BoundMemo* MemoOther = nullptr;

    // Navigator.
    QGroupBox* GroupBox1 = nullptr;
    DataNavigator* DBNavigator1 = nullptr;

    // Reminder timers.
    QTimer* TimeHour = nullptr;
    QTimer* TimeDay = nullptr;
    QTimer* TimeWeek = nullptr;
    QTimer* TimeMonth = nullptr;
    QTimer* TimeCritik = nullptr;
    QTimer* TimeBirth = nullptr;

    // Handlers.
    void FormCreate();
    void TreeChange(QTreeWidgetItem* node);
    void DTIspChange();
    void DTShed_DateChange();
    void DBGrid1DrawColumnCell(const QRect& rect, int dataColumn, const DataGridColumn& column,
                               DataGrid::DrawState state);
    void N2Click();
    void N7Click();
    void N5Click();
    void N8Click();
    void N9Click();
    void PopShowClick();
    void PopHideClick();
    void PopExitClick();
    void N1Click();
    void TimeHourTimer();
    void TimeDayTimer();
    void TimeWeekTimer();
    void TimeBirthTimer();

    // The six timers in the order of the settings file.
    std::array<QTimer*, 6> timers() const { return {TimeHour, TimeDay, TimeWeek, TimeMonth, TimeCritik, TimeBirth}; }

    // The texts of the tree's nodes that the handlers compare with.
    static QString allEventsNode();
    static QString birthdayNode();

    // The node whose list QJob shows, nullptr before the first choice.
    QTreeWidgetItem* listNode() const { return m_listNode; }
    bool birthdayMode() const { return m_birthdayMode; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createMenus();
    void createListArea();
    void createEditorPanel();
    void createNavigatorArea();
    void createTimers();
    // Saves a changed record of the list as moving to another row would; false when the post failed (shown).
    bool saveListEdit();
    void pickDate(const QString& fieldName, const QDate& date);
    void setBirthdayMode(bool on);
    // The close that every exit path shares; false when an unsaved edit could not be posted.
    bool FormClose();

    // One reminder check: its set, the caption of the reminder window showing that set, its question and the
    // show routine; asking is set while its question is open.
    struct ReminderCheck
    {
        RecordSet TDataModule1::*set;
        const char* caption;
        const char* question;
        void (TFormShedul::*show)();
        bool asking = false;
    };
    void runCheck(ReminderCheck& check);

    ReminderCheck m_hourCheck;
    ReminderCheck m_dayCheck;
    ReminderCheck m_weekCheck;
    ReminderCheck m_birthCheck;
    TrayIcon& m_tray;
    TrayHiding* m_trayHiding = nullptr;
    TDataModule1* m_dataModule = nullptr;
    QTreeWidgetItem* m_allNode = nullptr;
    QTreeWidgetItem* m_listNode = nullptr;
    bool m_revertingNode = false;
    bool m_birthdayMode = false;
    bool m_activatedOnce = false;
    bool m_closing = false;
};

// The one instance, created first at start-up.
extern TFormMain* FormMain;
// The current directory as it was when the main window was created.
extern QString StartDir;
