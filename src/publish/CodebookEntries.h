#pragma once

// One variable as the published codebooks show it (the HTML site and the
// xlsx data dictionary): its record, texts, section and category lines, read
// once from the open codebook, with what the project's metadata file adds.

#include "project/ProjectMetadata.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

struct WriterServices;

// The project's metadata file (<prefix>QAV.META in the resource directory)
// as the published codebooks read it: nothing when the project has none or
// it cannot be read (the project then publishes what its codebook holds, as
// it opened without it).
std::optional<ProjectMetadata> readPublishedMetadata(const WriterServices& services);

// The declared missing values of a variable, one text each (UTF-8): "-9",
// "97 thru 99", "LOWEST thru 0", ".a", "'NA'", each followed by its label in
// parentheses when it has one.
std::vector<std::string> declaredMissingTexts(const VariableMetadata& variable);

// Whether a category code (as its line writes it: a text's in apostrophes)
// is one of the variable's declared missing values.
bool isDeclaredMissing(const VariableMetadata& variable, std::string_view code);

// Text that should be UTF-8 as valid UTF-8: each byte that starts no whole,
// shortest sequence of a character becomes U+FFFD.
std::string validUtf8(std::string_view text);

// UTF-8 text as Latin-1, characters past U+00FF as '?' (for the search
// index, which compares Latin-1 words).
std::string utf8AsLatin1(std::string_view utf8);

// One category line, its fields trimmed. Texts are Latin-1, as the codebook
// holds them.
struct CategoryEntry {
    std::string code; // as the line writes it ('M' keeps its apostrophes)
    std::string frequency;
    std::string percent;
    std::string label;
    // A reserved code (-1..-9 with a label in braces, "{Refused}") or a
    // missing value the metadata file declares.
    bool missing = false;
};

// One variable. The reader reuses an entry from variable to variable, so its
// strings and vectors keep their capacity.
struct VariableEntry {
    std::uint32_t number = 0; // the variable's number in the project
    std::string name;         // blanks at the ends trimmed
    std::string label;        // trimmed
    std::uint32_t section = 0; // 1-based, counted over the variables read, as Next Section walks them
    bool startsSection = false;
    std::string sectionTitle; // trimmed
    std::uint16_t file = 0;   // data file number as the record gives it
    std::uint32_t line = 1;   // line of the case
    std::string location;     // as the record writes it ("77-80")
    std::int32_t firstColumn = 0; // 0 when the location gives no columns
    std::int32_t lastColumn = 0;
    char typeCode = ' ';
    // The description: its lines joined by '\n', trailing blanks and
    // trailing empty lines dropped. `sharesDescription` when the record
    // points at the same lines as the variable read before it.
    std::string description;
    std::uint32_t descriptionLines = 0;
    bool sharesDescription = false;
    std::vector<CategoryEntry> categories; // the first `categoryCount` are this variable's
    std::size_t categoryCount = 0;
    // What the metadata file says of the variable; nullptr when it says nothing.
    const VariableMetadata* metadata = nullptr;

    int decimals() const { return typeCode >= '1' && typeCode <= '9' ? typeCode - '0' : 0; }
    bool isText() const { return typeCode == 'A'; }
    // Columns of the field; 0 when the location gives none.
    std::int32_t width() const { return firstColumn >= 1 && lastColumn >= firstColumn ? lastColumn - firstColumn + 1 : 0; }
    // "categorical", "alphanumeric", "numeric", "numeric, 2 implied decimals".
    std::string typeText() const;
    // The missing codes among the category lines, "-1, -4".
    std::string missingText() const;
};

// Reads the entries of variables in ascending order of number (each section
// is numbered when first met, so the order matters).
class EntryReader {
public:
    // `metadata` (may be nullptr) must outlive the reader.
    EntryReader(const WriterServices& services, const ProjectMetadata* metadata)
        : services_(services), metadata_(metadata)
    {
    }

    // Reads variable `n` into `entry`. False when its record or section
    // title cannot be read (the codebook store has shown its message).
    bool read(std::uint32_t n, VariableEntry& entry);

    std::uint32_t sectionCount() const { return section_; }

private:
    const WriterServices& services_;
    const ProjectMetadata* metadata_;
    std::uint32_t section_ = 0;
    std::uint32_t sectionRef_ = UINT32_MAX;
    std::string sectionTitle_;
    std::uint32_t descriptionRef_ = UINT32_MAX;
    std::string line_;
};

} // namespace qavn
