// The published codebooks: the HTML site's folder taken whole or not at all,
// what it refuses to replace, its texts escaped, its position lists; the xlsx
// dictionary left as it was after a Cancel. What a browser and pandas read
// of them is checked by tests/scripts/publish_*.sh.

#include "WriterTestSupport.h"

#include "publish/HtmlSite.h"
#include "publish/SiteIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <unistd.h>

using namespace qavn;
using namespace qavn::test;
namespace fs = std::filesystem;

namespace {

// Every file under `dir` with its bytes.
std::map<std::string, std::string> snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> files;
    if (!fs::exists(dir))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        files[fs::relative(entry.path(), dir).string()] = entry.is_regular_file() ? readFile(entry.path()) : "/";
    return files;
}

// A progress whose Cancel is clicked at its n-th poll.
class CancelAt : public Progress {
public:
    explicit CancelAt(int at) : at_(at) {}
    bool keepGoing() override
    {
        if (++polls_ >= at_)
            requestCancel();
        return Progress::keepGoing();
    }
    int polls() const { return polls_; }

private:
    int at_;
    int polls_ = 0;
};

// The worked example with 600 more variables, so that the site has
// several files of each kind.
void addLargerExample(TestProject& p)
{
    addWorkedExample(p);
    for (int i = 1; i <= 600; ++i) {
        auto v = variable("X" + std::to_string(i), "Extra item " + std::to_string(i), "Extra " + std::to_string(i / 40),
                          2, 1, "7");
        v.description = {"Asked of everyone", "item " + std::to_string(i)};
        v.categories = {categoryLine("1", "10", "50.0", "Yes"), categoryLine("-4", "10", "50.0", "{Valid skip}")};
        p.add(v);
    }
}

OutputResult writeSite(WriterHarness& h, const fs::path& folder, Progress& progress, std::size_t failFrom = 0)
{
    SiteRequest request;
    request.path = folder.string();
    request.failFromWrite = failFrom;
    return writeHtmlSite(h.services(), request, progress);
}

// Decodes a position list as the site's script does: position -> mask.
std::map<std::uint32_t, std::uint8_t> decode(const std::string& text)
{
    std::map<std::uint32_t, std::uint8_t> out;
    std::size_t i = 0;
    auto number = [&] {
        std::uint64_t value = 0;
        for (unsigned shift = 0; i < text.size(); shift += 5) {
            const char c = text[i++];
            const std::size_t digit = siteDigits.find(c);
            if (digit != std::string_view::npos)
                return value | (std::uint64_t{digit} << shift);
            value |= std::uint64_t{siteContinuations.find(c)} << shift;
        }
        return value;
    };
    std::uint64_t next = 0;
    while (i < text.size()) {
        const std::uint64_t v = number();
        const std::uint64_t length = (v & 1) ? number() + 2 : 1;
        const std::uint64_t start = next + v / 32;
        for (std::uint64_t k = 0; k < length; ++k)
            out[static_cast<std::uint32_t>(start + k)] = static_cast<std::uint8_t>((v >> 1) & 15);
        next = start + length;
    }
    return out;
}

} // namespace

TEST(Publish, SiteTakesItsPlaceWholeOrNotAtAll)
{
    TestProject p;
    addLargerExample(p);
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    for (std::uint32_t r = 1; r <= h.list.rowCount(); ++r)
        h.list.tagRow(r);
    const fs::path folder = p.outputDir() / "site";

    Progress progress;
    OutputResult result = writeSite(h, folder, progress);
    ASSERT_EQ(result.status, OutputStatus::Written) << (h.ui.messages().empty() ? "" : h.ui.messageTexts()[0]);
    EXPECT_EQ(result.fileName, folder.string() + "/index.html");
    EXPECT_EQ(result.generatedHostFiles, std::vector<std::string>{(folder / "index.html").string()});
    const auto first = snapshot(folder);
    // 616 variables: 2 list files, 4 description files; nothing left aside.
    EXPECT_TRUE(first.count("qavn/list/1.js") && !first.count("qavn/list/2.js"));
    EXPECT_TRUE(first.count("qavn/var/3.js") && !first.count("qavn/var/4.js"));
    for (const auto& [name, bytes] : first)
        EXPECT_EQ(name.find(".qavn-"), std::string::npos) << name;

    // Fewer variables: the earlier site's files go with it.
    h.list.clearAllTags();
    h.tag({12, 13, 14, 15, 16});
    ASSERT_EQ(writeSite(h, folder, progress).status, OutputStatus::Written);
    const auto second = snapshot(folder);
    EXPECT_FALSE(second.count("qavn/list/1.js") || second.count("qavn/var/1.js"));
    EXPECT_NE(second.at("index.html").find("5 variables in 3 sections"), std::string::npos);

    // A Cancel early, midway and at the very end, and a full disk at the
    // first file and a later one: the folder stays exactly as it was.
    for (std::uint32_t r = 1; r <= h.list.rowCount(); ++r)
        h.list.tagRow(r);
    for (const int at : {1, 2, 3, 4}) {
        SCOPED_TRACE(at);
        CancelAt cancel(at);
        EXPECT_EQ(writeSite(h, folder, cancel).status, OutputStatus::Stopped);
        EXPECT_EQ(snapshot(folder), second);
    }
    for (const std::size_t failFrom : {1u, 9u}) {
        SCOPED_TRACE(failFrom);
        h.ui.clearMessages();
        Progress full;
        result = writeSite(h, folder, full, failFrom);
        EXPECT_EQ(result.status, OutputStatus::Failed);
        ASSERT_EQ(h.ui.messages().size(), 1u);
        const std::string& text = h.ui.messages()[0].text;
        EXPECT_EQ(text.rfind("Cannot Write " + folder.string() + "/qavn/", 0), 0u) << text;
        EXPECT_NE(text.find(std::strerror(ENOSPC)), std::string::npos) << text;
        EXPECT_EQ(snapshot(folder), second);
    }

    // A folder the run made goes again when the run stops.
    CancelAt cancel(2);
    EXPECT_EQ(writeSite(h, p.outputDir() / "new" / "site", cancel).status, OutputStatus::Stopped);
    EXPECT_FALSE(fs::exists(p.outputDir() / "new" / "site"));
}

TEST(Publish, SiteRefusesWhatItMayNotReplace)
{
    TestProject p;
    addWorkedExample(p);
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    h.tag({12, 13, 14});
    Progress progress;

    // A file, and a name with a control character.
    writeFile(p.outputDir() / "plain", "mine");
    EXPECT_EQ(writeSite(h, p.outputDir() / "plain", progress).status, OutputStatus::Failed);
    EXPECT_EQ(readFile(p.outputDir() / "plain"), "mine");
    EXPECT_EQ(writeSite(h, p.outputDir() / "a\tb", progress).status, OutputStatus::Failed);
    EXPECT_FALSE(fs::exists(p.outputDir() / "a\tb"));
    ASSERT_EQ(h.ui.messages().size(), 2u);
    EXPECT_NE(h.ui.messages()[0].text.find("is a file; the site needs a folder"), std::string::npos);
    EXPECT_NE(h.ui.messages()[1].text.find("control character"), std::string::npos);

    // Someone's own page or folder is replaced only when the user agrees.
    const fs::path folder = p.outputDir() / "web";
    writeFile(folder / "index.html", "<html>my home page</html>");
    writeFile(folder / "qavn" / "notes.txt", "my notes");
    const auto before = snapshot(folder);
    h.ui.clearMessages();
    EXPECT_EQ(writeSite(h, folder, progress).status, OutputStatus::Stopped); // No is the default
    EXPECT_EQ(snapshot(folder), before);
    ASSERT_EQ(h.ui.messages().size(), 1u);
    EXPECT_EQ(h.ui.messages()[0].text, folder.string() + "/index.html already exists and is no codebook site.\n"
                                                           "Do you want to replace it?");
    h.ui.queueAnswer(Ui::Answer::Yes);
    EXPECT_EQ(writeSite(h, folder, progress).status, OutputStatus::Stopped); // the folder is asked for too
    EXPECT_EQ(snapshot(folder), before);
    h.ui.queueAnswer(Ui::Answer::Yes);
    h.ui.queueAnswer(Ui::Answer::Yes);
    EXPECT_EQ(writeSite(h, folder, progress).status, OutputStatus::Written);
    EXPECT_FALSE(fs::exists(folder / "qavn" / "notes.txt"));
    // A site it wrote is replaced without a question.
    h.ui.clearMessages();
    EXPECT_EQ(writeSite(h, folder, progress).status, OutputStatus::Written);
    EXPECT_TRUE(h.ui.messages().empty());

    // The temporary folder of a run that was killed goes; a running one's stays.
    fs::create_directories(folder / ".qavn-site-999999999-abcdef" / "qavn");
    fs::create_directories(folder / (".qavn-site-" + std::to_string(::getpid()) + "-abcdef"));
    EXPECT_EQ(writeSite(h, folder, progress).status, OutputStatus::Written);
    EXPECT_FALSE(fs::exists(folder / ".qavn-site-999999999-abcdef"));
    EXPECT_TRUE(fs::exists(folder / (".qavn-site-" + std::to_string(::getpid()) + "-abcdef")));
}

TEST(Publish, SiteTextCannotBreakOutOfItsStrings)
{
    TestProject p;
    addHostileExample(p);
    p.title = "Study <script>alert(1)</script> & \"friends\"";
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    for (std::uint32_t r = 1; r <= h.list.rowCount(); ++r)
        h.list.tagRow(r);
    Progress progress;
    const fs::path folder = p.outputDir() / "site";
    ASSERT_EQ(writeSite(h, folder, progress).status, OutputStatus::Written);
    for (const auto& [name, bytes] : snapshot(folder)) {
        if (name.rfind("qavn/", 0) != 0 || name == "qavn/site.js" || bytes == "/")
            continue;
        SCOPED_TRACE(name);
        // One entry a line, no byte that could end a string or the script
        // element of the page.
        EXPECT_EQ(bytes.find('<'), std::string::npos);
        EXPECT_EQ(bytes.find('\r'), std::string::npos);
        EXPECT_TRUE(std::none_of(bytes.begin(), bytes.end(), [](char c) {
            return (static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F;
        }));
    }
    const std::string page = readFile(folder / "index.html");
    EXPECT_NE(page.find("<h1>Study &lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;friends&quot;</h1>"),
              std::string::npos);
    EXPECT_NE(page.find("\"title\":\"Study \\u003cscript>alert(1)\\u003c/script> & \\\"friends\\\"\""),
              std::string::npos);
}

TEST(Publish, PositionListsAndShards)
{
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        PositionList list;
        std::map<std::uint32_t, std::uint8_t> expected;
        std::uint32_t position = random() % 3;
        for (int i = 0; i < 400; ++i) {
            // Runs of neighbours, long gaps, repeats gathering masks.
            const std::uint32_t step = random() % 4 == 0 ? random() % 5'000'000 : random() % 3;
            position += step;
            const auto mask = static_cast<std::uint8_t>(1u << (random() % 4));
            list.add(position, mask);
            expected[position] |= mask;
        }
        list.finish();
        ASSERT_EQ(decode(list.text()), expected) << "round " << round;
    }

    SiteIndex index;
    index.add(0, SiteIndex::nameField, "AGE Age_Group \xC9T\xC9");
    index.add(1, SiteIndex::labelField, "age (years), \xE9t\xE9 2-3");
    index.finish();
    std::set<std::string> words;
    for (std::uint32_t id = 0; id < index.wordCount(); ++id)
        words.insert(std::string(index.word(id)));
    EXPECT_EQ(words, (std::set<std::string>{"2", "3", "age", "age_group", "years", "\xE9t\xE9"}));
    const std::vector<SiteIndex::Shard> shards = index.shards(20);
    ASSERT_GT(shards.size(), 1u);
    EXPECT_EQ(shards.front().first, "");
    std::vector<std::string> order;
    for (const SiteIndex::Shard& shard : shards)
        for (const std::uint32_t id : shard.words)
            order.push_back(std::string(index.word(id)));
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(order.size(), words.size());
    for (std::size_t k = 1; k < shards.size(); ++k)
        EXPECT_EQ(shards[k].first, std::string(index.word(shards[k].words.front())));
}

TEST(Publish, DictionaryCancelKeepsTheEarlierFile)
{
    TestProject p;
    addLargerExample(p);
    p.write();
    WriterHarness h;
    ASSERT_TRUE(h.started);
    for (std::uint32_t r = 1; r <= h.list.rowCount(); ++r)
        h.list.tagRow(r);
    const fs::path file = p.outputDir() / "dict.xlsx";
    writeFile(file, "earlier");
    CancelAt cancel(600); // midway through the variables, after the tagged rows were collected
    const OutputResult result = writeOutput(outputFormat(OutputKind::XlsxDictionary), h.services(),
                                            OutputJob{LabelChoice::NotAsked, file.string()}, cancel);
    EXPECT_EQ(result.status, OutputStatus::Stopped);
    EXPECT_TRUE(result.generatedHostFiles.empty());
    EXPECT_EQ(readFile(file), "earlier");
    EXPECT_EQ(snapshot(p.outputDir()), (std::map<std::string, std::string>{{"dict.xlsx", "earlier"}}));

    Progress progress;
    ASSERT_EQ(writeOutput(outputFormat(OutputKind::XlsxDictionary), h.services(),
                          OutputJob{LabelChoice::NotAsked, file.string()}, progress)
                  .status,
              OutputStatus::Written);
    EXPECT_EQ(readFile(file).substr(0, 2), "PK");
    EXPECT_EQ(snapshot(p.outputDir()).size(), 1u);
}
