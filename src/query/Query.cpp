// The query language's parser: a query text compiled into terms and
// the tree of AND, OR and NOT over them.

#include "query/Query.h"

#include "query/QueryFields.h"

#include <re2/re2.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <utility>

namespace qavn {

std::string QueryError::text() const
{
    return message + " at column " + std::to_string(column);
}

Query::Query() = default;
Query::~Query() = default;
Query::Query(Query&&) noexcept = default;
Query& Query::operator=(Query&&) noexcept = default;

namespace {

// The word characters as the inside of an RE2 class.
constexpr std::string_view wordClass = "0-9A-Za-z_\\x{C0}-\\x{D6}\\x{D8}-\\x{F6}\\x{F8}-\\x{FF}";

char foldLower(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7))
        return static_cast<char>(u + 0x20);
    return c;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

re2::RE2::Options regexOptions()
{
    re2::RE2::Options options;
    options.set_encoding(re2::RE2::Options::EncodingLatin1);
    options.set_case_sensitive(false);
    options.set_never_nl(true);
    options.set_log_errors(false);
    options.set_max_mem(64 << 20);
    return options;
}

// One character of a term or phrase as typed, after its escapes.
struct Piece {
    enum Kind : std::uint8_t { Char, Star, Mark, Blank } kind;
    char c = 0;
};

} // namespace

class QueryParser {
public:
    QueryParser(std::string_view text, Query& query) : text_(text), query_(query) {}

    bool run()
    {
        skipBlanks();
        if (pos_ >= text_.size())
            return true;
        const std::int32_t root = parseOr(Context{});
        if (failed_)
            return false;
        skipBlanks();
        if (pos_ < text_.size()) {
            // parseOr stops only before a ')' it does not own.
            fail("unexpected ')'", pos_);
            return false;
        }
        query_.root_ = root;
        return true;
    }

    QueryError error;

private:
    struct Context {
        Query::TermKind kind = Query::TermKind::Text;
        std::uint8_t fields = queryfield::text;
    };

    void fail(std::string message, std::size_t at)
    {
        if (failed_)
            return;
        failed_ = true;
        error.message = std::move(message);
        error.column = at + 1;
    }

    void skipBlanks()
    {
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
    }

    // The bare word at pos_ (up to a blank, parenthesis or quote) without
    // consuming it; escapes keep their backslash.
    std::string_view peekWord() const
    {
        std::size_t p = pos_;
        while (p < text_.size()) {
            const char c = text_[p];
            if (isBlank(c) || c == '(' || c == ')' || c == '"')
                break;
            if (c == '\\' && p + 1 < text_.size())
                ++p;
            ++p;
        }
        return text_.substr(pos_, p - pos_);
    }

    static bool sameWord(std::string_view a, std::string_view b)
    {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (foldLower(a[i]) != b[i])
                return false;
        }
        return true;
    }

    bool atKeyword(std::string_view keyword)
    {
        skipBlanks();
        return sameWord(peekWord(), keyword);
    }

    std::int32_t addNode(Query::Op op, std::int32_t left, std::int32_t right)
    {
        query_.nodes_.push_back({op, left, right});
        return static_cast<std::int32_t>(query_.nodes_.size() - 1);
    }

    std::int32_t parseOr(Context context)
    {
        std::int32_t left = parseAnd(context);
        while (!failed_ && atKeyword("or")) {
            const std::size_t at = pos_;
            pos_ += 2;
            skipBlanks();
            if (pos_ >= text_.size() || text_[pos_] == ')' || atKeyword("or") || atKeyword("and")) {
                fail("OR needs a term after it", at);
                return -1;
            }
            const std::int32_t right = parseAnd(context);
            left = addNode(Query::Op::Or, left, right);
        }
        return left;
    }

    std::int32_t parseAnd(Context context)
    {
        std::int32_t left = parseUnary(context);
        while (!failed_) {
            skipBlanks();
            if (pos_ >= text_.size() || text_[pos_] == ')' || atKeyword("or"))
                break;
            if (atKeyword("and")) {
                const std::size_t at = pos_;
                pos_ += 3;
                skipBlanks();
                if (pos_ >= text_.size() || text_[pos_] == ')' || atKeyword("or") || atKeyword("and")) {
                    fail("AND needs a term after it", at);
                    return -1;
                }
            }
            const std::int32_t right = parseUnary(context);
            left = addNode(Query::Op::And, left, right);
        }
        return left;
    }

    std::int32_t parseUnary(Context context)
    {
        skipBlanks();
        if (atKeyword("not")) {
            const std::size_t at = pos_;
            pos_ += 3;
            skipBlanks();
            if (pos_ >= text_.size() || text_[pos_] == ')' || atKeyword("or") || atKeyword("and")) {
                fail("NOT needs a term after it", at);
                return -1;
            }
            if (!deeper(at))
                return -1;
            const std::int32_t operand = parseUnary(context);
            --depth_;
            return addNode(Query::Op::Not, operand, -1);
        }
        if (atKeyword("or") || atKeyword("and")) {
            fail(std::string(sameWord(peekWord(), "or") ? "OR" : "AND") + " needs a term before it", pos_);
            return -1;
        }
        return parsePrimary(context);
    }

    // Groups and NOTs nest at most this deep, so that a pasted text of
    // thousands of parentheses cannot exhaust the stack.
    static constexpr int maxDepth = 200;

    bool deeper(std::size_t at)
    {
        if (++depth_ <= maxDepth)
            return true;
        fail("parentheses and NOTs nested too deeply", at);
        return false;
    }

    std::int32_t parseGroup(Context context)
    {
        const std::size_t open = pos_;
        if (!deeper(open))
            return -1;
        ++pos_;
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == ')') {
            fail("empty parentheses", open);
            return -1;
        }
        if (pos_ >= text_.size()) {
            fail("missing ')' for this '('", open);
            return -1;
        }
        const std::int32_t inner = parseOr(context);
        if (failed_)
            return -1;
        skipBlanks();
        if (pos_ >= text_.size()) {
            fail("missing ')' for this '('", open);
            return -1;
        }
        ++pos_; // the ')'
        --depth_;
        return inner;
    }

    std::int32_t parsePrimary(Context context)
    {
        skipBlanks();
        if (pos_ >= text_.size()) {
            fail("a term is missing", pos_);
            return -1;
        }
        const char c = text_[pos_];
        if (c == ')') {
            fail("unexpected ')'", pos_);
            return -1;
        }
        if (c == '(')
            return parseGroup(context);

        // A field name before a colon.
        std::size_t p = pos_;
        while (p < text_.size() && ((text_[p] >= 'a' && text_[p] <= 'z') || (text_[p] >= 'A' && text_[p] <= 'Z')))
            ++p;
        if (p > pos_ && p < text_.size() && text_[p] == ':') {
            const std::string_view field = text_.substr(pos_, p - pos_);
            const QueryField* named = findQueryField(field);
            if (!named) {
                fail("unknown field '" + std::string(field) + "' (fields: " + queryFieldNames() + ")", pos_);
                return -1;
            }
            const Context inner{named->kind, named->fields};
            const std::size_t fieldAt = pos_;
            pos_ = p + 1;
            if (pos_ >= text_.size() || isBlank(text_[pos_]) || text_[pos_] == ')') {
                fail(std::string(field) + ": needs a term after it", fieldAt);
                return -1;
            }
            if (text_[pos_] == '(')
                return parseGroup(inner);
            return parseTerm(inner);
        }
        return parseTerm(context);
    }

    // Each term holds a bit per variable while a query is evaluated.
    static constexpr std::size_t maxTerms = 500;

    std::int32_t parseTerm(Context context)
    {
        const std::size_t start = pos_;
        if (query_.terms_.size() == maxTerms) {
            fail("more than " + std::to_string(maxTerms) + " terms", start);
            return -1;
        }
        Query::Term term;
        term.kind = context.kind;
        term.fields = context.fields;
        std::string pattern;
        // Where each character of a regular expression's body was typed, for
        // the column of an error RE2 finds in it.
        std::vector<std::size_t> typedAt;
        if (text_[pos_] == '/') {
            if (!readRegex(start, pattern, term.literal, typedAt))
                return -1;
        } else {
            std::vector<Piece> pieces;
            if (text_[pos_] == '"' ? !readPhrase(start, pieces) : !readWord(pieces))
                return -1;
            if (context.kind != Query::TermKind::Text && text_[start] != '"' && !readNumber(context.kind, start, term))
                return -1;
            if (term.number == 0)
                pattern = wordTerm(pieces, term);
        }
        if (term.number == 0) {
            term.regex = std::make_unique<re2::RE2>(pattern, regexOptions());
            if (!term.regex->ok()) {
                regexFailed(*term.regex, pattern, typedAt, start);
                return -1;
            }
        }
        query_.terms_.push_back(std::move(term));
        return addNode(Query::Op::Term, static_cast<std::int32_t>(query_.terms_.size() - 1), -1);
    }

    // RE2's error in the user's terms: its text without the "(?m)" the
    // program puts in front of every pattern, at the column where the user
    // typed the part it names (the expression's first character when it
    // names the whole).
    void regexFailed(const re2::RE2& regex, const std::string& pattern, const std::vector<std::size_t>& typedAt,
                     std::size_t start)
    {
        constexpr std::string_view prefix = "(?m)";
        std::string what = regex.error();
        std::string arg = regex.error_arg();
        std::size_t at = start + 1;
        if (!arg.empty() && what.size() >= arg.size() + 2 &&
            what.compare(what.size() - arg.size() - 2, std::string::npos, ": " + arg) == 0) {
            what.resize(what.size() - arg.size() - 2);
            std::size_t offset = 0;
            if (arg.rfind(prefix, 0) == 0) {
                arg.erase(0, prefix.size());
            } else if (const std::size_t found = pattern.find(arg, prefix.size()); found != std::string::npos) {
                offset = found - prefix.size();
            }
            if (offset < typedAt.size())
                at = typedAt[offset];
            if (!arg.empty())
                what += ": " + arg;
        }
        fail("invalid regular expression: " + what, at);
    }

    // A /regular expression/ at pos_: its RE2 pattern and the literal every
    // match holds.
    // `typedAt` gets the column where each character of the body was typed.
    bool readRegex(std::size_t start, std::string& pattern, std::string& literal, std::vector<std::size_t>& typedAt)
    {
        std::string body;
        std::size_t p = pos_ + 1;
        bool closed = false;
        for (; p < text_.size(); ++p) {
            if (text_[p] == '\\' && p + 1 < text_.size() && text_[p + 1] == '/') {
                body += '/';
                typedAt.push_back(p);
                ++p;
            } else if (text_[p] == '\\' && p + 1 < text_.size()) {
                body += text_.substr(p, 2);
                typedAt.push_back(p);
                typedAt.push_back(p + 1);
                ++p;
            } else if (text_[p] == '/') {
                closed = true;
                break;
            } else {
                body += text_[p];
                typedAt.push_back(p);
            }
        }
        if (!closed) {
            fail("missing '/' at the end of this regular expression", start);
            return false;
        }
        if (body.empty()) {
            fail("empty regular expression", start);
            return false;
        }
        pos_ = p + 1;
        pattern = "(?m)" + body;
        literal = requiredLiteral(body);
        return true;
    }

    // A "phrase" at pos_, as pieces: blanks folded into one, none at the end.
    bool readPhrase(std::size_t start, std::vector<Piece>& pieces)
    {
        std::size_t p = pos_ + 1;
        bool closed = false;
        for (; p < text_.size(); ++p) {
            const char ch = text_[p];
            if (ch == '\\' && p + 1 < text_.size()) {
                pieces.push_back({Piece::Char, text_[++p]});
            } else if (ch == '"') {
                closed = true;
                break;
            } else if (isBlank(ch)) {
                if (!pieces.empty() && pieces.back().kind != Piece::Blank)
                    pieces.push_back({Piece::Blank, ' '});
            } else {
                pieces.push_back(pieceOf(ch));
            }
        }
        if (!closed) {
            fail("missing '\"' at the end of this phrase", start);
            return false;
        }
        while (!pieces.empty() && pieces.back().kind == Piece::Blank)
            pieces.pop_back();
        if (pieces.empty()) {
            fail("empty phrase", start);
            return false;
        }
        pos_ = p + 1;
        return true;
    }

    // A bare word at pos_, as pieces.
    bool readWord(std::vector<Piece>& pieces)
    {
        const std::string_view word = peekWord();
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (word[i] == '\\' && i + 1 < word.size())
                pieces.push_back({Piece::Char, word[++i]});
            else
                pieces.push_back(pieceOf(word[i]));
        }
        pos_ += word.size();
        return true;
    }

    // A bare number after section: or file: names its section or data file
    // by number (term.number); anything else is left to match titles.
    bool readNumber(Query::TermKind kind, std::size_t start, Query::Term& term)
    {
        std::uint32_t number = 0;
        const std::string_view typed = text_.substr(start, pos_ - start);
        const auto [end, ec] = std::from_chars(typed.data(), typed.data() + typed.size(), number);
        if (ec != std::errc() || end != typed.data() + typed.size())
            return true;
        if (number == 0) {
            fail(std::string(kind == Query::TermKind::Section ? "sections" : "data files") + " are numbered from 1",
                 start);
            return false;
        }
        term.number = number;
        return true;
    }

    // The pattern of a word or phrase, with what the term knows of its
    // matches without running it.
    static std::string wordTerm(const std::vector<Piece>& pieces, Query::Term& term)
    {
        std::string pattern = wordPattern(pieces, term.literal);
        term.plainWord =
            std::all_of(pieces.begin(), pieces.end(), [](const Piece& piece) { return piece.kind == Piece::Char; });
        term.wordStart = isQueryWordByte(static_cast<unsigned char>(pieces.front().c));
        term.wordEnd = isQueryWordByte(static_cast<unsigned char>(pieces.back().c));
        return pattern;
    }

    // The longest run of letters, digits and blanks that every match of the
    // regular expression holds, lower-cased; empty when none is sure (an
    // alternative anywhere, an escape sequence of several characters).
    // Only runs outside groups and classes count, less a last character
    // that a quantifier may leave out.
    static std::string requiredLiteral(std::string_view body)
    {
        std::string best;
        std::string run;
        auto endRun = [&] {
            if (run.size() > best.size())
                best = run;
            run.clear();
        };
        int depth = 0;
        for (std::size_t i = 0; i < body.size(); ++i) {
            const char c = body[i];
            if (c == '|')
                return {};
            const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ';
            if (plain && depth == 0) {
                const char next = i + 1 < body.size() ? body[i + 1] : '\0';
                if (next == '?' || next == '*' || next == '{') {
                    endRun();
                } else {
                    run += foldLower(c);
                }
                continue;
            }
            endRun();
            if (c == '\\') {
                // \Q...\E and octal escapes are left to RE2 alone; \x, \p
                // and \P take a brace group or their next one or two
                // characters.
                const char e = i + 1 < body.size() ? body[i + 1] : '\0';
                if (e == 'Q' || (e >= '0' && e <= '9'))
                    return {};
                i += 1;
                if (e == 'x' || e == 'p' || e == 'P') {
                    if (i + 1 < body.size() && body[i + 1] == '{') {
                        const std::size_t close = body.find('}', i + 1);
                        if (close == std::string_view::npos)
                            return {};
                        i = close;
                    } else {
                        i += e == 'x' ? 2 : 1;
                    }
                }
            } else if (c == '(') {
                ++depth;
            } else if (c == ')') {
                --depth;
            } else if (c == '[') {
                // To the class's end: a ']' first (after any '^') is a member.
                std::size_t k = i + 1;
                if (k < body.size() && body[k] == '^')
                    ++k;
                if (k < body.size() && body[k] == ']')
                    ++k;
                for (; k < body.size() && body[k] != ']'; ++k) {
                    if (body[k] == '\\')
                        ++k;
                    else if (body[k] == '[' && k + 1 < body.size() && body[k + 1] == ':') {
                        const std::size_t close = body.find(":]", k + 2);
                        if (close == std::string_view::npos)
                            return {};
                        k = close + 1;
                    }
                }
                i = k;
            }
        }
        endRun();
        return best;
    }

    static Piece pieceOf(char c)
    {
        if (c == '*')
            return {Piece::Star, c};
        if (c == '?')
            return {Piece::Mark, c};
        return {Piece::Char, c};
    }

    // The RE2 pattern of a word or phrase, matched as whole words; `literal`
    // receives its longest run of plain characters, lower-cased.
    static std::string wordPattern(const std::vector<Piece>& pieces, std::string& literal)
    {
        const std::string word = "[" + std::string(wordClass) + "]";
        const std::string nonWord = "[^" + std::string(wordClass) + "\\n]";
        auto isWordPiece = [](const Piece& p) {
            return p.kind == Piece::Star || p.kind == Piece::Mark ||
                   (p.kind == Piece::Char && isQueryWordByte(static_cast<unsigned char>(p.c)));
        };
        bool anyPlain = false;
        bool anyMark = false;
        for (const Piece& p : pieces) {
            anyPlain = anyPlain || p.kind == Piece::Char;
            anyMark = anyMark || p.kind == Piece::Mark;
        }
        std::string body;
        std::string run;
        auto endRun = [&] {
            if (run.size() > literal.size())
                literal = run;
            run.clear();
        };
        if (!anyPlain && !anyMark) {
            body = word + "+";
        } else {
            for (const Piece& p : pieces) {
                switch (p.kind) {
                case Piece::Char: {
                    run += foldLower(p.c);
                    const auto u = static_cast<unsigned char>(p.c);
                    if (isQueryWordByte(u) || u >= 0x80) {
                        body += p.c;
                    } else {
                        char escaped[8];
                        std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
                        body += escaped;
                    }
                    break;
                }
                case Piece::Star:
                    endRun();
                    body += word + "*";
                    break;
                case Piece::Mark:
                    endRun();
                    body += word;
                    break;
                case Piece::Blank:
                    endRun();
                    body += "[ \\t\\r\\f\\v]+";
                    break;
                }
            }
            endRun();
        }
        std::string pattern;
        if (isWordPiece(pieces.front()))
            pattern += "(?:^|" + nonWord + ")";
        pattern += body;
        if (isWordPiece(pieces.back()))
            pattern += "(?:$|" + nonWord + ")";
        return "(?m)" + pattern;
    }

    std::string_view text_;
    Query& query_;
    std::size_t pos_ = 0;
    bool failed_ = false;
    int depth_ = 0;
};

bool Query::compile(std::string_view text)
{
    *this = Query();
    QueryParser parser(text, *this);
    if (parser.run())
        return true;
    const QueryError error = parser.error;
    *this = Query();
    error_ = error;
    return false;
}

} // namespace qavn
