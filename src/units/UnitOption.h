#pragma once

#include "reminders/TimerIntervals.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The settings dialog: how often, in minutes, each of the main window's six timers elapses.
class TFormOption : public QDialog
{
    Q_OBJECT

public:
    explicit TFormOption(QWidget* parent = nullptr);

    // The main window's timers in settings order: TimeHour, TimeDay, TimeWeek, TimeMonth, TimeCritik, TimeBirth.
    void setTimers(const TimerIntervals::Timers& timers) { m_timers = timers; }

    void setVisible(bool visible) override;

    void FormShow();
    void BtnOKClick();

    // The controls, made at the first show.
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* EdHour = nullptr;
    QLineEdit* EdDay = nullptr;
    QLineEdit* EdWeek = nullptr;
    QLineEdit* EdMonth = nullptr;
    QLineEdit* EdCritik = nullptr;
    QLineEdit* EdBirth = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* BtnOK = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    std::array<QLineEdit*, TimerIntervals::count> edits() const;

    TimerIntervals::Timers m_timers{};
};

extern TFormOption* FormOption;
