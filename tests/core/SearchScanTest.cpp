// The occurrence scan the search uses to skip blocks.

#include "search/OccurrenceScan.h"
#include "search/Search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qavn {
namespace {

std::vector<std::uint8_t> bytesOf(const std::string& s)
{
    return {s.begin(), s.end()};
}

TEST(SearchScanTest, FindsTextsSplitByFillersAndLineEndsInAnyCase)
{
    // Padding puts the places both inside the wide steps and in the tail.
    for (std::size_t pad : {0u, 61u, 200u}) {
        SCOPED_TRACE(pad);
        const std::string lead(pad, '.');
        const std::string text = lead + "zq\xFFxj\xDB" "Zq\xDBXJ\xDB" "zqx\xDCj\xDB" "ZQX\xFF\xFF\xDB" "J";
        const auto bytes = bytesOf(text);
        OccurrenceScan scan;
        scan.run(bytes, "ZQXJ");
        // The anchor is the rarest letter, Z: the fourth place is split by a
        // separator, which the texts turn into TAB or keep.
        EXPECT_EQ(scan.anchors(), (std::vector<std::uint64_t>{pad + 0, pad + 6, pad + 18}));
        EXPECT_EQ(scan.firstAnchorFrom(pad + 1), pad + 6);
        EXPECT_EQ(scan.firstAnchorFrom(pad + 19), UINT64_MAX);
        EXPECT_TRUE(scan.useful());
        EXPECT_TRUE(scan.covers(bytes, "ZQXJ"));
        EXPECT_FALSE(scan.covers(bytes, "ZQX"));
    }
}

TEST(SearchScanTest, MeasuresTheLongestLine)
{
    std::string text;
    for (int i = 0; i < 50; ++i)
        text += std::string(79, 'a') + "\xDB";
    text += std::string(300, 'b') + "\xDB" + std::string(10, 'c');
    OccurrenceScan scan;
    scan.run(bytesOf(text), "Q");
    EXPECT_EQ(scan.longestLine(), 301u);
    scan.run(bytesOf(std::string(1000, 'x')), "Q");
    EXPECT_EQ(scan.longestLine(), 1001u);
}

TEST(SearchScanTest, GivesUpOnTextsFoundAlmostEverywhere)
{
    const std::string text(100000, 'E');
    OccurrenceScan scan;
    scan.run(bytesOf(text), "E");
    EXPECT_FALSE(scan.useful());
    scan.run(bytesOf(text), "e"); // a small letter matches nothing upper-cased
    EXPECT_TRUE(scan.useful());
    EXPECT_TRUE(scan.anchors().empty());
    EXPECT_FALSE(OccurrenceScan::usable("A\tB"));
    EXPECT_FALSE(OccurrenceScan::usable(""));
    EXPECT_TRUE(OccurrenceScan::usable("AGE, (1)"));
}

} // namespace
} // namespace qavn

namespace qavn {
namespace {

TEST(SearchScanTest, FieldMatchingFindsTheFirstOccurrenceFromAnyAnchor)
{
    const std::string texts[] = {"", "a", "average age, age", "XAGEAGE", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaage", "ag\xFF" "e age"};
    const std::string patterns[] = {"AGE", "A", "E", "AGE,", "GE A", "ZZ", "age"};
    for (const auto& text : texts) {
        std::string upper = text;
        for (char& c : upper)
            c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
        for (const auto& pattern : patterns) {
            const std::size_t want = upper.find(pattern);
            for (std::size_t anchor = 0; anchor < pattern.size(); ++anchor)
                EXPECT_EQ(findInUpperCased(text, pattern, anchor), want) << text << " / " << pattern << " @" << anchor;
        }
    }
    EXPECT_EQ(OccurrenceScan::anchorIndex("TENTHMARK"), 8u); // K
    EXPECT_EQ(OccurrenceScan::anchorIndex("ZQXJ"), 0u);
}

} // namespace
} // namespace qavn
