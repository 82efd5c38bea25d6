#include "units/StartOptions.h"

#include "platform/Autostart.h"
#include "platform/ErrorReporter.h"
#include "settings/ProgramSettings.h"

#include <QAction>
#include <QMenu>

StartOptions::StartOptions(ProgramSettings& settings, Autostart& autostart, QMenu& menu, QObject* parent)
    : QObject(parent), m_settings(settings), m_autostart(autostart)
{
    N11 = menu.addAction(QStringLiteral("Проверять напоминания при запуске"));
    N12 = menu.addAction(QStringLiteral("Запускать при входе в систему"));
    N11->setCheckable(true);
    N12->setCheckable(true);
    connect(N11, &QAction::triggered, this, [this](bool checked) { N11Click(checked); });
    connect(N12, &QAction::triggered, this, [this](bool checked) { N12Click(checked); });
    // The entry may have been removed or written by hand since the last look.
    connect(&menu, &QMenu::aboutToShow, this, &StartOptions::showTicks);

    // Whatever became of it is stored, so an entry that can't be written is reported once, not at every start.
    if (!m_settings.value(startAtLoginKey) && m_autostart.isInstalledProgram()) {
        ErrorReporter::guarded([this] { m_autostart.turnOn(); });
        ErrorReporter::guarded([this] { m_settings.storeFlag(startAtLoginKey, m_autostart.isOn()); });
    }
    showTicks();
}

bool StartOptions::checksAtStart() const
{
    return m_settings.flag(checkAtStartKey, true);
}

void StartOptions::showTicks()
{
    N11->setChecked(checksAtStart());
    N12->setChecked(m_autostart.isOn());
}

void StartOptions::N11Click(bool checked)
{
    ErrorReporter::guarded([&] { m_settings.storeFlag(checkAtStartKey, checked); });
    showTicks();
}

void StartOptions::N12Click(bool checked)
{
    ErrorReporter::guarded([&] {
        if (checked)
            m_autostart.turnOn();
        else
            m_autostart.turnOff();
        m_settings.storeFlag(startAtLoginKey, checked);
    });
    showTicks();
}
