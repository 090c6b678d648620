#pragma once

// The open codebook: the index file's records and the text file's lines, read
// through bounded windows.

#include "codebook/VariableRecord.h"
#include "platform/FunctionRef.h"
#include "platform/MappedFile.h"
#include "platform/ReadError.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qavn {

class Ui;

// How the line reader treats a block, by its user. The variants differ in the
// window cap and in what they do with the field separator byte 0xDC.
enum class LineVariant {
    ListLines,      // categories; 0xDC → TAB; frequency list of the description window
    JoinedText,     // categories; 0xDC → TAB; search in category labels
    LineSearch,     // categories; 0xDC → TAB; search in category blocks over 800 lines
    DisplayText,    // description; 0xDC kept; description window and description search
    BlockSearch,    // description; windows handed over whole; long description search
    FileEcho,       // description; 0xDC kept; codebook text writer
    CategoryFields, // categories; 0xDC kept for the consumer to split at
};

// The two codebook files of a project, open for reading.
//
// The index file holds one 47-byte record per variable; variable k is record
// k, 1-based. The text file holds every label, section title, description and
// category line, each line ended by 0xDB with 0xFF filler bytes ignored.
//
// Opening returns its failure; a record that cannot be located is reported
// through the Ui with the program's message. Views
// returned by readLine() and the lines handed to a readLines() consumer stay
// valid only until the next call on the store.
class CodebookStore {
public:
    static constexpr std::size_t blockRecords = 40;
    static constexpr std::size_t labelWindow = 100;

    explicit CodebookStore(Ui& ui) : ui_(&ui) {}
    CodebookStore(const CodebookStore&) = delete;
    CodebookStore& operator=(const CodebookStore&) = delete;

    // Opens resourceDir\<prefix>01.CDC and resourceDir\<prefix>02.CDC. Fails
    // when either cannot be opened (CannotOpen, naming that file), when the
    // index holds no whole record (Empty, with the offset where it ends),
    // more than 2^32 - 1 of them (InvalidData) or is larger than the
    // machine's physical memory, which loading its rows would need
    // (OutOfMemory); the store is then closed.
    ReadResult<void> openFiles(std::string_view resourceDir, std::string_view filePrefix);

    // The program's message for the failure of the last openFiles():
    // "Cannot Open <path>" for the index file (that did not open or holds
    // more records than can be numbered), "Cannot Open <prefix>02.CDC !" for
    // the text file, "Not Enough Memory !" for an index too large to load,
    // none (empty) for an index without whole records.
    std::string openMessage(const ReadError& error) const;

    // openFiles() with its message shown through the Ui.
    bool open(std::string_view resourceDir, std::string_view filePrefix);
    void close();
    bool isOpen() const { return index_.isOpen() && text_.isOpen(); }

    std::uint32_t recordCount() const { return recordCount_; }
    const std::string& filePrefix() const { return prefix_; }

    // The next up to 40 whole records from the index file's read position
    // into `buffer` (40 × 47 bytes); returns how many. 0 at the end.
    std::size_t readBlock(std::uint8_t* buffer);
    void rewindBlocks() { blockPosition_ = 0; }

    // Makes record k the current record. On failure shows "Cannot Locate Next
    // Record in <prefix>01.CDC File !\nPlease Restart Application." and
    // returns false; the current record is then not valid.
    bool readRecord(std::uint32_t k);
    const VariableRecord& record() const { return current_; }

    // Record k without making it current and without a message; k must lie
    // in 1..recordCount().
    VariableRecord recordAt(std::uint32_t k) const;

    // The one line at `ref`, read from a window of 100 bytes (fewer at the
    // end of the file): the bytes up to the first 0xDB with 0xFF dropped and
    // 0xDC unchanged. A line without terminator in the window gives the
    // window's bytes; a reference past the end gives an empty line.
    std::string_view readLine(TextRef ref);
    // The same line appended to `out`, without passing through the store:
    // for callers that keep the text (the list's rows). Leaves the views the
    // store handed out valid.
    void appendLine(TextRef ref, std::string& out) const;

    // readRecord(k), then readLine at its section reference into `title`.
    bool sectionTitleOf(std::uint32_t k, std::string& title);

    // Delivers up to `count` lines of the block at `ref` to `consumer`, which
    // returns false to stop. Lines come with 0xFF removed and 0xDC as the
    // variant says. The block is read through windows sized from the count
    // (80 bytes a line plus 10, capped by the variant); a window is refilled
    // from the end of the last whole line it delivered. A line that does not
    // fit in a window is delivered cut at the window's end and reading goes
    // on after it; the end of the file ends the block, delivering a last line
    // without terminator when it holds any byte. Returns the number of lines
    // delivered.
    std::uint32_t readLines(TextRef ref, std::uint32_t count, LineVariant variant,
                            FunctionRef<bool(std::string_view)> consumer);

    // The windows of the block search: each window of the block at `ref`
    // (raw stored bytes, fillers and line ends included) as the line reader
    // fills it for the BlockSearch variant, until `count` lines have been
    // passed or `consumer` returns false. Returns the number of windows.
    std::uint32_t forEachBlockWindow(TextRef ref, std::uint32_t count,
                                     FunctionRef<bool(std::span<const std::uint8_t>)> consumer);

    // The window size the line reader uses for `count` lines.
    static std::size_t windowSize(LineVariant variant, std::uint32_t count);

    // The whole text file, for readers that scan the stored bytes directly.
    std::span<const std::uint8_t> textBytes() const { return text_.bytes(); }
    // The whole index file.
    std::span<const std::uint8_t> indexBytes() const { return index_.bytes(); }

    Ui& ui() const { return *ui_; }

private:
    template <typename WindowHook, typename LineHook>
    std::uint32_t walkBlock(TextRef ref, std::uint32_t count, std::size_t window, WindowHook onWindow,
                            LineHook onLine);

    Ui* ui_;
    MappedFile index_;
    MappedFile text_;
    std::string prefix_;
    std::uint32_t recordCount_ = 0;
    std::size_t blockPosition_ = 0;
    VariableRecord current_;
    std::string line_;
};

// The four fields of a category line (code, frequency, percent, label), split
// at 0xDC; fields missing from the line are empty and text after a fourth
// separator is dropped.
struct CategoryFields {
    std::string_view code;
    std::string_view frequency;
    std::string_view percent;
    std::string_view label;
};
CategoryFields splitCategoryLine(std::string_view line, char separator = '\xDC');

} // namespace qavn
