#include "settings/XdgAutostart.h"

#include "base/Error.h"
#include "base/RegularFile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A value of type string: a backslash and the control characters a line can't hold are escaped.
QString escapedString(const QString& text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == u'\\')
            escaped += QStringLiteral("\\\\");
        else if (c == u'\n')
            escaped += QStringLiteral("\\n");
        else if (c == u'\t')
            escaped += QStringLiteral("\\t");
        else if (c == u'\r')
            escaped += QStringLiteral("\\r");
        else
            escaped += c;
    }
    return escaped;
}

// The program as Exec's one argument: in double quotes, the characters the quoting reserves escaped with a
// backslash, and % doubled so that it is no field code; the string escapes come on top of that, so a backslash
// is written four times.
QString execArgument(const QString& program)
{
    QString quoted;
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        else if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    return u'"' + escapedString(quoted) + u'"';
}

// Makes the folder and those above it that are missing, readable by the user alone as the XDG folders are.
void makeFolder(const QString& folder, const QString& entry)
{
    QString made;
    for (const QString& part : folder.split(u'/', Qt::SkipEmptyParts)) {
        made += u'/' + part;
        if (::mkdir(QFile::encodeName(made).constData(), 0700) != 0 && errno != EEXIST)
            throw Error(QStringLiteral("Cannot create file \"%1\". %2").arg(entry, systemReason(errno)));
    }
}

} // namespace

XdgAutostart::XdgAutostart(QString configHome, QString programFile, QString diaryFolder, QString name)
    : m_configHome(std::move(configHome)), m_programFile(std::move(programFile)), m_diaryFolder(std::move(diaryFolder)),
      m_name(std::move(name))
{
}

QString XdgAutostart::userConfigHome()
{
    // The XDG rules ignore a relative path there.
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir::isAbsolutePath(configured))
        return configured;
    return QDir::homePath() + QStringLiteral("/.config");
}

QString XdgAutostart::entryPath() const
{
    return m_configHome + QStringLiteral("/autostart/") + entryName;
}

QString XdgAutostart::wrapperPath() const
{
    return QFileInfo(m_programFile).absolutePath() + u'/' + wrapperName;
}

bool XdgAutostart::isInstalledProgram() const
{
    const QFileInfo wrapper(wrapperPath());
    return wrapper.isFile() && wrapper.isExecutable();
}

QByteArray XdgAutostart::entry() const
{
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\n").arg(escapedString(m_name));
    if (isInstalledProgram())
        text += QStringLiteral("Exec=%1\n").arg(execArgument(wrapperPath()));
    else
        text += QStringLiteral("Exec=%1\nPath=%2\n").arg(execArgument(m_programFile), escapedString(m_diaryFolder));
    text += QStringLiteral("Icon=chronoteka\nTerminal=false\n");
    return text.toUtf8();
}

bool XdgAutostart::isOn() const
{
    return QFileInfo(entryPath()).isFile();
}

void XdgAutostart::turnOn()
{
    const QString path = entryPath();
    makeFolder(QFileInfo(path).path(), path);
    RegularFile::replace(path, entry(), [&path](const QString& reason) {
        return Error(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
    });
}

void XdgAutostart::turnOff()
{
    const QString path = entryPath();
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        throw Error(QStringLiteral("Cannot delete file \"%1\". %2").arg(path, systemReason(errno)));
}
