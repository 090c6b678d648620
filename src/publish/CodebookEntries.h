#pragma once

// One variable as the published codebooks show it (the HTML site and the
// xlsx data dictionary): its record, texts, section and category lines, read
// once from the open codebook.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

struct WriterServices;

// One category line, its fields trimmed. Texts are Latin-1, as the codebook
// holds them.
struct CategoryEntry {
    std::string code; // as the line writes it ('M' keeps its apostrophes)
    std::string frequency;
    std::string percent;
    std::string label;
    bool missing = false; // a reserved code: -1..-9 with a label in braces ("{Refused}")
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
    explicit EntryReader(const WriterServices& services) : services_(services) {}

    // Reads variable `n` into `entry`. False when its record or section
    // title cannot be read (the codebook store has shown its message).
    bool read(std::uint32_t n, VariableEntry& entry);

    std::uint32_t sectionCount() const { return section_; }

private:
    const WriterServices& services_;
    std::uint32_t section_ = 0;
    std::uint32_t sectionRef_ = UINT32_MAX;
    std::string sectionTitle_;
    std::uint32_t descriptionRef_ = UINT32_MAX;
    std::string line_;
};

} // namespace qavn
