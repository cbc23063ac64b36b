// The stored password hash with known digests, and the empty password.

#include "document/PasswordHash.h"

#include <gtest/gtest.h>

TEST(PasswordHashTest, ReversesEachGroupOfTheDigest)
{
    EXPECT_EQ(PasswordHash(QStringLiteral("abc")), "98500190b04fd23c7d3f96d6727fe128");
    // MD5 of nothing is d41d8cd98f00b204e9800998ecf8427e.
    EXPECT_EQ(PasswordHash(QString()), "d98c1dd404b2008f980980e97e42f8ec");
    // Non-ASCII text is hashed as its UTF-8 bytes (c3 a4 for ä).
    EXPECT_EQ(PasswordHash(QStringLiteral("ä")), "1cb71984a225a28748500bc745e5be6f");
}

TEST(PasswordHashTest, EmptyOnlyMatchesEmpty)
{
    const QString stored = PasswordHash(QStringLiteral("secret"));
    EXPECT_TRUE(PasswordAccepted(QString(), QString()));
    EXPECT_FALSE(PasswordAccepted(QString(), QStringLiteral("x")));
    EXPECT_FALSE(PasswordAccepted(stored, QString()));
    EXPECT_FALSE(PasswordAccepted(stored, QStringLiteral("Secret")));
    EXPECT_TRUE(PasswordAccepted(stored, QStringLiteral("secret")));
}
