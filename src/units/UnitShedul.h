#pragma once

#include <QDialog>

class BoundCheckBox;
class BoundMemo;
class BoundText;
class DataGrid;
class DataSource;
class QGroupBox;
class QLabel;
class QPushButton;

// The reminder window: lists what a reminder check found due, shows the date, time, done flag and note of the
// current event, and lets the user mark it done. One window serves the four reminder sets; its caption names
// the set it shows, and that caption is what OK and the checks go by.
class TFormShedul : public QDialog
{
    Q_OBJECT
public:
    explicit TFormShedul(QWidget* parent = nullptr);

    void setVisible(bool visible) override;

    void ShowHourReminders();
    void ShowDayReminders();
    void ShowWeekReminders();
    void ShowBirthReminders();
    void BtnOKClick();

    // Saves an edit of the set the window shows as moving to another row would; false when the post failed,
    // which has been shown.
    bool saveShownSet();

    // The controls, made at the first show.
    QGroupBox* GroupBox1 = nullptr;
    BoundCheckBox* Vip = nullptr;
    QPushButton* BtnOK = nullptr;
    QLabel* Label2 = nullptr;
    BoundText* DateIsp = nullptr;
    BoundText* TimeIsp = nullptr;
    QLabel* Label1 = nullptr;
    BoundMemo* Other = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    DataGrid* DBGrid2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Mode
    {
        const char* caption;
        const char* dateLabel;
        const char* listCaption;
        bool birthdays;
    };
    void createControls();
    void bindTo(DataSource& source);
    void showReminders(DataSource& source, const Mode& mode);
};

extern TFormShedul* FormShedul;
