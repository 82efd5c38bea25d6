#pragma once

#include "platform/Autostart.h"

#include <QByteArray>
#include <QString>

// Starting at login through an entry in the user's XDG autostart folder, $XDG_CONFIG_HOME/autostart. An installed
// program is started through the chronoteka-diary wrapper installed beside it, which picks the user's diary
// folder; a program run from a build folder has no wrapper, and its entry starts it in the diary folder it runs on.
class XdgAutostart : public Autostart
{
public:
    static inline const QString wrapperName = QStringLiteral("chronoteka-diary");
    static inline const QString entryName = QStringLiteral("chronoteka.desktop");

    // configHome: the user's configuration folder; programFile: the running program's executable; name: the
    // program's title the entry shows.
    XdgAutostart(QString configHome, QString programFile, QString diaryFolder, QString name);

    // $XDG_CONFIG_HOME when it holds an absolute path, else ~/.config.
    static QString userConfigHome();

    QString entryPath() const;
    // The entry turnOn() writes.
    QByteArray entry() const;

    bool isInstalledProgram() const override;
    bool isOn() const override;
    void turnOn() override;
    void turnOff() override;

private:
    QString wrapperPath() const;

    QString m_configHome;
    QString m_programFile;
    QString m_diaryFolder;
    QString m_name;
};
