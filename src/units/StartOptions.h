#pragma once

#include <QObject>
#include <QString>

class Autostart;
class ProgramSettings;
class QAction;
class QMenu;

// The two start-up choices of the "Настройка" menu: whether the checks run soon after start, and whether the
// program starts at login. The first is kept in the program's settings; the second is the autostart entry
// itself, whose presence the item's tick shows, with the choice also kept in the settings so that an installed
// program's first start can tell that nobody chose yet: it then turns starting at login on. A program run from
// a build folder leaves the user's autostart alone until the user ticks the item.
class StartOptions : public QObject
{
    Q_OBJECT
public:
    static inline const QString checkAtStartKey = QStringLiteral("checkAtStart");
    static inline const QString startAtLoginKey = QStringLiteral("startAtLogin");

    // Adds the two items to the menu and settles the first start; a failure is reported and start-up goes on.
    StartOptions(ProgramSettings& settings, Autostart& autostart, QMenu& menu, QObject* parent = nullptr);

    bool checksAtStart() const;

    QAction* N11 = nullptr; // "Проверять напоминания при запуске"
    QAction* N12 = nullptr; // "Запускать при входе в систему"

    void N11Click(bool checked);
    void N12Click(bool checked);

private:
    void showTicks();

    ProgramSettings& m_settings;
    Autostart& m_autostart;
};
