// The fix-up that points report documents at the data source.

#include "export/DsnFixup.h"
#include "export/ReportFolder.h"

#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QByteArray Utf16(const char* text)
{
    const QString string = QString::fromLatin1(text);
    return QByteArray(reinterpret_cast<const char*>(string.utf16()), string.size() * 2);
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(DsnFixupTest, ConnectionStringsAreCutAfterTheNameIn8BitAndUtf16Documents)
{
    TempFolder folder;
    const QString narrow = folder.file(QStringLiteral("chart.xls"));
    Write(narrow, QByteArray("xDSN=Vellacord;DBQ=C:\\a.mdb;UID=admin") + '\0' + "DSN=VellacordDSN=Vellacord;x;");
    EXPECT_EQ(report::FixDataSourceNames(narrow), report::DsnFixResult::Fixed);
    EXPECT_EQ(Read(narrow),
              QByteArray("xDSN=Vellacord") + '\0' + "DBQ=C:\\a.mdb;UID=admin" + '\0' + "DSN=VellacordDSN=Vellacord" +
                  '\0' + "x;")
        << "only the next ';' after each name";

    // Beyond the scanned start nothing changes, and the file keeps its length.
    const QString wide = folder.file(QStringLiteral("list.doc"));
    const QByteArray tail = QByteArray(report::kScannedBytes, 'x') + "DSN=Vellacord;";
    Write(wide, Utf16("DSN=Vellacord;DBQ=a;") + QByteArray("\0;", 2) + tail);
    EXPECT_EQ(report::FixDataSourceNames(wide), report::DsnFixResult::Fixed);
    EXPECT_EQ(Read(wide), Utf16("DSN=Vellacord") + QByteArray(2, '\0') + Utf16("DBQ=a;") + QByteArray("\0;", 2) + tail);

    // A document without the name is not written, even when it could not be.
    const QString plain = folder.file(QStringLiteral("plain.ods"));
    Write(plain, QByteArray("DSN=Vellacor;d DSN=vellacord;"));
    const QDateTime modified = QFileInfo(plain).lastModified();
    QFile::setPermissions(plain, QFileDevice::ReadOwner);
    EXPECT_EQ(report::FixDataSourceNames(plain), report::DsnFixResult::Unchanged);
    EXPECT_EQ(Read(plain), QByteArray("DSN=Vellacor;d DSN=vellacord;"));
    EXPECT_EQ(QFileInfo(plain).lastModified(), modified);
    Write(folder.file(QStringLiteral("readonly.xls")), "DSN=Vellacord;");
    QFile::setPermissions(folder.file(QStringLiteral("readonly.xls")), QFileDevice::ReadOwner);
    EXPECT_EQ(report::FixDataSourceNames(folder.file(QStringLiteral("readonly.xls"))),
              getuid() == 0 ? report::DsnFixResult::Fixed : report::DsnFixResult::Failed);
}

TEST(DsnFixupTest, TheReportsMenuListsChartsThenListsWithSeparators)
{
    TempFolder folder;
    QDir(folder.path()).mkpath(QStringLiteral("charts"));
    QDir(folder.path()).mkpath(QStringLiteral("lists"));
    Write(folder.file(QStringLiteral("charts/b per status.ods")), "1");
    Write(folder.file(QStringLiteral("charts/a.v2.ods")), "1");
    Write(folder.file(QStringLiteral("charts/no extension")), "1");
    Write(folder.file(QStringLiteral("lists/all.odb")), "1");
    const std::vector<report::MenuEntry> entries = report::ReportMenuEntries(folder.path());
    QStringList seen;
    for (const report::MenuEntry& entry : entries)
        seen << QStringLiteral("%1 %2").arg(entry.command).arg(entry.name);
    EXPECT_EQ(seen, (QStringList{"14799 a.v2", "14800 b per status", "0 ", "14801 all", "0 "}));
    EXPECT_EQ(entries[1].path, folder.file(QStringLiteral("charts/b per status.ods")));

    for (int i = 0; i < 210; ++i)
        Write(folder.file(QStringLiteral("lists/%1.ods").arg(i, 3, 10, QLatin1Char('0'))), "1");
    const std::vector<report::MenuEntry> many = report::ReportMenuEntries(folder.path());
    EXPECT_EQ(many.size(), 200u + 2u) << "200 documents and two separators";
    EXPECT_EQ(many[many.size() - 2].command, 14998);
}

} // namespace
