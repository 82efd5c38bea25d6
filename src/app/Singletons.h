#pragma once

#include "platform/ResumeWatch.h"
#include "settings/ProgramSettings.h"

#include <memory>

class AlarmScheduler;
class DesktopNotifications;
class DiaryLocation;
class TDataModule1;
class ReminderChecks;
class SecretStore;
class TFormMain;
class TFormShedul;
class TFormOption;
class TFormabout;
class TrayIcon;
class WindowBackups;
class WindowSync;
class SystemTimeWatch;
class StartOptions;
class XdgAutostart;

// The program's five single instances and what joins them, each made once what it uses exists and handed it: the
// program's own settings, the data module over the diary, the reminder window over the data module, the settings dialog
// over the diary's config.dat, the About box, the main window over all of these, then the reminder checks that join the
// data module, the reminder window, the tray, the desktop's notifications and the main window, with the watch that
// tells them of a resume, the events' own alarms with the watch that tells them of a new system time, the start-up
// choices of the "Настройка" menu, and last the window's side of the calendar sync with the keyring of its password.
// All are destroyed in the reverse order. Creating the data module opens the diary; when that fails the constructor
// throws before any window exists.
class Singletons
{
public:
    // The reminder timers count on clocks; the resume watch is made here but started by start-up. configHome: where
    // the user's autostart folder is, the user's own unless a test says otherwise. secrets: the keyring of the sync
    // account's password, the desktop's when none is given (tests give one in memory). backupsFolder: where the
    // diary's backups are kept; none are made without one.
    Singletons(const DiaryLocation& location, TrayIcon& tray, const SuspendClocks& clocks = SuspendClocks::system(),
               const QString& configHome = {}, SecretStore* secrets = nullptr, const QString& backupsFolder = {});
    ~Singletons();

    // How long after start the alarms are first planned, in milliseconds.
    static constexpr int firstPlanDelay = 1000;
    Singletons(const Singletons&) = delete;
    Singletons& operator=(const Singletons&) = delete;

    ProgramSettings& programSettings() { return m_programSettings; }
    TDataModule1& dataModule() { return *m_dataModule; }
    TFormShedul& reminderWindow() { return *m_formShedul; }
    TFormOption& settingsDialog() { return *m_formOption; }
    TFormabout& aboutBox() { return *m_formAbout; }
    TFormMain& mainWindow() { return *m_formMain; }
    DesktopNotifications& notifications() { return *m_notifications; }
    ReminderChecks& reminders() { return *m_reminders; }
    ResumeWatch& resumeWatch() { return *m_resumeWatch; }
    AlarmScheduler& alarms() { return *m_alarms; }
    StartOptions& startOptions() { return *m_startOptions; }
    WindowSync& sync() { return *m_sync; }
    // None without a backups folder.
    WindowBackups* backups() { return m_backups.get(); }

private:
    ProgramSettings m_programSettings;
    std::unique_ptr<TDataModule1> m_dataModule;
    std::unique_ptr<TFormShedul> m_formShedul;
    std::unique_ptr<TFormOption> m_formOption;
    std::unique_ptr<TFormabout> m_formAbout;
    std::unique_ptr<TFormMain> m_formMain;
    std::unique_ptr<DesktopNotifications> m_notifications;
    std::unique_ptr<ReminderChecks> m_reminders;
    std::unique_ptr<ResumeWatch> m_resumeWatch;
    std::unique_ptr<AlarmScheduler> m_alarms;
    std::unique_ptr<SystemTimeWatch> m_systemTimeWatch;
    std::unique_ptr<XdgAutostart> m_autostart;
    std::unique_ptr<StartOptions> m_startOptions;
    std::unique_ptr<SecretStore> m_ownSecrets;
    std::unique_ptr<WindowSync> m_sync;
    std::unique_ptr<WindowBackups> m_backups;
};
