// The list's export files on a real database: the three table formats against expected files,
// the spreadsheet query line, and the workbook read back.

#include "document/DefectDocFixture.h"

#include "base/StringTable.h"
#include "engine/Statement.h"
#include "export/ExportList.h"
#include "export/SpreadsheetQuery.h"
#include "export/TableExporter.h"
#include "list/DefectList.h"

#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QXmlStreamReader>

#include <algorithm>

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

// Runs python3 with the script and the arguments; its standard output, or a failure with its error.
::testing::AssertionResult Python(const QString& script, const QStringList& arguments, QByteArray& output)
{
    QProcess python;
    python.start(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), script} + arguments);
    if (!python.waitForFinished(30000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        return ::testing::AssertionFailure() << python.readAllStandardError().toStdString();
    output = python.readAllStandardOutput();
    return ::testing::AssertionSuccess();
}

// A real XML parser reads the file whole; prints every element's text, one per line, in ASCII
// with Python's escapes.
constexpr const char* kParseXml = "import sys, xml.etree.ElementTree as E\n"
                                  "for e in E.parse(sys.argv[1]).iter():\n"
                                  "    print(ascii(e.text or ''))\n";

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

// Texts with characters XML 1.0 cannot carry, bytes that are no UTF-8, and cells a spreadsheet would
// take for formulas: every XML file still parses, and no CSV or text cell begins a formula.
TEST_F(ListExportTest, HostileTextsGiveFilesEveryReaderAccepts)
{
    const QStringList hostile{
        QStringLiteral("'esc' || char(27) || '[31m bell' || char(7) || 'vt' || char(11) || 'ff' || char(12)"),
        QStringLiteral("'nul' || char(0) || 'after nul'"),
        QStringLiteral("CAST(X'6261642D' || X'FF' || X'C328' || X'EDA080' || X'2D656E64' AS TEXT)"),
        QStringLiteral("'non' || char(65534) || char(65535) || 'chars ' || char(1) || char(31) || ' and ' || "
                       "char(127, 8364, 128512)"),
        QStringLiteral("'=HYPERLINK(\"http://evil.example\",\"x\")'"),
        QStringLiteral("'+1+1'"),
        QStringLiteral("'-2+3'"),
        QStringLiteral("'@SUM(A1)'"),
        QStringLiteral("char(9) || '=1'"),
        QStringLiteral("char(13) || '=1'"),
        QStringLiteral("'-5'"),
    };
    for (const QString& subject : hostile)
        Exec(setup_,
             QStringLiteral("INSERT INTO defectlist (statusid, priorityid, severityid, subject, description, "
                            "componentid, toid, fromid, categoryid, opened, modified) VALUES (1, 1, 1, %1, %1, 1, 1, "
                            "2, 0, 46000.5, 46001.25)")
                 .arg(subject));
    list_.FillList();
    engine::Connection& connection = doc_.GetDocumentConnection(RetryMode::Offline);

    const QString xml = folder_.file(QStringLiteral("hostile.xml"));
    WriteListExport(xml, ListExportKind::Xml, connection, list_);
    QByteArray texts;
    ASSERT_TRUE(Python(QString::fromLatin1(kParseXml), {xml}, texts));
    for (const char* visible :
         {"'esc\\\\x1B[31m bell\\\\x07vt\\\\x0Bff\\\\x0C'", "'nul\\\\x00after nul'", "'bad-\\ufffd\\ufffd(\\ufffd",
          "\\ufffd-end'", "'non\\\\uFFFE\\\\uFFFFchars \\\\x01\\\\x1F and \\x7f\\u20ac\\U0001f600'"})
        EXPECT_TRUE(texts.contains(visible)) << visible << "\n" << texts.toStdString();
    // The XML file is for programs, not spreadsheets: its texts stay as they were typed.
    EXPECT_TRUE(texts.contains("'=HYPERLINK(\"http://evil.example\",\"x\")'")) << texts.toStdString();

    // The workbook's sheet is XML as well.
    const QString workbook = folder_.file(QStringLiteral("hostile.xlsx"));
    WriteListExport(workbook, ListExportKind::Workbook, connection, list_);
    const QString sheet = folder_.file(QStringLiteral("sheet1.xml"));
    QFile sheetFile(sheet);
    ASSERT_TRUE(sheetFile.open(QIODevice::WriteOnly));
    sheetFile.write(Unzipped(workbook, QStringLiteral("xl/worksheets/sheet1.xml")));
    sheetFile.close();
    ASSERT_TRUE(Python(QString::fromLatin1(kParseXml), {sheet}, texts));

    // CSV and text: a cell a spreadsheet would evaluate gets a leading apostrophe; a number stays one.
    for (const auto& [name, kind] :
         {std::pair{"hostile.csv", ListExportKind::Csv}, {"hostile.txt", ListExportKind::Text}}) {
        const QString path = folder_.file(QString::fromLatin1(name));
        WriteListExport(path, kind, connection, list_);
        const QByteArray file = Read(path);
        const char* const separator = kind == ListExportKind::Csv ? "\"" : "\t";
        for (const QByteArray& cell : {QByteArray("'=HYPERLINK("), QByteArray("'+1+1"), QByteArray("'-2+3"),
                                       QByteArray("'@SUM(A1)"), QByteArray("'\t=1"), QByteArray("'\\r=1")}) {
            // \t stays a tab in CSV; text writes it as \t.
            const QByteArray expected = kind == ListExportKind::Text && cell == "'\t=1" ? QByteArray("'\\t=1") : cell;
            EXPECT_TRUE(file.contains(separator + expected)) << name << ": " << expected.toStdString();
        }
        EXPECT_TRUE(file.contains(QByteArray(separator) + "-5" + separator)) << name;
        EXPECT_FALSE(file.contains(QByteArray(separator) + "=")) << name;
        EXPECT_FALSE(file.contains(QByteArray(separator) + "@")) << name;

        // Written raw when the user asks for it.
        WriteListExport(path, kind, connection, list_, FormulaCells::Raw);
        EXPECT_TRUE(Read(path).contains(separator + QByteArray("=HYPERLINK("))) << name;
        EXPECT_FALSE(Read(path).contains("'=HYPERLINK(")) << name;
    }
}

// The inline texts of a workbook's first sheet, in order.
QStringList SheetTexts(const QString& workbook)
{
    QXmlStreamReader reader(Unzipped(workbook, QStringLiteral("xl/worksheets/sheet1.xml")));
    QStringList texts;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("t"))
            texts << reader.readElementText();
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return texts;
}

TEST_F(ListExportTest, WorkbookCellsKeepTextAfterANulAndCutLongTextsBetweenCharacters)
{
    // An emoji (two UTF-16 code units) stands where the cut falls, wherever the marker ends.
    QString longText(40000, QLatin1Char('a'));
    for (qsizetype i = 32600; i < 32767; i += 2)
        longText.replace(i, 2, QStringLiteral("\U0001F600"));
    AddDefect(longText, QStringLiteral("x"), 0);
    Exec(setup_,
         QStringLiteral("UPDATE defectlist SET subject = 'before' || char(0) || 'after' || char(65534) WHERE "
                        "subject = 'Read one'"));
    list_.FillList();
    const QString workbook = folder_.file(QStringLiteral("cells.xlsx"));
    WriteListExport(workbook, ListExportKind::Workbook, doc_.GetDocumentConnection(RetryMode::Offline), list_);
    const QStringList texts = SheetTexts(workbook);
    EXPECT_TRUE(texts.contains(QStringLiteral("before\u2400after\uFFFD")))
        << texts.join(QLatin1Char('|')).toStdString();

    const auto cut = std::find_if(texts.begin(), texts.end(), [](const QString& t) { return t.startsWith("aaaa"); });
    ASSERT_NE(cut, texts.end());
    EXPECT_LE(cut->size(), 32767);
    EXPECT_GT(cut->size(), 32600);
    EXPECT_TRUE(cut->endsWith(QStringLiteral("[cut: the text has 40000 characters; the CSV export holds them all]")));
    EXPECT_FALSE(cut->contains(QChar::ReplacementCharacter));
    const QString kept = cut->left(cut->indexOf(QStringLiteral(" \u2026[cut")));
    EXPECT_TRUE(longText.startsWith(kept));
    EXPECT_FALSE(kept.back().isHighSurrogate());
}

TEST_F(ListExportTest, AFilterWithOrNeverExportsAnotherUsersDraftOrTemplate)
{
    Exec(setup_,
         QStringLiteral("INSERT INTO defectlist (statusid, subject, fromid, toid) VALUES "
                        "(999, 'Bob''s draft', 2, 1), (0, 'Bob''s template', 2, 0), (999, 'Ann''s draft', 1, 2)"));
    Exec(setup_,
         QStringLiteral("INSERT INTO filter (id, userid, filtername, filtertext) VALUES "
                        "(51, 0, 'f', 'statusid = 999 OR statusid = 0 OR 1=1')"));
    doc_.selection().filterOn = true;
    list_.ChangeFilter(51);
    const QString path = folder_.file(QStringLiteral("or.csv"));
    ui_.ExpectFile(path);
    ui_.ExpectMessageText(QStringLiteral("3 defects have been exported to %1.").arg(path));
    ExportList(doc_, list_);
    const QByteArray exported = Read(path);
    EXPECT_TRUE(exported.contains("Ann's draft")) << exported.toStdString();
    EXPECT_TRUE(exported.contains("Read one"));
    EXPECT_FALSE(exported.contains("Bob's draft"));
    EXPECT_FALSE(exported.contains("Bob's template"));
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
    EXPECT_TRUE(select.endsWith(
        QStringLiteral(" AND ( subject <> '--x' /* the open ones*/ and statusid=1 ) ORDER BY Defect_ID")))
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
