#pragma once
// The defects a commit message names: "#123" and "refs #123" refer to a defect, "fixes #123" and
// "closes #123" (also fix, fixed, close, closed, resolve, resolves, resolved) say the commit fixes it.

#include <QString>

#include <cstdint>
#include <vector>

struct DefectReference {
    std::int32_t defectId = 0;
    bool fixes = false;
    friend bool operator==(const DefectReference&, const DefectReference&) = default;
};

// Each defect once, in the order of its first mention; fixes when any mention says so.
std::vector<DefectReference> DefectReferences(const QString& message);
