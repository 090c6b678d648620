#pragma once

// What the generated programs (SAS, SPSS, PSPP, Stata, R) write of the texts
// a codebook and a project bring: names valid in each language, and labels,
// codes, locations, paths and comments that can end no statement, string or
// comment of the program around them. A codebook or a data set often comes
// from someone else; nothing in it may run as a command when the user runs
// the program.

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

enum class ProgramLanguage { Sas, Spss, Pspp, Stata, R };

// What a variable name may be in a language.
struct NameRules {
    std::string_view prefix;          // put before a name that does not start as the language wants
    std::string_view firstCharacters; // allowed first besides ASCII letters
    std::string_view innerCharacters; // allowed after the first besides letters, digits and '_'
    std::vector<std::string_view> reserved;
    bool (*reservedForm)(std::string_view) = nullptr; // reserved names of a pattern (Stata's str#)
    bool caseMatters = true;
    std::size_t maxLength = 0; // 0: no limit

    static const NameRules& of(ProgramLanguage language);
};

// `name` made a valid name by `rules`: characters the language does not take
// become underscores, a name that does not start as it wants gets the
// prefix, a name ending in a period gets an underscore for it, and a name
// that is reserved or already in `taken` (letter case as the rules say) ends
// in "_2", "_3", ... with the name cut to keep within maxLength. A valid name
// that is neither reserved nor taken is returned as it is. The name returned
// is added to `taken`.
std::string identifierFor(std::string_view name, const NameRules& rules, std::vector<std::string>& taken);

// `text` between apostrophes with every apostrophe inside it doubled and
// every control character (below 32, and 127) blanked, so that no label can
// end the string or the line: the string literal of SAS and SPSS syntax.
std::string quoted(std::string_view text);

// A category code as the SAS, SPSS and PSPP value labels write it: the code
// as it stands when it is a plain value (letters, digits, '.', '+', '-',
// '_' and blanks, so that a range such as "1 - 99" stays as the codebook
// writes it) or a whole quoted literal ('AL', 'O''NEIL'); nothing for any
// other text, which no value of the data can be and which could end the
// statement.
std::optional<std::string_view> codeLiteral(std::string_view code);

// The label of one value of a variable, distinct from the labels its other
// values have: readers of Stata files (pandas) refuse a variable whose value
// labels repeat. A label an earlier value of the variable took (in `used`)
// gets the code in parentheses after it ("Don't know (98)"), and a number
// after that while it is still taken. The label returned is added to `used`.
std::string distinctLabel(const std::string& label, std::string_view code, std::set<std::string>& used);

// A location text ("6-7", "15") with anything but digits, '-' and blanks
// blanked, for the input statements.
std::string locationLiteral(std::string_view location);

// The text of a one-line comment: control characters blanked; for Stata also
// "//", "/*" and "*/" broken apart, so the comment neither joins the next
// line nor opens a block comment.
std::string commentText(std::string_view text, ProgramLanguage language);

// Latin-1 text for between Stata's compound double quotes: control
// characters (also 128-159) blanked, the macro characters ` and $ and the
// backslash escaped, and a pair that would close or open a compound string
// ("' and `") or make a comment mark ("//", "/*", "*/") parted by a blank;
// returned as UTF-8.
std::string stataCompoundText(std::string_view latin1);

} // namespace qavn
