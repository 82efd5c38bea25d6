#include "app/Singletons.h"

#include "diary/UnitDM.h"
#include "reminders/ReminderChecks.h"
#include "units/UnitAbout.h"
#include "units/UnitMain.h"
#include "units/UnitOption.h"
#include "units/UnitShedul.h"

Singletons::Singletons(TrayIcon& tray, const SuspendClocks& clocks)
{
    try {
        m_formMain = std::make_unique<TFormMain>(tray);
        FormMain = m_formMain.get();
        m_dataModule = std::make_unique<TDataModule1>();
        DataModule1 = m_dataModule.get();
        FormMain->attachDataModule(*DataModule1);
        m_formShedul = std::make_unique<TFormShedul>();
        FormShedul = m_formShedul.get();
        m_reminders = std::make_unique<ReminderChecks>(*DataModule1, *FormShedul, tray, *FormMain, clocks);
        m_resumeWatch = std::make_unique<ResumeWatch>(clocks);
        QObject::connect(m_resumeWatch.get(), &ResumeWatch::resumed, m_reminders.get(), &ReminderChecks::resumed);
        FormMain->attachReminders(*m_reminders);
        m_formOption = std::make_unique<TFormOption>();
        FormOption = m_formOption.get();
        FormOption->setTimers(m_reminders->timers());
        m_formAbout = std::make_unique<TFormabout>();
        Formabout = m_formAbout.get();
    } catch (...) {
        clearGlobals();
        throw;
    }
}

// The members are declared in creation order, so they are destroyed in the reverse one.
Singletons::~Singletons()
{
    clearGlobals();
}

void Singletons::clearGlobals()
{
    Formabout = nullptr;
    FormOption = nullptr;
    FormShedul = nullptr;
    DataModule1 = nullptr;
    FormMain = nullptr;
}
