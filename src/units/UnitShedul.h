#pragma once

#include "reminders/ReminderWindow.h"
#include "units/FirstShowDialog.h"

class BoundCheckBox;
class BoundMemo;
class BoundText;
class DataGrid;
class DataSource;
class QGroupBox;
class QDateTime;
class QLabel;
class QPushButton;
class TDataModule1;

// The reminder window: lists what a reminder check found due, shows the date, time, done flag and note of the
// current event, and lets the user mark it done. One window serves every reminder set; its caption names
// the set it shows, one of the data module's.
class TFormShedul : public FirstShowDialog, public ReminderWindow
{
    Q_OBJECT
public:
    explicit TFormShedul(TDataModule1& dataModule, QWidget* parent = nullptr);

    bool isOnScreen() const override { return isVisible(); }
    std::optional<ReminderKind> shownKind() const override { return m_shown; }
    void showReminders(ReminderKind kind) override;

    void BtnOKClick();
    // "Отложить": what was ticked or typed is saved, the window closes, and the set shown is asked back at until.
    void snoozeUntil(const QDateTime& until) override;

    bool saveShownSet() override;

    // The controls, made at the first show.
    QGroupBox* GroupBox1 = nullptr;
    BoundCheckBox* Vip = nullptr;
    QPushButton* BtnOK = nullptr;
    QLabel* Label2 = nullptr;
    BoundText* DateIsp = nullptr;
    BoundText* TimeIsp = nullptr;
    QLabel* Label1 = nullptr;
    BoundMemo* Other = nullptr;
    // "Отложить", with its menu of how long.
    QPushButton* BtnSnooze = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    DataGrid* DBGrid2 = nullptr;

signals:
    void snoozeRequested(ReminderKind kind, const QDateTime& until);

private:
    void createControls() override;
    void bindTo(DataSource& source);

    TDataModule1& m_dataModule;
    std::optional<ReminderKind> m_shown;
};
