// One variable as the published codebooks show it, read from the open codebook.

#include "publish/CodebookEntries.h"

#include "catalogue/VariableList.h"
#include "codebook/CodebookStore.h"
#include "export/AccessExport.h"
#include "platform/HostPath.h"
#include "platform/Strings.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "writers/WriterDriver.h"

#include <charconv>
#include <cmath>
#include <filesystem>

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

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// A number as the shortest text that reads back as it.
std::string numberText(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

} // namespace

std::optional<ProjectMetadata> readPublishedMetadata(const WriterServices& services)
{
    if (services.project.filePrefix.empty())
        return std::nullopt;
    const std::string name = services.settings.resourceDir + "\\" + metadataFileName(services.project.filePrefix);
    const std::filesystem::path host = toHostPath(name);
    std::error_code ec;
    if (!std::filesystem::exists(host, ec))
        return std::nullopt;
    auto read = readMetadataFile(host, name);
    if (!read)
        return std::nullopt;
    return std::move(read).value();
}

std::vector<std::string> declaredMissingTexts(const VariableMetadata& variable)
{
    std::vector<std::string> texts;
    for (const MissingValue& missing : variable.missing) {
        std::string text;
        switch (missing.kind) {
        case MissingValue::Kind::Code:
            text = variable.isText ? "'" + missing.text + "'" : numberText(missing.low);
            break;
        case MissingValue::Kind::Range:
            text = (std::isinf(missing.low) ? std::string("LOWEST") : numberText(missing.low)) + " thru " +
                   (std::isinf(missing.high) ? std::string("HIGHEST") : numberText(missing.high));
            break;
        case MissingValue::Kind::Tagged:
            text = std::string(".") + missing.tag;
            break;
        }
        if (!missing.label.empty())
            text += " (" + missing.label + ")";
        texts.push_back(std::move(text));
    }
    return texts;
}

bool isDeclaredMissing(const VariableMetadata& variable, std::string_view code)
{
    code = trimmed(code);
    if (variable.isText) {
        if (code.size() >= 2 && code.front() == '\'' && code.back() == '\'')
            code = code.substr(1, code.size() - 2);
        for (const MissingValue& missing : variable.missing)
            if (missing.kind == MissingValue::Kind::Code && utf8AsLatin1(missing.text) == code)
                return true;
        return false;
    }
    for (const MissingValue& missing : variable.missing)
        if (missing.kind == MissingValue::Kind::Tagged && code.size() == 2 && code[0] == '.' &&
            (code[1] == missing.tag || code[1] == asciiLower(missing.tag)))
            return true;
    double value = 0;
    const auto [end, ec] = std::from_chars(code.data(), code.data() + code.size(), value);
    if (ec != std::errc() || end != code.data() + code.size())
        return false;
    for (const MissingValue& missing : variable.missing)
        if (missing.kind != MissingValue::Kind::Tagged && value >= missing.low && value <= missing.high)
            return true;
    return false;
}

std::string validUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = byte(i);
        std::size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
                                                                    : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        std::uint32_t code = length == 1 ? c : length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) {
                length = 0;
                break;
            }
            code = (code << 6) | (byte(i + k) & 0x3F);
        }
        const bool shortest = length != 3 || code >= 0x800;
        const bool scalar = (code < 0xD800 || code > 0xDFFF) && code <= 0x10FFFF && (length != 4 || code >= 0x10000);
        if (length == 0 || !shortest || !scalar) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

std::string utf8AsLatin1(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        const bool whole = i + length <= utf8.size();
        if (length == 2 && whole && c <= 0xC3 && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80)
            out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
        else
            out += '?';
        i += whole ? length : utf8.size() - i;
    }
    return out;
}

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
    entry.metadata = metadata_ ? metadata_->variable(entry.name) : nullptr;

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
                            category.missing = isReservedCode(category.code, category.label) ||
                                               (entry.metadata && isDeclaredMissing(*entry.metadata, category.code));
                            return true;
                        });
    }
    return true;
}

} // namespace qavn
