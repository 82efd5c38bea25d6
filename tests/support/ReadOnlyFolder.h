#pragma once

#include <QFile>
#include <QString>

#include <sys/mount.h>
#include <unistd.h>

// Makes a folder nobody can write into, the superuser included, for the lifetime of the object: run as root (as CI
// runs the tests), a small tmpfs is mounted over the folder and later remounted read-only; otherwise the folder
// loses its write permission. Files put in before seal() are there afterwards.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString& folder) : m_folder(QFile::encodeName(folder))
    {
        if (geteuid() == 0)
            m_mounted = ::mount("tmpfs", m_folder.constData(), "tmpfs", 0, "size=1m") == 0;
    }
    ~ReadOnlyFolder()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
        else
            QFile::setPermissions(QFile::decodeName(m_folder),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // False when the superuser could not mount the file system (a test must then fail, not pass unseen).
    bool isReady() const { return m_mounted || geteuid() != 0; }

    bool seal()
    {
        if (m_mounted)
            return ::mount(nullptr, m_folder.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
        return QFile::setPermissions(QFile::decodeName(m_folder), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};
