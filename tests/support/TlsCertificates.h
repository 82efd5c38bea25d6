#pragma once

#include <QString>

class QTemporaryDir;

// Certificates of the tests' own, made with openssl in a folder, for servers on 127.0.0.1 that speak TLS. A failure
// of openssl fails the test (check ::testing::Test::HasFatalFailure()).
namespace TlsCertificates {

// An authority of the test's own, as a self-signed certificate ca-<name>.pem with its key ca-<name>.key.
void makeAuthority(const QTemporaryDir& folder, const QString& name);
// server.pem and server.key, a server certificate for 127.0.0.1 signed by the authority ca-<authority>.
void makeServer(const QTemporaryDir& folder, const QString& authority);

} // namespace TlsCertificates
