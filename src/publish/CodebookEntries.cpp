// One variable as the published codebooks show it, read from the open codebook.

#include "publish/CodebookEntries.h"

#include "catalogue/VariableList.h"
#include "codebook/CodebookStore.h"
#include "export/AccessExport.h"
#include "platform/Strings.h"
#include "writers/WriterDriver.h"

namespace qavn {

namespace {

bool isReservedCode(std::string_view code, std::string_view label)
{
    return code.size() == 2 && code[0] == '-' && code[1] >= '1' && code[1] <= '9' && !label.empty() &&
           label.front() == '{';
}

void assignTrimmed(std::string& out, std::string_view text)
{
    text = trimmed(text);
    out.assign(text.data(), text.size());
}

} // namespace

std::string VariableEntry::typeText() const
{
    switch (typeCode) {
    case ' ':
        return "categorical";
    case 'A':
        return "alphanumeric";
    case '0':
        return "numeric";
    default:
        break;
    }
    if (decimals() == 1)
        return "numeric, 1 implied decimal";
    if (decimals() > 1)
        return "numeric, " + std::to_string(decimals()) + " implied decimals";
    return "type " + std::string(1, typeCode);
}

std::string VariableEntry::missingText() const
{
    std::string text;
    for (std::size_t i = 0; i < categoryCount; ++i) {
        if (!categories[i].missing)
            continue;
        if (!text.empty())
            text += ", ";
        text += categories[i].code;
    }
    return text;
}

bool EntryReader::read(std::uint32_t n, VariableEntry& entry)
{
    CodebookStore& store = services_.store;
    if (!store.readRecord(n))
        return false;
    const VariableRecord record = store.record();
    entry.number = n;
    assignTrimmed(entry.name, record.variableName());
    assignTrimmed(entry.label, services_.list.rowLabel(n));
    entry.file = record.fileNumber;
    entry.line = record.recordNumber;
    assignTrimmed(entry.location, record.locationText());
    const ColumnRange range = parseColumnLocation(entry.location);
    entry.firstColumn = range.first;
    entry.lastColumn = range.last;
    entry.typeCode = record.typeCode;

    // Sections as Next Section walks them: a new one where the title
    // changes; records pointing at the same stored line share it unread.
    entry.startsSection = false;
    const std::uint32_t sectionRef = record.sectionRef.offset();
    if (sectionRef != sectionRef_ || section_ == 0) {
        assignTrimmed(line_, store.readLine(record.sectionRef));
        if (section_ == 0 || line_ != sectionTitle_) {
            ++section_;
            sectionTitle_ = line_;
            entry.startsSection = true;
        }
        sectionRef_ = sectionRef;
    }
    entry.section = section_;
    entry.sectionTitle = sectionTitle_;

    const std::uint32_t descriptionRef = record.descriptionRef.offset();
    entry.sharesDescription = record.descriptionLineCount > 0 && descriptionRef == descriptionRef_;
    entry.description.clear();
    entry.descriptionLines = 0;
    std::size_t kept = 0;
    std::uint32_t keptLines = 0;
    store.readLines(record.descriptionRef, record.descriptionLineCount, LineVariant::DisplayText,
                    [&](std::string_view line) {
                        if (entry.descriptionLines > 0)
                            entry.description += '\n';
                        while (!line.empty() && isSpace(line.back()))
                            line.remove_suffix(1);
                        entry.description += line;
                        ++entry.descriptionLines;
                        if (!trimmed(line).empty()) {
                            kept = entry.description.size();
                            keptLines = entry.descriptionLines;
                        }
                        return true;
                    });
    entry.description.resize(kept);
    entry.descriptionLines = keptLines;
    if (record.descriptionLineCount > 0)
        descriptionRef_ = descriptionRef;

    entry.categoryCount = 0;
    if (record.categoryLineCount > 0) {
        store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                        [&](std::string_view line) {
                            const CategoryFields fields = splitCategoryLine(line);
                            if (entry.categoryCount == entry.categories.size())
                                entry.categories.emplace_back();
                            CategoryEntry& category = entry.categories[entry.categoryCount++];
                            assignTrimmed(category.code, fields.code);
                            assignTrimmed(category.frequency, fields.frequency);
                            assignTrimmed(category.percent, fields.percent);
                            assignTrimmed(category.label, fields.label);
                            category.missing = isReservedCode(category.code, category.label);
                            return true;
                        });
    }
    return true;
}

} // namespace qavn
