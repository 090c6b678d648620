#pragma once

// Writing codebook files from readable variable descriptions (tools and tests).

#include "codebook/VariableRecord.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

// What one variable of a codebook holds, in readable form.
struct VariableSpec {
    std::string name; // at most 8 characters are stored
    std::uint16_t fileNumber = 1;
    std::uint8_t recordNumber = 1;
    std::string location; // for example "6-7"; at most 9 characters are stored
    char typeCode = ' ';
    std::string label;
    std::string section;
    std::vector<std::string> description;
    // Variable number (1-based) whose description block this variable points
    // at instead of a block of its own; 0 for its own `description`.
    std::uint32_t sharesDescriptionOf = 0;
    // Category lines, fields separated by the byte 0xDC (see categoryLine()).
    std::vector<std::string> categories;
};

// code, frequency, percent and label joined by 0xDC.
std::string categoryLine(std::string_view code, std::string_view frequency, std::string_view percent,
                         std::string_view label);

// The percent of a category line: 100 × count / total with `decimals`
// decimals, rounded half up ("12.5"); zero when total is 0.
std::string percentText(std::uint64_t count, std::uint64_t total, int decimals = 1);

// Encodes a codebook into its index file and text file. Texts are written in
// variable order: label, section title (a title equal to the previous
// variable's is not written again; both point at one line), description,
// categories. Used by tests and tools to make projects.
class CodebookWriter {
public:
    struct Files {
        std::vector<std::uint8_t> index;
        std::vector<std::uint8_t> text;
    };

    // Encodes the variable at once (memory grows with the files, not with
    // the specs). Returns the variable's number.
    std::uint32_t add(const VariableSpec& variable);
    std::size_t size() const { return descriptionRefs_.size(); }

    // Puts a 0xFF filler byte after every `every` bytes of text inside lines
    // (0 for none), for the variables added from now on; readers must ignore
    // them.
    void setFillerEvery(std::size_t every) { fillerEvery_ = every; }

    const Files& build() const { return files_; }

    // Writes the text file <dir>/<prefix>02.CDC while variables are added,
    // so that memory holds the index only; call before the first add().
    // build().text then holds just the bytes not yet written, and
    // writeFiles() with the same folder and prefix completes both files.
    // Returns false with `error` set when the file cannot be created.
    bool streamText(const std::filesystem::path& dir, std::string_view prefix, std::string& error);
    // Bytes of text so far, written or not.
    std::uint64_t textSize() const { return streamed_ + files_.text.size(); }

    // Writes <dir>/<prefix>01.CDC and <dir>/<prefix>02.CDC (host paths).
    // Returns false with `error` set when a file cannot be written.
    bool writeFiles(const std::filesystem::path& dir, std::string_view prefix, std::string& error);

private:
    void appendLine(std::string_view line);
    void flushText();

    Files files_;
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> stream_; // the text file while streaming
    std::filesystem::path streamPath_;
    std::uint64_t streamed_ = 0;
    bool streamFailed_ = false;
    std::vector<TextRef> descriptionRefs_;
    std::vector<std::uint16_t> descriptionCounts_;
    std::string previousSection_;
    bool haveSection_ = false;
    TextRef sectionRef_;
    std::size_t fillerEvery_ = 0;
};

} // namespace qavn
