#pragma once

#include <libpq-fe.h>

// The functions of libpq the server diary calls. The library is opened with the first server diary instead of
// being linked: with it come fifteen libraries nothing else of the program needs (TLS, LDAP and theirs), whose
// loading cost every start about a sixth of a bare window's whole start, though most diaries are files.
struct Libpq
{
    decltype(&::PQcancel) PQcancel;
    decltype(&::PQclear) PQclear;
    decltype(&::PQcmdTuples) PQcmdTuples;
    decltype(&::PQconnectPoll) PQconnectPoll;
    decltype(&::PQconnectStartParams) PQconnectStartParams;
    decltype(&::PQconninfo) PQconninfo;
    decltype(&::PQconninfoFree) PQconninfoFree;
    decltype(&::PQconninfoParse) PQconninfoParse;
    decltype(&::PQconsumeInput) PQconsumeInput;
    decltype(&::PQdb) PQdb;
    decltype(&::PQerrorMessage) PQerrorMessage;
    decltype(&::PQfinish) PQfinish;
    decltype(&::PQflush) PQflush;
    decltype(&::PQfname) PQfname;
    decltype(&::PQfreeCancel) PQfreeCancel;
    decltype(&::PQfreemem) PQfreemem;
    decltype(&::PQftable) PQftable;
    decltype(&::PQftablecol) PQftablecol;
    decltype(&::PQftype) PQftype;
    decltype(&::PQgetCancel) PQgetCancel;
    decltype(&::PQgetResult) PQgetResult;
    decltype(&::PQgetisnull) PQgetisnull;
    decltype(&::PQgetlength) PQgetlength;
    decltype(&::PQgetvalue) PQgetvalue;
    decltype(&::PQisBusy) PQisBusy;
    decltype(&::PQnfields) PQnfields;
    decltype(&::PQntuples) PQntuples;
    decltype(&::PQresultErrorField) PQresultErrorField;
    decltype(&::PQresultStatus) PQresultStatus;
    decltype(&::PQsendQuery) PQsendQuery;
    decltype(&::PQsendQueryParams) PQsendQueryParams;
    decltype(&::PQsetnonblocking) PQsetnonblocking;
    decltype(&::PQsocket) PQsocket;
    decltype(&::PQstatus) PQstatus;

    // The library, opened at the first call and kept for the rest of the process, on any thread. Throws EngineError
    // when it can't be opened or lacks a function; a later call tries again.
    static const Libpq& get();
};
