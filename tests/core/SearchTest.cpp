// The search: Search Next and Tag All Match over every field.

#include "SearchFixture.h"

#include "codebook/DescriptionText.h"

#include <gtest/gtest.h>

namespace qavn {
namespace {

using test::fieldsOf;
using test::request;
using test::SearchSetup;
using test::TestProject;

const SearchFields nameOnly = fieldsOf(true, false, false, false);
const SearchFields labelOnly = fieldsOf(false, true, false, false);
const SearchFields descriptionOnly = fieldsOf(false, false, true, false);
const SearchFields categoryOnly = fieldsOf(false, false, false, true);

std::vector<std::uint32_t> taggedRows(const VariableList& list)
{
    std::vector<std::uint32_t> rows;
    for (std::uint32_t r = 1; r <= list.rowCount(); ++r) {
        if (list.isTagged(r))
            rows.push_back(r);
    }
    return rows;
}

// Five variables whose names say where they are: V1 to V5, V3 and V5 being
// AGE variables.
void writeNamedProject(TestProject& project)
{
    project.add(test::variable("V1", "FIRST"));
    project.add(test::variable("V2", "SECOND"));
    project.add(test::variable("AGE3", "THIRD"));
    project.add(test::variable("V4", "FOURTH"));
    project.add(test::variable("AGE5", "FIFTH"));
    project.write();
}

TEST(SearchWalkTest, SearchNextFindsTheCurrentItemFirstThenContinuesPastIt)
{
    TestProject project;
    writeNamedProject(project);
    SearchSetup s(project);
    s.list.goToRow(3);

    auto first = s.search.start(request("AGE"), SearchMode::NextMatch);
    EXPECT_TRUE(first.found);
    EXPECT_EQ(first.row, 3u);
    EXPECT_EQ(first.field, MatchField::Variable);
    EXPECT_TRUE(s.search.continueFlag());

    auto second = s.search.start(request("AGE"), SearchMode::NextMatch);
    EXPECT_EQ(second.row, 5u);
    EXPECT_EQ(s.list.activeRow(), 5u);

    // No wrap-around: past the last match the search fails, clears the
    // continue flag and so starts at the current item again next time.
    auto third = s.search.start(request("AGE"), SearchMode::NextMatch);
    EXPECT_FALSE(third.found);
    EXPECT_EQ(s.ui.messageTexts(), std::vector<std::string>{"Cannot Find 'AGE' !"});
    EXPECT_EQ(s.ui.messages().front().icon, Ui::Icon::Stop);
    EXPECT_FALSE(s.search.continueFlag());
    EXPECT_EQ(s.list.activeRow(), 5u);
    EXPECT_EQ(s.search.start(request("AGE"), SearchMode::NextMatch).row, 5u);

    // Backward from row 5 with the continue flag set finds 3, then nothing
    // before it.
    auto back = s.search.start(request("AGE", nameOnly, false, SearchDirection::Backward), SearchMode::NextMatch);
    EXPECT_EQ(back.row, 3u);
    s.ui.clearMessages();
    EXPECT_FALSE(s.search.start(request("AGE", nameOnly, false, SearchDirection::Backward), SearchMode::NextMatch).found);
    EXPECT_EQ(s.ui.messageTexts(), std::vector<std::string>{"Cannot Find 'AGE' !"});
    EXPECT_EQ(s.list.activeRow(), 3u);
}

TEST(SearchWalkTest, FromTheLastItemWithTheContinueFlagNothingIsTested)
{
    TestProject project;
    writeNamedProject(project);
    SearchSetup s(project);
    s.list.goToRow(4);
    ASSERT_EQ(s.search.start(request("AGE"), SearchMode::NextMatch).row, 5u);
    const std::size_t pumps = s.ui.pumpSteps();
    auto outcome = s.search.start(request("AGE"), SearchMode::NextMatch);
    EXPECT_TRUE(outcome.ran);
    EXPECT_FALSE(outcome.found);
    EXPECT_EQ(s.ui.pumpSteps(), pumps);
    EXPECT_EQ(s.ui.messageTexts(), std::vector<std::string>{"Cannot Find 'AGE' !"});

    // Reopening the dialog resets the start to the current item.
    s.search.reopen();
    EXPECT_EQ(s.search.start(request("AGE"), SearchMode::NextMatch).row, 5u);
}

TEST(SearchWalkTest, EmptyTextOrNoFieldDoesNothing)
{
    TestProject project;
    writeNamedProject(project);
    SearchSetup s(project);
    EXPECT_FALSE(s.search.start(request(""), SearchMode::NextMatch).ran);
    EXPECT_FALSE(s.search.start(request("AGE", fieldsOf(false, false, false, false)), SearchMode::TagAll).ran);
    EXPECT_TRUE(s.ui.messages().empty());
    EXPECT_TRUE(s.search.history().empty());
    EXPECT_EQ(s.ui.pumpSteps(), 0u);
}

TEST(SearchWholeWordTest, FirstOccurrenceDecidesAndPunctuationJoinsWords)
{
    TestProject project;
    project.add(test::variable("A1", "AGE OF RESPONDENT"));
    project.add(test::variable("A2", "AVERAGE AGE"));
    project.add(test::variable("A3", "AGE, IN YEARS"));
    project.add(test::variable("A4", "(AGE)"));
    project.add(test::variable("A5", "AGE\tIN YEARS"));
    project.add(test::variable("A6", "MARRIAGE"));
    project.write();
    SearchSetup s(project);

    auto outcome = s.search.start(request("AGE", labelOnly, true), SearchMode::TagAll);
    EXPECT_EQ(outcome.matches, 2u);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1, 5}));

    s.list.clearAllTags();
    s.search.start(request("AGE", labelOnly, false), SearchMode::TagAll);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6}));
}

TEST(SearchWholeWordTest, RuleClassesBytes)
{
    EXPECT_TRUE(passesWholeWordRule("AGE", 0, 3));
    EXPECT_TRUE(passesWholeWordRule(" AGE\r\n", 1, 3));
    EXPECT_FALSE(passesWholeWordRule("AGE.", 0, 3));
    EXPECT_FALSE(passesWholeWordRule("_AGE", 1, 3));
    // Bytes above 127 (line ends, separators, fillers, accented letters)
    // delimit words.
    EXPECT_TRUE(passesWholeWordRule("\xDB" "AGE\xFF", 1, 3));
    EXPECT_TRUE(passesWholeWordRule("\xE9" "AGE", 1, 3));
    EXPECT_FALSE(isGraphic(' '));
    EXPECT_FALSE(isGraphic(0x7F));
    EXPECT_TRUE(isGraphic('~'));
}

TEST(SearchFieldOrderTest, TheFirstFieldHoldingTheTextDecides)
{
    TestProject project;
    project.add(test::variable("AGEGRP", "AGE GROUP"));
    auto described = test::variable("Q7", "COVERAGE");
    described.description = {"Respondent AGE in years"};
    project.add(described);
    project.write();
    SearchSetup s(project);

    // The name holds AGE inside a longer word: with Whole Words the name
    // decides against the item although the label holds AGE as a word.
    s.search.start(request("AGE", fieldsOf(true, true, false, false), true), SearchMode::TagAll);
    EXPECT_TRUE(taggedRows(s.list).empty());
    // Without the Variable field the label decides.
    s.ui.clearMessages();
    s.search.start(request("AGE", labelOnly, true), SearchMode::TagAll);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1}));
    // Row 2: the label's COVERAGE decides before the description is read.
    s.list.clearAllTags();
    s.search.start(request("AGE", fieldsOf(false, true, true, false), true), SearchMode::TagAll);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1}));
    s.list.clearAllTags();
    auto outcome = s.search.start(request("AGE", fieldsOf(false, false, true, false), true), SearchMode::TagAll);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(outcome.matches, 1u);
}

TEST(SearchDescriptionTest, ShortDescriptionIsSearchedAsDisplayedFillersIgnored)
{
    TestProject project;
    auto v = test::variable("D1", "ONE");
    v.description = {"THE RESPONDENT'S AGE", "NEXT LINE"};
    project.codebook.setFillerEvery(3);
    project.add(v);
    project.codebook.setFillerEvery(0);
    auto w = test::variable("D2", "TWO");
    w.description = {"ENDS WITH AG", "E ON THE NEXT LINE"};
    project.add(w);
    project.write();
    SearchSetup s(project);

    auto outcome = s.search.start(request("AGE", descriptionOnly), SearchMode::NextMatch);
    EXPECT_EQ(outcome.row, 1u);
    EXPECT_EQ(outcome.field, MatchField::Description);
    // Lines of a description are joined by CR LF: no match across them.
    EXPECT_FALSE(s.search.start(request("AGE", descriptionOnly), SearchMode::NextMatch).found);
}

// 79 characters and the line end: 80 stored bytes a line.
std::vector<std::string> longLines(std::size_t count, char fill = 'X')
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i) {
        std::string line(79, fill);
        const std::string number = std::to_string(i);
        line.replace(0, number.size(), number);
        line[number.size()] = ' ';
        lines.push_back(line);
    }
    return lines;
}

TEST(SearchDescriptionTest, OverLongNoticeIsSearchedAndLinesPastItAreNot)
{
    TestProject project;
    auto big = test::variable("BIG", "LONG ONE");
    big.description = longLines(500);
    big.description[450].replace(10, 6, "HIDDEN");
    big.description[100].replace(4, 6, "SHOWN ");
    project.add(big);
    auto small = test::variable("SMALL", "SHORT ONE");
    small.description = longLines(300);
    project.add(small);
    project.write();
    SearchSetup s(project);

    // 81 characters a line: the text passes 32000 characters after line 396.
    ASSERT_TRUE(s.store.readRecord(1));
    const std::string text = descriptionText(s.store, s.store.record());
    EXPECT_NE(text.find("This Variable(BIG) Has 500 Lines of Description. \r\nSo Far, 396 Lines Are Displayed.\r\n"
                        "104 Lines of Description Cannot be Displayed.\r\n"),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 36), "Description.\r\n\r\n????????????????????");

    s.search.start(request("CANNOT DISPLAY ANY MORE", descriptionOnly), SearchMode::TagAll);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1}));
    s.list.clearAllTags();
    s.search.start(request("VARIABLE(BIG)", descriptionOnly, true), SearchMode::TagAll);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1}));
    s.list.clearAllTags();
    s.search.start(request("SHOWN", descriptionOnly, true), SearchMode::TagAll);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1}));
    s.list.clearAllTags();
    s.ui.clearMessages();
    EXPECT_FALSE(s.search.start(request("HIDDEN", descriptionOnly), SearchMode::TagAll).found);
    EXPECT_EQ(s.ui.messageTexts(), std::vector<std::string>{"Cannot Find 'HIDDEN' !"});
}

TEST(SearchDescriptionTest, LongDescriptionIsSearchedWindowByWindow)
{
    TestProject project;
    // 900 lines: windows of 15095 bytes. The first window ends inside line
    // 188 (stored bytes 15040 to 15119), which the second window starts with.
    auto across = test::variable("ACROSS", "WORD ACROSS THE WINDOW END");
    across.description = longLines(900);
    across.description[188].replace(49, 10, " BOUNDARY ");
    project.add(across);
    // A whole-word failure in a long description leaves the decision to the
    // category lines.
    auto partial = test::variable("PARTIAL", "WORD INSIDE A LONGER ONE");
    partial.description = longLines(900);
    partial.description[3].replace(10, 10, "BOUNDARYXX");
    partial.description[600].replace(10, 10, "BOUNDARY  ");
    partial.categories = {categoryLine("1", "5", "50.0", "BOUNDARY")};
    project.add(partial);
    // Right after a long description come its category lines and the next
    // variable's texts; the windows of the description do not reach them.
    auto before = test::variable("BEFORE", "NOTHING HERE");
    before.description = longLines(850);
    before.categories = {categoryLine("1", "5", "50.0", "ZEBRA")};
    project.add(before);
    project.add(test::variable("AFTER", "ZEBRA"));
    project.write();
    SearchSetup s(project);

    auto outcome = s.search.start(request("BOUNDARY", descriptionOnly, true), SearchMode::NextMatch);
    EXPECT_EQ(outcome.row, 1u);
    EXPECT_EQ(outcome.field, MatchField::Description);
    // Row 2: the first window's first occurrence (BOUNDARYXX) fails the rule
    // and the occurrence in line 600 is never looked at.
    EXPECT_FALSE(s.search.start(request("BOUNDARY", descriptionOnly, true), SearchMode::NextMatch).found);
    s.search.reopen();
    s.list.goToRow(2);
    outcome = s.search.start(request("BOUNDARY", fieldsOf(false, false, true, true), true), SearchMode::NextMatch);
    EXPECT_EQ(outcome.row, 2u);
    EXPECT_EQ(outcome.field, MatchField::Category);

    s.ui.clearMessages();
    EXPECT_FALSE(s.search.start(request("ZEBRA", descriptionOnly), SearchMode::TagAll).found);
    s.search.start(request("ZEBRA", fieldsOf(false, true, true, true)), SearchMode::TagAll);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{3, 4}));
}

TEST(SearchCategoryTest, JoinedUpTo800LinesLineByLineBeyond)
{
    TestProject project;
    auto joined = test::variable("JOINED", "SHORT TABLE");
    joined.categories = {categoryLine("1", "10", "50.0", "LABEL ONE"), categoryLine("2", "10", "50.0", "TWO")};
    project.add(joined);
    auto lineByLine = test::variable("LINES", "LONG TABLE");
    for (int i = 0; i < 801; ++i)
        lineByLine.categories.push_back(categoryLine(std::to_string(i), "1", "0.1", "CODE"));
    lineByLine.categories[5] = categoryLine("5", "1", "0.1", "LABEL ONE");
    lineByLine.categories[6] = categoryLine("2", "1", "0.1", "TWO");
    lineByLine.categories[700] = categoryLine("700", "1", "0.1", "DAMAGED");
    lineByLine.categories[800] = categoryLine("800", "1", "0.1", "DAMAGE");
    project.add(lineByLine);
    project.write();
    SearchSetup s(project);

    // Up to 800 lines the table is one text with nothing between the lines.
    s.search.start(request("ONE2", categoryOnly), SearchMode::TagAll);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1}));
    // Beyond, each line is searched by itself; the first line holding the
    // text decides (DAMAGED fails the rule though DAMAGE would pass).
    s.list.clearAllTags();
    s.search.start(request("DAMAGE", categoryOnly, true), SearchMode::TagAll);
    EXPECT_TRUE(taggedRows(s.list).empty());
    auto outcome = s.search.start(request("DAMAGE", categoryOnly, false), SearchMode::NextMatch);
    EXPECT_EQ(outcome.row, 2u);
    EXPECT_EQ(outcome.field, MatchField::Category);
    // Separators read as TAB, which delimits words.
    s.list.clearAllTags();
    s.list.goToRow(1);
    s.search.reopen();
    s.search.start(request("50.0", categoryOnly, true), SearchMode::TagAll);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1}));
}

TEST(SearchCategoryTest, WholeWordsTakeTheLinesOfAJoinedTableAsWordEnds)
{
    TestProject project;
    auto yesNo = test::variable("YESNO", "ASKED");
    yesNo.categories = {categoryLine("1", "10", "50.0", "YES"), categoryLine("2", "10", "50.0", "NO")};
    project.add(yesNo);
    auto ageFirst = test::variable("AGES", "TWO AGES");
    ageFirst.categories = {categoryLine("1", "4", "40.0", "AVERAGE AGE"), categoryLine("2", "6", "60.0", "AGE")};
    project.add(ageFirst);
    auto yesterday = test::variable("WHEN", "DAY");
    yesterday.categories = {categoryLine("1", "4", "40.0", "YESTERDAY"), categoryLine("2", "6", "60.0", "YES")};
    project.add(yesterday);
    project.write();
    SearchSetup s(project);

    // A label at the end of a line is a whole word though the next line's
    // code follows it; so is a code at the start of a line.
    auto outcome = s.search.start(request("YES", categoryOnly, true), SearchMode::TagAll);
    EXPECT_EQ(outcome.matches, 1u);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1}));
    s.list.clearAllTags();
    s.search.start(request("NO", categoryOnly, true), SearchMode::TagAll);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1}));
    s.list.clearAllTags();
    s.search.start(request("2", categoryOnly, true), SearchMode::TagAll);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1, 2, 3}));
    // The first occurrence still decides: AGE first occurs inside AVERAGE,
    // YES inside YESTERDAY.
    s.list.clearAllTags();
    s.search.start(request("AGE", categoryOnly, true), SearchMode::TagAll);
    EXPECT_TRUE(taggedRows(s.list).empty());
    // An occurrence spanning two lines is still found, and whole when it
    // begins at one line's start and ends at another's end.
    s.list.clearAllTags();
    s.search.start(request("YES2", categoryOnly, false), SearchMode::TagAll);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1}));
    const std::vector<std::size_t> starts{0, 3}; // "ABC" and "2DEF"
    EXPECT_TRUE(passesWholeWordRule("ABC2DEF", 0, 3, starts));
    EXPECT_TRUE(passesWholeWordRule("ABC2DEF", 3, 4, starts));
    EXPECT_FALSE(passesWholeWordRule("ABC2DEF", 1, 2, starts));
    EXPECT_FALSE(passesWholeWordRule("ABC2DEF", 2, 2, starts));
    EXPECT_FALSE(passesWholeWordRule("ABC2DEF", 4, 3, starts));
}

class RecordingObserver : public SearchObserver {
public:
    void setSearchButtonsEnabled(bool enabled) override { events.push_back(enabled ? "enable" : "disable"); }
    void setSearchStatus(std::string_view text) override { events.push_back("status:" + std::string(text)); }
    void showMatch(bool frequencyView) override { events.push_back(frequencyView ? "frequency" : "description"); }
    std::vector<std::string> events;
};

TEST(SearchStateTest, CommandsAreGreyedDuringTheWalkAndTheDialogIsTold)
{
    TestProject project;
    for (int i = 1; i <= 150; ++i)
        project.add(test::variable("V" + std::to_string(i), "LABEL"));
    auto last = test::variable("LAST", "LABEL");
    last.categories = {categoryLine("1", "1", "100.0", "FOUND HERE")};
    project.add(last);
    project.write();
    SearchSetup s(project);
    RecordingObserver observer;
    s.search.setObserver(&observer);

    std::vector<int> seen;
    s.ui.onEveryPump([&] { seen.push_back(s.commands.enabled()); });
    auto outcome = s.search.start(request("FOUND", fieldsOf(true, true, true, true)), SearchMode::NextMatch);
    EXPECT_EQ(outcome.row, 151u);
    // One pump step per item tested, none at rows 70 and 140 nor at the match.
    EXPECT_EQ(seen.size(), 148u);
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int v) { return v == 0; }));
    EXPECT_TRUE(s.commands.enabled());
    EXPECT_EQ(observer.events, (std::vector<std::string>{"disable", "status:Please Wait While Searching", "enable",
                                                         "frequency", "status: "}));
    EXPECT_EQ(s.list.activeRow(), 151u);
}

TEST(SearchStateTest, CancelStopsTheWalkWithoutMessage)
{
    TestProject project;
    for (int i = 1; i <= 100; ++i)
        project.add(test::variable("V" + std::to_string(i), "LABEL"));
    project.write();
    SearchSetup s(project);
    s.list.goToRow(7);
    s.ui.cancelAfter(10, s.search.cancelFlag());
    auto outcome = s.search.start(request("NOWHERE"), SearchMode::NextMatch);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(outcome.found);
    EXPECT_EQ(s.ui.pumpSteps(), 10u);
    EXPECT_TRUE(s.ui.messages().empty());
    EXPECT_TRUE(s.commands.enabled());
    EXPECT_EQ(s.list.activeRow(), 7u);

    // Cancel Search pressed during the walk: commands come back at once.
    s.ui.atPumpStep(3, [&] {
        s.search.cancelSearch();
        EXPECT_TRUE(s.commands.enabled());
    });
    EXPECT_TRUE(s.search.start(request("NOWHERE"), SearchMode::TagAll).cancelled);
    EXPECT_TRUE(s.ui.messages().empty());
    // The next search clears the flag again.
    EXPECT_FALSE(s.search.start(request("NOWHERE"), SearchMode::TagAll).cancelled);
    EXPECT_EQ(s.ui.messageTexts(), std::vector<std::string>{"Cannot Find 'NOWHERE' !"});
}

TEST(SearchStateTest, AProgressSetOnTheEngineMovesPerPolledRowAndCanStopTheWalk)
{
    TestProject project;
    for (int i = 1; i <= 100; ++i)
        project.add(test::variable("V" + std::to_string(i), "LABEL"));
    project.write();
    SearchSetup s(project);
    ScriptedProgress progress;
    s.search.setProgress(&progress);
    // Every row but row 70 is polled, each after one step and one pump.
    EXPECT_FALSE(s.search.start(request("NOWHERE"), SearchMode::TagAll).found);
    EXPECT_EQ(progress.polls(), 99u);
    EXPECT_EQ(progress.value(), 99);
    EXPECT_EQ(s.ui.pumpSteps(), 99u);
    EXPECT_EQ(s.ui.messageTexts(), std::vector<std::string>{"Cannot Find 'NOWHERE' !"});

    // Stopping at its 80th poll (row 81): no message, the commands back.
    s.ui.clearMessages();
    progress.cancelAfterPolls(80);
    const auto outcome = s.search.start(request("NOWHERE"), SearchMode::TagAll);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(progress.polls(), 99u + 80u);
    EXPECT_TRUE(s.ui.messages().empty());
    EXPECT_TRUE(s.commands.enabled());

    // A text the scan of the text file finds nowhere, looked for in the
    // label, description and category: the rows are passed over at once,
    // the progress ending where the walk would have left it, from row 1 and
    // from the 40th row back.
    s.ui.clearMessages();
    ScriptedProgress skipped;
    s.search.setProgress(&skipped);
    const SearchFields blocks{false, true, true, true};
    EXPECT_FALSE(s.search.start(request("NOWHERE", blocks), SearchMode::TagAll).found);
    EXPECT_EQ(skipped.value(), 99);
    EXPECT_EQ(s.ui.messageTexts(), std::vector<std::string>{"Cannot Find 'NOWHERE' !"});
    ScriptedProgress backward;
    s.search.setProgress(&backward);
    s.list.goToRow(40);
    auto up = request("NOWHERE", blocks);
    up.direction = SearchDirection::Backward;
    EXPECT_FALSE(s.search.start(up, SearchMode::NextMatch).found);
    EXPECT_EQ(backward.value(), 40);
    EXPECT_EQ(s.list.activeRow(), 40u);
}

TEST(SearchStateTest, DialogDestroyedDuringTheWalkEndsItSilently)
{
    TestProject project;
    for (int i = 1; i <= 20; ++i)
        project.add(test::variable("V" + std::to_string(i), "LABEL"));
    project.write();
    SearchSetup s(project);
    RecordingObserver observer;
    s.search.setObserver(&observer);
    s.ui.atPumpStep(5, [&] { s.search.dialogDestroyed(); });
    auto outcome = s.search.start(request("NOWHERE"), SearchMode::NextMatch);
    EXPECT_TRUE(outcome.abandoned);
    EXPECT_TRUE(s.ui.messages().empty());
    EXPECT_TRUE(s.commands.enabled());
    EXPECT_EQ(observer.events, (std::vector<std::string>{"disable", "status:Please Wait While Searching"}));
}

TEST(SearchTagAllTest, TagsEveryMatchKeepsTagsMovesNothing)
{
    TestProject project;
    project.add(test::variable("INCOME", "TOTAL INCOME"));
    project.add(test::variable("AGE", "AGE"));
    project.add(test::variable("INCOME2", "SECOND INCOME"));
    project.add(test::variable("SEX", "SEX"));
    project.add(test::variable("INCOME3", "THIRD INCOME"));
    project.write();
    SearchSetup s(project);
    s.list.tagRow(3);
    s.list.goToRow(1);
    auto outcome = s.search.start(request("INCOME"), SearchMode::TagAll);
    EXPECT_EQ(outcome.matches, 3u);
    EXPECT_EQ(taggedRows(s.list), (std::vector<std::uint32_t>{1, 3, 5}));
    EXPECT_EQ(s.list.tagCount(), 3u);
    EXPECT_EQ(s.list.activeRow(), 1u);
    EXPECT_TRUE(s.ui.messages().empty());
    EXPECT_FALSE(s.search.continueFlag());

    EXPECT_FALSE(s.search.start(request("WEALTH"), SearchMode::TagAll).found);
    EXPECT_EQ(s.ui.messageTexts(), std::vector<std::string>{"Cannot Find 'WEALTH' !"});
    EXPECT_EQ(s.list.tagCount(), 3u);
}

TEST(SearchHistoryTest, AddsOnlyTextsNoEntryBeginsWithAndKeepsOrder)
{
    std::vector<std::string> history;
    EXPECT_TRUE(addToSearchHistory(history, "INCOME"));
    EXPECT_TRUE(addToSearchHistory(history, "AGE"));
    EXPECT_FALSE(addToSearchHistory(history, "INC"));
    EXPECT_FALSE(addToSearchHistory(history, "income"));
    EXPECT_TRUE(addToSearchHistory(history, "INCOMES"));
    EXPECT_TRUE(addToSearchHistory(history, "b"));
    EXPECT_EQ(history, (std::vector<std::string>{"AGE", "b", "INCOME", "INCOMES"}));

    EXPECT_EQ(typedSearchText("abc"), "ABC");
    EXPECT_EQ(typedSearchText(std::string(120, 'x')), std::string(99, 'X'));
}

TEST(SearchHistoryTest, EverySearchThatRunsIsRemembered)
{
    TestProject project;
    writeNamedProject(project);
    SearchSetup s(project);
    s.search.start(request("FOURTH", labelOnly), SearchMode::NextMatch);
    s.search.start(request("FOUR", labelOnly), SearchMode::NextMatch);
    s.search.start(request(std::string(120, 'Q'), labelOnly), SearchMode::TagAll);
    EXPECT_EQ(s.search.history(), (std::vector<std::string>{"FOURTH", std::string(99, 'Q')}));
    EXPECT_EQ(s.ui.messageTexts().back(), "Cannot Find '" + std::string(99, 'Q') + "' !");
}

} // namespace
} // namespace qavn
