// Finding the defect numbers in a commit message.

#include "CommitMessage.h"

#include <QRegularExpression>

#include <algorithm>

std::vector<DefectReference> DefectReferences(const QString& message)
{
    // "#12" must stand alone: not in "abc#12" (an anchor of a link) nor "#12a".
    static const QRegularExpression reference(
        QStringLiteral("(?:\\b(fix(?:es|ed)?|close[sd]?|resolve[sd]?)[:]?\\s+)?(?<![\\w#&])#(\\d{1,9})\\b"),
        QRegularExpression::CaseInsensitiveOption);
    std::vector<DefectReference> references;
    QRegularExpressionMatchIterator matches = reference.globalMatch(message);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const std::int32_t id = match.captured(2).toInt();
        if (id <= 0)
            continue;
        const bool fixes = !match.captured(1).isEmpty();
        const auto known = std::find_if(references.begin(), references.end(),
                                        [id](const DefectReference& r) { return r.defectId == id; });
        if (known == references.end())
            references.push_back({id, fixes});
        else
            known->fixes = known->fixes || fixes;
    }
    return references;
}
