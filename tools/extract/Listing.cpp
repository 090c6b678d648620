#include "Extract.h"

#include "codebook/CodebookStore.h"
#include "platform/Strings.h"

#include <cstdio>
#include <string>

namespace qavn::extract {

namespace {

void printRow(const VariableList& list, std::uint32_t row)
{
    const std::string_view text = list.rowText(row);
    std::printf("%u\t%.*s\n", row, static_cast<int>(text.size()), text.data());
}

void printField(const char* key, std::string_view value)
{
    std::printf("%s: %.*s\n", key, static_cast<int>(value.size()), value.data());
}

} // namespace

void printList(const Context& context)
{
    for (std::uint32_t row = 1; row <= context.list.rowCount(); ++row)
        printRow(context.list, row);
}

void printListTagged(const Context& context)
{
    std::uint32_t found = 0;
    for (std::uint32_t row = 1; row <= context.list.rowCount() && found < context.list.tagCount(); ++row) {
        if (context.list.isTagged(row)) {
            printRow(context.list, row);
            ++found;
        }
    }
}

bool printShow(Context& context, std::uint32_t variable)
{
    CodebookStore& store = context.session.store;
    if (!store.readRecord(variable))
        return false;
    const VariableRecord record = store.record();
    printField("name", record.variableName());
    std::printf("fileNumber: %u\n", record.fileNumber);
    std::printf("recordNumber: %u\n", record.recordNumber);
    printField("location", record.locationText());
    printField("typeCode", std::string_view(&record.typeCode, 1));
    printField("label", store.readLine(record.labelRef));
    printField("section", store.readLine(record.sectionRef));
    std::printf("descriptionLineCount: %u\n", record.descriptionLineCount);
    std::printf("categoryLineCount: %u\n", record.categoryLineCount);
    std::printf("description:\n");
    store.readLines(record.descriptionRef, record.descriptionLineCount, LineVariant::DisplayText,
                    [](std::string_view line) {
                        std::printf("%.*s\n", static_cast<int>(line.size()), line.data());
                        return true;
                    });
    std::printf("categories:\n");
    store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                    [](std::string_view line) {
                        const CategoryFields f = splitCategoryLine(line);
                        std::printf("%.*s\t%.*s\t%.*s\t%.*s\n", static_cast<int>(f.code.size()), f.code.data(),
                                    static_cast<int>(f.frequency.size()), f.frequency.data(),
                                    static_cast<int>(f.percent.size()), f.percent.data(),
                                    static_cast<int>(f.label.size()), f.label.data());
                        return true;
                    });
    return true;
}

bool tagFromList(Context& context, const std::string& text)
{
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t comma = std::min(text.find(',', pos), text.size());
        const std::string item(trimmed(std::string_view(text).substr(pos, comma - pos)));
        const std::size_t dash = item.find('-', 1);
        bool okLow = false;
        bool okHigh = true;
        const long low = leadingInteger<long>(item.substr(0, dash), &okLow);
        long high = low;
        if (dash != std::string::npos)
            high = leadingInteger<long>(item.substr(dash + 1), &okHigh);
        const bool clean = item.find_first_not_of("0123456789-") == std::string::npos;
        if (!okLow || !okHigh || !clean || low < 1 || high < low) {
            std::fprintf(stderr, "qavn-extract: bad variable list item '%s'\n", item.c_str());
            return false;
        }
        // Numbers outside the catalogue tag nothing, as tagging does.
        for (long n = low; n <= high && n <= static_cast<long>(context.list.rowCount()); ++n)
            context.list.tagRow(static_cast<std::uint32_t>(n));
        pos = comma + 1;
    }
    return true;
}

} // namespace qavn::extract
