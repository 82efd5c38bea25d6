// A second process for TwoProcesses, given a diary's connection string: adds rows and raises a shared counter through
// the engine, retrying a counter write that another process got in first.
#include "diary/DiaryBackend.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "base/Error.h"
#include "engine/Snapshot.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4)
        return 2;
    const QString name = arguments[2];
    const int count = arguments[3].toInt();
    try {
        Connection connection(DiaryBackend::open(arguments[1]), JobTable::schema());
        const auto rows = connection.select(QStringLiteral("select * from job where 1 = 0"), {});
        const int job = rows->columnIndex(QStringLiteral("job"));
        const int period = rows->columnIndex(QStringLiteral("period"));
        const auto counter = connection.select(QStringLiteral("select * from job where job = \"counter\""), {});
        const int other = counter->columnIndex(QStringLiteral("other"));
        for (int i = 0; i < count; ++i) {
            rows->insertRow(rows->rowCount(),
                            {{job, QStringLiteral("%1 %2").arg(name).arg(i)}, {period, QStringLiteral("writer")}});
            for (int attempt = 0;; ++attempt) {
                try {
                    counter->updateRow(0, {{other, QString::number(counter->value(0, other).toInt() + 1)}});
                    break;
                } catch (const EngineError&) {
                    if (attempt == 10000)
                        throw;
                    counter->reread();
                }
            }
        }
    } catch (const Error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
