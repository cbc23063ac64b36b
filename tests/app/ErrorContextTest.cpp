// The error context: outermost operation first, recorded only while unwinding, never overflowing.

#include "base/ErrorContext.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

void Innermost()
{
    ErrorContext context("innermost");
    throw std::runtime_error("boom");
}

void Middle()
{
    ErrorContext context("middle");
    Innermost();
}

void Outermost()
{
    ErrorContext context("outermost");
    Middle();
}

} // namespace

TEST(ErrorContext, ListsOutermostFirstAndRecordsOnlyWhileUnwinding)
{
    TheErrorContext().ContextText(true);
    {
        ErrorContext quiet("not failing");
    }
    EXPECT_EQ(TheErrorContext().ContextText(false), "");

    EXPECT_THROW(Outermost(), std::runtime_error);
    EXPECT_EQ(TheErrorContext().ContextText(true), "outermost\n middle\n innermost\n ");
    EXPECT_EQ(TheErrorContext().ContextText(true), "");
}

TEST(ErrorContext, NeverOverflowsAndKeepsEarlierEntries)
{
    ErrorContextBuffer buffer;
    buffer.push("first");
    const std::string huge(9000, 'x');
    buffer.push(huge.c_str());
    EXPECT_EQ(buffer.ContextText(false), "\n first\n ");

    ErrorContextBuffer full;
    const std::string chunk(100, 'y');
    for (int i = 0; i < 200; ++i)
        full.push(chunk.c_str());
    EXPECT_LT(full.textEnd(), full.offsetTop() + 4);
    const std::string text = full.ContextText(true);
    EXPECT_NE(text.find(chunk), std::string::npos);
    EXPECT_EQ(full.textEnd(), 0u);
    EXPECT_EQ(full.offsetTop(), ErrorContextBuffer::kFirstOffsetSlot);
}
