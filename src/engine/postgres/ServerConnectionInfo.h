#pragma once

#include <QString>

// libpq's connection info as the program takes it from a connection string. It is checked before a connection is
// tried, so that libpq never echoes a part of a password in a message about how the text is written, and it is
// shown only without its secrets.
namespace ServerConnectionInfo {

// The Data Source of a server's connection string. Refuses an empty one, one the connection string would cut at a
// ";" inside it, and one libpq can't read, with a message that shows no secret.
QString of(const QString& connectionString);

// Whether the connection info holds a password (password=, or the password of a postgresql:// address). Text libpq
// can't read counts as holding one when it names one.
bool holdsPassword(const QString& connectionInfo);

// The connection info with its secrets left out, for a message.
QString shown(const QString& connectionInfo);

} // namespace ServerConnectionInfo
