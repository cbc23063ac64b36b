#pragma once
// Runs one operation of the program again and again under the failing file layer: for each kind
// of failure, the first call of that kind fails, then the second, and so on until a run meets no
// planned failure because the operation makes no more such calls. Each run says what it broke;
// the sweep tallies the runs and prints one summary line per operation.

#include "support/FaultVfs.h"
#include "support/ScriptedUserInterface.h"

#include <QString>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fault {

// One way calls fail: a disk that fills stays full (persistent), a share that stumbles once
// does not (a single failing call).
struct Scenario {
    Call call;
    Kind kind;
    bool persistent;
};
const std::vector<Scenario>& Scenarios();

// The promises a run can break.
enum class Broken {
    CorruptFile,  // the file fails the engine's integrity check
    LostSave,     // data the program had confirmed (before or by this run) is not in the file
    FalseSuccess, // the program said it was done, and it was not
    RawText,      // the user saw the engine's own words, a hexadecimal code or an internal name
    Unexplained,  // the operation failed and the user was told nothing
    NextOpen,     // the next open needed a human (a retry, an unexpected question) or failed
    LostEdits,    // the user's unsaved input is neither in the form nor in the recovery folder
};
constexpr std::size_t kBrokenKinds = 7;
std::string Name(Broken broken);

// The part of a text a user must not see: the engine's words for its errors, a status in
// hexadecimal, an error record dump or a name from inside the program; none when it is clear.
std::optional<QString> RawPart(const QString& text);

// The user: answers the questions of the operation as set up, keeps the edits when a failed
// write asks whether to drop them, retries an unreachable file a given number of times, and
// records every text it was shown. The dialogs of a run (template, workflow, list editor) are
// scripts that may run several times or never, as the failures decide.
class FaultUserInterface : public ScriptedUserInterface {
public:
    // The answer to a message with this string id, or whose text contains `part`.
    void Answer(int stringId, ::Answer answer) { byId_[stringId] = answer; }
    void AnswerText(const QString& part, ::Answer answer) { byText_.emplace_back(part, answer); }

    int retriesLeft = 2;
    std::optional<int> templateRow;
    int workflow = 0;
    std::function<void(ListEditorActions&)> listEditor;

    // Every message and retry text shown, in order.
    std::vector<QString> shown;
    int retryDialogs = 0;
    // The administration dialog is closed at once: choosing another file is the human's part.
    int administrationDialogs = 0;

    ::Answer ShowMessage(const MessageRequest& request) override;
    HintAnswer ShowHint(const HintRequest& request) override;
    RetryAnswer RunRetryDialog(const RetryDialogRequest& request) override;
    std::optional<int> ChooseTemplate(const TemplateChoiceRequest& request) override;
    std::optional<int> ChooseWorkflow() override;
    void RunListEditorDialog(ListEditorActions& editor) override;
    std::optional<QString> RunAdministrationDialog(AdministrationActions& actions,
                                                   const QString& missingDatabase) override;

private:
    std::map<int, ::Answer> byId_;
    std::vector<std::pair<QString, ::Answer>> byText_;
};

// What one run found.
class Trial {
public:
    explicit Trial(const Plan& plan) : plan(plan) { }
    void Break(Broken what, const std::string& detail);
    // Every text the user was shown must be clear; when the operation did not succeed at least
    // one must have told the user so.
    void CheckTexts(const FaultUserInterface& ui, bool succeeded);
    // The file opens and passes the engine's integrity check.
    void CheckIntegrity(const QString& path);

    const Plan plan;
    std::vector<std::pair<Broken, std::string>> broken;
};

struct Tally {
    int runs = 0;
    int fired = 0;   // runs in which the planned call failed
    int failed = 0;  // runs that broke anything
    int longest = 0; // the highest N tried
    std::array<int, kBrokenKinds> broken{};
};

// Sweeps every scenario over the operation; a run is `once`, which arms the plan itself around
// the part of the work under test. A first run without a failure counts the calls of each kind.
// With `most` above 0 an operation that makes more calls of a kind than that is tried at its
// first calls and at calls spread evenly over the rest, `most` in all, so that one that runs a
// hundred transactions stays quick. Each broken promise fails the test (the first few in detail).
Tally Sweep(const std::string& operation, const std::function<void(Trial&)>& once, int most = 0);

// A folder for a run's files in memory when the machine has one: the engine syncs often, and a
// sync on a disk shared with other builds takes long, while no failure here needs a real disk.
QString ScratchRoot();

// Copies the file of a finished arrangement to `to`, replacing what is there.
bool CopyFresh(const QString& from, const QString& to);

} // namespace fault
