// The Search dialog's engine: Search Next and Tag All Match over the chosen
// fields.

#include "search/Search.h"

#include "codebook/CodebookStore.h"
#include "codebook/DescriptionText.h"
#include "platform/Strings.h"
#include "platform/Ui.h"
#include "catalogue/VariableList.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qavn {

namespace {

constexpr char foldChar(char c)
{
    return toUpperAscii(c);
}

int compareIgnoringCase(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(foldChar(a[i]));
        const auto y = static_cast<unsigned char>(foldChar(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

bool passesWholeWordRule(std::string_view text, std::size_t position, std::size_t length)
{
    if (position + length < text.size() && isGraphic(static_cast<unsigned char>(text[position + length])))
        return false;
    if (position > 0 && isGraphic(static_cast<unsigned char>(text[position - 1])))
        return false;
    return true;
}

bool passesWholeWordRule(std::string_view text, std::size_t position, std::size_t length,
                         std::span<const std::size_t> lineStarts)
{
    const std::size_t end = position + length;
    const bool endsLine = std::binary_search(lineStarts.begin(), lineStarts.end(), end);
    const bool startsLine = std::binary_search(lineStarts.begin(), lineStarts.end(), position);
    if (!endsLine && end < text.size() && isGraphic(static_cast<unsigned char>(text[end])))
        return false;
    if (!startsLine && position > 0 && isGraphic(static_cast<unsigned char>(text[position - 1])))
        return false;
    return true;
}

namespace {

// The first byte in [p, end) equal to `a` or `b`, or nullptr.
const char* findEither(const char* p, const char* end, char a, char b)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    for (; end - p >= 16; p += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)));
        if (mask)
            return p + std::countr_zero(static_cast<unsigned>(mask));
    }
#endif
    for (; p < end; ++p) {
        if (*p == a || *p == b)
            return p;
    }
    return nullptr;
}

} // namespace

std::size_t findInUpperCased(std::string_view text, std::string_view pattern, std::size_t anchor)
{
    const std::size_t n = pattern.size();
    if (n == 0)
        return 0;
    if (n > text.size())
        return std::string_view::npos;
    if (anchor >= n)
        anchor = 0;
    const char a = pattern[anchor];
    if (a >= 'a' && a <= 'z')
        return std::string_view::npos; // no upper-cased text holds a small letter
    const char aSmall = (a >= 'A' && a <= 'Z') ? static_cast<char>(a - 'A' + 'a') : a;
    // Candidates for the anchor character come in ascending order, so the
    // first whole match found is the first occurrence.
    const char* const begin = text.data();
    const char* const stop = begin + (text.size() - n) + anchor + 1; // past the last possible anchor
    for (const char* q = findEither(begin + anchor, stop, a, aSmall); q != nullptr;
         q = findEither(q + 1, stop, a, aSmall)) {
        const char* p = q - anchor;
        std::size_t k = 0;
        while (k < n && foldChar(p[k]) == pattern[k])
            ++k;
        if (k == n)
            return static_cast<std::size_t>(p - begin);
    }
    return std::string_view::npos;
}

std::string typedSearchText(std::string_view typed)
{
    return upperAscii(typed.substr(0, Search::maxTextLength));
}

bool addToSearchHistory(std::vector<std::string>& history, std::string_view text)
{
    for (const auto& entry : history) {
        if (entry.size() >= text.size() && compareIgnoringCase(std::string_view(entry).substr(0, text.size()), text) == 0)
            return false;
    }
    const auto at = std::upper_bound(history.begin(), history.end(), text, [](std::string_view a, const std::string& b) {
        return compareIgnoringCase(a, b) < 0;
    });
    history.insert(at, std::string(text));
    return true;
}

Search::Search(VariableList& list, CodebookStore& store, Ui& ui, CommandState& commands)
    : list_(list), store_(store), ui_(ui), commands_(commands)
{
}

std::string Search::cannotFindMessage(std::string_view text)
{
    return "Cannot Find '" + std::string(text) + "' !";
}

void Search::cancelSearch()
{
    progress_->requestCancel();
    commands_.set(true);
}

void Search::dialogDestroyed()
{
    observer_ = nullptr;
    progress_->requestCancel();
    commands_.set(true);
    if (running_)
        abandoned_ = true;
}

SearchOutcome Search::start(const SearchRequest& request, SearchMode mode)
{
    SearchOutcome outcome;
    if (running_)
        return outcome;
    const std::string_view text = std::string_view(request.text).substr(0, maxTextLength);
    if (text.empty() || !request.fields.any())
        return outcome;
    addToSearchHistory(history_, text);
    progress_->cancel = 0;
    outcome.ran = true;

    running_ = true;
    abandoned_ = false;
    commands_.set(false);
    if (observer_) {
        observer_->setSearchButtonsEnabled(false);
        observer_->setSearchStatus(searchingStatus);
    }

    text_.assign(text);
    anchor_ = OccurrenceScan::anchorIndex(text_);
    labelHint_ = 0;
    descriptionHint_ = 0;
    categoryHint_ = 0;
    wholeWords_ = request.wholeWords;
    fields_ = request.fields;
    scanned_ = false;
    if ((fields_.description || fields_.category) && OccurrenceScan::usable(text_)) {
        // One pass over the text file finds every place the text can occur;
        // blocks without such a place are passed over unread. The pass is
        // kept for the next search with the same text.
        const auto bytes = store_.textBytes();
        if (!scan_.covers(bytes, text_))
            scan_.run(bytes, text_);
        scanned_ = scan_.useful();
    }
    // Where the scan found the text nowhere and no description is long
    // enough for the over-long notice, only a name can match: the other
    // fields of the rows are not looked at, and without the name field the
    // walk has nothing to test.
    namesOnly_ = scanned_ && scan_.anchors().empty() && list_.rowCount() <= store_.recordCount() &&
                 !noticePossible(std::min(longestDescription(), longBlockLines));

    const bool forward = request.direction == SearchDirection::Forward;
    const std::int64_t count = list_.rowCount();
    std::int64_t i = list_.activeRow();
    if (continue_)
        i += forward ? 1 : -1;
    const std::int64_t step = forward ? 1 : -1;
    if (namesOnly_ && !fields_.variable && i >= 1 && i <= count) {
        // The progress moves at once as far as the walk over these rows
        // would have moved it, one step a row but every quietRowEvery-th.
        const std::int64_t first = forward ? i : 1;
        const std::int64_t last = forward ? count : i;
        progress_->advance(
            static_cast<long>(last - first + 1 - (last / quietRowEvery - (first - 1) / quietRowEvery)));
        if (!pollProgress(ui_, *progress_))
            outcome.cancelled = true;
        i = forward ? count + 1 : 0;
    }
    for (; i >= 1 && i <= count; i += step) {
        const auto row = static_cast<std::uint32_t>(i);
        const MatchField field = testItem(row);
        if (field != MatchField::None) {
            outcome.found = true;
            if (mode == SearchMode::NextMatch) {
                outcome.row = row;
                outcome.field = field;
                break;
            }
            list_.tagRow(row);
            ++outcome.matches;
        }
        bool goOn;
        if (row % quietRowEvery != 0) {
            progress_->advance(1);
            goOn = pollProgress(ui_, *progress_);
        } else {
            goOn = !progress_->cancelled();
        }
        if (!goOn) {
            outcome.cancelled = true;
            break;
        }
    }
    running_ = false;
    if (abandoned_) {
        outcome.abandoned = true;
        return outcome;
    }
    if (observer_)
        observer_->setSearchButtonsEnabled(true);
    if (outcome.found) {
        if (mode == SearchMode::NextMatch) {
            list_.goToRow(outcome.row);
            if (observer_ && outcome.field == MatchField::Description)
                observer_->showMatch(false);
            else if (observer_ && outcome.field == MatchField::Category)
                observer_->showMatch(true);
            continue_ = true;
        }
    } else {
        continue_ = false;
        if (!progress_->cancelled())
            ui_.error(cannotFindMessage(text_));
    }
    commands_.set(true);
    if (observer_)
        observer_->setSearchStatus(" ");
    return outcome;
}

Search::Decision Search::decide(std::string_view text, std::span<const std::size_t> lineStarts) const
{
    const std::size_t at = findInUpperCased(text, text_, anchor_);
    if (at == std::string_view::npos)
        return Decision::NoOccurrence;
    return (!wholeWords_ || passesWholeWordRule(text, at, text_.size(), lineStarts)) ? Decision::Pass
                                                                                       : Decision::Fail;
}

MatchField Search::testItem(std::uint32_t row)
{
    if (fields_.variable) {
        // rowName(row), without building a string.
        const Decision d = decide(trimmed(list_.rowText(row).substr(0, 8)));
        if (d != Decision::NoOccurrence)
            return d == Decision::Pass ? MatchField::Variable : MatchField::None;
    }
    if (namesOnly_)
        return MatchField::None;
    // The list's rows are the store's records. A row past the index's end
    // goes through readRecord(), which says that it cannot be read.
    const bool inIndex = row <= store_.recordCount();
    VariableRecord record;
    bool haveRecord = false;
    if (fields_.label) {
        // A label is a line of the text file: where the scan found no place
        // in it, it cannot hold the text.
        bool test = true;
        if (scanned_ && inIndex) {
            record = store_.recordAt(row);
            haveRecord = true;
            test = mayHold(record.labelRef, 1, labelHint_);
        }
        if (test) {
            const Decision d = decide(list_.rowLabel(row));
            if (d != Decision::NoOccurrence)
                return d == Decision::Pass ? MatchField::Label : MatchField::None;
        }
    }
    if (!fields_.description && !fields_.category)
        return MatchField::None;
    if (!haveRecord) {
        if (inIndex) {
            record = store_.recordAt(row);
        } else {
            if (!store_.readRecord(row))
                return MatchField::None;
            record = store_.record();
        }
    }
    if (fields_.description) {
        if (record.descriptionLineCount <= longBlockLines) {
            if (!scanned_ || mayHold(record.descriptionRef, record.descriptionLineCount, descriptionHint_) ||
                noticePossible(record.descriptionLineCount)) {
                const Decision d = decide(descriptionText(store_, record));
                if (d != Decision::NoOccurrence)
                    return d == Decision::Pass ? MatchField::Description : MatchField::None;
            }
        } else if (!scanned_ || mayHold(record.descriptionRef, record.descriptionLineCount, descriptionHint_)) {
            // A long description decides only by a passing occurrence.
            if (descriptionDecision(record.descriptionRef, record.descriptionLineCount) == Decision::Pass)
                return MatchField::Description;
        }
    }
    if (fields_.category) {
        const TextRef ref = record.categoryRef;
        const std::uint32_t lines = record.categoryLineCount;
        if (scanned_ && !mayHold(ref, lines, categoryHint_))
            return MatchField::None;
        return categoryDecision(ref, lines) == Decision::Pass ? MatchField::Category : MatchField::None;
    }
    return MatchField::None;
}

// A description of more than 800 lines, searched window by window in its
// stored form (line ends and fillers included). Each window is searched only
// as far as the description reaches: the stored bytes after its last line
// belong to other texts of the codebook, and an occurrence there says nothing
// about this variable.
Search::Decision Search::descriptionDecision(const TextRef& ref, std::uint32_t lines)
{
    const auto bytes = store_.textBytes();
    const std::uint64_t end = blockEnd(ref.offset(), lines);
    Decision decision = Decision::NoOccurrence;
    store_.forEachBlockWindow(ref, lines, [&](std::span<const std::uint8_t> window) {
        const auto start = static_cast<std::uint64_t>(window.data() - bytes.data());
        if (start >= end)
            return false;
        const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(window.size(), end - start));
        const std::string_view text(reinterpret_cast<const char*>(window.data()), length);
        decision = decide(text);
        return decision == Decision::NoOccurrence;
    });
    return decision;
}

Search::Decision Search::categoryDecision(const TextRef& ref, std::uint32_t lines)
{
    Decision decision = Decision::NoOccurrence;
    if (lines <= longBlockLines) {
        // The lines run on without a separator, so an occurrence may span
        // two of them; but a label at the end of one line is a whole word
        // although the next line's code follows it directly.
        joined_.clear();
        lineStarts_.clear();
        store_.readLines(ref, lines, LineVariant::JoinedText, [&](std::string_view line) {
            lineStarts_.push_back(joined_.size());
            joined_ += line;
            return true;
        });
        return decide(joined_, lineStarts_);
    }
    store_.readLines(ref, lines, LineVariant::LineSearch, [&](std::string_view line) {
        decision = decide(line);
        return decision == Decision::NoOccurrence;
    });
    return decision;
}

std::uint64_t Search::blockEnd(std::uint64_t start, std::uint32_t lines) const
{
    const auto bytes = store_.textBytes();
    std::uint64_t p = start;
    for (std::uint32_t k = 0; k < lines && p < bytes.size(); ++k) {
        const void* hit = std::memchr(bytes.data() + p, textbyte::lineEnd, bytes.size() - p);
        if (!hit)
            return bytes.size();
        p = static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - bytes.data()) + 1;
    }
    return std::min<std::uint64_t>(p, bytes.size());
}

bool Search::mayHold(const TextRef& ref, std::uint32_t lines, std::size_t& hint) const
{
    if (lines == 0)
        return false;
    const std::uint64_t start = ref.offset();
    const std::uint64_t anchor = scan_.firstAnchorFrom(start, hint);
    if (anchor == UINT64_MAX)
        return false;
    // No stored line is longer than the longest one, so the block ends
    // before start + lines × longest.
    if (anchor - start >= static_cast<std::uint64_t>(lines) * scan_.longestLine())
        return false;
    // The anchor lies inside the block when fewer than `lines` line ends
    // come before it.
    const auto bytes = store_.textBytes();
    std::uint64_t p = start;
    for (std::uint32_t k = 0; k < lines; ++k) {
        const void* hit = std::memchr(bytes.data() + p, textbyte::lineEnd, anchor - p);
        if (!hit)
            return true;
        p = static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - bytes.data()) + 1;
    }
    return false;
}

// The display text of a description gets the over-long notice only when it
// passes the size limit; each line adds at most its stored bytes and CR LF.
std::uint32_t Search::longestDescription()
{
    const auto index = store_.indexBytes();
    if (index.data() != longestOf_ || index.size() != longestOfSize_) {
        longestDescription_ = 0;
        for (std::uint32_t k = 1; k <= store_.recordCount(); ++k)
            longestDescription_ = std::max<std::uint32_t>(longestDescription_, store_.recordAt(k).descriptionLineCount);
        longestOf_ = index.data();
        longestOfSize_ = index.size();
    }
    return longestDescription_;
}

bool Search::noticePossible(std::uint32_t lines) const
{
    return static_cast<std::uint64_t>(lines) * (scan_.longestLine() + 2) > descriptionTextLimit;
}

} // namespace qavn
