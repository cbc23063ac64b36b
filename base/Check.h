#pragma once
// Contract checks: each throws a typed exception carrying a short English text
// that names what went wrong.

#include <stdexcept>
#include <string>
#include <string_view>

namespace check {

class assertion_failed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class abort_on : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class precondition_violated : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

class invariant_violated : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

inline void assertion(bool cond, std::string_view msg)
{
    if (!cond)
        throw assertion_failed(std::string(msg));
}

inline void precondition(bool cond, std::string_view msg)
{
    if (!cond)
        throw precondition_violated(std::string(msg));
}

inline void invariant(bool cond, std::string_view msg)
{
    if (!cond)
        throw invariant_violated(std::string(msg));
}

// Unlike the others, this one fires when its condition is TRUE.
inline void abort_if(bool cond, std::string_view msg)
{
    if (cond)
        throw abort_on(std::string(msg));
}

} // namespace check
