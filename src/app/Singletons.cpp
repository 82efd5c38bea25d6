#include "app/Singletons.h"

#include "diary/DiaryLocation.h"
#include "diary/UnitDM.h"
#include "platform/BootClockTimer.h"
#include "platform/ErrorReporter.h"
#include "platform/FreedesktopNotifications.h"
#include "platform/KeychainSecretStore.h"
#include "platform/SystemTimeWatch.h"
#include "reminders/AlarmScheduler.h"
#include "reminders/ReminderChecks.h"
#include "look/ProgramLook.h"
#include "settings/ConfigFile.h"
#include "settings/XdgAutostart.h"
#include "units/StartOptions.h"
#include "units/UnitAbout.h"
#include "units/UnitMain.h"
#include "units/UnitOption.h"
#include "units/UnitShedul.h"
#include "units/WindowBackups.h"
#include "units/WindowSync.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

// Settings that can't be read are reported; the program then runs on the built-in ones.
ProgramSettings loadedSettings(const QString& path)
{
    ProgramSettings settings(path);
    ErrorReporter::guarded([&settings] { settings.load(); });
    return settings;
}

} // namespace

Singletons::Singletons(const DiaryLocation& location, TrayIcon& tray, const SuspendClocks& clocks,
                       const QString& configHome, SecretStore* secrets, const QString& backupsFolder)
    : m_programSettings(loadedSettings(location.settingsPath())),
      m_dataModule(std::make_unique<TDataModule1>(location.connectionString())),
      m_formShedul(std::make_unique<TFormShedul>(*m_dataModule)),
      m_formOption(std::make_unique<TFormOption>(ConfigFile(location.configPath()))),
      m_formAbout(std::make_unique<TFormabout>()),
      m_formMain(std::make_unique<TFormMain>(tray, *m_dataModule, *m_formShedul, *m_formOption, *m_formAbout,
                                             location.folder())),
      m_notifications(std::make_unique<FreedesktopNotifications>()),
      m_reminders(std::make_unique<ReminderChecks>(*m_dataModule, *m_formShedul, tray, *m_notifications, *m_formMain,
                                                   ConfigFile(location.configPath()), clocks)),
      m_resumeWatch(std::make_unique<ResumeWatch>(clocks)),
      m_alarms(std::make_unique<AlarmScheduler>(*m_dataModule, m_programSettings)),
      m_autostart(std::make_unique<XdgAutostart>(configHome.isEmpty() ? XdgAutostart::userConfigHome() : configHome,
                                                 QCoreApplication::applicationFilePath(), location.folder(),
                                                 ProgramLook::title())),
      m_startOptions(std::make_unique<StartOptions>(m_programSettings, *m_autostart, *m_formMain->N4)),
      m_ownSecrets(secrets ? nullptr : std::make_unique<KeychainSecretStore>()),
      m_sync(std::make_unique<WindowSync>(*m_formMain, *m_dataModule, m_programSettings,
                                          secrets ? *secrets : *m_ownSecrets, clocks)),
      m_backups(backupsFolder.isEmpty()
                    ? nullptr
                    : std::make_unique<WindowBackups>(
                          *m_formMain, *m_dataModule,
                          DiaryBackups(backupsFolder, location.connectionString(), DiaryBackups::Limits())))
{
    // The dialog sets the checks' timers; the checks need the main window, which needs the dialog: so the timers
    // come last.
    m_formOption->setTimers(m_reminders->timers());
    QObject::connect(m_formMain.get(), &TFormMain::birthdaysRequested, m_reminders.get(),
                     &ReminderChecks::TimeBirthTimer);
    QObject::connect(m_resumeWatch.get(), &ResumeWatch::resumed, m_reminders.get(), &ReminderChecks::resumed);
    QObject::connect(m_formShedul.get(), &QDialog::finished, m_reminders.get(), &ReminderChecks::reminderWindowClosed);

    // The alarms are wall-clock times: planned again after a write, a sleep, a new system time or zone.
    m_reminders->attachAlarms(*m_alarms);
    // A write is also sent to the calendar, a few seconds after the last one; what a sync writes is planned too.
    m_dataModule->setAfterWrite([alarms = m_alarms.get(), sync = m_sync.get()] {
        alarms->replanSoon();
        sync->posted();
    });
    QObject::connect(m_sync.get(), &WindowSync::diaryChanged, m_alarms.get(), &AlarmScheduler::replanSoon);
    QObject::connect(m_resumeWatch.get(), &ResumeWatch::resumed, &m_sync->syncTimer(), &BootClockTimer::catchUp);
    QObject::connect(m_resumeWatch.get(), &ResumeWatch::resumed, m_alarms.get(), &AlarmScheduler::replan);
    QObject::connect(m_formShedul.get(), &TFormShedul::snoozeRequested, m_reminders.get(), &ReminderChecks::snooze);
    // The first plan, which rings what came due while the program was not running, reads every event with a timer:
    // it comes a moment after start, once the window is up, rather than before the window's first paint. A new system
    // time or zone matters from that plan on, so the watch on them starts with it: its folder watch costs the kernel
    // a wait when it is let go, which a program closed at once would otherwise pay.
    QTimer::singleShot(firstPlanDelay, m_alarms.get(), [this] {
        m_systemTimeWatch = std::make_unique<SystemTimeWatch>();
        QObject::connect(m_systemTimeWatch.get(), &SystemTimeWatch::changed, m_alarms.get(), &AlarmScheduler::replan);
        m_alarms->replan();
    });
    if (m_startOptions->checksAtStart())
        m_reminders->checkSoonAfterStart();
}

// The members are declared in creation order, so they are destroyed in the reverse one; the main window, which may
// save an edit as it goes, is destroyed after the alarms.
Singletons::~Singletons()
{
    m_dataModule->setAfterWrite({});
}
