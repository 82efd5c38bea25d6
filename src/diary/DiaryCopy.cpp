#include "diary/DiaryBackend.h"
#include "diary/DiaryCopy.h"

#include "diary/DiaryLocation.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"

#include <QFileInfo>

#include <vector>

namespace DiaryCopy {

std::size_t copy(const QString& from, const QString& to)
{
    // The source is opened first, so that a mistyped one leaves no new file behind.
    Connection source(DiaryBackend::open(from), JobTable::schema());
    if (!Connection::namesServer(to) && !QFileInfo::exists(Connection::dataSourcePath(to)))
        DiaryLocation::create(to);
    Connection target(DiaryBackend::open(to), JobTable::schema());
    const std::vector<std::vector<QVariant>> rows = source.tableRows();
    target.appendTableRows(rows);
    return rows.size();
}

} // namespace DiaryCopy
