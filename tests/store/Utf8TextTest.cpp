// Texts cut to their buffers only at UTF-8 character boundaries.

#include "platform/Utf8Text.h"

#include <gtest/gtest.h>

TEST(Utf8Text, CutsOnlyAtCharacterBoundaries)
{
    const QString euros = QString(3000, QChar(0x20AC)); // three bytes each
    const QString fitted = FitToBuffer(euros, 8000);
    EXPECT_EQ(Utf8Length(fitted), 7998);
    EXPECT_EQ(fitted, QString(2666, QChar(0x20AC)));
    EXPECT_EQ(QString::fromUtf8(fitted.toUtf8()).toUtf8(), fitted.toUtf8());

    EXPECT_EQ(FitToBuffer(QStringLiteral("abc"), 4), QStringLiteral("abc"));
    EXPECT_EQ(FitToBuffer(QStringLiteral("abcd"), 4), QStringLiteral("abc"));
    EXPECT_EQ(FitToBuffer(QStringLiteral("aä"), 3), QStringLiteral("a"));
    EXPECT_EQ(CutUtf8(QByteArray("xyz"), 0), QByteArray());

    const QString emoji = QString::fromUtf8("a\xF0\x9F\x90\x9B"); // a + 4-byte bug
    EXPECT_EQ(FitToBuffer(emoji, 5), QStringLiteral("a"));
    EXPECT_EQ(FitToBuffer(emoji, 6), emoji);
}
