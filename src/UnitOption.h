#pragma once

#include "TimerIntervals.h"

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

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLineEdit* EdHour;
    QLineEdit* EdDay;
    QLineEdit* EdWeek;
    QLineEdit* EdMonth;
    QLineEdit* EdCritik;
    QLineEdit* EdBirth;
    QPlainTextEdit* Memo1;
    QPushButton* BtnOK;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::array<QLineEdit*, TimerIntervals::count> edits() const;

    TimerIntervals::Timers m_timers{};
};

extern TFormOption* FormOption;
