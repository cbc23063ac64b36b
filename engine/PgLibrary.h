#pragma once
// The libpq functions the server backend calls, each found in the library at its first call: a
// program that opens only files never loads libpq and the libraries it brings (Kerberos, LDAP,
// TLS), whose loading would lengthen every start of the program and of vellacord-admin.
// The backend's files say `using namespace pq;`, and their calls read as calls of libpq.

#include "platform/LazyLibrary.h"

#include <libpq-fe.h>

namespace engine::pq {

inline constexpr const char* kLibrary = VELLACORD_LIBPQ_SONAME;

inline constinit const LazyFunction<decltype(&::PQbackendPID)> PQbackendPID{kLibrary, "PQbackendPID"};
inline constinit const LazyFunction<decltype(&::PQcancel)> PQcancel{kLibrary, "PQcancel"};
inline constinit const LazyFunction<decltype(&::PQclear)> PQclear{kLibrary, "PQclear"};
inline constinit const LazyFunction<decltype(&::PQcmdStatus)> PQcmdStatus{kLibrary, "PQcmdStatus"};
inline constinit const LazyFunction<decltype(&::PQcmdTuples)> PQcmdTuples{kLibrary, "PQcmdTuples"};
inline constinit const LazyFunction<decltype(&::PQconnectdb)> PQconnectdb{kLibrary, "PQconnectdb"};
inline constinit const LazyFunction<decltype(&::PQconninfoFree)> PQconninfoFree{kLibrary, "PQconninfoFree"};
inline constinit const LazyFunction<decltype(&::PQconninfoParse)> PQconninfoParse{kLibrary, "PQconninfoParse"};
inline constinit const LazyFunction<decltype(&::PQconsumeInput)> PQconsumeInput{kLibrary, "PQconsumeInput"};
inline constinit const LazyFunction<decltype(&::PQerrorMessage)> PQerrorMessage{kLibrary, "PQerrorMessage"};
inline constinit const LazyFunction<decltype(&::PQexec)> PQexec{kLibrary, "PQexec"};
inline constinit const LazyFunction<decltype(&::PQexecParams)> PQexecParams{kLibrary, "PQexecParams"};
inline constinit const LazyFunction<decltype(&::PQfinish)> PQfinish{kLibrary, "PQfinish"};
inline constinit const LazyFunction<decltype(&::PQfname)> PQfname{kLibrary, "PQfname"};
inline constinit const LazyFunction<decltype(&::PQfreeCancel)> PQfreeCancel{kLibrary, "PQfreeCancel"};
inline constinit const LazyFunction<decltype(&::PQfreemem)> PQfreemem{kLibrary, "PQfreemem"};
inline constinit const LazyFunction<decltype(&::PQftype)> PQftype{kLibrary, "PQftype"};
inline constinit const LazyFunction<decltype(&::PQgetCancel)> PQgetCancel{kLibrary, "PQgetCancel"};
inline constinit const LazyFunction<decltype(&::PQgetResult)> PQgetResult{kLibrary, "PQgetResult"};
inline constinit const LazyFunction<decltype(&::PQgetisnull)> PQgetisnull{kLibrary, "PQgetisnull"};
inline constinit const LazyFunction<decltype(&::PQgetlength)> PQgetlength{kLibrary, "PQgetlength"};
inline constinit const LazyFunction<decltype(&::PQgetvalue)> PQgetvalue{kLibrary, "PQgetvalue"};
inline constinit const LazyFunction<decltype(&::PQnfields)> PQnfields{kLibrary, "PQnfields"};
inline constinit const LazyFunction<decltype(&::PQnotifies)> PQnotifies{kLibrary, "PQnotifies"};
inline constinit const LazyFunction<decltype(&::PQntuples)> PQntuples{kLibrary, "PQntuples"};
inline constinit const LazyFunction<decltype(&::PQresultErrorField)> PQresultErrorField{kLibrary, "PQresultErrorField"};
inline constinit const LazyFunction<decltype(&::PQresultErrorMessage)> PQresultErrorMessage{kLibrary,
                                                                                            "PQresultErrorMessage"};
inline constinit const LazyFunction<decltype(&::PQresultStatus)> PQresultStatus{kLibrary, "PQresultStatus"};
inline constinit const LazyFunction<decltype(&::PQsendQueryParams)> PQsendQueryParams{kLibrary, "PQsendQueryParams"};
inline constinit const LazyFunction<decltype(&::PQsetNoticeProcessor)> PQsetNoticeProcessor{kLibrary,
                                                                                            "PQsetNoticeProcessor"};
inline constinit const LazyFunction<decltype(&::PQsetSingleRowMode)> PQsetSingleRowMode{kLibrary, "PQsetSingleRowMode"};
inline constinit const LazyFunction<decltype(&::PQsocket)> PQsocket{kLibrary, "PQsocket"};
inline constinit const LazyFunction<decltype(&::PQstatus)> PQstatus{kLibrary, "PQstatus"};
inline constinit const LazyFunction<decltype(&::PQtransactionStatus)> PQtransactionStatus{kLibrary,
                                                                                          "PQtransactionStatus"};
inline constinit const LazyFunction<decltype(&::PQunescapeBytea)> PQunescapeBytea{kLibrary, "PQunescapeBytea"};

} // namespace engine::pq
