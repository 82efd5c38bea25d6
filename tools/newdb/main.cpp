#include "diary/JobTable.h"
#include "engine/Error.h"
#include "engine/Schema.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: chronoteka-newdb <path of the new diary file>\n");
        return 2;
    }
    try {
        Schema::createEmptyDatabase(arguments.at(1), JobTable::schema());
    } catch (const Error& error) {
        std::fprintf(stderr, "chronoteka-newdb: %s\n", error.what());
        return 1;
    }
    return 0;
}
