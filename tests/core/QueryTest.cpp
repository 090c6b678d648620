// The query language: its grammar on a small codebook, its errors, and the
// engine against a plain reading of the same rules on random codebooks.

#include "SearchFixture.h"

#include "project/ProjectSpec.h"
#include "query/Query.h"
#include "query/QueryIndex.h"

#include <functional>
#include <random>
#include <regex>

namespace qavn {
namespace {

using test::SearchSetup;
using test::TestProject;
using test::variable;

VariableSpec withTexts(VariableSpec v, std::vector<std::string> description, std::vector<std::string> categories)
{
    v.description = std::move(description);
    v.categories = std::move(categories);
    return v;
}

class QueryTest : public ::testing::Test {
protected:
    QueryTest()
    {
        project.add(withTexts(variable("Q1", "Total income of household", "Income"),
                              {"Income from wages, salaries.", "See also Q2 (wage income)."},
                              {categoryLine("1", "10", "5.0", "Yes"), categoryLine("2", "20", "10.0", "No")}));
        project.add(withTexts(variable("Q2", "Wages and wage rates", "Income"), {"Hourly wage in dollars"}, {}));
        project.add(withTexts(variable("AGE", "Age of respondent", "Demography", 2),
                              {"Age in years at interview", "Top-coded at 90"},
                              {categoryLine("-1", "3", "0.1", "Refused")}));
        project.add(withTexts(variable("SEX", "Sex of respondent", "Demography", 2), {"Male or female"},
                              {categoryLine("1", "50", "50.0", "Male"), categoryLine("2", "50", "50.0", "Female")}));
        // Fillers inside the lines from here on.
        project.codebook.setFillerEvery(3);
        project.add(withTexts(variable("EMPSTAT", "Employment status", "Work", 2),
                              {"Employed, unemployed or out of the labour force"},
                              {categoryLine("1", "5", "1.0", "Employed full time"),
                               categoryLine("2", "7", "1.4", "Employed part time")}));
        project.add(withTexts(variable("INCOME2", "Income, second job", "Work", 2), {"Donn\xE9" "es salariales"}, {}));
        project.write();
        setup = std::make_unique<SearchSetup>(project);
        spec.dataFiles.resize(2);
        spec.dataFiles[0].fileTitle = "YOUTH";
        spec.dataFiles[1].fileTitle = "HOUSE";
        EXPECT_TRUE(index.build(setup->list, setup->store, &spec));
    }

    std::string names(std::string_view text)
    {
        Query query;
        if (!query.compile(text))
            return "error: " + query.error().text();
        std::string out;
        for (const std::uint32_t row : index.evaluate(query).rows())
            out += (out.empty() ? "" : " ") + setup->list.rowName(row);
        return out;
    }

    TestProject project;
    std::unique_ptr<SearchSetup> setup;
    ProjectSpec spec;
    QueryIndex index;
};

TEST_F(QueryTest, SyntaxErrorsNameTheColumn)
{
    const struct {
        const char* text;
        const char* message;
        std::size_t column;
    } cases[] = {
        {"(age", "missing ')'", 1},
        {"age)", "unexpected ')'", 4},
        {"age OR", "OR needs a term after it", 5},
        {"OR age", "OR needs a term before it", 1},
        {"age NOT", "NOT needs a term after it", 5},
        {"a AND AND b", "AND needs a term after it", 3},
        {"sex \"total", "missing '\"' at the end of this phrase", 5},
        // RE2's errors name the part the user typed, where it was typed.
        {"label:/(/", "invalid regular expression: missing ): (", 8},
        {"label:/ab[c/", "invalid regular expression: missing ]: [c", 10},
        {"/a\\/b**/", "invalid regular expression: bad repetition operator: **", 6},
        {"/abc", "missing '/' at the end", 1},
        {"x //", "empty regular expression", 3},
        {"age foo:bar", "unknown field 'foo'", 5},
        {"age ()", "empty parentheses", 5},
        {"label: x", "label: needs a term after it", 1},
        {"section:0", "sections are numbered from 1", 9},
        {"\"  \"", "empty phrase", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Query query;
        EXPECT_FALSE(query.compile(c.text));
        EXPECT_EQ(query.error().message.find(c.message), 0u) << query.error().message;
        EXPECT_EQ(query.error().column, c.column);
        EXPECT_TRUE(query.empty());
    }
    // A pasted wall of parentheses or NOTs is refused, not recursed into.
    Query deep;
    EXPECT_FALSE(deep.compile("age " + std::string(100000, '(') + "x"));
    EXPECT_EQ(deep.error().text(), "parentheses and NOTs nested too deeply at column 205");
    std::string nots;
    for (int i = 0; i < 50000; ++i)
        nots += "NOT ";
    EXPECT_FALSE(deep.compile(nots + "x"));
    EXPECT_EQ(deep.error().column, 801u);
    EXPECT_TRUE(deep.compile(std::string(200, '(') + "x" + std::string(200, ')')));
    std::string many;
    for (int i = 0; i < 501; ++i)
        many += "ab ";
    EXPECT_FALSE(deep.compile(many));
    EXPECT_EQ(deep.error().text(), "more than 500 terms at column 1501");
}

TEST_F(QueryTest, GrammarOnASmallCodebook)
{
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"   ", ""},
        // Whole words in any field; every occurrence counts ("Wages and wage").
        {"income", "Q1 INCOME2"},
        {"label:wage", "Q2"},
        {"wage", "Q1 Q2"},
        {"age", "AGE"},
        {"LABEL:TOTAL", "Q1"},
        {"donn\xC9" "es", "INCOME2"},
        // Wildcards stand for word characters.
        {"wag?", "Q1 Q2"},
        {"wage*", "Q1 Q2"},
        {"name:income*", "INCOME2"},
        {"name:*", "Q1 Q2 AGE SEX EMPSTAT INCOME2"},
        {"*mploy*", "EMPSTAT"},
        // Phrases, across fillers too.
        {"\"wage income\"", "Q1"},
        {"\"income   from\"", "Q1"},
        {"\"out of the labour force\"", "EMPSTAT"},
        {"\"employed full\"", "EMPSTAT"},
        {"\"wage in\\*\"", ""},
        // Fields.
        {"category:female", "SEX"},
        {"cat:refused", "AGE"},
        {"description:male", "SEX"},
        {"desc:yes", ""},
        {"label:(wage OR sex)", "Q2 SEX"},
        // Operators and their precedence: NOT, then AND, then OR.
        {"age OR sex", "AGE SEX"},
        {"respondent NOT sex", "AGE"},
        {"respondent and not age", "SEX"},
        {"NOT respondent", "Q1 Q2 EMPSTAT INCOME2"},
        {"age OR sex male", "AGE SEX"},
        {"age OR sex AND female", "AGE SEX"},
        {"(age OR sex) AND female", "SEX"},
        {"NOT age OR sex", "Q1 Q2 SEX EMPSTAT INCOME2"},
        {"NOT (age OR sex)", "Q1 Q2 EMPSTAT INCOME2"},
        {"NOT NOT age", "AGE"},
        // Regular expressions, line by line (category fields split by tabs).
        {"/emp.*time/", "EMPSTAT"},
        {"category:/^-1\\t3\\t/", "AGE"},
        {"label:/^age\\b/", "AGE"},
        {"/wages?,/", "Q1"},
        {"/employ(ed)? +full/", "EMPSTAT"},
        {"/refus(ed|al)/", "AGE"},
        {"/[[:alpha:]]+ of respondENT/", "AGE SEX"},
        {"/\\x{53}ex/", "SEX"},
        // Not in the name INCOME2, then in its label.
        {"/come\\W/", "Q1 INCOME2"},
        {"/a\\/b/", ""},
        {"desc:/salaries[^q]*wage/", ""},
        {"/salaries\\.\\s+see/", ""},
        // Sections by title or number, data files by name or number.
        {"section:demography", "AGE SEX"},
        {"section:2", "AGE SEX"},
        {"section:\"work\" status", "EMPSTAT"},
        {"section:(1 OR 3)", "Q1 Q2 EMPSTAT INCOME2"},
        {"file:1", "Q1 Q2"},
        {"file:house NOT section:work", "AGE SEX"},
        {"file:hou*", "AGE SEX EMPSTAT INCOME2"},
        {"file:3", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(names(c.text), c.expected);
    }
}

// An evaluation stopped at any point changes nothing, and the next one
// finishes the fields the stopped one left half made.
TEST_F(QueryTest, AStoppedQueryLeavesTheIndexWhole)
{
    Query query;
    ASSERT_TRUE(query.compile("desc:wage OR cat:refused OR label:sex"));
    const std::vector<std::uint32_t> expected = index.evaluate(query).rows();
    ASSERT_EQ(expected.size(), 4u);
    for (int stopAt = 0;; ++stopAt) {
        SCOPED_TRACE(stopAt);
        QueryIndex fresh;
        ASSERT_TRUE(fresh.build(setup->list, setup->store, &spec));
        QueryMatches matches;
        int asked = 0;
        const bool finished = fresh.evaluate(query, matches, [&] { return asked++ != stopAt; });
        if (!finished) {
            EXPECT_EQ(matches.rowCount(), 0u);
        }
        EXPECT_EQ(fresh.evaluate(query).rows(), expected);
        if (finished)
            break;
    }
}

// Plain words are looked for in the stored bytes in place unless fillers lie
// among them: both ways find the same rows, whole words edged by line ends,
// separators, punctuation, digits and Latin-1 letters.
TEST(QueryPlainWordTest, InPlaceAgreesWithTheTranslatedText)
{
    const auto rowsOf = [](std::size_t fillerEvery, const std::vector<std::string>& queries) {
        TestProject project;
        project.codebook.setFillerEvery(fillerEvery);
        project.add(withTexts(variable("W1", "wage", "S"), {"wage", "x wage2 2wage _wage wage_ (wage)"}, {}));
        project.add(withTexts(variable("W2", "Wage-rate", "S"), {"r\xE9sum\xE9 WAGE.", "\xC9t\xE9 wages"},
                              {categoryLine("1", "10", "5.0", "Wage"), categoryLine("2", "20", "10.0", "no\xEBl")}));
        project.add(withTexts(variable("W3", "Sal\xE9", "S"), {"wagewage wag e", "\xC9T\xC9"},
                              {categoryLine("9", "1", "1.0", "wage\r")}));
        project.add(withTexts(variable("W4", "none", "S"), {"x\xE9wage wage\xC9 wage9"}, {"WAGE"}));
        project.write();
        SearchSetup s(project);
        QueryIndex index;
        EXPECT_TRUE(index.build(s.list, s.store, nullptr));
        std::vector<std::string> out;
        for (const std::string& text : queries) {
            Query query;
            EXPECT_TRUE(query.compile(text)) << text;
            std::string rows;
            for (const std::uint32_t row : index.evaluate(query).rows())
                rows += (rows.empty() ? "" : " ") + s.list.rowName(row);
            out.push_back(text + ": " + rows);
        }
        return out;
    };
    const std::vector<std::string> queries = {"wage",   "desc:wage",      "cat:wage",      "description:r\xC9sum\xC9",
                                              "\xE9t\xE9", "cat:no\xCBL",     "cat:1",         "cat:10",
                                              "wage2",  "desc:_wage",     "wag",           "wagewage",
                                              "rate",   "desc:\xC9t\xE9 wages", "cat:wage OR w1", "x"};
    const std::vector<std::string> inPlace = rowsOf(0, queries);
    EXPECT_EQ(inPlace, rowsOf(2, queries));
    EXPECT_EQ(inPlace[1], "desc:wage: W1 W2");
    EXPECT_EQ(inPlace[2], "cat:wage: W2 W3 W4");
    EXPECT_EQ(inPlace[4], "\xE9t\xE9: W2 W3");
}

// --- the engine against a plain reading of the rules ---

bool wordByte(char c)
{
    return isQueryWordByte(static_cast<unsigned char>(c));
}

char fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// A term as pieces: a plain character, '*', '?' or ' ' (a run of blanks).
struct ModelTerm {
    std::string pieces;
    std::string regex; // instead of pieces when not empty
    std::shared_ptr<std::regex> compiled;
    std::uint8_t fields = queryfield::text;

    bool matchFrom(const std::string& s, std::size_t i, std::size_t k, std::size_t& end) const
    {
        if (k == pieces.size()) {
            end = i;
            return true;
        }
        const char p = pieces[k];
        if (p == '*') {
            for (std::size_t j = i;; ++j) {
                if (matchFrom(s, j, k + 1, end) && (k + 1 < pieces.size() || j == s.size() || !wordByte(s[j])))
                    return true;
                if (j == s.size() || !wordByte(s[j]))
                    return false;
            }
        }
        if (i == s.size())
            return false;
        if (p == '?')
            return wordByte(s[i]) && matchFrom(s, i + 1, k + 1, end);
        if (p == ' ') {
            std::size_t j = i;
            while (j < s.size() && (s[j] == ' ' || s[j] == '\t'))
                ++j;
            return j > i && matchFrom(s, j, k + 1, end);
        }
        return fold(s[i]) == fold(p) && matchFrom(s, i + 1, k + 1, end);
    }

    bool matchesLine(const std::string& s) const
    {
        if (!regex.empty())
            return std::regex_search(s, *compiled);
        const bool wordStart = pieces.front() == '*' || pieces.front() == '?' || wordByte(pieces.front());
        const bool wordEnd = pieces.back() == '*' || pieces.back() == '?' || wordByte(pieces.back());
        for (std::size_t i = 0; i <= s.size(); ++i) {
            if (wordStart && i > 0 && wordByte(s[i - 1]))
                continue;
            std::size_t end = 0;
            if (matchFrom(s, i, 0, end) && end > i && (!wordEnd || end == s.size() || !wordByte(s[end])))
                return true;
        }
        return false;
    }
};

// The lines of a block, read plainly from the stored bytes.
std::vector<std::string> blockLines(std::span<const std::uint8_t> bytes, TextRef ref, std::uint32_t count)
{
    std::vector<std::string> lines;
    std::size_t p = ref.offset();
    for (std::uint32_t k = 0; k < count && p < bytes.size(); ++k) {
        std::string line;
        for (; p < bytes.size() && bytes[p] != 0xDB; ++p) {
            if (bytes[p] != 0xFF)
                line += bytes[p] == 0xDC ? '\t' : static_cast<char>(bytes[p]);
        }
        ++p;
        lines.push_back(line);
    }
    return lines;
}

TEST(QueryRandomTest, AgreesWithThePlainRulesOnRandomCodebooks)
{
    for (unsigned seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        auto word = [&] {
            static const std::string letters = "AGEBRaged_";
            std::string w;
            for (int i = pick(1, 4); i > 0; --i)
                w += pick(1, 100) <= 88 ? letters[static_cast<std::size_t>(pick(0, 9))] : ",.-/"[pick(0, 3)];
            return w;
        };
        auto words = [&](int most) {
            std::string s;
            for (int i = pick(0, most); i > 0; --i)
                s += (s.empty() ? "" : pick(1, 10) == 1 ? "\t" : " ") + word();
            return s;
        };
        TestProject project;
        std::vector<std::string> vocabulary;
        for (int n = 1; n <= 60; ++n) {
            VariableSpec v = variable(word().substr(0, 8), words(6), pick(1, 3) == 1 ? words(2) : "S",
                                      static_cast<std::uint16_t>(pick(1, 2)));
            for (int i = pick(0, 4); i > 0; --i)
                v.description.push_back(words(10));
            for (int i = pick(0, 3); i > 0; --i)
                v.categories.push_back(categoryLine(std::to_string(i), "5", "1.0", words(4)));
            if (n > 1 && pick(1, 10) == 1)
                v.sharesDescriptionOf = static_cast<std::uint32_t>(pick(1, n - 1));
            // Codebooks without fillers are read in place.
            project.codebook.setFillerEvery(seed % 2 == 1 && pick(1, 3) == 1 ? static_cast<std::size_t>(pick(1, 4)) : 0);
            project.add(v);
            for (const std::string& line : v.description) {
                std::string w;
                for (const char c : line + " ") {
                    if (wordByte(c)) {
                        w += c;
                    } else if (!w.empty()) {
                        vocabulary.push_back(w);
                        w.clear();
                    }
                }
            }
        }
        project.write();
        SearchSetup s(project);
        QueryIndex index;
        ASSERT_TRUE(index.build(s.list, s.store, nullptr));
        const std::uint32_t rows = s.list.rowCount();
        const auto bytes = s.store.textBytes();

        auto fieldLines = [&](std::uint32_t row, std::uint8_t field) {
            const VariableRecord r = s.store.recordAt(row);
            if (field == queryfield::name)
                return std::vector<std::string>{s.list.rowName(row)};
            if (field == queryfield::label)
                return std::vector<std::string>{std::string(s.list.rowLabel(row))};
            if (field == queryfield::description)
                return blockLines(bytes, r.descriptionRef, r.descriptionLineCount);
            return blockLines(bytes, r.categoryRef, r.categoryLineCount);
        };
        auto termText = [&](const ModelTerm& t) {
            std::string typed;
            for (const char c : t.pieces)
                typed += (c == ',' || c == '.' || c == '-' || c == '/') ? std::string("\\") + c : std::string(1, c);
            const bool phrase = t.pieces.find(' ') != std::string::npos;
            if (phrase)
                typed = "\"" + typed + "\"";
            if (!t.regex.empty())
                typed = "/" + t.regex + "/";
            const char* prefix = t.fields == queryfield::name          ? "name:"
                                 : t.fields == queryfield::label       ? "label:"
                                 : t.fields == queryfield::description ? "description:"
                                 : t.fields == queryfield::category    ? "category:"
                                                                       : "";
            return prefix + typed;
        };

        // A random expression: its text and its value for each row.
        std::function<std::string(int, std::vector<bool>&)> expression = [&](int depth, std::vector<bool>& value) {
            const int kind = depth > 2 ? 0 : pick(0, 4);
            if (kind <= 1) {
                ModelTerm t;
                t.pieces = vocabulary[static_cast<std::size_t>(pick(0, static_cast<int>(vocabulary.size()) - 1))];
                if (pick(1, 4) == 1)
                    t.pieces += " " + vocabulary[static_cast<std::size_t>(pick(0, static_cast<int>(vocabulary.size()) - 1))];
                if (pick(1, 3) == 1)
                    t.pieces[static_cast<std::size_t>(pick(0, static_cast<int>(t.pieces.size()) - 1))] = '?';
                if (pick(1, 3) == 1)
                    t.pieces = t.pieces.substr(0, static_cast<std::size_t>(pick(0, static_cast<int>(t.pieces.size()) - 1))) + "*";
                if (t.pieces.front() == ' ' || t.pieces.back() == ' ')
                    t.pieces = "?";
                if (pick(1, 4) == 1) {
                    // A regular expression: a word with a part made optional
                    // or a class, or two words as alternatives.
                    const auto& w = vocabulary[static_cast<std::size_t>(pick(0, static_cast<int>(vocabulary.size()) - 1))];
                    const auto at = static_cast<std::size_t>(pick(0, static_cast<int>(w.size()) - 1));
                    switch (pick(0, 2)) {
                    case 0:
                        t.regex = w.substr(0, at + 1) + "?" + w.substr(at + 1);
                        break;
                    case 1:
                        t.regex = w.substr(0, at) + "[a-e_]+" + w.substr(at + 1);
                        break;
                    default:
                        t.regex = "(" + w + "|" + vocabulary[static_cast<std::size_t>(pick(0, static_cast<int>(vocabulary.size()) - 1))] + ") ?[a-z]";
                    }
                    t.compiled = std::make_shared<std::regex>(t.regex, std::regex::icase);
                }
                const std::uint8_t fields[] = {queryfield::text, queryfield::name, queryfield::label,
                                               queryfield::description, queryfield::category};
                t.fields = fields[pick(0, 4)];
                value.assign(rows + 1, false);
                for (std::uint32_t row = 1; row <= rows; ++row) {
                    for (std::uint8_t f = 1; f <= queryfield::category; f <<= 1) {
                        if (!(t.fields & f))
                            continue;
                        for (const std::string& line : fieldLines(row, f))
                            value[row] = value[row] || t.matchesLine(line);
                    }
                }
                return termText(t);
            }
            if (kind == 2) {
                const std::string inner = expression(depth + 1, value);
                value.flip();
                return "NOT (" + inner + ")";
            }
            std::vector<bool> other;
            const std::string a = expression(depth + 1, value);
            const std::string b = expression(depth + 1, other);
            for (std::uint32_t row = 1; row <= rows; ++row)
                value[row] = kind == 3 ? (value[row] && other[row]) : (value[row] || other[row]);
            return "(" + a + (kind == 3 ? (pick(0, 1) ? ") AND (" : ") (") : ") OR (") + b + ")";
        };

        for (int round = 0; round < 60; ++round) {
            std::vector<bool> expected;
            const std::string text = expression(0, expected);
            SCOPED_TRACE(text);
            Query query;
            ASSERT_TRUE(query.compile(text)) << query.error().text();
            const QueryMatches matches = index.evaluate(query);
            for (std::uint32_t row = 1; row <= rows; ++row)
                ASSERT_EQ(matches.contains(row), expected[row]) << "row " << row;
        }
    }
}

} // namespace
} // namespace qavn
