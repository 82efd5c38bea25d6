#include "engine/postgres/Libpq.h"

#include "base/Error.h"
#include "base/SharedLibrary.h"

namespace {

// The library's functions; throws, with the loader's reason, when there is none.
Libpq open()
{
    SharedLibrary opened(LIBPQ_SONAME);
    Libpq library{};
    const auto resolve = [&opened](const char* name, auto& function) {
        if (!opened.resolve(name, function))
            throw EngineError(QStringLiteral("Не удалось загрузить клиентскую библиотеку PostgreSQL %1: %2")
                                  .arg(QStringLiteral(LIBPQ_SONAME), opened.error()));
    };
    resolve("PQcancel", library.PQcancel);
    resolve("PQclear", library.PQclear);
    resolve("PQcmdTuples", library.PQcmdTuples);
    resolve("PQconnectPoll", library.PQconnectPoll);
    resolve("PQconnectStartParams", library.PQconnectStartParams);
    resolve("PQconninfo", library.PQconninfo);
    resolve("PQconninfoFree", library.PQconninfoFree);
    resolve("PQconninfoParse", library.PQconninfoParse);
    resolve("PQconsumeInput", library.PQconsumeInput);
    resolve("PQdb", library.PQdb);
    resolve("PQerrorMessage", library.PQerrorMessage);
    resolve("PQfinish", library.PQfinish);
    resolve("PQflush", library.PQflush);
    resolve("PQfname", library.PQfname);
    resolve("PQfreeCancel", library.PQfreeCancel);
    resolve("PQfreemem", library.PQfreemem);
    resolve("PQftable", library.PQftable);
    resolve("PQftablecol", library.PQftablecol);
    resolve("PQftype", library.PQftype);
    resolve("PQgetCancel", library.PQgetCancel);
    resolve("PQgetResult", library.PQgetResult);
    resolve("PQgetisnull", library.PQgetisnull);
    resolve("PQgetlength", library.PQgetlength);
    resolve("PQgetvalue", library.PQgetvalue);
    resolve("PQisBusy", library.PQisBusy);
    resolve("PQnfields", library.PQnfields);
    resolve("PQntuples", library.PQntuples);
    resolve("PQresultErrorField", library.PQresultErrorField);
    resolve("PQresultStatus", library.PQresultStatus);
    resolve("PQsendQuery", library.PQsendQuery);
    resolve("PQsendQueryParams", library.PQsendQueryParams);
    resolve("PQsetnonblocking", library.PQsetnonblocking);
    resolve("PQsocket", library.PQsocket);
    resolve("PQstatus", library.PQstatus);
    return library;
}

} // namespace

const Libpq& Libpq::get()
{
    // Made once, by whichever thread comes first; a throw leaves it for the next call to try.
    static const Libpq library = open();
    return library;
}
