#include "diary/DiaryCopy.h"

#include "diary/DiaryBackend.h"
#include "diary/DiaryIdentity.h"
#include "diary/JobTable.h"
#include "engine/Connection.h"
#include "engine/EngineErrors.h"
#include "engine/postgres/ServerConnectionInfo.h"

#include <QFileInfo>

#include <vector>

namespace DiaryCopy {

std::size_t copy(const QString& from, const QString& to)
{
    // The source is opened first, so that a mistyped one leaves no new file behind.
    Connection source(DiaryBackend::open(from), JobTable::schema());
    if (!Connection::namesServer(to) && !QFileInfo::exists(Connection::dataSourcePath(to)))
        DiaryBackend::create(to);
    Connection target(DiaryBackend::open(to), JobTable::schema());
    const std::vector<std::vector<QVariant>> rows = source.tableRows();
    // A diary that holds events keeps its identity: appending would refuse it anyway, but only after the identity
    // had been replaced. The append checks again, in its own transaction, for a diary filled meanwhile.
    if (!target.tableRows().empty())
        throw EngineErrors::notEmpty();
    // The copy is the same diary: a calendar that imported its events knows them by the same UIDs. Stored first,
    // so that a diary that can't take it gets no rows either.
    if (!DiaryIdentity::replace(target, DiaryIdentity::of(source)))
        throw Error(QStringLiteral("The diary '%1' may not be written by this user.")
                        .arg(Connection::namesServer(to) ? ServerConnectionInfo::shown(ServerConnectionInfo::of(to))
                                                         : Connection::dataSourcePath(to)));
    target.appendTableRows(rows);
    return rows.size();
}

} // namespace DiaryCopy
