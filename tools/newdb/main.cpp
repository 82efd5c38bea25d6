#include "diary/DiaryBackend.h"
#include "diary/DiaryBackups.h"
#include "diary/DiaryCopy.h"
#include "diary/DiaryLocation.h"
#include "base/Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <cstdio>

namespace {

const char usage[] = "usage: chronoteka-newdb <diary file | connection string>\n"
                     "       chronoteka-newdb --copy <from> <to>\n"
                     "       chronoteka-newdb --template <diary file>\n"
                     "       chronoteka-newdb --backup <diary> <file>\n"
                     "       chronoteka-newdb --restore <file> <diary file>\n"
                     "The first makes an empty diary: a new file, or the diary's table in a PostgreSQL database\n"
                     "(\"Provider=PostgreSQL;Data Source=host=... dbname=... user=...\"). The second copies every\n"
                     "event of the diary <from>, and its identity, into the empty diary <to>, each a diary file or a\n"
                     "connection string; a diary file <to> that is not there yet is made. The third makes an empty\n"
                     "diary file to be copied into new diary folders: without an identity, which each copy makes\n"
                     "for itself at its first export. --backup writes a consistent copy of <diary> to the new file\n"
                     "<file> while the program may be writing it; --restore makes the events of <diary file> those\n"
                     "of the copy <file>, all at once or not at all, after a copy of the diary as it stood in the\n"
                     "program's backups folder; the diary keeps its identity. --copy into an existing diary file\n"
                     "makes such a copy of it first.\n";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const bool create = arguments.size() == 1 && !arguments[0].startsWith(u'-');
    const bool copy = arguments.size() == 3 && arguments[0] == QLatin1String("--copy");
    const bool makeTemplate = arguments.size() == 2 && arguments[0] == QLatin1String("--template");
    const bool backup = arguments.size() == 3 && arguments[0] == QLatin1String("--backup");
    const bool restore = arguments.size() == 3 && arguments[0] == QLatin1String("--restore");
    if (!create && !copy && !makeTemplate && !backup && !restore) {
        std::fputs(usage, stderr);
        return 2;
    }
    // A diary file's relative path is taken from the folder the tool was started in.
    const QString here = QDir::currentPath();
    // The program's own backups, where the program keeps them.
    const QString backups = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                                .filePath(QString::fromLatin1(DiaryBackups::folderName));
    try {
        if (create) {
            DiaryBackend::create(DiaryLocation::connectionStringOf(arguments[0], here));
        } else if (makeTemplate) {
            DiaryBackend::createTemplate(QDir(here).absoluteFilePath(arguments[1]));
        } else if (backup) {
            DiaryBackups::copyTo(DiaryLocation::connectionStringOf(arguments[1], here),
                                 QDir(here).absoluteFilePath(arguments[2]));
        } else if (restore) {
            const QString file = QDir(here).absoluteFilePath(arguments[1]);
            const qint64 events =
                DiaryBackups(backups, DiaryLocation::connectionStringOf(arguments[2], here), DiaryBackups::Limits())
                    .restore(file);
            std::printf("Events restored: %lld\n", static_cast<long long>(events));
        } else {
            const QString to = DiaryLocation::connectionStringOf(arguments[2], here);
            if (!Connection::namesServer(to) && QFileInfo::exists(Connection::dataSourcePath(to)))
                DiaryBackups(backups, to, DiaryBackups::Limits()).make();
            const std::size_t rows = DiaryCopy::copy(DiaryLocation::connectionStringOf(arguments[1], here), to);
            std::printf("Rows copied: %zu\n", rows);
        }
    } catch (const Error& error) {
        std::fprintf(stderr, "chronoteka-newdb: %s\n", error.what());
        return 1;
    }
    return 0;
}
