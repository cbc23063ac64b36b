// The status transition model: the workflow's offers, counting comment words, "show all", a vanished move.

#include "document/StatusTransitionModel.h"
#include "base/Check.h"
#include "store/Workflow.h"
#include "support/ScriptedUserInterface.h"

#include <QFile>

#include <sstream>

#include <gtest/gtest.h>

namespace {

std::vector<StatusEntry> SeedStatuses()
{
    const char* names[] = {"template", "new",      "open",     "in progress", "fixed",  "tested",
                           "released", "rejected", "obsolete", "merged",      "closed", "reopened"};
    std::vector<StatusEntry> statuses;
    for (int id = 0; id < 12; ++id)
        statuses.push_back({id, QString::fromLatin1(names[id]), id, QStringLiteral("about %1").arg(names[id])});
    statuses.push_back({999, QStringLiteral("draft"), 999, QString()});
    statuses.push_back({1000, QStringLiteral("waiting"), 1000, QStringLiteral("added by a user")});
    return statuses;
}

std::vector<StatusTransition> StandardWorkflow()
{
    QFile file(QStringLiteral(":/TXT_FILE/230"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    std::istringstream in(file.readAll().toStdString());
    return LoadWorkflow(in);
}

int IndexOfData(const StatusTransitionModel& model, int data)
{
    const auto& items = model.Items();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].data == data)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

TEST(StatusTransitionModel, OffersTheWorkflowOfStatusOpenInOrder)
{
    const auto statuses = SeedStatuses();
    const auto transitions = StandardWorkflow();
    ScriptedUserInterface ui;
    StatusTransitionModel model(statuses, transitions, 2, ui);

    const auto& items = model.Items();
    const std::vector<std::pair<QString, int>> expected{{"in progress", 3}, {"fixed", 4},      {"", -1},
                                                        {"rejected *", 7},  {"obsolete *", 8}, {"merged *", 9},
                                                        {"new *", 1}};
    ASSERT_EQ(items.size(), expected.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].text, expected[i].first) << i;
        EXPECT_EQ(items[i].data, expected[i].second) << i;
    }
    EXPECT_EQ(model.SelectedIndex(), 0);
    EXPECT_TRUE(model.IsOkEnabled());
    EXPECT_EQ(model.Description(), QStringLiteral("about in progress"));

    model.Select(2);
    EXPECT_FALSE(model.IsOkEnabled());
    EXPECT_EQ(model.Description(), QString());
    EXPECT_THROW(model.Accept(), check::precondition_violated);

    // A move without a comment requirement needs no comment.
    model.Select(1);
    EXPECT_TRUE(model.Accept());
    EXPECT_EQ(model.CurrentStatus(), 4);
}

TEST(StatusTransitionModel, CountsOnlyWordsOfTwoOrMoreLettersBetweenBlanks)
{
    EXPECT_EQ(CountCommentWords(QStringLiteral("a b c d")), 0);
    EXPECT_EQ(CountCommentWords(QStringLiteral("no  repro here")), 3);
    EXPECT_EQ(CountCommentWords(QStringLiteral("no\trepro\nhere")), 1); // only the blank separates
    EXPECT_EQ(CountCommentWords(QString()), 0);

    const auto statuses = SeedStatuses();
    const auto transitions = StandardWorkflow();
    ScriptedUserInterface ui;
    StatusTransitionModel model(statuses, transitions, 2, ui);
    model.Select(IndexOfData(model, 7)); // rejected needs three words

    // Four one-letter words are no words: Yes keeps the dialog open, No accepts anyway.
    model.SetComment(QStringLiteral("a b c d"));
    ui.ExpectMessage(156, Answer::Yes);
    EXPECT_FALSE(model.Accept());
    EXPECT_EQ(model.CurrentStatus(), 2);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("Your workflow requires at least 3 words in the comment field for "
                             "this status. Do you want to add the comment now?"));
    EXPECT_EQ(ui.messages[0].buttons, Buttons::YesNo);

    ui.ExpectMessage(156, Answer::No);
    EXPECT_TRUE(model.Accept());
    EXPECT_EQ(model.CurrentStatus(), 7);
    EXPECT_EQ(model.Comment(), QStringLiteral("a b c d"));

    // Three two-letter words satisfy three without asking.
    StatusTransitionModel second(statuses, transitions, 2, ui);
    second.Select(IndexOfData(second, 7));
    second.SetComment(QStringLiteral("is no bug"));
    EXPECT_TRUE(second.Accept());
    EXPECT_EQ(second.CurrentStatus(), 7);
    EXPECT_EQ(ui.CountOf("message"), 2);
}

TEST(StatusTransitionModel, ShowAllListsEveryStatusWithoutTheCommentRule)
{
    const auto statuses = SeedStatuses();
    const auto transitions = StandardWorkflow();
    ScriptedUserInterface ui;

    // A status a user added has no transitions: nothing to choose.
    StatusTransitionModel model(statuses, transitions, 1000, ui);
    EXPECT_TRUE(model.Items().empty());
    EXPECT_EQ(model.SelectedIndex(), -1);
    EXPECT_FALSE(model.IsOkEnabled());

    // Every status a defect can go to: not template and draft, which defects only start as.
    model.SetShowAll(true);
    ASSERT_EQ(model.Items().size(), statuses.size() - 2);
    EXPECT_EQ(IndexOfData(model, reserved::kStatusTemplate), -1);
    EXPECT_EQ(IndexOfData(model, reserved::kStatusDraft), -1);
    EXPECT_EQ(model.Items()[2].text, QStringLiteral("in progress"));
    EXPECT_EQ(model.SelectedIndex(), 11);
    EXPECT_TRUE(model.Legend().isEmpty()) << "no status is marked";
    EXPECT_EQ(model.Description(), QStringLiteral("added by a user"));

    // Any status, no comment asked for, though 10 -> 11 would need three words.
    model.Select(IndexOfData(model, 10));
    EXPECT_TRUE(model.Accept());
    EXPECT_EQ(model.CurrentStatus(), 10);

    // Back to the workflow view: the first offered item is selected.
    StatusTransitionModel open(statuses, transitions, 2, ui);
    open.SetShowAll(true);
    EXPECT_EQ(open.Items()[static_cast<std::size_t>(open.SelectedIndex())].data, 2);
    open.SetShowAll(false);
    EXPECT_EQ(open.Items().size(), 7u);
    EXPECT_EQ(open.SelectedIndex(), 0);
    EXPECT_TRUE(open.Legend().startsWith(QLatin1Char('*'))) << "the marked statuses are explained";

    // A template keeps its own status among all, so that it can stay one.
    StatusTransitionModel templ(statuses, transitions, reserved::kStatusTemplate, ui);
    templ.SetShowAll(true);
    EXPECT_EQ(templ.Items()[static_cast<std::size_t>(templ.SelectedIndex())].data, reserved::kStatusTemplate);
    EXPECT_EQ(IndexOfData(templ, reserved::kStatusDraft), -1);
}

TEST(StatusTransitionModel, ATransitionGoneSinceTheListWasFilledIsAnInvariantFailure)
{
    const auto statuses = SeedStatuses();
    auto transitions = StandardWorkflow();
    ScriptedUserInterface ui;
    StatusTransitionModel model(statuses, transitions, 2, ui);
    model.Select(IndexOfData(model, 4));

    // The document reloaded its lists meanwhile, and the new workflow lacks open -> fixed.
    std::erase_if(transitions, [](const StatusTransition& t) { return t.fromStatus == 2 && t.toStatus == 4; });
    try {
        model.Accept();
        ADD_FAILURE() << "accepted a transition that does not exist";
    } catch (const check::invariant_violated& failure) {
        EXPECT_STREQ(failure.what(), "cannot find status transition that the user selected");
    }
    EXPECT_EQ(model.CurrentStatus(), 2);
}
