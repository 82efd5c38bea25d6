#include "support/TlsCertificates.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void openssl(const QTemporaryDir& folder, const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(OPENSSL), arguments);
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAll().toStdString();
}

} // namespace

void TlsCertificates::makeAuthority(const QTemporaryDir& folder, const QString& name)
{
    openssl(folder, {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days",
                     "2", "-subj", "/CN=Chronoteka test authority " + name, "-keyout", "ca-" + name + ".key", "-out",
                     "ca-" + name + ".pem"});
}

void TlsCertificates::makeServer(const QTemporaryDir& folder, const QString& authority)
{
    openssl(folder, {"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-subj",
                     "/CN=127.0.0.1", "-keyout", "server.key", "-out", "server.csr"});
    QFile extensions(folder.filePath(QStringLiteral("server.ext")));
    ASSERT_TRUE(extensions.open(QIODevice::WriteOnly));
    extensions.write("subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
    extensions.close();
    openssl(folder, {"x509", "-req", "-in", "server.csr", "-CA", "ca-" + authority + ".pem", "-CAkey",
                     "ca-" + authority + ".key", "-CAcreateserial", "-days", "2", "-extfile", "server.ext", "-out",
                     "server.pem"});
}
