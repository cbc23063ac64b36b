// Reports on a real file: the report view holds the current list and is read through the
// registered ODBC data source; a filter can never use it to change the file.

#include "document/DefectDocFixture.h"

#include "export/ReportRunner.h"
#include "list/DefectList.h"

#include <QCryptographicHash>
#include <QProcess>

#include <sql.h>
#include <sqlext.h>

#include <memory>

namespace {

constexpr int kInvalidFilter = 112;

struct OdbcHandle {
    SQLSMALLINT type;
    SQLHANDLE handle = SQL_NULL_HANDLE;
    OdbcHandle(SQLSMALLINT kind, SQLHANDLE parent) : type(kind) { SQLAllocHandle(kind, parent, &handle); }
    ~OdbcHandle() { SQLFreeHandle(type, handle); }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
};

// The SQL data types the ODBC driver reports for the columns of a statement on the data source,
// as a report program sees them.
std::vector<SQLSMALLINT> OdbcColumnTypes(const char* sql)
{
    OdbcHandle environment(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    SQLSetEnvAttr(environment.handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    OdbcHandle connection(SQL_HANDLE_DBC, environment.handle);
    std::vector<SQLSMALLINT> types;
    SQLCHAR dsn[] = "DSN=Vellacord";
    if (!SQL_SUCCEEDED(
            SQLDriverConnect(connection.handle, nullptr, dsn, SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)))
        return types;
    {
        OdbcHandle statement(SQL_HANDLE_STMT, connection.handle);
        std::string text(sql);
        SQLSMALLINT count = 0;
        if (SQL_SUCCEEDED(SQLExecDirect(statement.handle, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS)) &&
            SQL_SUCCEEDED(SQLNumResultCols(statement.handle, &count))) {
            for (SQLUSMALLINT column = 1; column <= count; ++column) {
                SQLCHAR name[128];
                SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
                SQLULEN size = 0;
                SQLDescribeCol(statement.handle, column, name, sizeof name, &nameLength, &type, &size, &digits,
                               &nullable);
                types.push_back(type);
            }
        }
    }
    SQLDisconnect(connection.handle);
    return types;
}
constexpr int kFilterNotForReports = 1700;
constexpr int kNoAssociatedProgram = 201;

class ReportViewTest : public DefectDocFixture {
protected:
    ReportViewTest()
    {
        // unixODBC keeps user data sources in the file ODBCINI names: the user's own stays untouched.
        qputenv("ODBCINI", odbcIni_.toLocal8Bit());
        AddAnnAndBobLoggingInAsAnn();
        for (const auto& [status, subject] : {std::pair{1, "new one"}, {2, "second one"}, {2, "third one"}})
            Exec(setup_,
                 QStringLiteral("INSERT INTO defectlist (statusid, priorityid, severityid, subject, componentid, toid, "
                                "fromid, categoryid, opened, modified, closed, lastread) VALUES (?, 1, 1, ?, 1, 1, 2, "
                                "0, 46000, 46000, 0, 0)"),
                 {std::int64_t{status}, QString::fromLatin1(subject)});
        QFile document(document_);
        EXPECT_TRUE(document.open(QIODevice::WriteOnly) && document.write("no data source named here") > 0);
        EXPECT_TRUE(doc_.OnOpenDocument(path_));
    }

    void UseFilter(const QString& text)
    {
        Exec(setup_, QStringLiteral("INSERT INTO filter (userid, filtername, filtertext) VALUES (0, 'f', ?)"), {text});
        doc_.selection().currentFilterId = static_cast<std::int32_t>(setup_.LastInsertId());
        list_.SetFilterOn(true);
    }

    // What the data source gives for the statement, one line per row, through the driver manager.
    QStringList ReadThroughDataSource(const QString& sql)
    {
        QProcess isql;
        isql.start(QStringLiteral("isql"), {QStringLiteral("-b"), QStringLiteral("-d|"), QStringLiteral("Vellacord")});
        isql.write(sql.toUtf8() + '\n');
        isql.closeWriteChannel();
        EXPECT_TRUE(isql.waitForFinished(30000));
        return QString::fromUtf8(isql.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QByteArray FileHash() const
    {
        QFile file(path_);
        return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                              : QByteArray();
    }

    QString odbcIni_ = folder_.file(QStringLiteral("odbc.ini"));
    QString document_ = folder_.file(QStringLiteral("plain report.ods"));
    CDefectList list_{doc_};
    CReportRunner runner_{doc_, list_, folder_.path()};
};

TEST_F(ReportViewTest, TheDataSourceReadsTheRowsOfTheCurrentListAndCannotWrite)
{
    UseFilter(QStringLiteral("statusid = 2"));
    runner_.RunReport(document_, false, true);
    EXPECT_EQ(ui_.openedWithDesktop, std::vector<QString>{document_});
    EXPECT_EQ(ReadThroughDataSource(
                  QStringLiteral("SELECT subject, from_name, status, opened, closed FROM DefectReportView")),
              (QStringList{"second one|Bob|open|2025-12-09 00:00:00|", "third one|Bob|open|2025-12-09 00:00:00|"}));

    // Dates arrive as dates, set or not, whatever the first row holds.
    EXPECT_EQ(OdbcColumnTypes("SELECT opened, modified, closed FROM DefectReportView"),
              (std::vector<SQLSMALLINT>{SQL_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP}));
    EXPECT_EQ(OdbcColumnTypes("SELECT defect_id FROM DefectReportView"), std::vector<SQLSMALLINT>{SQL_INTEGER});

    list_.SetFilterOn(false);
    runner_.RunReport(document_, false, true);
    EXPECT_EQ(ReadThroughDataSource(QStringLiteral("SELECT count(*) FROM DefectReportView")), QStringList{"3"});

    // The data source opens the file read-only.
    ReadThroughDataSource(QStringLiteral("DELETE FROM defectlist"));
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT count(*) FROM defectlist")), 3);
    // A document the desktop cannot open says so.
    ui_.openWithDesktopSucceeds = false;
    ui_.ExpectMessage(kNoAssociatedProgram);
    runner_.RunReport(document_, false, true);
    QFile ini(odbcIni_);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("mode=ro"));
    ui_.VerifyAllUsed();
}

TEST_F(ReportViewTest, AFilterWithOrNeverReportsAnotherUsersDraft)
{
    Exec(setup_,
         QStringLiteral("INSERT INTO defectlist (statusid, subject, fromid, toid) VALUES "
                        "(999, 'Bob''s draft', 2, 1), (0, 'Bob''s template', 2, 0)"));
    UseFilter(QStringLiteral("statusid = 999 OR statusid = 0 OR 1=1"));
    runner_.RunReport(document_, false, true);
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT count(*) FROM DefectReportView")), 3);
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT count(*) FROM DefectReportView WHERE subject LIKE 'Bob%'")),
              0);
    ui_.VerifyAllUsed();
}

TEST_F(ReportViewTest, AFilterThatTriesMoreThanReadingNeverChangesTheFile)
{
    runner_.RunReport(document_, false, true);
    const QStringList attacks{
        QStringLiteral("1=1; DROP VIEW DefectReportView"),
        QStringLiteral("1=1) ; CREATE TABLE x (a); SELECT (1"),
        // Would reach past the parentheses around the filter.
        QStringLiteral("1=1) OR (1=1"),
        QStringLiteral("(select count(*) from (select 1 from defectlist where 0 = (delete from defectlist))) = 0"),
        QStringLiteral("load_extension('libc.so.6') is null"),
        QStringLiteral("statusid=2 /*"),
        // Prepares, but fails on the row with status 1 while it runs.
        QStringLiteral("abs(-9223372036854775807 - statusid) > 0"),
    };
    for (const QString& attack : attacks) {
        ui_.ExpectMessage(kInvalidFilter);
        UseFilter(attack);
        const QByteArray before = FileHash();
        ui_.ExpectMessage(kFilterNotForReports);
        runner_.RunReport(document_, false, true);
        EXPECT_EQ(FileHash(), before) << attack.toStdString();
    }
    // The list can read the last report's view, but a new view over it would read itself.
    UseFilter(QStringLiteral("defect_id IN (SELECT defect_id FROM DefectReportView)"));
    ui_.ExpectMessage(kFilterNotForReports);
    runner_.RunReport(document_, false, true);
    EXPECT_EQ(ReadThroughDataSource(QStringLiteral("SELECT count(*) FROM DefectReportView")), QStringList{"3"});

    // The fence lets the replacement touch that one view only; a failure leaves everything as it was.
    const QByteArray before = FileHash();
    engine::Connection& connection = doc_.GetDocumentConnection(RetryMode::Offline);
    EXPECT_EQ(connection.ReplaceView(QStringLiteral("defectlist"), QStringLiteral("SELECT 1")), engine::kFaultyCommand);
    EXPECT_EQ(connection.ReplaceView(QStringLiteral("DefectReportView"),
                                     QStringLiteral("SELECT 1 UNION SELECT 2; DELETE FROM defectlist")),
              engine::kFaultyCommand);
    EXPECT_EQ(FileHash(), before);
    ui_.VerifyAllUsed();
}

} // namespace
