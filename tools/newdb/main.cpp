#include "diary/DiaryBackend.h"
#include "diary/DiaryCopy.h"
#include "diary/DiaryLocation.h"
#include "base/Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cstdio>

namespace {

const char usage[] = "usage: chronoteka-newdb <diary file | connection string>\n"
                     "       chronoteka-newdb --copy <from> <to>\n"
                     "       chronoteka-newdb --template <diary file>\n"
                     "The first makes an empty diary: a new file, or the diary's table in a PostgreSQL database\n"
                     "(\"Provider=PostgreSQL;Data Source=host=... dbname=... user=...\"). The second copies every\n"
                     "event of the diary <from>, and its identity, into the empty diary <to>, each a diary file or a\n"
                     "connection string; a diary file <to> that is not there yet is made. The third makes an empty\n"
                     "diary file to be copied into new diary folders: without an identity, which each copy makes\n"
                     "for itself at its first export.\n";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const bool create = arguments.size() == 1 && !arguments[0].startsWith(u'-');
    const bool copy = arguments.size() == 3 && arguments[0] == QLatin1String("--copy");
    const bool makeTemplate = arguments.size() == 2 && arguments[0] == QLatin1String("--template");
    if (!create && !copy && !makeTemplate) {
        std::fputs(usage, stderr);
        return 2;
    }
    // A diary file's relative path is taken from the folder the tool was started in.
    const QString here = QDir::currentPath();
    try {
        if (create) {
            DiaryBackend::create(DiaryLocation::connectionStringOf(arguments[0], here));
        } else if (makeTemplate) {
            DiaryBackend::createTemplate(QDir(here).absoluteFilePath(arguments[1]));
        } else {
            const std::size_t rows = DiaryCopy::copy(DiaryLocation::connectionStringOf(arguments[1], here),
                                                     DiaryLocation::connectionStringOf(arguments[2], here));
            std::printf("Rows copied: %zu\n", rows);
        }
    } catch (const Error& error) {
        std::fprintf(stderr, "chronoteka-newdb: %s\n", error.what());
        return 1;
    }
    return 0;
}
