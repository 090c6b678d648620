#pragma once

// Streams a raw fixed-column data file line by line through one fixed buffer.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

// Streams a raw fixed-column data file line by line through one fixed buffer.
//
// A line is the bytes up to and including its line feed (a carriage return
// before it stays part of the line), or the bytes after the last line feed
// when the file does not end with one. The file is read with large read()
// calls into the buffer; the only bytes kept are those of the current case
// (the lines taken with `keep` since the last beginCase()) and the bytes not
// yet consumed, so memory does not grow with the file.
//
// Views returned by caseLine() stay valid until the next nextLine() or
// beginCase().
class RawDataReader {
public:
    // Longest line, line-end characters included.
    static constexpr std::size_t maxLineLength = 14999;
    // Small enough for the processor's cache to hold: the system's copy of
    // the file into it and the reading of its lines then stay in the cache.
    static constexpr std::size_t defaultCapacity = std::size_t{256} << 10;
    // Bytes after the end of every line that may be read (never used as
    // data), so that short values can be copied in fixed-size blocks.
    static constexpr std::size_t tailPadding = 32;

    enum class Status { Ok, End, TooLong, ReadError };

    // `capacity` is the buffer size; it grows by itself when one case needs
    // more (which only very long cases do).
    explicit RawDataReader(std::size_t capacity = defaultCapacity);
    ~RawDataReader();
    RawDataReader(const RawDataReader&) = delete;
    RawDataReader& operator=(const RawDataReader&) = delete;

    // Opens a file (not a directory) for reading; false with `error` set
    // otherwise.
    bool open(const std::filesystem::path& path, std::string& error);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Forgets the lines of the previous case.
    void beginCase();

    // Consumes the next line. With `keep` it becomes caseLine(caseLineCount()
    // - 1). End: no line is left. TooLong: the next line holds more than
    // maxLineLength characters (nothing is consumed). ReadError: the system
    // failed to read; errorText() tells why.
    Status nextLine(bool keep);

    std::size_t caseLineCount() const { return kept_.size(); }
    std::string_view caseLine(std::size_t i) const
    {
        return {buffer_.data() + caseStart_ + kept_[i].offset, kept_[i].length};
    }
    // The data of caseLine(i): the line without its line end (every CR and
    // LF at its end). A field reaching into the line end lies beyond the
    // line, so no value ever carries CR or LF. Readers that cut many fields
    // from a line take this once per line.
    std::string_view caseText(std::size_t i) const
    {
        std::string_view line = caseLine(i);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.remove_suffix(1);
        return line;
    }

    // Lines consumed so far; after TooLong, the number of the line refused
    // is lineNumber() + 1.
    std::uint64_t lineNumber() const { return lineNumber_; }

    // How many lines the file holds when every line has the same length, as
    // the raw data of a fixed-column file does: its first and its last line
    // are that long and the file's size is a multiple of it. 0 when that is
    // not so or not known (a pipe, an empty file). Worked out by open()
    // from the two ends of the file, without reading the rest.
    std::uint64_t evenLineCount() const { return evenLines_; }
    // The number of cases of `linesPerCase` lines each in such a file; 0 when
    // the line count is not known or not a whole number of cases.
    std::uint64_t evenCaseCount(std::int32_t linesPerCase) const
    {
        if (linesPerCase <= 0 || evenLines_ % static_cast<std::uint64_t>(linesPerCase) != 0)
            return 0;
        return evenLines_ / static_cast<std::uint64_t>(linesPerCase);
    }
    const std::string& errorText() const { return error_; }

private:
    struct Span {
        std::size_t offset; // from caseStart_
        std::size_t length;
    };

    // Makes at least maxLineLength + 1 unconsumed bytes available unless the
    // file ends first. False on a read error.
    bool fill();

    int fd_ = -1;
    std::vector<char> buffer_;
    std::size_t caseStart_ = 0; // bytes before it may be discarded
    std::size_t position_ = 0;  // next unconsumed byte
    std::size_t end_ = 0;       // end of the bytes read
    bool eof_ = false;
    std::vector<Span> kept_;
    std::uint64_t lineNumber_ = 0;
    std::uint64_t evenLines_ = 0;
    std::string error_;
};

} // namespace qavn
