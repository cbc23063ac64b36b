#pragma once
// What the organisers of views and filters do: list the shared and the user's own rows, show
// one, save its name, privacy and (filters) text, copy it as a private row, delete it. The
// dialogs are thin windows over it.

#include "store/LookupEntries.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class ConnectionProvider;
class UserInterface;
struct DefectRecord;

// What is wrong with a filter text, in words, from the database's message about it (empty when
// the text leaves a comment or quotation open).
QString FilterProblemText(const QString& filterText, const QString& engineMessage);

class Organizer {
public:
    enum class Kind { Views, Filters };

    struct Row {
        std::int32_t id = 0;
        std::int32_t userId = 0;
        QString name;
        QString text; // filters only
    };
    // What the name field, the "Private" box and the filter field show.
    struct Fields {
        QString name;
        bool isPrivate = false;
        QString text;
        friend bool operator==(const Fields&, const Fields&) = default;
    };

    static constexpr std::int32_t kDefaultId = 1; // the seeded "default" row is read-only here
    static constexpr int kNameBytes = 50;
    static constexpr int kTextBytes = 255;

    Organizer(Kind kind, ConnectionProvider& connections, UserInterface& ui, std::int32_t loggedInId);

    Kind kind() const { return kind_; }
    const std::vector<Row>& rows() const { return rows_; }
    int selected() const { return selected_; }
    static Fields FieldsOf(const Row& row);
    // A row is selected and it is not the default one.
    bool Editable() const;

    // Reads the rows and selects row 0.
    void Fill();
    // A row gains the focus: the row that loses it is saved with the fields first. The fields to
    // show for the new row.
    Fields Select(int row, const Fields& leaving);
    // Saves the selected row from the fields; the fields to show afterwards (the row's own when
    // the user declined to make it private). A filter text the engine refuses is not saved: what
    // is wrong is said in words, the engine's message is kept as the details.
    Fields Save(const Fields& fields);
    // A private copy named "*name"; a view keeps its columns, widths, order and sort keys.
    void Copy(const Fields& fields);
    // Deletes the selected row after the question.
    void Delete();

    // Why a filter text cannot run: in words for the user, and the database's own message.
    struct FilterRefusal {
        QString text;
        QString details;
    };
    // None when the text would run as a filter.
    std::optional<FilterRefusal> CheckFilterText(const QString& text);

private:
    const Row& SelectedRow() const;
    bool WriteRow(const Row& row, const Fields& fields);

    Kind kind_;
    ConnectionProvider& connections_;
    UserInterface& ui_;
    std::int32_t loggedInId_;
    std::vector<Row> rows_;
    int selected_ = -1;
};

// The texts the filter organiser's Keywords, Operators and Columns buttons insert at the cursor.
struct FilterInsertion {
    QString menu; // "Keywords", "Operators" or "Columns"
    QString item; // the item's caption ("To/eMail" for a submenu item)
    QString text; // what goes into the filter; empty when the current defect gives no value
};
// The items of the three menus; keywords that name the current defect use `current` (none: no
// defect shown) and `today` (an OLE date).
std::vector<FilterInsertion> FilterInsertions(const DefectRecord* current, double today);
