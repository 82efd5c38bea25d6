#include "platform/KeychainSecretStore.h"

#include <QEventLoop>

#include <qt6keychain/keychain.h>

namespace {

// The keyring's entries of the program are told apart by this service name and a key per account.
const QString service = QStringLiteral("chronoteka");

QString keyOf(const QString& server, const QString& user)
{
    return user + u'@' + server;
}

void prepare(QKeychain::Job& job, const QString& server, const QString& user)
{
    // Without a keyring the password stays in memory for the session: QtKeychain's fallback would write it to a
    // settings file in the clear.
    job.setInsecureFallback(false);
    job.setKey(keyOf(server, user));
}

// Runs the job and waits for its answer; returns its error, NoError on success.
QKeychain::Error run(QKeychain::Job& job, const QString& server, const QString& user)
{
    job.setAutoDelete(false);
    prepare(job, server, user);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return job.error();
}

[[noreturn]] void unavailable(const QKeychain::Job& job)
{
    throw SecretStore::Unavailable(job.errorString().toStdString());
}

} // namespace

void KeychainSecretStore::read(const QString& server, const QString& user, QObject* context,
                               std::function<void(const Answer&)> done)
{
    // The job deletes itself once it has answered.
    auto* job = new QKeychain::ReadPasswordJob(service);
    prepare(*job, server, user);
    QObject::connect(job, &QKeychain::Job::finished, context, [job, done = std::move(done)] {
        switch (job->error()) {
        case QKeychain::NoError:
            done({job->textData(), std::nullopt});
            break;
        case QKeychain::EntryNotFound:
            done({std::nullopt, std::nullopt});
            break;
        default:
            done({std::nullopt, job->errorString().toStdString()});
        }
    });
    job->start();
}

void KeychainSecretStore::store(const QString& server, const QString& user, const QString& password)
{
    QKeychain::WritePasswordJob job(service);
    job.setTextData(password);
    if (run(job, server, user) != QKeychain::NoError)
        unavailable(job);
}

void KeychainSecretStore::forget(const QString& server, const QString& user)
{
    QKeychain::DeletePasswordJob job(service);
    const QKeychain::Error error = run(job, server, user);
    if (error != QKeychain::NoError && error != QKeychain::EntryNotFound)
        unavailable(job);
}
