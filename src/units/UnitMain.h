#pragma once

#include "databind/controls/DataGrid.h"

#include <QMainWindow>
#include <QString>

#include <functional>

class DataNavigator;
class DatePicker;
class BoundCheckBox;
class BoundComboBox;
class BoundEdit;
class BoundMemo;
class QAction;
class QCloseEvent;
class QDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;
class ReminderWindow;
class SearchPanel;
class TDataModule1;
class TrayHiding;
class TrayIcon;

// The main window: the periodicity tree beside the list of events, the editor panel for the current event, the
// record navigator, the menus and the tray icon. It lists the data module's events, saves the reminder window's
// edit as it closes, opens the two dialogs, and opens the help page in the diary folder.
class TFormMain : public QMainWindow
{
    Q_OBJECT
public:
    // Lays out the window, runs FormCreate and binds the controls to the data module's list.
    TFormMain(TrayIcon& tray, TDataModule1& dataModule, ReminderWindow& reminderWindow, QDialog& settingsDialog,
              QDialog& aboutBox, QString diaryFolder, QWidget* parent = nullptr);

    // Menus.
    QAction* N2 = nullptr;  // "Файл" -> "Экспорт в Excel"
    QAction* N10 = nullptr; // "Файл" -> "Экспорт в iCalendar"
    QAction* N12 = nullptr; // "Файл" -> "Импорт из iCalendar…"
    QAction* N14 = nullptr; // "Файл" -> "Синхронизировать", off without an account
    QAction* N15 = nullptr; // "Файл" -> "Резервные копии…", off without a backups folder
    QAction* N3 = nullptr;  // "Файл" -> "Выход"
    QAction* N17 = nullptr; // "Правка" -> "Отменить" (Ctrl+Z), naming the change it takes back
    QAction* N18 = nullptr; // "Правка" -> "Повторить" (Ctrl+Shift+Z, Ctrl+Y)
    QAction* N11 = nullptr; // "Правка" -> "Найти…"
    QMenu* N4 = nullptr;    // "Настройка"
    QAction* N5 = nullptr;  // "Настройка" -> "Интервалы"
    QAction* N13 = nullptr; // "Настройка" -> "Синхронизация…"
    QAction* N8 = nullptr;  // "Справка" -> "О Программе"
    QAction* N9 = nullptr;  // "Справка" -> "Вызов Справки"
    QAction* N7 = nullptr;  // "Выход" on the menu bar itself
    QMenu* PopupMenu = nullptr;
    QAction* PopShow = nullptr;
    QAction* PopHide = nullptr;
    QAction* N1 = nullptr; // "Дни рождения"
    QAction* PopExit = nullptr;

    // List area.
    QGroupBox* GroupBox3 = nullptr;
    QTreeWidget* Tree = nullptr;
    DataGrid* DBGrid1 = nullptr;
    // The search line and what it found, over the grid while open; made at the first search (see searchPanel).
    SearchPanel* Search = nullptr;

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

    // Handlers.
    void FormCreate();
    void TreeChange(QTreeWidgetItem* node);
    void DTIspChange();
    void DTShed_DateChange();
    void DBGrid1DrawColumnCell(const QRect& rect, int dataColumn, const DataGridColumn& column,
                               DataGrid::DrawState state);
    void N2Click();
    void N10Click();
    void N12Click();
    void N7Click();
    void N5Click();
    void N8Click();
    void N9Click();
    void PopShowClick();
    void PopHideClick();
    void PopExitClick();
    void N1Click();
    // Undo and redo of the last change to the diary; the menu items name it as the menu opens.
    void N17Click();
    void N18Click();
    void EditMenuShow();
    // Opens the search line (Ctrl+F).
    void N11Click();
    // The search panel, made over the grid when first asked for: most starts never search.
    SearchPanel& searchPanel();
    // Shows the event the search picked as choosing its node and its row would, and closes the search.
    void SearchEventChosen(qint64 id);

    // The text of the tree's node that lists every event but birthdays and memorable dates.
    static QString allEventsNode();
    // What runs once an import's file is read and before it is written (the backups' copy); none by default.
    void setBeforeImport(std::function<void()> beforeImport) { m_beforeImport = std::move(beforeImport); }

signals:
    // "Дни рождения": the birthday check is to run now.
    void birthdaysRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createMenus();
    void createListArea();
    void createEditorPanel();
    void createNavigatorArea();
    void bindControls();
    // Saves a changed record of the list as moving to another row would; false when the post failed (shown).
    bool saveListEdit();
    void pickDate(const QString& fieldName, const QDate& date);
    void setBirthdayMode(bool on);
    // The close that every exit path shares; false when an unsaved edit could not be posted.
    bool FormClose();

    TrayIcon& m_tray;
    TrayHiding* m_trayHiding = nullptr;
    TDataModule1& m_dataModule;
    ReminderWindow& m_reminderWindow;
    QDialog& m_settingsDialog;
    QDialog& m_aboutBox;
    QString m_diaryFolder;
    // The node whose list QJob shows, nullptr before the first choice.
    QTreeWidgetItem* m_allNode = nullptr;
    QTreeWidgetItem* m_listNode = nullptr;
    // The column of the search panel, once made, over the grid.
    QVBoxLayout* m_listSide = nullptr;
    // The tree's node is being set to match the list already shown: choosing it must not read the list anew.
    bool m_quietNodeChange = false;
    bool m_birthdayMode = false;
    bool m_activatedOnce = false;
    bool m_closing = false;
    std::function<void()> m_beforeImport;
};
