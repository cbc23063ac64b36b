// Contract checks and results: each throws its type, unchecked failures throw, never while unwinding.

#include "base/Result.h"
#include "base/Check.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(Contracts, EachCheckThrowsItsTypeWithTheMessage)
{
    EXPECT_NO_THROW(check::assertion(true, "a"));
    EXPECT_NO_THROW(check::precondition(true, "p"));
    EXPECT_NO_THROW(check::invariant(true, "i"));
    EXPECT_NO_THROW(check::abort_if(false, "abort"));
    try {
        check::abort_if(true, "database lock failed");
        FAIL() << "abort_if with a true condition must throw";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(dynamic_cast<const check::abort_on*>(&e), nullptr);
        EXPECT_STREQ(e.what(), "database lock failed");
    }
    EXPECT_THROW(check::precondition(false, "p"), std::logic_error);
    EXPECT_THROW(check::invariant(false, "i"), check::invariant_violated);
    EXPECT_THROW(check::assertion(false, "a"), check::assertion_failed);
}

TEST(Result, UncheckedFailureThrowsAtReassignmentAndDestruction)
{
    CBResult reused(0);
    EXPECT_THROW(reused = 1, CBResult);
    // The failure was looked at by the throw; the object stays usable.
    EXPECT_NO_THROW(reused = 1);
    EXPECT_NO_THROW(reused = 1); // an unchecked success does not throw either

    bool thrownAtDestruction = false;
    try {
        CHResult failed(static_cast<long>(static_cast<int>(0x80004005u)));
    } catch (const CHResult& result) {
        thrownAtDestruction = true;
        EXPECT_EQ(static_cast<unsigned>(result.value), 0x80004005u);
        EXPECT_TRUE(result.checked);
    }
    EXPECT_TRUE(thrownAtDestruction);

    CResult<unsigned> timer(0u);
    EXPECT_THROW(timer.check(), CResult<unsigned>);
}

TEST(Result, NoThrowFromDestructionWhileUnwinding)
{
    try {
        CBResult ignored(0);
        throw std::runtime_error("already failing");
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "already failing");
    } catch (...) {
        FAIL() << "the unchecked result replaced the propagating exception";
    }
}

TEST(Result, InspectionMarksCheckedOnlyOnYes)
{
    CBResult missing(0);
    EXPECT_TRUE(missing.is(0)); // a missing optional value: the caller handles it
    EXPECT_NO_THROW(missing = 1);

    CBResult other(0);
    EXPECT_FALSE(other.is(1));
    EXPECT_THROW(other = 1, CBResult);

    CHResult negative(-1);
    EXPECT_THROW(negative.check(), CHResult);
    EXPECT_FALSE(negative.is(0)); // checked before, stays checked
    EXPECT_NO_THROW(negative = 0);
}
