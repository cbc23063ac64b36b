// Tests of the notification's subject and body.

#include "MailFixture.h"
#include "base/ProductInfo.h"

#include "mail/NotificationText.h"

namespace {

class NotificationTextTest : public MailFixture {
protected:
    std::string Body(const QString& bodyTemplate, std::optional<QString> comment = std::nullopt)
    {
        const QString body = mail::ComposeBody(comment, defect_, bodyTemplate, doc_.lookups());
        EXPECT_TRUE(body.endsWith(footer_)) << body.toStdString();
        return body.left(body.size() - footer_.size()).toStdString();
    }

    // The home page the program was built with, if any, follows the version.
    const QString footer_ =
        QStringLiteral("\n\n-------------------------------------------\nthis message was generated "
                       "automatically by\n'Vellacord 1.7 build 100'") +
        (*kHomePageAddress != '\0' ? QStringLiteral(" - ") + QLatin1String(kHomePageAddress) : QString());
};

} // namespace

TEST_F(NotificationTextTest, TokensExpandToTheListsCellTextsAndABrokenTokenEndsTheBody)
{
    EXPECT_EQ(mail::ComposeSubject(defect_, QStringLiteral("/share/team/projects.defl"), doc_.lookups()),
              "[Vellacord:projects] 42:open 'Crash on start'");
    defect_.StatusID = 77;
    EXPECT_EQ(mail::ComposeSubject(defect_, QStringLiteral("a.b.defl"), doc_.lookups()),
              "[Vellacord:a.b] 42: 'Crash on start'");
    defect_.StatusID = 2;
    defect_.SeverityID = 77;

    EXPECT_EQ(Body(QStringLiteral("100%% done")), "100% done");
    EXPECT_EQ(Body(QStringLiteral("Id: %defectid% to %To% from %FROM%, closed %closed%, sev %SEVERITY%")),
              "Id: 42 to Bob from Änne Groß, closed -, sev -- 77 --");
    EXPECT_EQ(Body(QStringLiteral("A %BOGUS% B")), "A [ERROR: token %BOGUS% is invalid]");
    EXPECT_EQ(Body(QStringLiteral("trailing 50%")), "trailing 50[ERROR: token %% is invalid]");
    EXPECT_EQ(Body(QStringLiteral("x"), QStringLiteral("Please look")),
              "Please look\n\n" + std::string(60, '-') + "\nx");

    // Memo texts go whole into the mail, although the list cuts them.
    defect_.Description = QString(700, QLatin1Char('d'));
    defect_.Comments = QStringLiteral("c");
    const std::string dashes(40, '-');
    EXPECT_EQ(Body(QString()),
              "Defect: 42\r\nStatus: open\r\nSubject: Crash on start\r\n" + dashes + "\r\nDescription:\r\n" +
                  std::string(700, 'd') + "\r\n" + dashes + "\r\nComments:\r\nc");
}
