#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

// One value of a data set as a source delivers it. Texts are UTF-8.
struct SourceValue {
    enum class Kind { Number, Text, SystemMissing, TaggedMissing };
    Kind kind = Kind::SystemMissing;
    double number = 0;
    std::string_view text;
    char tag = 0; // the letter of a tagged missing value (Stata .a, SAS .A)
};

// A labelled value: a number or a text, or a tagged missing value.
struct SourceValueLabel {
    bool isText = false;
    double number = 0;
    std::string text;
    char tag = 0; // non-zero for the label of a tagged missing value
    std::string label;
};

// A user-defined missing value or range (lo == hi for a single value).
struct SourceMissing {
    bool isText = false;
    double low = 0;
    double high = 0;
    std::string text;
};

struct SourceVariable {
    std::string name;
    std::string label;
    std::string format; // as the source writes it ("F8.2", "%9.0g", "BEST12."), may be empty
    bool isText = false;
    std::size_t storageWidth = 0; // bytes of a text variable as stored; 0 when unknown
    std::vector<SourceValueLabel> labels;
    std::vector<SourceMissing> missing;
    std::string section; // the codebook section; empty: the source's own
};

// Receives one pass over a source: the variables once, then every value of
// every case, variable by variable, each case closed by endCase(). A false
// return stops the pass; the receiver then holds the reason.
class SourceVisitor {
public:
    virtual ~SourceVisitor() = default;
    virtual bool variables(const std::vector<SourceVariable>& variables) = 0;
    virtual bool value(std::size_t variable, const SourceValue& value) = 0;
    virtual bool endCase() = 0;
};

// A data set to read, one pass at a time. Each pass delivers the same
// variables and values; the vector handed to variables() is the same one on
// every pass and stays valid while the reader lives (unless the file changed
// between passes: then it differs in size), so a visitor may keep pointers
// into it. Returns false with `error` naming the file, the
// place (line, case or byte) and the reason; a pass stopped by the visitor
// returns false with `error` empty.
class SourceReader {
public:
    virtual ~SourceReader() = default;
    virtual bool pass(SourceVisitor& visitor, std::string& error) = 0;
    virtual const std::filesystem::path& path() const = 0;
    // Further lines of the description of variable `index` ("Question:
    // ..."), asked for when the codebook is written so that long texts need
    // not stay in memory. Returns false with `error` set when they cannot be
    // read.
    // How much of the pass at hand is read, from 0 to 1 (0 when not known).
    virtual double fraction() const { return 0; }
    virtual bool details(std::size_t index, std::vector<std::string>& lines, std::string& error)
    {
        (void)index;
        (void)error;
        lines.clear();
        return true;
    }
};

// The readers for a source named on the command line: "FILE" or, for SAS,
// "FILE.sas7bdat:FILE.sas7bcat", for DDI "FILE.xml" or "FILE.xml:DATA". The
// kind comes from the file's ending (.sav, .zsav, .por, .dta, .sas7bdat,
// .xpt, .csv, .xml for a DDI codebook, any letter case). One reader per data
// file: a DDI codebook may describe several, and is read here to find them.
// Returns none with `error` set for an ending it does not know or a codebook
// that cannot be read.
std::vector<std::unique_ptr<SourceReader>> openSources(std::string_view argument, std::string& error);

// Whether `path` ends like a file openSources() reads.
bool isSourceFile(const std::filesystem::path& path);

} // namespace qavn
