// The text the description window shows for a variable, which the search also
// searches.

#include "codebook/DescriptionText.h"

#include "codebook/CodebookStore.h"
#include "platform/Strings.h"

namespace qavn {

std::string descriptionNotice(std::string_view name, std::uint32_t lineCount, std::uint32_t shownLines)
{
    std::string notice = "\r\n????????????????????\r\n\r\n";
    notice += "Sorry, Cannot Display Any More ! \r\nData is Too Big to be Displayed on This Window. \r\n";
    notice += "This Variable(";
    notice += name;
    notice += ") Has " + std::to_string(lineCount) + " Lines of Description. \r\nSo Far, " +
              std::to_string(shownLines) + " Lines Are Displayed.\r\n";
    // The window reports what it left out as a signed count; the reader never
    // delivers more lines than asked for, so it is never negative.
    notice += std::to_string(static_cast<long long>(lineCount) - static_cast<long long>(shownLines)) +
              " Lines of Description Cannot be Displayed.\r\n";
    notice += "Use Output Option to Check All Description.\r\n";
    notice += "\r\n????????????????????";
    return notice;
}

std::string descriptionText(CodebookStore& store, const VariableRecord& record)
{
    // The record may be the store's current record, which later store calls
    // overwrite: take what is needed first.
    const TextRef ref = record.descriptionRef;
    const std::uint32_t count = record.descriptionLineCount;
    const std::string name(record.variableName());

    std::string text;
    std::uint32_t shown = 0;
    bool tooLong = false;
    store.readLines(ref, count, LineVariant::DisplayText, [&](std::string_view line) {
        text += line;
        text += "\r\n";
        ++shown;
        if (text.size() > descriptionTextLimit) {
            tooLong = true;
            return false;
        }
        return true;
    });
    if (tooLong)
        text += descriptionNotice(name, count, shown);
    return text;
}

std::string descriptionJoined(CodebookStore& store, const VariableRecord& record)
{
    std::string description;
    std::size_t kept = 0;
    store.readLines(record.descriptionRef, record.descriptionLineCount, LineVariant::DisplayText,
                    [&](std::string_view line) {
                        description += line;
                        while (!description.empty() && (description.back() == ' ' || description.back() == '\r'))
                            description.pop_back();
                        if (!trimmed(line).empty())
                            kept = description.size();
                        description += '\n';
                        return true;
                    });
    description.resize(kept);
    return description;
}

} // namespace qavn
