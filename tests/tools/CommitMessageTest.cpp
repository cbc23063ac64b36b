// The defect numbers a commit message names, and which of them it fixes.

#include "tools/vellacord-admin/CommitMessage.h"

#include <gtest/gtest.h>

namespace {

using Refs = std::vector<DefectReference>;

TEST(CommitMessage, FindsReferencesAndFixesOnceEachInOrder)
{
    EXPECT_EQ(DefectReferences(QStringLiteral("fixes #2: keep the last line")), (Refs{{2, true}}));
    EXPECT_EQ(DefectReferences(QStringLiteral("Parser: refs #12, see also #7\n\nCloses #12.")),
              (Refs{{12, true}, {7, false}}));
    EXPECT_EQ(DefectReferences(QStringLiteral("Fixes: #3 and resolved #4, fixed #5, close #6")),
              (Refs{{3, true}, {4, true}, {5, true}, {6, true}}));
    // "fixes" reaches only the number right after it.
    EXPECT_EQ(DefectReferences(QStringLiteral("fixes #8, #9")), (Refs{{8, true}, {9, false}}));
}

TEST(CommitMessage, IgnoresWhatOnlyLooksLikeAReference)
{
    EXPECT_TRUE(DefectReferences(QStringLiteral("see https://example.org/page#12 and issue#3")).empty());
    EXPECT_TRUE(DefectReferences(QStringLiteral("colour #12ab34, ##5, #0")).empty());
    EXPECT_TRUE(DefectReferences(QStringLiteral("prefixes #4 are not fixes")).size() == 1);
    EXPECT_FALSE(DefectReferences(QStringLiteral("prefixes #4 are not fixes")).front().fixes);
}

} // namespace
