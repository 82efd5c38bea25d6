#pragma once

#include "base/Error.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace RegularFile {

// Reads at most limit bytes of a regular file without ever blocking: opening a FIFO for reading would wait for a
// writer, so a FIFO, device, socket or folder is refused without being read. A failure throws what failure makes
// of its reason ("Is a directory", "Not a regular file", or the system's text).
QByteArray read(const QString& path, qsizetype limit, const std::function<Error(const QString& reason)>& failure);

// Replaces the file as a whole: written beside it under another name and renamed over it, so a failure at any point
// leaves the old file as it was. A path that is, or links to, anything but a regular file is refused ("Not a regular
// file"), so a device node, a FIFO or a folder someone linked it to is never replaced. A failure throws what failure
// makes of its reason.
void replace(const QString& path, const QByteArray& bytes, const std::function<Error(const QString& reason)>& failure);

} // namespace RegularFile
