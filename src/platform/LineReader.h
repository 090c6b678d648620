#pragma once

// Reading a text file line by line as fgets does with a fixed buffer.

#include <cstddef>
#include <cstdio>
#include <string>

namespace qavn {

// Reads a text file line by line the way the C library's fgets does with a
// buffer of `bufferSize` bytes: one call delivers at most bufferSize − 1
// bytes, up to and including a line feed, so a longer line arrives in
// pieces. The line end stays in the text (callers trim it); a carriage
// return before the line feed is kept as well, so CR LF and LF files read
// alike once trimmed.
class LineReader {
public:
    LineReader(std::FILE* file, std::size_t bufferSize) : file_(file), bufferSize_(bufferSize) {}

    // Returns false at the end of the file (nothing read).
    bool next(std::string& line);

    // Whether the last piece delivered ended with a line feed or at the end
    // of the file, rather than being cut at the buffer size.
    bool lastWasWhole() const { return whole_; }

private:
    std::FILE* file_;
    std::size_t bufferSize_;
    bool whole_ = true;
};

// Reads one whole line however long, its line end ("\n", and a "\r" before
// it) kept, so that a blank line ("\n") is told apart from the end of the
// file, which leaves `line` empty and returns false.
bool readWholeLine(std::FILE* file, std::string& line);

} // namespace qavn
