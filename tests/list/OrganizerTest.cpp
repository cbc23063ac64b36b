// The organisers of views and filters on a real file.

#include "document/DocumentTestSupport.h"

#include "list/Organizer.h"
#include "list/ViewStore.h"
#include "support/ScriptedUserInterface.h"

namespace {

constexpr int kPrivateViewQuestion = 110;
constexpr int kPrivateFilterQuestion = 114;
constexpr std::int32_t kAnn = 12;

class OrganizerTest : public DatabaseTest {
protected:
    CountingConnection connections_{path_};
    ScriptedUserInterface ui_;
};

TEST_F(OrganizerTest, CopyingTheDefaultViewMakesAPrivateViewWithItsColumnsAndKeys)
{
    Organizer views(Organizer::Kind::Views, connections_, ui_, kAnn);
    views.Fill();
    ASSERT_EQ(views.rows().front().id, Organizer::kDefaultId);
    EXPECT_FALSE(views.Editable()) << "the default view is read-only here";

    views.Copy(Organizer::FieldsOf(views.rows().front()));
    ASSERT_EQ(views.rows().size(), 2u);
    const Organizer::Row copy = views.rows().back();
    EXPECT_EQ(copy.name, "*default");
    EXPECT_EQ(copy.userId, kAnn);
    ViewDefinition original;
    ViewDefinition copied;
    ASSERT_TRUE(LoadView(connections_, ui_, 1, original));
    ASSERT_TRUE(LoadView(connections_, ui_, copy.id, copied));
    EXPECT_EQ(copied.columns.size(), 20u);
    EXPECT_EQ(copied.BuildOrderBy(), original.BuildOrderBy());
    EXPECT_EQ(ViewChoices(connections_, kAnn, 1).items.back().text, "*default");
    EXPECT_EQ(ViewChoices(connections_, kAnn + 1, 1).items.size(), 1u) << "nobody else sees it";

    // Unchecking "Private" shares it without a question; checking it again asks first.
    views.Select(1, Organizer::FieldsOf(views.rows()[0]));
    Organizer::Fields fields = Organizer::FieldsOf(copy);
    fields.isPrivate = false;
    fields.name = QString(60, QChar(u'\u00e4')); // two bytes each: cut to 25 characters
    views.Save(fields);
    EXPECT_EQ(views.rows()[1].userId, 0);
    EXPECT_EQ(views.rows()[1].name.size(), 25);
    ui_.ExpectMessage(kPrivateViewQuestion, Answer::No);
    fields.isPrivate = true;
    EXPECT_FALSE(views.Save(fields).isPrivate) << "No restores the row's own fields";
    EXPECT_EQ(QueryNumber(connections_.connection, QStringLiteral("SELECT userid FROM views WHERE id = ?"),
                          {std::int64_t{copy.id}}),
              0);
    ui_.VerifyAllUsed();
}

TEST_F(OrganizerTest, AFilterEditIsSavedWhenAnotherRowIsChosenUnlessTheEngineRefusesIt)
{
    Organizer filters(Organizer::Kind::Filters, connections_, ui_, kAnn);
    filters.Fill();
    ASSERT_GT(filters.rows().size(), 2u);
    filters.Select(1, {});
    Organizer::Fields edited = Organizer::FieldsOf(filters.rows()[1]);
    edited.text = QStringLiteral("lastread=0 and toid=@loggedInId");
    filters.Select(2, edited);
    EXPECT_EQ(filters.rows()[1].text, edited.text);

    Organizer::Fields faulty = Organizer::FieldsOf(filters.rows()[2]);
    faulty.text = QStringLiteral("nosuchcolumn=1");
    ui_.ExpectMessageText(QStringLiteral("nosuchcolumn"));
    filters.Save(faulty);
    faulty.text = QStringLiteral("1=1; delete from defectlist");
    ui_.ExpectMessageText(QString());
    filters.Save(faulty);
    EXPECT_NE(filters.rows()[2].text, faulty.text) << "a refused text is not saved";

    // The refusal says in words what is wrong; the engine's own text is only the details.
    faulty.text = QStringLiteral("status = = 'new'");
    ui_.ExpectMessageText(QStringLiteral("cannot be used: it is not a complete condition at \"=\""));
    filters.Save(faulty);
    const MessageRequest& refusal = ui_.messages.back();
    EXPECT_FALSE(refusal.text.contains(QLatin1String("syntax error"))) << refusal.text.toStdString();
    EXPECT_TRUE(refusal.details.contains(QLatin1String("syntax error"))) << refusal.details.toStdString();
    EXPECT_TRUE(FilterProblemText(QStringLiteral("x=1"), QStringLiteral("no such column: x"))
                    .contains(QLatin1String("the defects have no column \"x\"")));
    EXPECT_TRUE(FilterProblemText(QStringLiteral("'open"), QString()).contains(QLatin1String("quotation")));

    ui_.ExpectMessage(kPrivateFilterQuestion, Answer::Yes);
    Organizer::Fields mine = Organizer::FieldsOf(filters.rows()[2]);
    mine.isPrivate = true;
    filters.Save(mine);
    EXPECT_EQ(filters.rows()[2].userId, kAnn);
    ui_.VerifyAllUsed();
}

} // namespace
