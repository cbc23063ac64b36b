#include "store/AttachmentPaths.h"

#include <gtest/gtest.h>

TEST(AttachmentPaths, CutsTheDatabaseExtensionInAnyCase)
{
    EXPECT_EQ(AttachmentRootFor(QStringLiteral("/data/team.defl")), QStringLiteral("/data/team.attach"));
    EXPECT_EQ(AttachmentRootFor(QStringLiteral("/data/Team.DEFL")), QStringLiteral("/data/Team.attach"));
    EXPECT_EQ(AttachmentRootFor(QStringLiteral("/data/tracker.mdb")), QStringLiteral("/data/tracker.mdb.attach"));
    EXPECT_EQ(AttachmentRootFor(QStringLiteral("defl")), QStringLiteral("defl.attach"));
    EXPECT_EQ(DefectAttachmentPath(QStringLiteral("/data/Team.DEFL"), 7), QStringLiteral("/data/Team.attach/0000000007"));
    EXPECT_EQ(DefectAttachmentPath(QStringLiteral("/d/x.defl"), 1234567890), QStringLiteral("/d/x.attach/1234567890"));
}
