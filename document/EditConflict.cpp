// Merging the user's edits over another user's version of a defect, and showing both versions.
#include "document/EditConflict.h"

#include "document/LookupLists.h"
#include "platform/OleDate.h"

#include <QLocale>

#include <vector>

namespace {

constexpr int kShownCharacters = 100;

// The History log only grows: lines another user added after `base` come first, then the user's.
QString MergedHistory(const QString& base, const QString& mine, const QString& theirs)
{
    if (mine == base)
        return theirs;
    if (theirs == base || !mine.startsWith(base) || !theirs.startsWith(base))
        return mine;
    return theirs + mine.mid(base.size());
}

struct Field {
    QString caption;
    std::function<QString(const DefectRecord&)> text;
};

QString DateText(double oleDate)
{
    return oleDate == 0 ? QString() : QLocale().toString(WallClockFromOleDate(oleDate), QLocale::ShortFormat);
}

// The fields a user sees on the form, in its order.
std::vector<Field> ShownFields(const LookupNameSource& names)
{
    const auto lookup = [&names](LookupList list, std::int32_t DefectRecord::*member) {
        return [&names, list, member](const DefectRecord& r) { return names(list, r.*member); };
    };
    const auto text = [](QString DefectRecord::*member) {
        return [member](const DefectRecord& r) { return r.*member; };
    };
    const auto number = [](std::int32_t DefectRecord::*member) {
        return [member](const DefectRecord& r) { return QString::number(r.*member); };
    };
    const auto date = [](double DefectRecord::*member) {
        return [member](const DefectRecord& r) { return DateText(r.*member); };
    };
    return {
        {QStringLiteral("Subject"), text(&DefectRecord::Subject)},
        {QStringLiteral("Status"), lookup(LookupList::Status, &DefectRecord::StatusID)},
        {QStringLiteral("Priority"), lookup(LookupList::Priority, &DefectRecord::PriorityID)},
        {QStringLiteral("From"), lookup(LookupList::Stakeholder, &DefectRecord::FromID)},
        {QStringLiteral("To"), lookup(LookupList::Stakeholder, &DefectRecord::ToID)},
        {QStringLiteral("Cc"), text(&DefectRecord::Cc)},
        {QStringLiteral("Found version"), text(&DefectRecord::foundversion)},
        {QStringLiteral("Found build"), number(&DefectRecord::FoundBuild)},
        {QStringLiteral("Severity"), lookup(LookupList::Severity, &DefectRecord::SeverityID)},
        {QStringLiteral("Component"), lookup(LookupList::Component, &DefectRecord::ComponentID)},
        {QStringLiteral("Category"), lookup(LookupList::Category, &DefectRecord::categoryid)},
        {QStringLiteral("Description"), text(&DefectRecord::Description)},
        {QStringLiteral("Fixed version"), text(&DefectRecord::fixedversion)},
        {QStringLiteral("Fixed build"), number(&DefectRecord::FixedBuild)},
        {QStringLiteral("Details"), text(&DefectRecord::Comments)},
        {QStringLiteral("History"), text(&DefectRecord::History)},
        {QStringLiteral("Opened"), date(&DefectRecord::Opened)},
        {QStringLiteral("Closed"), date(&DefectRecord::Closed)},
    };
}

// One line: line breaks become " / ", and a long text ends after its start.
QString Shown(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
    text.replace(QLatin1Char('\n'), QStringLiteral(" / "));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    if (text.isEmpty())
        return QStringLiteral("(empty)");
    if (text.size() > kShownCharacters)
        return text.left(kShownCharacters) + QStringLiteral("...");
    return text;
}

} // namespace

DefectRecord MergeEdits(const std::optional<DefectRecord>& base, const DefectRecord& mine, const DefectRecord& theirs)
{
    DefectRecord merged = base ? theirs : mine;
    merged.Defect_ID = theirs.Defect_ID;
    if (!base)
        return merged;
    const auto keepMine = [&](auto member) {
        if (mine.*member != (*base).*member)
            merged.*member = mine.*member;
    };
    keepMine(&DefectRecord::Closed);
    keepMine(&DefectRecord::Comments);
    keepMine(&DefectRecord::ComponentID);
    keepMine(&DefectRecord::Description);
    keepMine(&DefectRecord::FixedBuild);
    keepMine(&DefectRecord::FoundBuild);
    keepMine(&DefectRecord::FromID);
    keepMine(&DefectRecord::Modified);
    keepMine(&DefectRecord::Opened);
    keepMine(&DefectRecord::PriorityID);
    keepMine(&DefectRecord::SeverityID);
    keepMine(&DefectRecord::StatusID);
    keepMine(&DefectRecord::Subject);
    keepMine(&DefectRecord::ToID);
    keepMine(&DefectRecord::lastread);
    keepMine(&DefectRecord::foundversion);
    keepMine(&DefectRecord::fixedversion);
    keepMine(&DefectRecord::categoryid);
    keepMine(&DefectRecord::Cc);
    merged.History = MergedHistory(base->History, mine.History, theirs.History);
    return merged;
}

bool SameContent(const DefectRecord& a, const DefectRecord& b)
{
    DefectRecord unstamped = b;
    unstamped.Modified = a.Modified;
    unstamped.lastread = a.lastread;
    return a == unstamped;
}

QString DescribeDifferences(const DefectRecord& theirs, const DefectRecord& mine, const LookupNameSource& names)
{
    QString description;
    for (const Field& field : ShownFields(names)) {
        const QString stored = field.text(theirs);
        const QString edited = field.text(mine);
        if (stored == edited)
            continue;
        description += QStringLiteral("%1\n    in the database: %2\n    yours: %3\n")
                           .arg(field.caption, Shown(stored), Shown(edited));
    }
    return description;
}
