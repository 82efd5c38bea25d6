// A server diary over TLS: a server whose certificate comes from the user's own authority, reached with
// sslmode=verify-full and that authority's certificate (named, or where libpq looks by itself), is opened; a
// certificate the authority given did not sign, one made for another name, or no authority at all, is refused with
// libpq's reason.
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/postgres/ServerSchema.h"
#include "support/ErrorOf.h"
#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <memory>
#include <optional>

namespace {

// A server of the test's own with TLS on 127.0.0.1, its certificate signed by an authority the test makes, and a
// second authority that signed nothing of it.
class TlsServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_keys.isValid());
        const QString curve = QStringLiteral("ec_paramgen_curve:prime256v1");
        for (const char* authority : {"authority", "stranger"})
            ASSERT_TRUE(openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", curve, "-nodes", "-days", "2", "-keyout",
                                 file(authority, "key"), "-out", file(authority, "crt"), "-subj",
                                 QStringLiteral("/CN=Diary test %1").arg(QString::fromLatin1(authority))}));
        ASSERT_TRUE(openssl({"req",
                             "-x509",
                             "-newkey",
                             "ec",
                             "-pkeyopt",
                             curve,
                             "-nodes",
                             "-days",
                             "2",
                             "-keyout",
                             file("server", "key"),
                             "-out",
                             file("server", "crt"),
                             "-subj",
                             "/CN=127.0.0.1",
                             "-addext",
                             "subjectAltName=IP:127.0.0.1",
                             "-addext",
                             "basicConstraints=critical,CA:FALSE",
                             "-CA",
                             file("authority", "crt"),
                             "-CAkey",
                             file("authority", "key")}));
        ASSERT_EQ(QProcess::execute(QStringLiteral(SERVER_CLUSTER),
                                    {QStringLiteral("start"), m_folder, file("server", "crt"), file("server", "key")}),
                  0);
        m_started = true;
        const QString maintenance = QStringLiteral("host=%1 user=postgres dbname=postgres").arg(m_folder);
        const std::unique_ptr<PGconn, decltype(&PQfinish)> admin(PQconnectdb(maintenance.toUtf8()), PQfinish);
        PQclear(PQexec(admin.get(), "CREATE DATABASE diary TEMPLATE template0 ENCODING 'UTF8'"));
        const std::unique_ptr<PGresult, decltype(&PQclear)> port(PQexec(admin.get(), "SHOW port"), PQclear);
        ASSERT_EQ(PQresultStatus(port.get()), PGRES_TUPLES_OK) << PQerrorMessage(admin.get());
        m_port = QString::fromLatin1(PQgetvalue(port.get(), 0, 0));
        ServerSchema::createDiary(QStringLiteral("host=%1 user=postgres dbname=diary").arg(m_folder),
                                  JobTable::schema());
    }
    void TearDown() override
    {
        if (m_started)
            QProcess::execute(QStringLiteral(SERVER_CLUSTER), {QStringLiteral("stop"), m_folder});
    }

    QString file(const char* name, const char* suffix) const
    {
        return m_keys.filePath(QStringLiteral("%1.%2").arg(QString::fromLatin1(name), QString::fromLatin1(suffix)));
    }
    // The line a user writes into database.conf for the server on this machine's address, naming the authority's
    // certificate unless authority is null.
    QString connectionString(const QString& host, const char* authority) const
    {
        const QString line = QStringLiteral("Provider=PostgreSQL;Data Source=host=%1 hostaddr=127.0.0.1 port=%2 "
                                            "dbname=diary user=postgres sslmode=verify-full")
                                 .arg(host, m_port);
        return authority ? line + QStringLiteral(" sslrootcert=") + file(authority, "crt") : line;
    }
    // A home folder holding that authority's certificate where libpq looks for one, or none when it is null.
    QString homeWith(const char* authority) const
    {
        const QString home = m_keys.filePath(QStringLiteral("home-%1").arg(authority ? authority : "empty"));
        QDir().mkpath(home + QStringLiteral("/.postgresql"));
        if (authority)
            QFile::copy(file(authority, "crt"), home + QStringLiteral("/.postgresql/root.crt"));
        return home;
    }
    // Whether the server has a connection of the program to the diary over TLS.
    QString programOverTls() const
    {
        const QString maintenance = QStringLiteral("host=%1 user=postgres dbname=postgres").arg(m_folder);
        const std::unique_ptr<PGconn, decltype(&PQfinish)> admin(PQconnectdb(maintenance.toUtf8()), PQfinish);
        const std::unique_ptr<PGresult, decltype(&PQclear)> result(
            PQexec(admin.get(), "SELECT count(*) FROM pg_stat_ssl JOIN pg_stat_activity USING (pid) "
                                "WHERE ssl AND datname = 'diary' AND application_name = 'chronoteka'"),
            PQclear);
        return QString::fromLatin1(PQgetvalue(result.get(), 0, 0));
    }

private:
    static bool openssl(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral("openssl"), arguments);
        return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    QTemporaryDir m_keys;
    QString m_folder = QStringLiteral("/tmp/chronoteka-tls-%1").arg(QCoreApplication::applicationPid());
    QString m_port;
    bool m_started = false;
};

} // namespace

TEST_F(TlsServer, VerifyFullOpensWithTheOwnAuthorityAndRefusesAnyOther)
{
    const struct
    {
        const char* name;
        QString host;
        const char* authority; // named by sslrootcert
        const char* atHome;    // in ~/.postgresql/root.crt
        QString reason;        // empty: the diary opens
    } cases[] = {
        {"the own authority", QStringLiteral("127.0.0.1"), "authority", "stranger", {}},
        {"the own authority at home", QStringLiteral("127.0.0.1"), nullptr, "authority", {}},
        {"another authority", QStringLiteral("127.0.0.1"), "stranger", "authority",
         QStringLiteral("certificate verify failed")},
        {"a certificate for another name", QStringLiteral("localhost"), "authority", nullptr,
         QStringLiteral("does not match host name \"localhost\"")},
        {"no authority", QStringLiteral("127.0.0.1"), nullptr, nullptr, QStringLiteral("root.crt\" does not exist")},
    };
    const QByteArray home = qgetenv("HOME");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qputenv("HOME", homeWith(c.atHome).toUtf8());
        std::optional<Connection> connection;
        const QString error = errorOf(
            [&] { connection.emplace(DiaryBackend::open(connectionString(c.host, c.authority)), JobTable::schema()); });
        if (c.reason.isEmpty()) {
            EXPECT_EQ(error, QString());
            EXPECT_EQ(programOverTls(), "1");
        } else {
            EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
            EXPECT_EQ(programOverTls(), "0");
        }
    }
    qputenv("HOME", home);
}
