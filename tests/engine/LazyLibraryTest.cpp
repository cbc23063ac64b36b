// Functions of a library loaded at their first call: they work as if linked, and a missing library
// or function is a failure that names it, not a crash.

#include "platform/LazyLibrary.h"
#include "base/Check.h"

#include <string>

#include <gtest/gtest.h>

namespace {

// labs of the C library, which is always there; the other two names are not.
using Absolute = LazyFunction<long (*)(long)>;
constinit const Absolute kAbsolute{"libc.so.6", "labs"};
constinit const Absolute kMissingFunction{"libc.so.6", "no_such_function_here"};
constinit const Absolute kMissingLibrary{"libno-such-library.so.7", "labs"};

std::string Failure(const Absolute& function)
{
    try {
        function(-1);
    } catch (const check::abort_on& failure) {
        return failure.what();
    }
    return "no failure";
}

} // namespace

TEST(LazyLibrary, AFunctionIsFoundAtItsFirstCallAndAMissingOneIsNamed)
{
    EXPECT_EQ(kAbsolute(-42), 42);
    EXPECT_EQ(kAbsolute(7), 7) << "the second call takes the function found";

    const std::string function = Failure(kMissingFunction);
    EXPECT_NE(function.find("no_such_function_here"), std::string::npos) << function;
    const std::string library = Failure(kMissingLibrary);
    EXPECT_NE(library.find("libno-such-library.so.7"), std::string::npos) << library;
    // Still missing at the next call, not a null function called.
    EXPECT_EQ(Failure(kMissingLibrary), library);
}
