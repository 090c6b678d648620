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

// The first p in [p, end) where p[0] is a0 or a1 and p[1] is b0 or b1, or
// where p[0] is `stopByte`, or nullptr; p[1] may lie at `end`, which must be
// readable.
const char* findPairOrByte(const char* p, const char* end, char a0, char a1, char b0, char b1, char stopByte)
{
#if defined(__SSE2__)
    const __m128i va0 = _mm_set1_epi8(a0);
    const __m128i va1 = _mm_set1_epi8(a1);
    const __m128i vb0 = _mm_set1_epi8(b0);
    const __m128i vb1 = _mm_set1_epi8(b1);
    const __m128i vs = _mm_set1_epi8(stopByte);
    for (; end - p >= 16; p += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        const __m128i first = _mm_or_si128(_mm_cmpeq_epi8(x, va0), _mm_cmpeq_epi8(x, va1));
        const __m128i second = _mm_or_si128(_mm_cmpeq_epi8(y, vb0), _mm_cmpeq_epi8(y, vb1));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_and_si128(first, second), _mm_cmpeq_epi8(x, vs)));
        if (mask)
            return p + std::countr_zero(static_cast<unsigned>(mask));
    }
#endif
    for (; p < end; ++p) {
        if (((p[0] == a0 || p[0] == a1) && (p[1] == b0 || p[1] == b1)) || p[0] == stopByte)
            return p;
    }
    return nullptr;
}

// The index of the pair of neighbouring bytes of `literal` (at least two
// bytes) likely rarest in codebook text.
std::size_t rarestPair(std::string_view literal)
{
    auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(literal[i]); };
    std::size_t anchor = 0;
    for (std::size_t i = 1; i + 1 < literal.size(); ++i) {
        if (commonness(byteAt(i)) + commonness(byteAt(i + 1)) <
            commonness(byteAt(anchor)) + commonness(byteAt(anchor + 1)))
            anchor = i;
    }
    return anchor;
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
    const std::size_t anchor = rarestPair(literal);
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

// Whether a plain word can be looked for in the stored bytes themselves,
// without a translated copy: it has at least two bytes and none that,
// compared without regard to case, could meet a line end, a separator or a
// filler.
bool searchableInPlace(const Query::Term& term)
{
    if (!term.plainWord || term.literal.size() < 2)
        return false;
    for (const char c : term.literal) {
        const auto u = static_cast<unsigned char>(c);
        if (u == textbyte::lineEnd || u == textbyte::fieldSeparator || u == textbyte::filler ||
            u == foldTable[textbyte::lineEnd] || u == foldTable[textbyte::fieldSeparator])
            return false;
    }
    return true;
}

// A word byte of the stored text as it reads once translated: line ends and
// separators are none.
bool storedWordByte(unsigned char c)
{
    return c != textbyte::lineEnd && c != textbyte::fieldSeparator && isQueryWordByte(c);
}

// Where the line holding `at` starts and where it ends in stored bytes as
// translate() makes lines of them: a line end or a newline ends a line.
std::size_t storedLineStart(const char* text, std::size_t at)
{
    const auto* a = static_cast<const char*>(memrchr(text, static_cast<char>(textbyte::lineEnd), at));
    const std::size_t floor = a ? static_cast<std::size_t>(a - text) + 1 : 0;
    const auto* b = static_cast<const char*>(memrchr(text + floor, '\n', at - floor));
    return b ? static_cast<std::size_t>(b - text) + 1 : floor;
}

std::size_t storedLineEnd(const char* text, std::size_t size, std::size_t at)
{
    const auto* a = static_cast<const char*>(std::memchr(text + at, static_cast<char>(textbyte::lineEnd), size - at));
    const std::size_t reach = a ? static_cast<std::size_t>(a - text) : size;
    const auto* b = static_cast<const char*>(std::memchr(text + at, '\n', reach - at));
    return b ? static_cast<std::size_t>(b - text) : reach;
}

// Looks for the plain word `term` (searchableInPlace) in the stored bytes
// text[0, size) as scanLines() looks for it in their translated copy, and
// appends the line of each match to `out` (offsets from `base`). Returns
// false, leaving `out` to be cut back by the caller, when it meets a filler:
// the chunk must then be translated.
bool scanWordInPlace(const Query::Term& term, const char* text, std::size_t size, std::vector<std::uint64_t>& out,
                     std::uint64_t base)
{
    const char fill = static_cast<char>(textbyte::filler);
    auto noFiller = [&](std::size_t from, std::size_t to) {
        return from >= to || std::memchr(text + from, fill, to - from) == nullptr;
    };
    const std::string_view literal = term.literal;
    const std::size_t n = literal.size();
    if (size < n)
        return noFiller(0, size);
    const std::size_t anchor = rarestPair(literal);
    const char a0 = literal[anchor];
    const char a1 = static_cast<char>(upperOf(static_cast<unsigned char>(a0)));
    const char b0 = literal[anchor + 1];
    const char b1 = static_cast<char>(upperOf(static_cast<unsigned char>(b0)));
    // The pair is looked for at [from + anchor, stop); the bytes outside
    // that range are checked for fillers apart.
    const std::size_t stop = size - n + anchor + 1;
    if (!noFiller(stop, size))
        return false;
    std::size_t from = 0;
    while (from + anchor < stop) {
        if (!noFiller(from, from + anchor))
            return false;
        const char* q = findPairOrByte(text + from + anchor, text + stop, a0, a1, b0, b1, fill);
        if (q == nullptr)
            return true;
        if (*q == fill)
            return false;
        const std::size_t at = static_cast<std::size_t>(q - text) - anchor;
        const std::size_t end = at + n;
        std::size_t k = 0;
        while (k < n && foldTable[static_cast<unsigned char>(text[at + k])] == static_cast<unsigned char>(literal[k]))
            ++k;
        if (k < n) {
            from = at + 1;
            continue;
        }
        if (end < size && text[end] == fill)
            return false;
        if ((term.wordStart && at > 0 && storedWordByte(static_cast<unsigned char>(text[at - 1]))) ||
            (term.wordEnd && end < size && storedWordByte(static_cast<unsigned char>(text[end])))) {
            from = at + 1;
            continue;
        }
        out.push_back(base + storedLineStart(text, at));
        // The rest of the line adds nothing, fillers or not.
        from = storedLineEnd(text, size, at) + 1;
    }
    return noFiller(from, stop);
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
                       FunctionRef<bool()>, FunctionRef<void(int)> progress)
{
    *this = QueryIndex();
    list_ = &list;
    store_ = &store;
    rows_ = list.rowCount();
    records_ = store.isOpen() ? std::min(store.recordCount(), rows_) : 0;
    if (project) {
        for (const DataFileEntry& file : project->dataFiles)
            fileNames_.push_back(file.fileTitle);
    }
    built_ = true;
    progress(100);
    return true;
}

namespace {

// The name and label of a row text, as rowName() and rowLabel() give them:
// the first 8 characters without surrounding blanks, and what follows the
// 9th.
std::string_view nameOf(std::string_view text)
{
    return trimmed(text.substr(0, std::min<std::size_t>(8, text.size())));
}

std::string_view labelOf(std::string_view text)
{
    return text.size() > 9 ? text.substr(9) : text.substr(text.size());
}

// Where the `lines`-th line end from `start` lies, plus one: the end of a
// block of that many lines (the end of the file when it ends first).
std::uint64_t blockEnd(std::span<const std::uint8_t> bytes, std::uint64_t start, std::uint32_t lines)
{
    const std::uint8_t* d = bytes.data();
    const std::uint64_t size = bytes.size();
    std::uint64_t p = std::min(start, size);
    std::uint32_t left = lines;
#if defined(__SSE2__)
    const __m128i lineEnd = _mm_set1_epi8(static_cast<char>(textbyte::lineEnd));
    const __m128i zero = _mm_setzero_si128();
    constexpr std::uint64_t prefetchAhead = 4096;
    // 64 bytes at a time: their line ends are summed in the vector unit
    // (no population count, which this build's instruction set lacks), and
    // only the 64 bytes that hold the block's last line end are looked at
    // one line end at a time.
    while (left > 0 && size - p >= 64) {
        // The blocks are read in the order of their starts, the first read
        // of these bytes from memory: asking a page ahead keeps the reads
        // going across page bounds.
        if (size - p >= prefetchAhead)
            _mm_prefetch(reinterpret_cast<const char*>(d + p + prefetchAhead), _MM_HINT_T0);
        const __m128i e0 = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + p)), lineEnd);
        const __m128i e1 = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + p + 16)), lineEnd);
        const __m128i e2 = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + p + 32)), lineEnd);
        const __m128i e3 = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + p + 48)), lineEnd);
        const __m128i perByte = _mm_sub_epi8(_mm_sub_epi8(zero, _mm_add_epi8(e0, e1)), _mm_add_epi8(e2, e3));
        const __m128i sums = _mm_sad_epu8(perByte, zero);
        const auto found = static_cast<std::uint32_t>(_mm_cvtsi128_si32(sums)) +
                           static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
        if (found < left) {
            left -= found;
            p += 64;
            continue;
        }
        const std::uint64_t ends =
            static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(e0)) |
                                       (static_cast<std::uint32_t>(_mm_movemask_epi8(e1)) << 16)) |
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(e2)) |
                                        (static_cast<std::uint32_t>(_mm_movemask_epi8(e3)) << 16))
             << 32);
        std::uint64_t rest = ends;
        for (; left > 1; --left)
            rest &= rest - 1;
        return p + static_cast<std::uint64_t>(std::countr_zero(rest)) + 1;
    }
    while (left > 0 && size - p >= 32) {
        const __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + p));
        const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + p + 16));
        const std::uint32_t ends = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x0, lineEnd))) |
                                   (static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x1, lineEnd))) << 16);
        // Lines are longer than 32 bytes as a rule, so the line ends here
        // are counted one by one (no population count, which this build's
        // instruction set lacks).
        for (std::uint32_t rest = ends; rest != 0; rest &= rest - 1) {
            if (--left == 0)
                return p + static_cast<std::uint64_t>(std::countr_zero(rest)) + 1;
        }
        p += 32;
    }
#endif
    for (; left > 0 && p < size; --left) {
        const void* hit = std::memchr(d + p, textbyte::lineEnd, size - p);
        p = hit ? static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - d) + 1 : size;
    }
    return p;
}

} // namespace

bool QueryIndex::makeBlockStartsReady(FunctionRef<bool()> keepGoing)
{
    if (startsReady_)
        return true;
    // A stop leaves the rows made so far; the next call goes on from there.
    const auto bytes = store_->textBytes();
    descriptions_.resize(rows_);
    categories_.resize(rows_);
    for (std::uint32_t r = startsMade_ + 1; r <= records_; ++r) {
        if (r % rowsBetweenPolls == 0 && !keepGoing()) {
            startsMade_ = r - 1;
            return false;
        }
        const VariableRecord record = store_->recordAt(r);
        const auto place = [&](Block& block, TextRef ref, std::uint32_t lines) {
            block.start = static_cast<std::uint32_t>(std::min<std::uint64_t>(ref.offset(), bytes.size()));
            block.extent = lines;
        };
        place(descriptions_[r - 1], record.descriptionRef, record.descriptionLineCount);
        place(categories_[r - 1], record.categoryRef, record.categoryLineCount);
    }
    startsMade_ = records_;
    auto orderOf = [&](const std::vector<Block>& blocks, std::vector<std::uint32_t>& order) {
        order.clear();
        const auto byStart = [](const Block& a, const Block& b) { return a.start < b.start; };
        if (std::is_sorted(blocks.begin(), blocks.end(), byStart))
            return;
        order.resize(blocks.size());
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return byStart(blocks[a], blocks[b]); });
    };
    orderOf(descriptions_, descriptionOrder_);
    orderOf(categories_, categoryOrder_);
    startsReady_ = true;
    return true;
}

void QueryIndex::findBlockEnds(std::uint64_t before)
{
    const auto bytes = store_->textBytes();
    const auto findEnds = [&](std::vector<Block>& blocks, const std::vector<std::uint32_t>& order,
                              std::size_t& made) {
        const std::size_t count = order.empty() ? blocks.size() : order.size();
        for (; made < count; ++made) {
            Block& block = blocks[order.empty() ? made : order[made]];
            if (block.start >= before)
                break;
            block.extent = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(blockEnd(bytes, block.start, block.extent) - block.start, UINT32_MAX));
        }
    };
    findEnds(descriptions_, descriptionOrder_, descriptionEndsMade_);
    findEnds(categories_, categoryOrder_, categoryEndsMade_);
}

void QueryIndex::makeSectionsReady()
{
    if (sectionsReady_)
        return;
    const auto bytes = store_->textBytes();
    section_.assign(rows_, 0);
    sectionTitles_.clear();
    // Sections as Next Section walks them: a new one where the title
    // changes; rows pointing at the same stored line share it unread.
    std::uint64_t sectionRef = UINT64_MAX;
    std::string sectionTitle;
    for (std::uint32_t r = 1; r <= records_; ++r) {
        const std::uint64_t ref = store_->recordAt(r).sectionRef.offset();
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
    sectionsReady_ = true;
}

const QueryIndex::Lines& QueryIndex::linesOf(std::uint8_t field)
{
    Lines& lines = field == queryfield::name ? nameLines_ : labelLines_;
    if (lines.ready)
        return lines;
    lines.text.clear();
    lines.starts.clear();
    lines.starts.reserve(std::size_t{rows_} + 1);
    for (std::uint32_t r = 1; r <= rows_; ++r) {
        const std::string_view text = list_->rowText(r);
        lines.starts.push_back(lines.text.size());
        const std::size_t at = lines.text.size();
        lines.text += field == queryfield::name ? nameOf(text) : labelOf(text);
        // A name or label is one line, whatever bytes it holds.
        std::replace(lines.text.begin() + static_cast<std::ptrdiff_t>(at), lines.text.end(), '\n', ' ');
        lines.text += '\n';
    }
    lines.starts.push_back(lines.text.size());
    lines.ready = true;
    return lines;
}

// A term with a word to look for, in the names or labels read in place: the
// word is looked for in all the row texts at once, and each place found is
// taken only when it lies wholly inside the field of its row, a field being
// one line as in the lines of linesOf().
void QueryIndex::scanRows(const Query::Term& term, std::uint8_t fields, std::vector<std::uint64_t>& bits) const
{
    if (rows_ == 0)
        return;
    const std::string_view all = list_->rowTexts();
    const char* const base = all.data();
    const std::size_t size = all.size();
    const std::size_t n = term.literal.size();
    // Rows of a list not filled as far as its row count have no text.
    auto rowStart = [&](std::uint32_t r) {
        const std::string_view text = r > rows_ ? std::string_view() : list_->rowText(r);
        return text.data() ? static_cast<std::size_t>(text.data() - base) : size;
    };
    // A match counts inside one field of the row (the name comes before
    // the label); both fields of a term set the same bit, so the row texts
    // are read once for both.
    std::array<std::string_view, 2> values;
    std::size_t valueCount = 0;
    std::uint32_t row = 1;
    std::size_t nextStart = rowStart(2);
    std::string line;
    std::size_t pos = 0;
    while (pos < size) {
        const std::size_t found = findFolded(base + pos, size - pos, term.literal);
        if (found == std::string_view::npos)
            break;
        const std::size_t at = pos + found;
        while (at >= nextStart && row < rows_) {
            ++row;
            nextStart = rowStart(row + 1);
        }
        const std::string_view text = list_->rowText(row);
        if (!text.data())
            break;
        valueCount = 0;
        if (fields & queryfield::name)
            values[valueCount++] = nameOf(text);
        if (fields & queryfield::label)
            values[valueCount++] = labelOf(text);
        pos = nextStart;
        for (std::size_t v = 0; v < valueCount; ++v) {
            const std::string_view value = values[v];
            const std::size_t b = static_cast<std::size_t>(value.data() - base);
            const std::size_t e = b + value.size();
            if (at < b) {
                pos = b;
                break;
            }
            if (at >= e)
                continue;
            if (at + n > e) {
                pos = at + 1;
                break;
            }
            if (term.plainWord) {
                // Every occurrence counts: one that fails the word rule
                // leaves the rest of the field to be looked at.
                if ((term.wordStart && at > b && isQueryWordByte(static_cast<unsigned char>(base[at - 1]))) ||
                    (term.wordEnd && at + n < e && isQueryWordByte(static_cast<unsigned char>(base[at + n])))) {
                    pos = at + 1;
                    break;
                }
                setBit(bits, row - 1);
            } else {
                re2::StringPiece piece(value.data(), value.size());
                if (value.find('\n') != std::string_view::npos) {
                    line.assign(value);
                    std::replace(line.begin(), line.end(), '\n', ' ');
                    piece = re2::StringPiece(line);
                }
                if (re2::RE2::PartialMatch(piece, *term.regex)) {
                    setBit(bits, row - 1);
                } else if (v + 1 < valueCount) {
                    pos = e;
                    break;
                }
            }
            break;
        }
    }
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
                                  std::vector<LineHits>& hits, FunctionRef<bool()> keepGoing)
{
    const auto bytes = store_->textBytes();
    std::vector<char> buffer;
    std::vector<std::uint32_t> dropped;
    // Plain words are looked for in the mapped bytes in place; other terms,
    // and plain words in a chunk that holds fillers, in a translated copy.
    std::vector<std::size_t> inPlace;
    std::vector<std::size_t> copied;
    for (const std::size_t t : terms)
        (searchableInPlace(query.terms()[t]) ? inPlace : copied).push_back(t);
    std::vector<std::size_t> translated;
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
        // The ends of the blocks that start in this chunk are found while
        // its bytes are read anyway: they are then in the cache for the
        // search below, and the text file is read from memory once.
        if (!blocksReady_)
            findBlockEnds(end);
        translated = copied;
        for (const std::size_t t : inPlace) {
            const std::size_t before = hits[t].size();
            if (!scanWordInPlace(query.terms()[t], reinterpret_cast<const char*>(bytes.data() + start),
                                 static_cast<std::size_t>(end - start), hits[t], start)) {
                hits[t].resize(before);
                translated.push_back(t);
            }
        }
        if (!translated.empty()) {
            if (buffer.empty())
                buffer.resize(2 * chunkBytes + 16);
            dropped.clear();
            const std::size_t size =
                translate(bytes.data() + start, static_cast<std::size_t>(end - start), buffer.data(), dropped);
            scanLines(query, translated, buffer.data(), size, hits, start, &dropped);
        }
        start = end;
        if (!keepGoing())
            return false;
    }
    if (!blocksReady_) {
        findBlockEnds(UINT64_MAX);
        blocksReady_ = true;
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
    const std::size_t count = order.empty() ? blocks.size() : order.size();
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t index = order.empty() ? k : order[k];
        const Block& block = blocks[index];
        if (block.extent == 0)
            continue;
        while (h < hits.size() && hits[h] < block.start)
            ++h;
        if (h == hits.size())
            break;
        if (hits[h] < block.end())
            setBit(bits, index);
    }
}

bool QueryIndex::matchesTitle(const Query::Term& term, const std::string& title) const
{
    return re2::RE2::PartialMatch(title, *term.regex);
}

QueryMatches QueryIndex::evaluate(const Query& query)
{
    QueryMatches matches;
    evaluate(query, matches, [] { return true; });
    return matches;
}

bool QueryIndex::evaluate(const Query& query, QueryMatches& matches, FunctionRef<bool()> keepGoing)
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
        if (section)
            makeSectionsReady();
        const std::size_t count = section ? sectionTitles_.size() : fileNames_.size();
        std::vector<std::uint8_t> chosen(count + 1, 0);
        for (std::size_t k = 1; k <= count; ++k)
            chosen[k] = term.number ? term.number == k
                                    : matchesTitle(term, section ? sectionTitles_[k - 1] : fileNames_[k - 1]);
        for (std::uint32_t r = 0; r < records_; ++r) {
            const std::size_t k = section ? section_[r] : list_->rowInfo(r + 1).fileNumber;
            if (k <= count && chosen[k])
                setBit(termBits[t], r);
        }
    }

    std::vector<LineHits> hits(terms.size());
    // A field's line ends count as blanks: a literal with a blank could run
    // across one, so it is looked for in the lines; any other literal in the
    // row texts, once for both fields.
    auto inRows = [&](std::size_t t) {
        const std::string& literal = terms[t].literal;
        return !literal.empty() && literal.find(' ') == std::string::npos;
    };
    for (const std::size_t t : nameTerms) {
        if (inRows(t))
            scanRows(terms[t], terms[t].fields & (queryfield::name | queryfield::label), termBits[t]);
    }
    for (const std::size_t t : labelTerms) {
        if (inRows(t) && !(terms[t].fields & queryfield::name))
            scanRows(terms[t], queryfield::label, termBits[t]);
    }
    for (const std::uint8_t field : {queryfield::name, queryfield::label}) {
        for (const std::size_t t : field == queryfield::name ? nameTerms : labelTerms) {
            if (inRows(t)) {
                continue;
            } else {
                const Lines& lines = linesOf(field);
                const std::size_t one[] = {t};
                scanLines(query, one, lines.text.data(), lines.text.size(), hits, 0, nullptr);
                markLines(hits[t], lines.starts, termBits[t]);
                hits[t].clear();
            }
        }
        if (!keepGoing())
            return false;
    }
    if (!textTerms.empty()) {
        if (!makeBlockStartsReady(keepGoing))
            return false;
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
