// The project maker's limits on columns and raw lines, and writing its files.

#include "ProjectFiles.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>

namespace qavn::mkproject {

namespace fs = std::filesystem;

std::optional<Columns> parseLocation(std::string_view text)
{
    auto number = [](std::string_view digits, int& out) {
        if (digits.empty() || digits.size() > 6)
            return false;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
        return ec == std::errc() && end == digits.data() + digits.size() && out >= 1;
    };
    Columns c;
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) {
        if (!number(text, c.first))
            return std::nullopt;
        c.last = c.first;
    } else if (!number(text.substr(0, dash), c.first) || !number(text.substr(dash + 1), c.last)) {
        return std::nullopt;
    }
    if (c.last < c.first)
        return std::nullopt;
    return c;
}

std::string locationText(Columns columns)
{
    return std::to_string(columns.first) + "-" + std::to_string(columns.last);
}

std::optional<std::string> badProjectId(std::string_view id)
{
    if (id.empty() || id.size() > 8)
        return "a project ID has 1 to 8 characters";
    for (char c : id)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return "a project ID holds only upper-case letters, digits and underscores";
    return std::nullopt;
}

std::optional<std::string> badVariableName(std::string_view name)
{
    if (name.empty() || name.size() > 8)
        return "a variable name has 1 to 8 characters";
    if (name[0] >= '0' && name[0] <= '9')
        return "a variable name does not start with a digit";
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
            return "a variable name holds only letters, digits and underscores";
    return std::nullopt;
}

std::optional<std::string> toCodebookText(std::string_view utf8, std::string& error)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        unsigned code = b;
        if (b >= 0x80) {
            // Only two-byte sequences can stay within U+00FF.
            if ((b & 0xE0) != 0xC0 || i + 1 >= utf8.size()) {
                error = "holds a character beyond U+00FF, which the single-byte codebook cannot store";
                return std::nullopt;
            }
            code = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3Fu);
            if (code > 0xFF) {
                error = "holds a character beyond U+00FF, which the single-byte codebook cannot store";
                return std::nullopt;
            }
        }
        if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0)) {
            error = "holds a control character";
            return std::nullopt;
        }
        if (code == 0xDB || code == 0xDC || code == 0xFF) {
            error = "holds the character U+00" + std::string(code == 0xDB ? "DB" : code == 0xDC ? "DC" : "FF") +
                    ", which the codebook text file reserves";
            return std::nullopt;
        }
        out.push_back(static_cast<char>(code));
    }
    return out;
}

} // namespace qavn::mkproject
