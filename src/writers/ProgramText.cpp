// Names, strings, codes, locations and comments of the generated programs,
// made safe for each language.

#include "writers/ProgramText.h"

#include "platform/Latin1.h"
#include "platform/Strings.h"

namespace qavn {

namespace {

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 32 || byte == 127;
}

// Whether `next` after `previous` would make a Stata comment mark: "//"
// (and "///", which joins the next line), "/*" or "*/".
bool breaksStataComment(char previous, char next)
{
    return (previous == '/' && (next == '/' || next == '*')) || (previous == '*' && next == '/');
}

// Stata keeps str1 ... str2045 for its string types.
bool stataStringType(std::string_view name)
{
    if (name.size() < 4 || name.substr(0, 3) != "str")
        return false;
    for (const char c : name.substr(3))
        if (!isDigit(c))
            return false;
    return true;
}

} // namespace

const NameRules& NameRules::of(ProgramLanguage language)
{
    // Names the program itself gives (ID, the identifier) are taken by the
    // writers; these are the words each language keeps for itself. SAS and
    // SPSS programs of this design keep names within 8 characters.
    static const NameRules sas{"V", "_", "", {"_N_", "_ERROR_", "_INFILE_", "_IORC_", "_CMD_", "_MSG_", "_NUMERIC_",
                                             "_CHARACTER_", "_ALL_", "_TEMPORARY_", "_NULL_", "_DATA_", "_LAST_"},
                               nullptr, false, 8};
    static const std::vector<std::string_view> spssWords{"ALL", "AND", "BY",  "EQ", "GE", "GT", "LE",
                                                         "LT",  "NE",  "NOT", "OR", "TO", "WITH"};
    static const NameRules spss{"V", "@", ".@#$", spssWords, nullptr, false, 8};
    static const NameRules pspp{"V", "@", ".@#$", spssWords, nullptr, false, 64};
    static const NameRules stata{"v", "", "", {"_all", "_b", "byte", "_coef", "_cons", "double", "float", "if",
                                               "in", "int", "long", "_n", "_N", "_pi", "_pred", "_rc", "_skip",
                                               "str", "strL", "using", "with", "ID_", "qavn_value"},
                                 stataStringType, true, 32};
    static const NameRules r{"v_", "", "", {"if", "else", "repeat", "while", "function", "for", "next", "break",
                                            "TRUE", "FALSE", "NULL", "Inf", "NaN", "NA", "NA_integer_", "NA_real_",
                                            "NA_complex_", "NA_character_", "in", "d", "T", "F"},
                             nullptr, true, 0};
    switch (language) {
    case ProgramLanguage::Sas:
        return sas;
    case ProgramLanguage::Spss:
        return spss;
    case ProgramLanguage::Pspp:
        return pspp;
    case ProgramLanguage::Stata:
        return stata;
    case ProgramLanguage::R:
        break;
    }
    return r;
}

std::string identifierFor(std::string_view name, const NameRules& rules, std::vector<std::string>& taken)
{
    std::string base;
    for (const char c : name) {
        const bool kept = isLetter(c) || isDigit(c) || c == '_' || rules.innerCharacters.find(c) != std::string_view::npos;
        base += kept ? c : '_';
    }
    if (base.empty() || !(isLetter(base[0]) || rules.firstCharacters.find(base[0]) != std::string_view::npos))
        base.insert(0, rules.prefix);
    if (base.back() == '.')
        base.back() = '_';
    if (rules.maxLength > 0 && base.size() > rules.maxLength)
        base.resize(rules.maxLength);
    auto same = [&](std::string_view a, std::string_view b) {
        return rules.caseMatters ? a == b : upperAscii(a) == upperAscii(b);
    };
    auto used = [&](const std::string& candidate) {
        if (rules.reservedForm && rules.reservedForm(candidate))
            return true;
        for (const std::string_view word : rules.reserved)
            if (same(word, candidate))
                return true;
        for (const std::string& other : taken)
            if (same(other, candidate))
                return true;
        return false;
    };
    std::string result = base;
    for (int k = 2; used(result); ++k) {
        const std::string suffix = "_" + std::to_string(k);
        std::string stem = base;
        if (rules.maxLength > 0 && stem.size() + suffix.size() > rules.maxLength)
            stem.resize(rules.maxLength > suffix.size() ? rules.maxLength - suffix.size() : 1);
        result = stem + suffix;
    }
    taken.push_back(result);
    return result;
}

std::string quoted(std::string_view text)
{
    std::string result;
    result.reserve(text.size() + 2);
    result += '\'';
    for (const char c : text) {
        result += isControl(c) ? ' ' : c;
        if (c == '\'')
            result += '\'';
    }
    result += '\'';
    return result;
}

std::optional<std::string_view> codeLiteral(std::string_view code)
{
    if (code.empty())
        return std::nullopt;
    if (code.size() >= 2 && code.front() == '\'' && code.back() == '\'') {
        const std::string_view inside = code.substr(1, code.size() - 2);
        for (std::size_t i = 0; i < inside.size(); ++i) {
            if (isControl(inside[i]))
                return std::nullopt;
            if (inside[i] == '\'') {
                if (i + 1 >= inside.size() || inside[i + 1] != '\'')
                    return std::nullopt;
                ++i;
            }
        }
        return code;
    }
    for (const char c : code)
        if (!(isLetter(c) || isDigit(c) || c == '.' || c == '+' || c == '-' || c == '_' || c == ' '))
            return std::nullopt;
    return code;
}

std::string distinctLabel(const std::string& label, std::string_view code, std::set<std::string>& used)
{
    std::string result = label;
    if (used.count(result) != 0) {
        const std::string base = label + " (" + std::string(trimmed(code)) + ")";
        result = base;
        for (int k = 2; used.count(result) != 0; ++k)
            result = base + " " + std::to_string(k);
    }
    used.insert(result);
    return result;
}

std::string locationLiteral(std::string_view location)
{
    std::string text(location);
    for (char& c : text)
        if (!isDigit(c) && c != '-')
            c = ' ';
    return text;
}

std::string commentText(std::string_view text, ProgramLanguage language)
{
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        const char kept = isControl(c) ? ' ' : c;
        if (language == ProgramLanguage::Stata && !result.empty() && breaksStataComment(result.back(), kept))
            result += ' ';
        result += kept;
    }
    return result;
}

std::string stataCompoundText(std::string_view latin1)
{
    std::string text;
    text.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        const char kept = isControl(c) || (byte >= 0x80 && byte < 0xA0) ? ' ' : c;
        if (!text.empty() && ((text.back() == '"' && kept == '\'') || (text.back() == '`' && kept == '"') ||
                              breaksStataComment(text.back(), kept)))
            text += ' ';
        text += kept;
    }
    std::string escaped;
    for (const char c : latin1ToUtf8(text)) {
        if (c == '`' || c == '$' || c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

} // namespace qavn
