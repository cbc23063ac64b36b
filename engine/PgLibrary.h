#pragma once
// The libpq functions the server backend calls, each found in the library at its first call: a
// program that opens only files never loads libpq and the libraries it brings (Kerberos, LDAP,
// TLS), whose loading would lengthen every start of the program and of vellacord-admin.
// The backend's files say `using namespace pq;`, and their calls read as calls of libpq.

#include <libpq-fe.h>

#include <atomic>

namespace engine::pq {

// The function `name` of libpq, which is loaded the first time; aborts when libpq or the
// function cannot be found.
void* Symbol(const char* name);

template <typename Function>
class LazyFunction;

template <typename Result, typename... Arguments>
class LazyFunction<Result (*)(Arguments...)> {
public:
    using Pointer = Result (*)(Arguments...);

    constexpr explicit LazyFunction(const char* name) : name_(name) { }

    Result operator()(Arguments... arguments) const
    {
        Pointer function = function_.load(std::memory_order_acquire);
        if (function == nullptr) {
            // Two threads may both look it up; they find the same function.
            function = reinterpret_cast<Pointer>(Symbol(name_));
            function_.store(function, std::memory_order_release);
        }
        return function(arguments...);
    }

private:
    const char* name_;
    mutable std::atomic<Pointer> function_{nullptr};
};

inline constinit const LazyFunction<decltype(&::PQbackendPID)> PQbackendPID{"PQbackendPID"};
inline constinit const LazyFunction<decltype(&::PQcancel)> PQcancel{"PQcancel"};
inline constinit const LazyFunction<decltype(&::PQclear)> PQclear{"PQclear"};
inline constinit const LazyFunction<decltype(&::PQcmdStatus)> PQcmdStatus{"PQcmdStatus"};
inline constinit const LazyFunction<decltype(&::PQcmdTuples)> PQcmdTuples{"PQcmdTuples"};
inline constinit const LazyFunction<decltype(&::PQconnectdb)> PQconnectdb{"PQconnectdb"};
inline constinit const LazyFunction<decltype(&::PQconninfoFree)> PQconninfoFree{"PQconninfoFree"};
inline constinit const LazyFunction<decltype(&::PQconninfoParse)> PQconninfoParse{"PQconninfoParse"};
inline constinit const LazyFunction<decltype(&::PQconsumeInput)> PQconsumeInput{"PQconsumeInput"};
inline constinit const LazyFunction<decltype(&::PQerrorMessage)> PQerrorMessage{"PQerrorMessage"};
inline constinit const LazyFunction<decltype(&::PQexec)> PQexec{"PQexec"};
inline constinit const LazyFunction<decltype(&::PQexecParams)> PQexecParams{"PQexecParams"};
inline constinit const LazyFunction<decltype(&::PQfinish)> PQfinish{"PQfinish"};
inline constinit const LazyFunction<decltype(&::PQfname)> PQfname{"PQfname"};
inline constinit const LazyFunction<decltype(&::PQfreeCancel)> PQfreeCancel{"PQfreeCancel"};
inline constinit const LazyFunction<decltype(&::PQfreemem)> PQfreemem{"PQfreemem"};
inline constinit const LazyFunction<decltype(&::PQftype)> PQftype{"PQftype"};
inline constinit const LazyFunction<decltype(&::PQgetCancel)> PQgetCancel{"PQgetCancel"};
inline constinit const LazyFunction<decltype(&::PQgetResult)> PQgetResult{"PQgetResult"};
inline constinit const LazyFunction<decltype(&::PQgetisnull)> PQgetisnull{"PQgetisnull"};
inline constinit const LazyFunction<decltype(&::PQgetlength)> PQgetlength{"PQgetlength"};
inline constinit const LazyFunction<decltype(&::PQgetvalue)> PQgetvalue{"PQgetvalue"};
inline constinit const LazyFunction<decltype(&::PQnfields)> PQnfields{"PQnfields"};
inline constinit const LazyFunction<decltype(&::PQnotifies)> PQnotifies{"PQnotifies"};
inline constinit const LazyFunction<decltype(&::PQntuples)> PQntuples{"PQntuples"};
inline constinit const LazyFunction<decltype(&::PQresultErrorField)> PQresultErrorField{"PQresultErrorField"};
inline constinit const LazyFunction<decltype(&::PQresultErrorMessage)> PQresultErrorMessage{"PQresultErrorMessage"};
inline constinit const LazyFunction<decltype(&::PQresultStatus)> PQresultStatus{"PQresultStatus"};
inline constinit const LazyFunction<decltype(&::PQsendQueryParams)> PQsendQueryParams{"PQsendQueryParams"};
inline constinit const LazyFunction<decltype(&::PQsetNoticeProcessor)> PQsetNoticeProcessor{"PQsetNoticeProcessor"};
inline constinit const LazyFunction<decltype(&::PQsetSingleRowMode)> PQsetSingleRowMode{"PQsetSingleRowMode"};
inline constinit const LazyFunction<decltype(&::PQsocket)> PQsocket{"PQsocket"};
inline constinit const LazyFunction<decltype(&::PQstatus)> PQstatus{"PQstatus"};
inline constinit const LazyFunction<decltype(&::PQtransactionStatus)> PQtransactionStatus{"PQtransactionStatus"};
inline constinit const LazyFunction<decltype(&::PQunescapeBytea)> PQunescapeBytea{"PQunescapeBytea"};

} // namespace engine::pq
