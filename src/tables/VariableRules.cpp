// What the raw fields and category codes of one variable mean: their value,
// their label, and whether they are missing.

#include "tables/VariableRules.h"

#include "codebook/CategoryCode.h"
#include "codebook/CodebookStore.h"
#include "platform/Strings.h"
#include "project/ProjectMetadata.h"
#include "verify/ValueTally.h"

#include <algorithm>

namespace qavn {

namespace {

// UTF-8 text of the metadata as the Latin-1 of the codebook and the raw
// data; a character Latin-1 lacks becomes '?'.
std::string utf8ToLatin1(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size()) {
            out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
            i += 2;
        } else {
            out += '?';
            ++i;
            while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
                ++i;
        }
    }
    return out;
}

bool isReservedCode(std::string_view code, std::string_view label)
{
    return code.size() == 2 && code[0] == '-' && code[1] >= '1' && code[1] <= '9' && !label.empty() &&
           label.front() == '{';
}

} // namespace

VariableRules::VariableRules(std::uint32_t variable, CodebookStore& store, const ProjectMetadata* metadata)
    : variable_(variable)
{
    const VariableRecord record = store.recordAt(variable);
    name_ = std::string(record.variableName());
    typeCode_ = record.typeCode;
    label_ = std::string(trimmed(store.readLine(record.labelRef)));
    header_ = name_;
    if (const VariableMetadata* meta = metadata ? metadata->variable(name_) : nullptr) {
        header_ = meta->originalName();
        declared_ = meta->missing;
        for (const MissingValue& missing : declared_)
            if (missing.kind == MissingValue::Kind::Code && !missing.text.empty())
                declaredTexts_.emplace_back(trimmed(utf8ToLatin1(missing.text)));
    }
    store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                    [&](std::string_view line) {
                        const CategoryFields fields = splitCategoryLine(line);
                        const std::string_view code = trimmed(fields.code);
                        const std::string label(trimmed(fields.label));
                        if (!isText() && isBlankMissingCode(code)) {
                            if (!hasBlankLabel_) {
                                blankLabel_ = label;
                                hasBlankLabel_ = true;
                            }
                            return true;
                        }
                        labels_.emplace(codeKey(code), label);
                        if (isReservedCode(code, label))
                            reserved_.emplace_back(code);
                        return true;
                    });
}

TableAxis VariableRules::axis() const
{
    TableAxis axis;
    axis.variable = variable_;
    axis.name = name_;
    axis.header = header_;
    axis.label = label_;
    return axis;
}

TableCategory VariableRules::category(std::string_view raw) const
{
    TableCategory category;
    const std::string_view value = trimmed(raw);
    category.code = fieldKey(value);
    if (value.empty()) {
        category.missing = !isText();
        category.label = isText() ? lookUp(value) : blankLabel_;
        return category;
    }
    category.label = lookUp(value);
    if (!isText()) {
        const bool reserved = isReserved(value);
        if (auto number = detail::numberOf(value, reserved ? 0 : decimals())) {
            category.numeric = true;
            category.number = *number;
            category.value = tableNumber(*number);
            category.reserved = reserved;
            category.missing = reserved || isDeclaredMissing(*number);
            return category;
        }
    }
    category.value = std::string(value);
    category.missing = isReserved(value) || isDeclaredMissing(value);
    return category;
}

std::optional<double> VariableRules::weight(std::string_view raw) const
{
    const std::string_view value = trimmed(raw);
    const auto number = detail::numberOf(value, decimals());
    if (!number || *number < 0 || isReserved(value) || isDeclaredMissing(*number))
        return std::nullopt;
    return number;
}

std::string VariableRules::codeKey(std::string_view code) const
{
    return fieldKey(categoryCodeValue(code));
}

std::string VariableRules::fieldKey(std::string_view value) const
{
    value = trimmed(value);
    if (!isText())
        if (auto number = detail::canonicalNumber(value))
            return *number;
    std::string key(value);
    // The codebook's text file reserves three bytes; the codebook writes
    // them as '?'.
    for (char& c : key)
        if (c == '\xDB' || c == '\xDC' || c == '\xFF')
            c = '?';
    return key;
}

bool VariableRules::codeIsMissing(std::string_view code) const
{
    code = trimmed(code);
    if (!isText() && isBlankMissingCode(code))
        return true;
    const std::string value = categoryCodeValue(code);
    if (isReserved(value))
        return true;
    if (!isText())
        if (auto number = detail::numberOf(value, decimals()))
            return isDeclaredMissing(*number);
    return isDeclaredMissing(std::string_view(value));
}

std::string VariableRules::lookUp(std::string_view value) const
{
    const auto found = labels_.find(fieldKey(value));
    return found == labels_.end() ? std::string() : found->second;
}

bool VariableRules::isReserved(std::string_view value) const
{
    return std::find(reserved_.begin(), reserved_.end(), value) != reserved_.end();
}

bool VariableRules::isDeclaredMissing(double number) const
{
    for (const MissingValue& missing : declared_) {
        if (missing.kind == MissingValue::Kind::Code && missing.text.empty() && number == missing.low)
            return true;
        if (missing.kind == MissingValue::Kind::Range && number >= missing.low && number <= missing.high)
            return true;
    }
    return false;
}

bool VariableRules::isDeclaredMissing(std::string_view text) const
{
    return std::find(declaredTexts_.begin(), declaredTexts_.end(), text) != declaredTexts_.end();
}

} // namespace qavn
