// What a reader of a data set delivers to the import, and the table of the
// kinds of data set the import reads.
#pragma once

#include "project/ProjectMetadata.h"

#include <cstdint>
#include <filesystem>
#include <functional>
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
    DisplayFormat display; // what `format` means (displayFormatOf in the source's conventions)
    // Decimals a source declares as implied in its data (DDI dcml): the raw
    // data keep at least that many. -1 when the source declares none.
    int declaredDecimals = -1;
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
    // Every file a pass reads (the data set, a catalogue, a codebook and its
    // data file), so that the import never writes over or around one.
    virtual std::vector<std::filesystem::path> files() const { return {path()}; }
    // The data set's own title (a file label, a study title); empty when it
    // has none. Known after the first pass.
    virtual std::string title() const { return {}; }
    // The encoding of its text as the source declares or as found
    // ("UTF-8", "windows-1252"); empty when unknown. Known after the first pass.
    virtual std::string encoding() const { return {}; }
    // The number of cases the source declares beside its data (DDI
    // caseQnty); -1 when it declares none.
    virtual std::int64_t declaredCases() const { return -1; }
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

using SourceReaders = std::vector<std::unique_ptr<SourceReader>>;

// Asked now and then while a source opens (a DDI codebook is read whole
// then) with the part of its file read, from 0 to 1; false stops the
// opening, which then returns no reader and an empty error. May be empty.
using OpenProgress = std::function<bool(double read)>;

// One kind of data set the import reads. Everything that names the kinds
// (the readers, qavn-import's help, the launcher qavn-open, the desktop
// entry and the MIME package) comes from the table importKinds(), so a new
// kind is one entry there and its reader.
struct ImportKind {
    std::string_view name;        // "sav": the kind's word in messages and in the metadata file
    std::string_view description; // "SPSS system file"
    std::vector<std::string_view> extensions; // ".sav", ".zsav": lower case, matched in any case
    std::string_view help;        // its part of qavn-import's help
    // A second file the kind takes after a colon, FILE.EXT:OTHER ("a
    // catalogue of value labels"); empty when it takes none.
    std::string_view companion;
    std::string_view mimeType;    // the desktop's name for it; empty when none
    std::string_view mimeComment; // set when QAVN's MIME package defines the type (the shared database lacks it)
    std::string_view mimeRootXml; // "NAMESPACE LOCALNAME" of an XML kind, for the package's rule
    // The readers of a file of this kind, one per data file it describes;
    // none with `error` set (naming the file, the place and the reason) when
    // it cannot be read, or empty when `progress` stopped it. `companion`
    // may be empty.
    SourceReaders (*open)(const std::filesystem::path& file, const std::filesystem::path& companion,
                          const OpenProgress& progress, std::string& error);
};
const std::vector<ImportKind>& importKinds();

// The kind a file name ends like, or nullptr.
const ImportKind* importKindOf(const std::filesystem::path& path);

// The kinds as a list for messages: ".sav, .zsav, .por, ... (DDI .xml)".
std::string importKindList();

// The readers for a source named on the command line: "FILE", or
// "FILE.EXT:OTHER" for a kind that takes a companion (a SAS data set and its
// catalogue, a DDI codebook and its data file). The kind comes from the
// file's ending, in any letter case. One reader per data file: a DDI
// codebook may describe several, and is read here to find them, asking
// `progress`). Returns none with `error` set for an ending it does not know
// or a source that cannot be opened, or with `error` empty when `progress`
// stopped it.
SourceReaders openSources(std::string_view argument, std::string& error, const OpenProgress& progress = {});

// The kind of a source argument as openSources() splits it, or nullptr.
const ImportKind* importKindOfArgument(std::string_view argument);
// The file of a source argument, without the companion after its colon.
std::filesystem::path sourceFileOfArgument(std::string_view argument);

} // namespace qavn
