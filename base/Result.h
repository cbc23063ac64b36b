#pragma once
// Result wrappers for platform calls: a failure that nobody looked at throws the result object
// itself, at the next assignment, at destruction, or when checked explicitly.

#include "base/ErrorRecord.h"

#include <cerrno>
#include <exception>
#include <type_traits>
#include <utility>

// The common base of the result types, so that one handler can catch any of them.
class CBaseResult { };

template <typename T>
struct ResultTraits;

template <>
struct ResultTraits<long> {
    static bool failed(long value) { return value < 0; }
};

template <>
struct ResultTraits<int> {
    static bool failed(int value) { return value == 0; }
};

template <>
struct ResultTraits<unsigned> {
    static bool failed(unsigned value) { return value == 0; }
};

template <typename T>
class CResult : public CBaseResult {
public:
    explicit CResult(T initial = successValue()) : value(initial) { }

    // An engine status with the error records of the failing connection, for the report.
    CResult(T initial, engine::ErrorRecords errorRecords) : value(initial), records(std::move(errorRecords)) { }

    CResult(const CResult& other)
        : checked(other.checked), value(other.value), lastError(other.lastError), records(other.records)
    {
    }

    CResult& operator=(T newValue)
    {
        if (!checked)
            check();
        value = newValue;
        checked = false;
        lastError = 0;
        records.clear();
        return *this;
    }

    CResult& operator=(const CResult& other)
    {
        if (this != &other) {
            if (!checked)
                check();
            checked = other.checked;
            value = other.value;
            lastError = other.lastError;
            records = other.records;
        }
        return *this;
    }

    // Destroying an unchecked failure throws it, unless another exception is already on its way.
    ~CResult() noexcept(false)
    {
        if (!checked && std::uncaught_exceptions() == exceptionsAtConstruction_)
            check();
    }

    // Marks the result checked and throws a (checked) copy when it holds a failure.
    void check()
    {
        checked = true;
        if (ResultTraits<T>::failed(value)) {
            if constexpr (!std::is_same_v<T, long>)
                lastError = errno;
            CResult thrown(*this);
            throw thrown;
        }
    }

    // "Is the value v?" A yes, or an earlier check, counts as having looked at the result.
    bool is(T v)
    {
        const bool yes = value == v;
        if (yes)
            checked = true;
        return yes;
    }

    bool failed() const { return ResultTraits<T>::failed(value); }

    bool checked = false;
    T value;
    int lastError = 0;            // the platform's error code when a boolean or unsigned call failed
    engine::ErrorRecords records; // what the engine said about a failed status

private:
    static constexpr T successValue() { return std::is_same_v<T, long> ? T(0) : T(1); }
    int exceptionsAtConstruction_ = std::uncaught_exceptions();
};

using CHResult = CResult<long>;
using CBResult = CResult<int>;
using CUResult = CResult<unsigned>;

// Wraps a boolean platform result and checks it at once.
inline void CheckedCall(bool succeeded)
{
    CBResult result(succeeded ? 1 : 0);
    result.check();
}
