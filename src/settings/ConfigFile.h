#pragma once

#include "settings/TimerIntervals.h"

#include <QString>

// The settings file: six little-endian signed 32-bit minute counts, 24 bytes, in the order of TimerIntervals.
class ConfigFile
{
public:
    static constexpr qint64 size = TimerIntervals::count * 4;

    // path: a full path, which the error messages name.
    explicit ConfigFile(QString path);

    const QString& path() const { return m_path; }
    bool exists() const;

    // Reads the first 24 bytes; a value the file is too short to hold, or one out of the timers' range, is absent.
    // Throws Error "Cannot open file ..." when the file is there but can't be read or is no regular file (a FIFO
    // is refused without waiting for a writer).
    TimerIntervals::StoredMinutes read() const;

    // Replaces the file as a whole: written beside it under another name and renamed over it, so a failure at
    // any point leaves the old file as it was. Throws Error "Cannot create file ..." with the system's reason, or
    // when config.dat is, or links to, anything but a regular file.
    void write(const TimerIntervals::Minutes& minutes) const;

    // Start-up: applies what the file holds to the timers; without a file they keep what they have.
    void loadInto(const TimerIntervals::Timers& timers) const;

private:
    QString m_path;
};
