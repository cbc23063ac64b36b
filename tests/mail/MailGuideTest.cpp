// The user guide answers what the mail messages promise: the sections they name exist, and the
// troubleshooting table names every message a failed notification can show.

#include "base/StringTable.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

QString Guide()
{
    QFile file(QStringLiteral(VELLACORD_SOURCE_DIR "/docs/guide.html"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromUtf8(file.readAll());
}

// The text of the section that starts with a heading of that title up to the next h2.
QString Section(const QString& guide, const QString& title)
{
    const QRegularExpression heading(
        QStringLiteral("<h2 id=\"[^\"]+\">%1</h2>").arg(QRegularExpression::escape(title)));
    const QRegularExpressionMatch match = heading.match(guide);
    if (!match.hasMatch())
        return QString();
    const qsizetype next = guide.indexOf(QStringLiteral("<h2"), match.capturedEnd());
    return guide.mid(match.capturedEnd(), next < 0 ? -1 : next - match.capturedEnd());
}

// The section a message sends the user to: the words in quotes after "section".
QString SectionNamedIn(int stringId)
{
    static const QRegularExpression named(QStringLiteral("section \"([^\"]+)\""));
    return named.match(LoadString(stringId)).captured(1);
}

// The words of a message before its first placeholder or line break, as the guide quotes them.
QString Opening(int stringId)
{
    static const QRegularExpression cut(QStringLiteral("%[sd]|\\n"));
    const QString text = LoadString(stringId);
    const QRegularExpressionMatch match = cut.match(text);
    return (match.hasMatch() ? text.left(match.capturedStart()) : text).trimmed();
}

} // namespace

TEST(MailGuide, TheSectionsTheMessagesNameExistAndExplainEveryFailure)
{
    const QString guide = Guide();
    constexpr int kSendmailTest = 197;
    constexpr int kToolFailed = 188;
    const QString setup = Section(guide, SectionNamedIn(kSendmailTest));
    EXPECT_FALSE(SectionNamedIn(kSendmailTest).isEmpty());
    EXPECT_TRUE(setup.contains(QStringLiteral("msmtp-mta"))) << SectionNamedIn(kSendmailTest).toStdString();
    EXPECT_TRUE(setup.contains(QStringLiteral("%to%")));

    const QString fails = Section(guide, SectionNamedIn(kToolFailed));
    ASSERT_FALSE(fails.isEmpty()) << SectionNamedIn(kToolFailed).toStdString();
    // Sendmail missing, not executable, refusing; no tool, the tool or zip failing, the time-out, no zip tool.
    for (const int message : {61840, 61841, 61842, 192, 188, 190, 191})
        EXPECT_TRUE(fails.contains(Opening(message))) << message << ": " << Opening(message).toStdString();
}
