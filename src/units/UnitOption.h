#pragma once

#include "settings/ConfigFile.h"
#include "settings/TimerIntervals.h"
#include "units/FirstShowDialog.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The settings dialog: how often, in minutes, each of the six reminder timers elapses, kept in the settings file.
class TFormOption : public FirstShowDialog
{
    Q_OBJECT

public:
    explicit TFormOption(ConfigFile settings, QWidget* parent = nullptr);

    // The reminder timers in settings order: TimeHour, TimeDay, TimeWeek, TimeMonth, TimeCritik, TimeBirth.
    void setTimers(const TimerIntervals::Timers& timers) { m_timers = timers; }

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
    void createControls() override;
    std::array<QLineEdit*, TimerIntervals::count> edits() const;

    ConfigFile m_settings;
    TimerIntervals::Timers m_timers{};
};
