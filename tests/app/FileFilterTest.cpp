// Description and pattern pairs become the filter of Qt's file dialog.

#include "app/FileFilter.h"

#include <gtest/gtest.h>

TEST(FileFilter, PairsBecomeQtFilters)
{
    EXPECT_EQ(QtFileFilter(QStringLiteral("*.defl|*.defl|*.mdb|*.mdb||")),
              QStringLiteral("*.defl (*.defl);;*.mdb (*.mdb)"));
    EXPECT_EQ(QtFileFilter(QStringLiteral("Text files|*.txt;*.log|All files|*.*||")),
              QStringLiteral("Text files (*.txt *.log);;All files (*.*)"));
    EXPECT_EQ(QtFileFilter(QString()), QString());
}
