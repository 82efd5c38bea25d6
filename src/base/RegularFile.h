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

} // namespace RegularFile
