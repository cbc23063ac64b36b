// The list's export files on a real database: the three table formats against expected files,
// the spreadsheet query line, and the workbook read back.

#include "document/DefectDocFixture.h"

#include "base/StringTable.h"
#include "engine/Statement.h"
#include "export/ExportList.h"
#include "export/SpreadsheetQuery.h"
#include "list/DefectList.h"

#include <QFile>
#include <QLocale>
#include <QProcess>

namespace {

constexpr int kNoSpreadsheetProgram = 201;

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One member of a zip file (the workbook), as `unzip` extracts it.
QByteArray Unzipped(const QString& zip, const QString& member)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, member});
    return unzip.waitForFinished(10000) ? unzip.readAllStandardOutput() : QByteArray();
}

class ListExportTest : public DefectDocFixture {
protected:
    ListExportTest()
    {
        QLocale::setDefault(QLocale::c());
        // Both carry a password hash and user flags, which no export file may carry.
        AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"), QStringLiteral("HASH-OF-ANN"),
                       QStringLiteral("FLAGS-A"));
        AddStakeholder(setup_, 2, QStringLiteral("Bob"), QStringLiteral("bob"), QStringLiteral("HASH-OF-BOB"),
                       QStringLiteral("FLAGS-B"));
        // Never read by Ann; and one read, with a tab in its description.
        AddDefect(QStringLiteral("Fish & <chips> \"now\", it's late"), QStringLiteral("line one\r\nline two"), 0);
        AddDefect(QStringLiteral("Read one"), QStringLiteral("tab\there"), 46002.75);
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
        doc_.SetAutoLogin(QStringLiteral("ann"));
        EXPECT_TRUE(doc_.OnOpenDocument(path_));
    }
    ~ListExportTest() override { QLocale::setDefault(QLocale::system()); }

    void AddDefect(const QString& subject, const QString& description, double lastRead)
    {
        Exec(setup_,
             QStringLiteral(
                 "INSERT INTO defectlist (statusid, priorityid, severityid, subject, description, componentid, "
                 "toid, fromid, categoryid, foundbuild, opened, modified, closed, lastread, foundversion) "
                 "VALUES (1, 1, 1, ?, ?, 1, 1, 2, 0, 17, 46000.5, 46001.25, 0, ?, '1.2')"),
             {subject, description, lastRead});
    }

    CDefectList list_{doc_};
};

TEST_F(ListExportTest, TableFormatsEscapeTheirCharactersAndLeaveOutSortReadOnlyAndSecretColumns)
{
    for (const QString name : {"list.xml", "list.CSV", "list.dat"}) {
        const QString path = folder_.file(name);
        ui_.ExpectFile(path);
        ui_.ExpectMessageText(QStringLiteral("2 defects have been exported to %1.").arg(path));
        ExportList(doc_, list_);
        const QByteArray exported = Read(path);
        EXPECT_EQ(exported, Read(QStringLiteral(EXPORT_EXPECTED_DIR "/") + name)) << exported.toStdString();
        for (const char* never : {"sys_sortorder", "sys_readonly", "passwd", "HASH-OF", "userflags", "FLAGS-"})
            EXPECT_FALSE(exported.contains(never)) << name.toStdString() << ": " << never;
    }
    EXPECT_EQ(ui_.fileRequests.back().filter, LoadString(207));
    EXPECT_TRUE(LoadString(207).contains(QLatin1String("|*.xlsx|"))) << "the workbook is offered";
    // Text and CSV headings are the names the program shows; XML keeps the column names.
    EXPECT_TRUE(Read(folder_.file(QStringLiteral("list.CSV"))).startsWith("\"ID\",\"Status ID\""));
    EXPECT_TRUE(Read(folder_.file(QStringLiteral("list.dat"))).contains("\tFound in\tFixed in\t"));

    // A folder that is not there; a cancelled dialog writes nothing.
    ui_.ExpectFile(folder_.file(QStringLiteral("missing/list.csv")));
    ui_.ExpectMessageText(QStringLiteral("Could not open output file!"));
    ExportList(doc_, list_);
    ui_.ExpectFile(std::nullopt);
    ExportList(doc_, list_);
    ui_.VerifyAllUsed();
}

// A filter that the engine alone would run, but the read-only fence refuses (it reads a pragma):
// the list drops it, and every export that runs it fails.
TEST_F(ListExportTest, AFilterThatDoesMoreThanReadFailsEveryExport)
{
    Exec(setup_,
         QStringLiteral("INSERT INTO filter (id, userid, filtername, filtertext) VALUES "
                        "(50, 0, 'f', '(select count(*) from pragma_database_list) > 0')"));
    doc_.selection().filterOn = true;
    ui_.ExpectMessage(112);
    list_.ChangeFilter(50);
    // The file of an earlier export under that name is kept as it was.
    const QString earlier = folder_.file(QStringLiteral("list.xml"));
    QFile file(earlier);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("earlier") == 7 && file.flush());
    ui_.ExpectFile(earlier);
    ui_.ExpectMessageText(QStringLiteral("exporting list to file"));
    ExportList(doc_, list_);
    EXPECT_EQ(Read(earlier), "earlier");
    ui_.ExpectMessageText(QStringLiteral("opening list in spreadsheet"));
    OpenListInSpreadsheet(doc_, list_);
    EXPECT_TRUE(ui_.openedWithDesktop.empty());
    ui_.VerifyAllUsed();
}

TEST_F(ListExportTest, TheQueryFileSelectsTheShownColumnsInDisplayOrderOnOneLine)
{
    // Shown: Id, Status and To; Subject (width 1) and From (width 0) are hidden between them.
    ListColumns columns;
    columns.columns = {{"Id", 50}, {"Status", 80}, {"Subject", 1}, {"To", 60}, {"From", 0}};
    columns.order = {2, 0, 4, 1, 3};
    ListSettings settings;
    settings.loggedInId = 1;
    settings.filterActive = true;
    settings.filterText = QStringLiteral("subject <> '--x' -- the open ones\nand statusid=1");
    settings.orderBy = QStringLiteral(" ORDER BY Defect_ID");
    const ListCondition condition = BuildListCondition(settings, true);
    const QString select = SpreadsheetSelect(VisibleColumns(columns), condition.text);
    EXPECT_TRUE(select.startsWith(
        QStringLiteral("SELECT defect_id, status, [To.displayname] as \"to\" from DefectListQuery  WHERE ")));
    EXPECT_TRUE(
        select.endsWith(QStringLiteral(" AND subject <> '--x' /* the open ones*/ and statusid=1  ORDER BY Defect_ID")))
        << select.toStdString();
    EXPECT_EQ(SpreadsheetQueryFile(select), "XLODBC\r\n1\r\nDSN=Vellacord\r\n" + select.toUtf8() + "\r\n");

    // The line runs, fenced, and still filters.
    int rows = 0;
    EXPECT_EQ(setup_.ReadRows(
                  select, {}, engine::Access::ReadOnly, [] {}, [&](const engine::Statement&) { ++rows; }),
              engine::kOk);
    EXPECT_EQ(rows, 2);

    // A line break inside a text still matches the defect's own.
    rows = 0;
    const QString twoLines = SpreadsheetSelect({0}, QStringLiteral(" WHERE description = 'line one\r\nline two'"));
    EXPECT_EQ(setup_.ReadRows(
                  twoLines, {}, engine::Access::ReadOnly, [] {}, [&](const engine::Statement&) { ++rows; }),
              engine::kOk);
    EXPECT_EQ(rows, 1) << twoLines.toStdString();
}

TEST_F(ListExportTest, TheSpreadsheetCommandOpensAWorkbookWithDateCells)
{
    OpenListInSpreadsheet(doc_, list_);
    ASSERT_EQ(ui_.openedWithDesktop.size(), 1u);
    const QString workbook = ui_.openedWithDesktop.front();
    EXPECT_TRUE(workbook.endsWith(QStringLiteral(".xlsx")));
    const QByteArray sheet = Unzipped(workbook, QStringLiteral("xl/worksheets/sheet1.xml"));
    // View 1 starts with Id, Status, Subject; Opened is a number under a date format.
    EXPECT_TRUE(sheet.contains("<pane ySplit=\"1\"")) << sheet.toStdString();
    EXPECT_TRUE(sheet.contains("<t>Subject</t>")) << sheet.toStdString();
    EXPECT_TRUE(sheet.contains("<c r=\"A2\"><v>1</v></c>")) << sheet.toStdString();
    EXPECT_TRUE(sheet.contains("<t>Fish &amp; &lt;chips&gt; \"now\", it's late</t>"));
    EXPECT_TRUE(sheet.contains("<t>line one\nline two</t>"));
    EXPECT_TRUE(sheet.contains(" s=\"2\"><v>46000.5</v>"));
    EXPECT_TRUE(Unzipped(workbook, QStringLiteral("xl/styles.xml")).contains("<xf numFmtId=\"22\""));

    ui_.openWithDesktopSucceeds = false;
    ui_.ExpectMessage(kNoSpreadsheetProgram);
    OpenListInSpreadsheet(doc_, list_);
    EXPECT_FALSE(QFile::exists(ui_.openedWithDesktop.back()));
    ui_.VerifyAllUsed();
}

} // namespace
