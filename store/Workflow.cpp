// Reading a workflow file, and storing the chosen workflow in statustransitions in one savepoint.

#include "store/Workflow.h"

#include "base/Check.h"
#include "base/ErrorContext.h"
#include "base/UserInterface.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/UpdatableRowset.h"

#include <QFile>

#include <sstream>

namespace {

constexpr int kStandardWorkflow = 230;
constexpr int kSimpleWorkflow = 233;

// Several rows change one by one; a failure half-way must not leave half a workflow behind. A
// savepoint works whether or not the caller already runs a transaction.
class WorkflowSavepoint {
public:
    explicit WorkflowSavepoint(engine::Connection& connection) : connection_(connection)
    {
        open_ = !engine::Failed(connection_.Execute(QStringLiteral("SAVEPOINT store_workflow")));
    }
    WorkflowSavepoint(const WorkflowSavepoint&) = delete;
    WorkflowSavepoint& operator=(const WorkflowSavepoint&) = delete;
    ~WorkflowSavepoint()
    {
        if (!open_)
            return;
        connection_.Execute(QStringLiteral("ROLLBACK TO store_workflow"));
        connection_.Execute(QStringLiteral("RELEASE store_workflow"));
    }

    bool IsOpen() const { return open_; }

    bool Commit()
    {
        open_ = engine::Failed(connection_.Execute(QStringLiteral("RELEASE store_workflow")));
        return !open_;
    }

private:
    engine::Connection& connection_;
    bool open_ = false;
};

QByteArray LoadWorkflowResource(int id)
{
    ErrorContext context("Loading resource from .EXE");
    QFile resource(QStringLiteral(":/TXT_FILE/%1").arg(id));
    check::assertion(resource.open(QIODevice::ReadOnly), "could not load workflow from resource file");
    return resource.readAll();
}

} // namespace

std::vector<StatusTransition> LoadWorkflow(std::istream& in)
{
    ErrorContext context("loading workflow from input stream");
    std::vector<StatusTransition> workflow;
    // A text that ends with a line break is an ordinary text file, so whitespace after the last
    // number ends the workflow instead of being read as a missing number.
    do {
        StatusTransition transition;
        in >> transition.fromStatus >> transition.toStatus >> transition.commentWordsRequired;
        check::assertion(!in.fail(), "malformed input stream");
        transition.sys_sortorder = static_cast<std::int32_t>(workflow.size());
        workflow.push_back(transition);
        in >> std::ws;
    } while (!in.eof());
    return workflow;
}

bool StoreWorkflow(const std::vector<StatusTransition>& workflow, engine::Connection& connection)
{
    ErrorContext context("inserting workflow into database");
    WorkflowSavepoint savepoint(connection);
    if (!savepoint.IsOpen())
        return false;

    // statustransitions has no key of its own; the row id identifies the rows to rewrite.
    engine::UpdatableRowset rows;
    if (engine::Failed(
            rows.Open(connection,
                      QStringLiteral("SELECT rowid, fromStatus, toStatus, sys_sortorder, commentWordsRequired "
                                     "FROM statustransitions ORDER BY sys_sortorder"),
                      {}, QStringLiteral("statustransitions"), QStringLiteral("rowid"))))
        return false;
    rows.MoveFirst();

    std::int64_t sortOrder = 0;
    for (const StatusTransition& transition : workflow) {
        const engine::RowValues values{std::nullopt, engine::Value(std::int64_t{transition.fromStatus}),
                                       engine::Value(std::int64_t{transition.toStatus}), engine::Value(sortOrder++),
                                       engine::Value(std::int64_t{transition.commentWordsRequired})};
        // An insert makes the new row current, so the next move keeps the walk at the end.
        if (engine::Failed(rows.AtEnd() ? rows.Insert(values) : rows.SetData(values)))
            return false;
        rows.MoveNext();
    }
    while (!rows.AtEnd()) {
        if (engine::Failed(rows.Delete()))
            return false;
        rows.MoveNext();
    }
    return savepoint.Commit();
}

bool ChooseAndStoreWorkflow(engine::Connection& connection, UserInterface& ui)
{
    const std::optional<int> choice = ui.ChooseWorkflow();
    return choice && StoreChosenWorkflow(*choice, connection);
}

bool StoreChosenWorkflow(int choice, engine::Connection& connection)
{
    int id = 0;
    switch (choice) {
    case 0:
        id = kStandardWorkflow;
        break;
    case 1:
        id = kSimpleWorkflow;
        break;
    default:
        return false;
    }
    std::istringstream text(LoadWorkflowResource(id).toStdString());
    return StoreWorkflow(LoadWorkflow(text), connection);
}
