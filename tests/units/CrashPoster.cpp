// A child process for CrashTest: in the folder given, posts "post <n>" through the data module's QJob for n from
// the number given on, and writes n on its own line once each post has returned, until it is killed.
#include "databind/Field.h"
#include "databind/RecordSet.h"
#include "diary/DiaryLocation.h"
#include "diary/UnitDM.h"
#include "base/Error.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3)
        return 2;
    try {
        TDataModule1 module(DiaryLocation(arguments[1]).connectionString());
        RecordSet& jobs = module.QJob;
        for (qint64 n = arguments[2].toLongLong();; ++n) {
            jobs.insert();
            jobs.fieldByName(QStringLiteral("job")).setText(QStringLiteral("post %1").arg(n));
            jobs.post();
            std::printf("%lld\n", static_cast<long long>(n));
            std::fflush(stdout);
        }
    } catch (const Error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
