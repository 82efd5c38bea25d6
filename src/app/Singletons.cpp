#include "app/Singletons.h"

#include "diary/DiaryLocation.h"
#include "diary/UnitDM.h"
#include "platform/ErrorReporter.h"
#include "reminders/ReminderChecks.h"
#include "settings/ConfigFile.h"
#include "look/ProgramLook.h"
#include "settings/XdgAutostart.h"
#include "units/StartOptions.h"
#include "units/UnitAbout.h"
#include "units/UnitMain.h"
#include "units/UnitOption.h"
#include "units/UnitShedul.h"

#include <QCoreApplication>

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
                       const QString& configHome)
    : m_programSettings(loadedSettings(location.settingsPath())),
      m_dataModule(std::make_unique<TDataModule1>(location.connectionString())),
      m_formShedul(std::make_unique<TFormShedul>(*m_dataModule)),
      m_formOption(std::make_unique<TFormOption>(ConfigFile(location.configPath()))),
      m_formAbout(std::make_unique<TFormabout>()),
      m_formMain(std::make_unique<TFormMain>(tray, *m_dataModule, *m_formShedul, *m_formOption, *m_formAbout,
                                             location.folder())),
      m_reminders(std::make_unique<ReminderChecks>(*m_dataModule, *m_formShedul, tray, *m_formMain,
                                                   ConfigFile(location.configPath()), clocks)),
      m_resumeWatch(std::make_unique<ResumeWatch>(clocks)),
      m_autostart(std::make_unique<XdgAutostart>(configHome.isEmpty() ? XdgAutostart::userConfigHome() : configHome,
                                                 QCoreApplication::applicationFilePath(), location.folder(),
                                                 ProgramLook::title())),
      m_startOptions(std::make_unique<StartOptions>(m_programSettings, *m_autostart, *m_formMain->N4))
{
    // The dialog sets the checks' timers; the checks need the main window, which needs the dialog: so the timers
    // come last.
    m_formOption->setTimers(m_reminders->timers());
    QObject::connect(m_formMain.get(), &TFormMain::birthdaysRequested, m_reminders.get(),
                     &ReminderChecks::TimeBirthTimer);
    QObject::connect(m_resumeWatch.get(), &ResumeWatch::resumed, m_reminders.get(), &ReminderChecks::resumed);
    if (m_startOptions->checksAtStart())
        m_reminders->checkSoonAfterStart();
}

// The members are declared in creation order, so they are destroyed in the reverse one.
Singletons::~Singletons() = default;
