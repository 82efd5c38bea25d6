#pragma once

#include "platform/ResumeWatch.h"

#include <memory>

class TDataModule1;
class ReminderChecks;
class TFormMain;
class TFormShedul;
class TFormOption;
class TFormabout;
class TrayIcon;

// The program's five single instances, created in start-up order (the main window, the data module, the reminder
// window, the settings dialog, the About box) with their globals set, and the reminder checks that join the data
// module, the reminder window and the tray, made once those exist, with the watch that tells them of a resume;
// all destroyed in the reverse order.
// Creating the data module opens the database; when that fails the constructor throws and nothing is left.
class Singletons
{
public:
    // The reminder timers count on clocks; the resume watch is made here but started by start-up.
    explicit Singletons(TrayIcon& tray, const SuspendClocks& clocks = SuspendClocks::system());
    ~Singletons();
    Singletons(const Singletons&) = delete;
    Singletons& operator=(const Singletons&) = delete;

    ReminderChecks& reminders() { return *m_reminders; }
    ResumeWatch& resumeWatch() { return *m_resumeWatch; }

private:
    static void clearGlobals();

    std::unique_ptr<TFormMain> m_formMain;
    std::unique_ptr<TDataModule1> m_dataModule;
    std::unique_ptr<TFormShedul> m_formShedul;
    std::unique_ptr<ReminderChecks> m_reminders;
    std::unique_ptr<ResumeWatch> m_resumeWatch;
    std::unique_ptr<TFormOption> m_formOption;
    std::unique_ptr<TFormabout> m_formAbout;
};
