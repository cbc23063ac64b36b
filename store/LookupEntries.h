#pragma once
// The entries of the small tables that give the numbers in a defect their names. Texts are
// held as the database has them, cut to the byte sizes of their columns (size includes the
// terminator of the original fixed buffers).

#include <QString>

#include <cstdint>

struct StatusEntry {
    static constexpr int kStatusSize = 51;
    static constexpr int kDescriptionSize = 256;
    std::int32_t status_id = 0;
    QString status;
    std::int32_t sys_sortorder = 0;
    QString statusdescription;
};

struct ComponentEntry {
    static constexpr int kComponentSize = 256;
    QString component;
    std::int32_t component_id = 0;
};

struct CategoryEntry {
    static constexpr int kCategorySize = 51;
    static constexpr int kDescriptionSize = 256;
    std::int32_t category_id = 0;
    QString category;
    QString categorydescription;
};

// Severity and priority share one layout.
struct RatingEntry {
    static constexpr int kNameSize = 21;
    QString name;
    std::int32_t id = 0;
};

struct StakeholderEntry {
    static constexpr int kDisplayNameSize = 81;
    static constexpr int kEmailSize = 256;
    static constexpr int kLoginNameSize = 51;
    static constexpr int kPasswdSize = 33;
    static constexpr int kUserFlagsSize = 33;
    QString displayname;
    QString email;
    QString loginname;
    std::int32_t stakeholder_id = 0;
    QString passwd; // the password hash; empty when the user has no password
    QString userflags;
};

struct StatusTransition {
    std::int32_t fromStatus = 0;
    std::int32_t toStatus = 0; // -1 marks a separator line in the offered list
    std::int32_t sys_sortorder = 0;
    std::int32_t commentWordsRequired = 0;
};

// Reserved ids of the seed data that the program relies on.
namespace reserved {
constexpr std::int32_t kStatusTemplate = 0;
constexpr std::int32_t kStatusNew = 1;
constexpr std::int32_t kStatusClosed = 10;
constexpr std::int32_t kStatusDraft = 999;
constexpr std::int32_t kNobody = 0;
constexpr std::int32_t kDefaultView = 1;
constexpr std::int32_t kDefaultFilter = 1;
} // namespace reserved
