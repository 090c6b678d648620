// What a query searches, gathered once per project, and evaluating a query over
// it.

#include "query/QueryIndex.h"

#include "catalogue/VariableList.h"
#include "codebook/CodebookStore.h"
#include "platform/Strings.h"
#include "project/ProjectSpec.h"

#include <re2/re2.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <numeric>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qavn {

namespace {

constexpr std::array<unsigned char, 256> makeFoldTable()
{
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) {
        const bool upper = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
        t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(upper ? c + 0x20 : c);
    }
    return t;
}
constexpr std::array<unsigned char, 256> foldTable = makeFoldTable();

unsigned char upperOf(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<unsigned char>(c - 0x20);
    return c;
}

// How common a (lower-case) byte is in codebook text; the rarest byte of a
// literal is looked for first.
int commonness(unsigned char c)
{
    static constexpr std::string_view byFrequency = "etaoinsrhldcumfpgwybvkxjqz";
    const auto at = byFrequency.find(static_cast<char>(c));
    if (at != std::string_view::npos)
        return 100 - static_cast<int>(at);
    if (c >= '0' && c <= '9')
        return 60;
    if (c == ' ')
        return 110;
    return 10;
}

// The first p in [p, end) where p[0] is a0 or a1 and p[1] is b0 or b1, or
// nullptr; p[1] may lie at `end`, which must be readable.
const char* findPair(const char* p, const char* end, char a0, char a1, char b0, char b1)
{
#if defined(__SSE2__)
    const __m128i va0 = _mm_set1_epi8(a0);
    const __m128i va1 = _mm_set1_epi8(a1);
    const __m128i vb0 = _mm_set1_epi8(b0);
    const __m128i vb1 = _mm_set1_epi8(b1);
    for (; end - p >= 16; p += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        const __m128i first = _mm_or_si128(_mm_cmpeq_epi8(x, va0), _mm_cmpeq_epi8(x, va1));
        const __m128i second = _mm_or_si128(_mm_cmpeq_epi8(y, vb0), _mm_cmpeq_epi8(y, vb1));
        const int mask = _mm_movemask_epi8(_mm_and_si128(first, second));
        if (mask)
            return p + std::countr_zero(static_cast<unsigned>(mask));
    }
#endif
    for (; p < end; ++p) {
        if ((p[0] == a0 || p[0] == a1) && (p[1] == b0 || p[1] == b1))
            return p;
    }
    return nullptr;
}

// The first place of `literal` (lower-cased) in text[0, size) compared
// without regard to case, or npos. Candidates are found by the literal's
// rarest pair of neighbouring bytes.
std::size_t findFolded(const char* text, std::size_t size, std::string_view literal)
{
    const std::size_t n = literal.size();
    if (n > size || n == 0)
        return n == 0 ? 0 : std::string_view::npos;
    auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(literal[i]); };
    std::size_t anchor = 0;
    if (n == 1) {
        const char* const stop = text + size;
        const char lower = literal[0];
        const char upper = static_cast<char>(upperOf(byteAt(0)));
        for (const char* q = text; q < stop; ++q) {
            if (*q == lower || *q == upper)
                return static_cast<std::size_t>(q - text);
        }
        return std::string_view::npos;
    }
    for (std::size_t i = 1; i + 1 < n; ++i) {
        if (commonness(byteAt(i)) + commonness(byteAt(i + 1)) <
            commonness(byteAt(anchor)) + commonness(byteAt(anchor + 1)))
            anchor = i;
    }
    const char a0 = literal[anchor];
    const char a1 = static_cast<char>(upperOf(byteAt(anchor)));
    const char b0 = literal[anchor + 1];
    const char b1 = static_cast<char>(upperOf(byteAt(anchor + 1)));
    // The last place the pair can start; its second byte lies inside the
    // text.
    const char* const stop = text + (size - n) + anchor + 1;
    for (const char* q = findPair(text + anchor, stop, a0, a1, b0, b1); q != nullptr;
         q = findPair(q + 1, stop, a0, a1, b0, b1)) {
        const char* p = q - anchor;
        std::size_t k = 0;
        while (k < n && foldTable[static_cast<unsigned char>(p[k])] == static_cast<unsigned char>(literal[k]))
            ++k;
        if (k == n)
            return static_cast<std::size_t>(p - text);
    }
    return std::string_view::npos;
}

// Copies stored bytes into `out` as lines: line ends become '\n', field
// separators '\t', fillers are dropped (the translated position of each drop
// goes to `dropped`). Returns the translated length.
std::size_t translate(const std::uint8_t* in, std::size_t size, char* out, std::vector<std::uint32_t>& dropped)
{
    std::size_t i = 0;
    std::size_t o = 0;
#if defined(__SSE2__)
    const __m128i lineEnd = _mm_set1_epi8(static_cast<char>(textbyte::lineEnd));
    const __m128i separator = _mm_set1_epi8(static_cast<char>(textbyte::fieldSeparator));
    const __m128i filler = _mm_set1_epi8(static_cast<char>(textbyte::filler));
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i tab = _mm_set1_epi8('\t');
    while (size - i >= 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(x, filler)) != 0) {
            for (std::size_t k = 0; k < 16; ++k, ++i) {
                const std::uint8_t c = in[i];
                if (c == textbyte::filler)
                    dropped.push_back(static_cast<std::uint32_t>(o));
                else
                    out[o++] = c == textbyte::lineEnd ? '\n' : c == textbyte::fieldSeparator ? '\t' : static_cast<char>(c);
            }
            continue;
        }
        const __m128i isEnd = _mm_cmpeq_epi8(x, lineEnd);
        const __m128i isSep = _mm_cmpeq_epi8(x, separator);
        x = _mm_or_si128(_mm_andnot_si128(_mm_or_si128(isEnd, isSep), x),
                         _mm_or_si128(_mm_and_si128(isEnd, newline), _mm_and_si128(isSep, tab)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o), x);
        i += 16;
        o += 16;
    }
#endif
    for (; i < size; ++i) {
        const std::uint8_t c = in[i];
        if (c == textbyte::filler)
            dropped.push_back(static_cast<std::uint32_t>(o));
        else
            out[o++] = c == textbyte::lineEnd ? '\n' : c == textbyte::fieldSeparator ? '\t' : static_cast<char>(c);
    }
    return o;
}

constexpr std::size_t chunkBytes = std::size_t{1} << 20;
constexpr std::uint32_t rowsBetweenPolls = 4096;

void setBit(std::vector<std::uint64_t>& bits, std::size_t index)
{
    bits[index / 64] |= std::uint64_t{1} << (index % 64);
}

// The line at `at` of the stored text as the store's readLine gives it
// (fillers dropped, at most 100 bytes), separators as tabs.
std::string storedLine(std::span<const std::uint8_t> bytes, std::uint64_t at)
{
    std::string line;
    const std::uint64_t end = std::min<std::uint64_t>(bytes.size(), at + CodebookStore::labelWindow);
    for (std::uint64_t p = at; p < end && bytes[p] != textbyte::lineEnd; ++p) {
        if (bytes[p] == textbyte::filler)
            continue;
        line += bytes[p] == textbyte::fieldSeparator ? '\t' : static_cast<char>(bytes[p]);
    }
    return line;
}

} // namespace

std::uint32_t QueryMatches::count() const
{
    std::uint32_t n = 0;
    for (const std::uint64_t w : bits_)
        n += static_cast<std::uint32_t>(std::popcount(w));
    return n;
}

std::vector<std::uint32_t> QueryMatches::rows() const
{
    std::vector<std::uint32_t> out;
    out.reserve(count());
    for (std::size_t i = 0; i < bits_.size(); ++i) {
        for (std::uint64_t w = bits_[i]; w != 0; w &= w - 1)
            out.push_back(static_cast<std::uint32_t>(i * 64 + static_cast<std::size_t>(std::countr_zero(w)) + 1));
    }
    return out;
}

bool QueryIndex::build(const VariableList& list, const CodebookStore& store, const ProjectSpec* project)
{
    return build(list, store, project, [] { return true; }, [](int) {});
}

bool QueryIndex::build(const VariableList& list, const CodebookStore& store, const ProjectSpec* project,
                       FunctionRef<bool()> keepGoing, FunctionRef<void(int)> progress)
{
    *this = QueryIndex();
    const std::uint32_t rows = list.rowCount();
    const auto bytes = store.textBytes();
    const std::uint32_t records = store.isOpen() ? store.recordCount() : 0;

    nameStarts_.reserve(std::size_t{rows} + 1);
    labelStarts_.reserve(std::size_t{rows} + 1);
    names_.reserve(std::size_t{rows} * 9);
    descriptions_.resize(rows);
    categories_.resize(rows);
    section_.resize(rows);
    file_.resize(rows);

    // The end of the block of `lines` lines at `start`: past its last line
    // end, or the end of the file.
    auto blockOf = [&](TextRef ref, std::uint32_t lines) {
        Block block;
        block.start = std::min<std::uint64_t>(ref.offset(), bytes.size());
        std::uint64_t p = block.start;
        for (std::uint32_t k = 0; k < lines && p < bytes.size(); ++k) {
            const void* hit = std::memchr(bytes.data() + p, textbyte::lineEnd, bytes.size() - p);
            p = hit ? static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - bytes.data()) + 1
                    : bytes.size();
        }
        block.end = p;
        return block;
    };

    std::uint64_t sectionRef = UINT64_MAX;
    std::string sectionTitle;
    for (std::uint32_t r = 1; r <= rows; ++r) {
        if (r % rowsBetweenPolls == 0) {
            if (!keepGoing()) {
                *this = QueryIndex();
                return false;
            }
            progress(static_cast<int>(std::uint64_t{r} * 100 / rows));
        }
        const std::string_view text = list.rowText(r);
        const std::string_view name = trimmed(text.substr(0, std::min<std::size_t>(8, text.size())));
        nameStarts_.push_back(names_.size());
        names_ += name;
        names_ += '\n';
        labelStarts_.push_back(labels_.size());
        const std::size_t labelAt = labels_.size();
        labels_ += list.rowLabel(r);
        // A label is one line, whatever bytes it holds.
        std::replace(labels_.begin() + static_cast<std::ptrdiff_t>(labelAt), labels_.end(), '\n', ' ');
        labels_ += '\n';

        if (r > records)
            continue;
        const VariableRecord record = store.recordAt(r);
        descriptions_[r - 1] = blockOf(record.descriptionRef, record.descriptionLineCount);
        categories_[r - 1] = blockOf(record.categoryRef, record.categoryLineCount);
        file_[r - 1] = record.fileNumber;
        // Sections as Next Section walks them: a new one where the title
        // changes; rows pointing at the same stored line share it unread.
        const std::uint64_t ref = record.sectionRef.offset();
        if (ref != sectionRef) {
            std::string title = storedLine(bytes, ref);
            if (sectionTitles_.empty() || title != sectionTitle) {
                sectionTitles_.push_back(title);
                sectionTitle = std::move(title);
            }
            sectionRef = ref;
        }
        section_[r - 1] = static_cast<std::uint32_t>(sectionTitles_.size());
    }
    nameStarts_.push_back(names_.size());
    labelStarts_.push_back(labels_.size());

    auto orderOf = [&](const std::vector<Block>& blocks, std::vector<std::uint32_t>& order) {
        order.resize(blocks.size());
        std::iota(order.begin(), order.end(), 0u);
        const auto byStart = [&](std::uint32_t a, std::uint32_t b) { return blocks[a].start < blocks[b].start; };
        if (!std::is_sorted(order.begin(), order.end(), byStart))
            std::stable_sort(order.begin(), order.end(), byStart);
    };
    orderOf(descriptions_, descriptionOrder_);
    orderOf(categories_, categoryOrder_);

    if (project) {
        for (const DataFileEntry& file : project->dataFiles)
            fileNames_.push_back(file.fileTitle);
    }
    store_ = &store;
    rows_ = rows;
    built_ = true;
    progress(100);
    return true;
}

void QueryIndex::scanLines(const Query& query, std::span<const std::size_t> terms, const char* text,
                           std::size_t size, std::vector<LineHits>& hits, std::uint64_t base,
                           const std::vector<std::uint32_t>* dropped) const
{
    auto lineStart = [&](std::size_t at, std::size_t floor) {
        const void* nl = at > floor ? memrchr(text + floor, '\n', at - floor) : nullptr;
        return nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - text) + 1 : floor;
    };
    auto lineEnd = [&](std::size_t at) {
        const void* nl = std::memchr(text + at, '\n', size - at);
        return nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - text) : size;
    };
    auto record = [&](LineHits& out, std::size_t start) {
        std::uint64_t offset = base + start;
        if (dropped && !dropped->empty())
            offset += static_cast<std::uint64_t>(
                std::upper_bound(dropped->begin(), dropped->end(), static_cast<std::uint32_t>(start)) -
                dropped->begin());
        out.push_back(offset);
    };
    const std::string_view all(text, size);
    for (const std::size_t t : terms) {
        const Query::Term& term = query.terms()[t];
        LineHits& out = hits[t];
        std::size_t pos = 0;
        while (pos < size) {
            if (term.plainWord) {
                // Every occurrence counts: one that fails the word rule
                // leaves the rest of its line to be looked at.
                const std::size_t found = findFolded(text + pos, size - pos, term.literal);
                if (found == std::string_view::npos)
                    break;
                const std::size_t at = pos + found;
                const std::size_t end = at + term.literal.size();
                if ((term.wordStart && at > 0 && isQueryWordByte(static_cast<unsigned char>(text[at - 1]))) ||
                    (term.wordEnd && end < size && isQueryWordByte(static_cast<unsigned char>(text[end])))) {
                    pos = at + 1;
                    continue;
                }
                // pos need not start a line here.
                record(out, lineStart(at, 0));
                pos = lineEnd(at) + 1;
            } else if (!term.literal.empty()) {
                const std::size_t found = findFolded(text + pos, size - pos, term.literal);
                if (found == std::string_view::npos)
                    break;
                const std::size_t start = lineStart(pos + found, pos);
                const std::size_t end = lineEnd(pos + found);
                if (re2::RE2::PartialMatch(re2::StringPiece(text + start, end - start), *term.regex))
                    record(out, start);
                pos = end + 1;
            } else {
                re2::StringPiece match;
                if (!term.regex->Match(re2::StringPiece(all.data(), all.size()), pos, size, re2::RE2::UNANCHORED,
                                       &match, 1))
                    break;
                const auto at = static_cast<std::size_t>(match.data() - text);
                record(out, lineStart(at, pos));
                pos = lineEnd(at) + 1;
            }
        }
    }
}

bool QueryIndex::scanCodebookText(const Query& query, std::span<const std::size_t> terms,
                                  std::vector<LineHits>& hits, FunctionRef<bool()> keepGoing) const
{
    const auto bytes = store_->textBytes();
    std::vector<char> buffer(2 * chunkBytes + 16);
    std::vector<std::uint32_t> dropped;
    std::uint64_t start = 0;
    while (start < bytes.size()) {
        // A chunk ends after a line end, so that no line is cut; a line
        // longer than a chunk is cut.
        std::uint64_t end = std::min<std::uint64_t>(bytes.size(), start + chunkBytes);
        if (end < bytes.size()) {
            const std::size_t reach = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size() - end, chunkBytes));
            const void* hit = std::memchr(bytes.data() + end, textbyte::lineEnd, reach);
            end = hit ? static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - bytes.data()) + 1
                      : end + reach;
        }
        dropped.clear();
        const std::size_t size =
            translate(bytes.data() + start, static_cast<std::size_t>(end - start), buffer.data(), dropped);
        scanLines(query, terms, buffer.data(), size, hits, start, &dropped);
        start = end;
        if (!keepGoing())
            return false;
    }
    return true;
}

void QueryIndex::markLines(const LineHits& hits, const std::vector<std::uint64_t>& starts,
                           std::vector<std::uint64_t>& bits) const
{
    // Every line is one row's, and hits come in ascending order.
    std::size_t row = 0;
    for (const std::uint64_t hit : hits) {
        while (row + 1 < starts.size() && starts[row + 1] <= hit)
            ++row;
        if (row < rows_)
            setBit(bits, row);
    }
}

void QueryIndex::markBlocks(const LineHits& hits, const std::vector<Block>& blocks,
                            const std::vector<std::uint32_t>& order, std::vector<std::uint64_t>& bits) const
{
    std::size_t h = 0;
    for (const std::uint32_t index : order) {
        const Block& block = blocks[index];
        if (block.start >= block.end)
            continue;
        while (h < hits.size() && hits[h] < block.start)
            ++h;
        if (h == hits.size())
            break;
        if (hits[h] < block.end)
            setBit(bits, index);
    }
}

bool QueryIndex::matchesTitle(const Query::Term& term, const std::string& title) const
{
    return re2::RE2::PartialMatch(title, *term.regex);
}

QueryMatches QueryIndex::evaluate(const Query& query) const
{
    QueryMatches matches;
    evaluate(query, matches, [] { return true; });
    return matches;
}

bool QueryIndex::evaluate(const Query& query, QueryMatches& matches, FunctionRef<bool()> keepGoing) const
{
    QueryMatches result(rows_);
    if (query.empty() || !built_) {
        matches = std::move(result);
        return true;
    }
    const auto& terms = query.terms();
    const std::size_t words = result.words().size();
    std::vector<std::vector<std::uint64_t>> termBits(terms.size(), std::vector<std::uint64_t>(words, 0));

    std::vector<std::size_t> nameTerms;
    std::vector<std::size_t> labelTerms;
    std::vector<std::size_t> textTerms;
    for (std::size_t t = 0; t < terms.size(); ++t) {
        const Query::Term& term = terms[t];
        if (term.kind == Query::TermKind::Text) {
            if (term.fields & queryfield::name)
                nameTerms.push_back(t);
            if (term.fields & queryfield::label)
                labelTerms.push_back(t);
            if (term.fields & (queryfield::description | queryfield::category))
                textTerms.push_back(t);
            continue;
        }
        const bool section = term.kind == Query::TermKind::Section;
        const std::size_t count = section ? sectionTitles_.size() : fileNames_.size();
        std::vector<std::uint8_t> chosen(count + 1, 0);
        for (std::size_t k = 1; k <= count; ++k)
            chosen[k] = term.number ? term.number == k
                                    : matchesTitle(term, section ? sectionTitles_[k - 1] : fileNames_[k - 1]);
        for (std::uint32_t r = 0; r < rows_; ++r) {
            const std::size_t k = section ? section_[r] : file_[r];
            if (k <= count && chosen[k])
                setBit(termBits[t], r);
        }
    }

    std::vector<LineHits> hits(terms.size());
    if (!nameTerms.empty()) {
        scanLines(query, nameTerms, names_.data(), names_.size(), hits, 0, nullptr);
        for (const std::size_t t : nameTerms) {
            markLines(hits[t], nameStarts_, termBits[t]);
            hits[t].clear();
        }
        if (!keepGoing())
            return false;
    }
    if (!labelTerms.empty()) {
        scanLines(query, labelTerms, labels_.data(), labels_.size(), hits, 0, nullptr);
        for (const std::size_t t : labelTerms) {
            markLines(hits[t], labelStarts_, termBits[t]);
            hits[t].clear();
        }
        if (!keepGoing())
            return false;
    }
    if (!textTerms.empty()) {
        if (!scanCodebookText(query, textTerms, hits, keepGoing))
            return false;
        for (const std::size_t t : textTerms) {
            if (terms[t].fields & queryfield::description)
                markBlocks(hits[t], descriptions_, descriptionOrder_, termBits[t]);
            if (terms[t].fields & queryfield::category)
                markBlocks(hits[t], categories_, categoryOrder_, termBits[t]);
        }
    }

    // The tree, children before parents (the parser adds them so).
    const auto& nodes = query.nodes();
    std::vector<std::vector<std::uint64_t>> value(nodes.size());
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const Query::Node& node = nodes[n];
        auto& v = value[n];
        switch (node.op) {
        case Query::Op::Term:
            v = std::move(termBits[static_cast<std::size_t>(node.left)]);
            break;
        case Query::Op::Not:
            v = std::move(value[static_cast<std::size_t>(node.left)]);
            for (auto& w : v)
                w = ~w;
            if (rows_ % 64 != 0 && !v.empty())
                v.back() &= (std::uint64_t{1} << (rows_ % 64)) - 1;
            break;
        case Query::Op::And:
        case Query::Op::Or: {
            v = std::move(value[static_cast<std::size_t>(node.left)]);
            const auto& r = value[static_cast<std::size_t>(node.right)];
            for (std::size_t i = 0; i < words; ++i)
                v[i] = node.op == Query::Op::And ? (v[i] & r[i]) : (v[i] | r[i]);
            std::vector<std::uint64_t>().swap(value[static_cast<std::size_t>(node.right)]);
            break;
        }
        }
    }
    result.words() = std::move(value[static_cast<std::size_t>(query.root())]);
    matches = std::move(result);
    return true;
}

} // namespace qavn
