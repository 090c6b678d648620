// The search against a plain model of its rules on random codebooks: the
// engine passes over blocks that a scan of the whole text file shows cannot
// hold the text; the model reads every block of every item.

#include "SearchFixture.h"

#include "codebook/DescriptionText.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>

namespace qavn {
namespace {

using test::SearchSetup;
using test::TestProject;

// The rules of a search, applied item by item with the store's readers.
class ModelSearch {
public:
    ModelSearch(CodebookStore& store, const VariableList& list, std::string text, SearchFields fields, bool wholeWords)
        : store_(store), list_(list), text_(std::move(text)), fields_(fields), wholeWords_(wholeWords)
    {
    }

    MatchField test(std::uint32_t row)
    {
        int d;
        if (fields_.variable && (d = decide(list_.rowName(row))) >= 0)
            return d ? MatchField::Variable : MatchField::None;
        if (fields_.label && (d = decide(std::string(list_.rowLabel(row)))) >= 0)
            return d ? MatchField::Label : MatchField::None;
        if (fields_.description) {
            if (!store_.readRecord(row))
                return MatchField::None;
            const VariableRecord record = store_.record();
            if (record.descriptionLineCount <= 800) {
                if ((d = decide(descriptionText(store_, record))) >= 0)
                    return d ? MatchField::Description : MatchField::None;
            } else {
                // Windows as far as the description's last line end.
                const auto bytes = store_.textBytes();
                std::size_t end = record.descriptionRef.offset();
                for (std::uint32_t k = 0; k < record.descriptionLineCount && end < bytes.size(); ++k) {
                    while (end < bytes.size() && bytes[end] != 0xDB)
                        ++end;
                    if (end < bytes.size())
                        ++end;
                }
                d = -1;
                store_.forEachBlockWindow(record.descriptionRef, record.descriptionLineCount,
                                          [&](std::span<const std::uint8_t> w) {
                                              const std::size_t at = static_cast<std::size_t>(w.data() - bytes.data());
                                              std::string s(w.begin(), w.end());
                                              s.resize(at >= end ? 0 : std::min(s.size(), end - at));
                                              d = decide(s);
                                              return d < 0;
                                          });
                if (d == 1)
                    return MatchField::Description;
            }
        }
        if (fields_.category) {
            if (!store_.readRecord(row))
                return MatchField::None;
            const VariableRecord record = store_.record();
            if (record.categoryLineCount <= 800) {
                std::string joined;
                std::vector<std::size_t> starts;
                store_.readLines(record.categoryRef, record.categoryLineCount, LineVariant::JoinedText,
                                 [&](std::string_view line) {
                                     starts.push_back(joined.size());
                                     joined += line;
                                     return true;
                                 });
                d = decide(joined, starts);
            } else {
                d = -1;
                store_.readLines(record.categoryRef, record.categoryLineCount, LineVariant::LineSearch,
                                 [&](std::string_view line) {
                                     d = decide(std::string(line));
                                     return d < 0;
                                 });
            }
            if (d >= 0)
                return d ? MatchField::Category : MatchField::None;
        }
        return MatchField::None;
    }

private:
    // -1: no occurrence; 1: the first occurrence passes; 0: it fails.
    // `lineStarts`: where the lines of a joined text begin; a word may end or
    // begin there whatever characters meet.
    int decide(std::string s, const std::vector<std::size_t>& lineStarts = {}) const
    {
        for (char& c : s) {
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
        }
        const std::size_t p = s.find(text_);
        if (p == std::string::npos)
            return -1;
        if (!wholeWords_)
            return 1;
        auto graphic = [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u < 128 && std::isgraph(u);
        };
        const std::size_t n = text_.size();
        auto lineStart = [&](std::size_t at) {
            return std::find(lineStarts.begin(), lineStarts.end(), at) != lineStarts.end();
        };
        if (p + n < s.size() && graphic(s[p + n]) && !lineStart(p + n))
            return 0;
        if (p > 0 && graphic(s[p - 1]) && !lineStart(p))
            return 0;
        return 1;
    }

    CodebookStore& store_;
    const VariableList& list_;
    std::string text_;
    SearchFields fields_;
    bool wholeWords_;
};

class RandomCodebook {
public:
    explicit RandomCodebook(unsigned seed) : rng_(seed) {}

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return pick(1, 100) <= percent; }

    std::string word()
    {
        static const std::string letters = "AGEBRCaged";
        static const std::string others = "0123456789,.()-'/";
        std::string w;
        const int n = pick(1, 6);
        for (int i = 0; i < n; ++i)
            w += chance(85) ? letters[pick(0, static_cast<int>(letters.size()) - 1)]
                            : others[pick(0, static_cast<int>(others.size()) - 1)];
        return w;
    }

    std::string words(std::size_t maxLength)
    {
        std::string s;
        const std::size_t target = static_cast<std::size_t>(pick(0, static_cast<int>(maxLength)));
        while (s.size() < target) {
            if (!s.empty())
                s += chance(90) ? " " : "\t";
            s += word();
        }
        return s.substr(0, maxLength);
    }

    VariableSpec variable(std::uint32_t number)
    {
        VariableSpec v;
        v.name = word().substr(0, 8);
        if (chance(20))
            v.name = " " + v.name.substr(0, 6);
        v.location = "1-2";
        v.label = words(60);
        v.section = chance(70) ? "SECTION" : words(20);
        int lines = pick(0, 6);
        if (chance(6))
            lines = pick(390, 520); // around the display limit
        else if (chance(6))
            lines = pick(801, 860); // searched window by window
        for (int i = 0; i < lines; ++i)
            v.description.push_back(chance(60) ? words(80) : std::string(static_cast<std::size_t>(pick(70, 80)), 'E'));
        if (number > 1 && chance(10))
            v.sharesDescriptionOf = static_cast<std::uint32_t>(pick(1, static_cast<int>(number) - 1));
        int categories = pick(0, 5);
        if (chance(5))
            categories = pick(801, 830);
        for (int i = 0; i < categories; ++i)
            v.categories.push_back(categoryLine(std::to_string(i), std::to_string(pick(0, 999)), "1.5", words(30)));
        return v;
    }

private:
    std::mt19937 rng_;
};

TEST(SearchRandomTest, AgreesWithTheRulesOnRandomCodebooks)
{
    for (unsigned seed = 1; seed <= 5; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        RandomCodebook random(seed);
        TestProject project;
        std::vector<VariableSpec> specs;
        for (std::uint32_t n = 1; n <= 40; ++n) {
            specs.push_back(random.variable(n));
            project.codebook.setFillerEvery(random.chance(40) ? static_cast<std::size_t>(random.pick(1, 5)) : 0);
            project.add(specs.back());
        }
        project.write();
        SearchSetup s(project);
        const std::uint32_t rows = s.list.rowCount();

        for (int round = 0; round < 40; ++round) {
            // Texts taken from the codebook (also across separators and line
            // ends), from the over-long notice, or made up.
            std::string text;
            const VariableSpec& spec = specs[static_cast<std::size_t>(random.pick(0, 39))];
            std::string source;
            switch (random.pick(0, 7)) {
            case 7:
                // The last word of a category line: a whole word, although
                // the next line's code follows it where the lines are joined.
                if (!spec.categories.empty()) {
                    const std::string& line =
                        spec.categories[static_cast<std::size_t>(random.pick(0, static_cast<int>(spec.categories.size()) - 1))];
                    source = line.substr(line.find_last_of(" \t\xDC") + 1);
                }
                break;
            case 6:
                // The end of one category line and the start of the next:
                // one text where the lines are joined, none line by line.
                if (spec.categories.size() >= 2) {
                    const std::size_t i = static_cast<std::size_t>(
                        random.pick(0, static_cast<int>(spec.categories.size()) - 2));
                    const std::string& a = spec.categories[i];
                    const std::string tail = a.substr(a.size() - std::min<std::size_t>(a.size(), 3));
                    source = tail + spec.categories[i + 1].substr(0, 2);
                    if (source.find('\xDC') != std::string::npos)
                        source = source.substr(0, source.find('\xDC'));
                }
                break;
            case 0: source = spec.label; break;
            case 1: source = spec.description.empty() ? spec.name : spec.description[0]; break;
            case 2:
                for (const auto& c : spec.categories)
                    source += c;
                break;
            case 3: source = "SORRY, CANNOT DISPLAY ANY MORE ! SO FAR, 396 LINES"; break;
            default: source = random.word(); break;
            }
            if (source.empty())
                source = "AGE";
            const int start = random.pick(0, static_cast<int>(source.size()) - 1);
            text = source.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(random.pick(1, 7)));
            if (random.chance(90))
                text = typedSearchText(text);
            for (char& c : text) {
                if (c == '\xDC' && random.chance(50))
                    c = '\t';
            }
            SearchFields fields = test::fieldsOf(random.chance(40), random.chance(40), random.chance(60),
                                                 random.chance(60));
            if (!fields.any())
                fields.description = true;
            const bool wholeWords = random.chance(50);
            SCOPED_TRACE("text '" + text + "' fields " + std::to_string(fields.variable) +
                         std::to_string(fields.label) + std::to_string(fields.description) +
                         std::to_string(fields.category) + " whole words " + std::to_string(wholeWords));

            ModelSearch model(s.store, s.list, text, fields, wholeWords);
            std::vector<MatchField> expected(rows + 1, MatchField::None);
            std::vector<std::uint32_t> expectedRows;
            for (std::uint32_t r = 1; r <= rows; ++r) {
                expected[r] = model.test(r);
                if (expected[r] != MatchField::None)
                    expectedRows.push_back(r);
            }

            s.list.clearAllTags();
            s.list.goToRow(1);
            s.search.reopen();
            s.ui.clearMessages();
            const SearchOutcome all = s.search.start(test::request(text, fields, wholeWords), SearchMode::TagAll);
            std::vector<std::uint32_t> tagged;
            for (std::uint32_t r = 1; r <= rows; ++r) {
                if (s.list.isTagged(r))
                    tagged.push_back(r);
            }
            EXPECT_EQ(tagged, expectedRows);
            EXPECT_EQ(all.matches, expectedRows.size());
            EXPECT_EQ(s.ui.messages().size(), expectedRows.empty() ? 1u : 0u);

            // Search Next from a random row in a random direction.
            const auto from = static_cast<std::uint32_t>(random.pick(1, static_cast<int>(rows)));
            const bool forward = random.chance(50);
            s.list.goToRow(from);
            s.search.reopen();
            const SearchOutcome next = s.search.start(
                test::request(text, fields, wholeWords, forward ? SearchDirection::Forward : SearchDirection::Backward),
                SearchMode::NextMatch);
            std::uint32_t want = 0;
            for (std::int64_t r = from; r >= 1 && r <= rows; r += forward ? 1 : -1) {
                if (expected[static_cast<std::size_t>(r)] != MatchField::None) {
                    want = static_cast<std::uint32_t>(r);
                    break;
                }
            }
            EXPECT_EQ(next.row, want);
            if (want != 0) {
                EXPECT_EQ(next.field, expected[want]);
            }
        }
    }
}

} // namespace
} // namespace qavn
