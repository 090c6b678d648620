// The codes of category lines read as values.

#include "codebook/CategoryCode.h"

#include "platform/Strings.h"

namespace qavn {

bool isQuotedCode(std::string_view code)
{
    code = trimmed(code);
    return code.size() >= 2 && code.front() == '\'' && code.back() == '\'';
}

std::string categoryCodeValue(std::string_view code)
{
    code = trimmed(code);
    if (!isQuotedCode(code))
        return std::string(code);
    code = code.substr(1, code.size() - 2);
    std::string value;
    value.reserve(code.size());
    for (std::size_t i = 0; i < code.size(); ++i) {
        value += code[i];
        if (code[i] == '\'' && i + 1 < code.size() && code[i + 1] == '\'')
            ++i;
    }
    return value;
}

bool isReservedCategory(std::string_view code, std::string_view label)
{
    code = trimmed(code);
    label = trimmed(label);
    return code.size() == 2 && code[0] == '-' && code[1] >= '1' && code[1] <= '9' && !label.empty() &&
           label.front() == '{';
}

bool isBlankMissingCode(std::string_view code)
{
    code = trimmed(code);
    if (code == ".")
        return true;
    return code.size() == 2 && code[0] == '.' &&
           ((code[1] >= 'a' && code[1] <= 'z') || (code[1] >= 'A' && code[1] <= 'Z'));
}

} // namespace qavn
