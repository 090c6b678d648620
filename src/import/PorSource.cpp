// The SPSS portable file reader: the line layer, the character translation,
// base-30 numbers, the dictionary records and the cases.
#include "import/PorSource.h"

#include "platform/Latin1.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

namespace qavn {

namespace fs = std::filesystem;

namespace {

constexpr int lineLength = 80;
constexpr std::size_t splashSize = 200;
constexpr std::size_t tableSize = 256;

// The characters of the portable character set that ASCII holds, by their
// position in the set; 0 for positions ASCII lacks (control characters,
// graphics, superscripts).
constexpr std::array<char, 256> portableAscii = [] {
    std::array<char, 256> a{};
    for (int i = 0; i < 10; ++i)
        a[static_cast<std::size_t>(64 + i)] = static_cast<char>('0' + i);
    for (int i = 0; i < 26; ++i) {
        a[static_cast<std::size_t>(74 + i)] = static_cast<char>('A' + i);
        a[static_cast<std::size_t>(100 + i)] = static_cast<char>('a' + i);
    }
    const char* punctuation = " .<(+|&[]!$*);^-/|,%_>?`:#@'=\"";
    for (std::size_t i = 0; punctuation[i] != '\0'; ++i)
        a[126 + i] = punctuation[i];
    a[162] = '~';
    a[184] = '{';
    a[185] = '}';
    a[186] = '\\';
    return a;
}();

// SPSS format type codes and their names.
std::string formatName(int type)
{
    static const std::map<int, const char*> names = {
        {1, "A"},      {2, "AHEX"},  {3, "COMMA"}, {4, "DOLLAR"},    {5, "F"},      {6, "IB"},    {7, "PIBHEX"},
        {8, "P"},      {9, "PIB"},   {10, "PK"},   {11, "RB"},       {12, "RBHEX"}, {15, "Z"},    {16, "N"},
        {17, "E"},     {20, "DATE"}, {21, "TIME"}, {22, "DATETIME"}, {23, "ADATE"}, {24, "JDATE"}, {25, "DTIME"},
        {26, "WKDAY"}, {27, "MONTH"}, {28, "MOYR"}, {29, "QYR"},     {30, "WKYR"},  {31, "PCT"},  {32, "DOT"},
        {33, "CCA"},   {34, "CCB"},  {35, "CCC"},  {36, "CCD"},      {37, "CCE"},   {38, "EDATE"}, {39, "SDATE"},
        {40, "MTIME"}, {41, "YMDHMS"}};
    const auto found = names.find(type);
    return found == names.end() ? "F" : found->second;
}

std::string latin1AsUtf8(std::string_view s)
{
    std::string out;
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

__extension__ typedef unsigned __int128 Wide;

std::string decimalText(Wide n)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(n % 10)));
        n /= 10;
    } while (n != 0);
    return digits;
}

// The double nearest to (digits as an integer) × 30^scale: exact integer
// arithmetic where it fits, the quotient written out to 40 decimals and
// read back (so rounding happens once), long double beyond.
double base30Value(const std::vector<int>& digits, long scale)
{
    std::size_t first = 0;
    while (first < digits.size() && digits[first] == 0)
        ++first;
    if (first == digits.size())
        return 0.0;
    constexpr std::size_t maxDigits = 25; // 30^25 < 2^128
    std::size_t last = digits.size();
    if (last - first > maxDigits) {
        scale += static_cast<long>(last - first - maxDigits);
        last = first + maxDigits;
    }
    Wide value = 0;
    for (std::size_t i = first; i < last; ++i)
        value = value * 30 + static_cast<Wide>(digits[i]);
    if (scale >= 0) {
        Wide scaled = value;
        for (long k = 0; k < scale; ++k) {
            if (scaled > (~Wide{0}) / 30)
                return static_cast<double>(static_cast<long double>(value) * std::pow(30.0L, scale));
            scaled *= 30;
        }
        return static_cast<double>(scaled);
    }
    if (-scale > static_cast<long>(maxDigits))
        return static_cast<double>(static_cast<long double>(value) * std::pow(30.0L, scale));
    Wide divisor = 1;
    for (long k = 0; k < -scale; ++k)
        divisor *= 30;
    std::string text = decimalText(value / divisor) + ".";
    Wide rest = value % divisor;
    for (int k = 0; k < 40; ++k) {
        rest *= 10;
        text += static_cast<char>('0' + static_cast<int>(rest / divisor));
        rest %= divisor;
    }
    double out = 0;
    std::from_chars(text.data(), text.data() + text.size(), out);
    return out;
}

// The logical character stream of a portable file: line ends dropped,
// short lines padded with blanks, each byte also given as its portable
// character when the translation table names one.
class PorInput {
public:
    PorInput(std::FILE* file, const fs::path& path) : file_(file), path_(path) {}

    // The next byte of the stream; false at the end of the file.
    bool get(unsigned char& byte)
    {
        if (pad_ > 0) {
            --pad_;
            ++column_;
            byte = blank_;
            return true;
        }
        for (;;) {
            const int c = std::getc(file_);
            if (c == EOF)
                return false;
            if (c == '\r' || c == '\n') {
                if (c == '\r') {
                    const int d = std::getc(file_);
                    if (d != '\n' && d != EOF)
                        std::ungetc(d, file_);
                }
                ++line_;
                pad_ = column_ < lineLength ? lineLength - column_ : 0;
                column_ = 0;
                if (pad_ > 0) {
                    --pad_;
                    ++column_;
                    byte = blank_;
                    return true;
                }
                continue;
            }
            ++column_;
            byte = static_cast<unsigned char>(c);
            return true;
        }
    }

    // The translation table: byte -> portable position. Positions from 64
    // (digits, letters, punctuation) come first, so that the filler byte
    // some writers put in unused positions keeps its meaning as a digit.
    void setTable(const std::array<unsigned char, tableSize>& table)
    {
        position_.fill(-1);
        for (int pass = 0; pass < 2; ++pass)
            for (std::size_t p = pass == 0 ? 64 : 0; p < (pass == 0 ? tableSize : 64); ++p)
                if (position_[table[p]] < 0)
                    position_[table[p]] = static_cast<int>(p);
        blank_ = table[126];
    }

    // The ASCII character a byte stands for, or 0.
    char ascii(unsigned char byte) const
    {
        const int p = position_[byte];
        return p < 0 ? '\0' : portableAscii[static_cast<std::size_t>(p)];
    }

    // The next character as ASCII ('\0' for one ASCII lacks); false at the end.
    bool next(char& c)
    {
        unsigned char byte = 0;
        if (!get(byte))
            return false;
        c = ascii(byte);
        return true;
    }

    std::uint64_t line() const { return line_ + 1; }
    double fraction(std::uintmax_t size) const
    {
        const off_t at = ::ftello(file_);
        return size > 0 && at > 0 ? static_cast<double>(at) / static_cast<double>(size) : 0.0;
    }
    std::string where() const { return path_.string() + ": line " + std::to_string(line()); }

private:
    std::FILE* file_;
    const fs::path& path_;
    std::uint64_t line_ = 0;
    int column_ = 0;
    int pad_ = 0;
    unsigned char blank_ = ' ';
    std::array<int, 256> position_{};
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

class PorSource final : public SourceReader {
public:
    explicit PorSource(fs::path path) : path_(std::move(path)) {}

    const fs::path& path() const override { return path_; }
    double fraction() const override { return input_ != nullptr ? input_->fraction(size_) : 0.0; }
    std::string encoding() const override
    {
        return sawOther_ ? "windows-1252" : sawUtf8_ ? "UTF-8" : "ASCII";
    }

    bool pass(SourceVisitor& visitor, std::string& error) override
    {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path_.c_str(), "rb"));
        if (!file) {
            error = path_.string() + ": " + std::strerror(errno);
            return false;
        }
        std::error_code ec;
        const auto size = fs::file_size(path_, ec);
        size_ = ec ? 0 : size;
        PorInput input(file.get(), path_);
        input_ = &input;
        struct Done {
            PorInput*& input;
            ~Done() { input = nullptr; }
        } done{input_};
        std::vector<SourceVariable> variables;
        if (!readHeader(input, error) || !readDictionary(input, variables, error))
            return false;
        if (kept_.empty())
            kept_ = std::move(variables);
        else if (kept_.size() != variables.size()) {
            error = path_.string() + ": the file changed while it was read";
            return false;
        }
        if (!visitor.variables(kept_))
            return false;
        return readCases(input, visitor, error);
    }

private:
    bool fail(const PorInput& input, std::string& error, const std::string& reason)
    {
        error = input.where() + ": " + reason;
        return false;
    }

    bool readHeader(PorInput& input, std::string& error)
    {
        unsigned char byte = 0;
        for (std::size_t i = 0; i < splashSize; ++i)
            if (!input.get(byte))
                return fail(input, error, "the file ends inside its header; not an SPSS portable file");
        std::array<unsigned char, tableSize> table{};
        for (unsigned char& b : table)
            if (!input.get(b))
                return fail(input, error, "the file ends inside its character table");
        input.setTable(table);
        std::string signature;
        for (int i = 0; i < 8; ++i) {
            char c = 0;
            if (!input.next(c))
                return fail(input, error, "the file ends before its signature");
            signature += c;
        }
        if (signature != "SPSSPORT")
            return fail(input, error, "no SPSSPORT signature after the character table; not an SPSS portable file");
        char version = 0;
        std::string date;
        std::string time;
        if (!input.next(version) || !readString(input, date, error) || !readString(input, time, error))
            return error.empty() ? fail(input, error, "the file ends in its header") : false;
        return true;
    }

    // The number at hand: blanks, then base-30 digits with an optional sign,
    // point and exponent, up to '/'; "*." is the system-missing value
    // (`missing` set). `first` is a character already read, or 0.
    bool readNumber(PorInput& input, double& value, bool& missing, std::string& error, char first = 0)
    {
        char c = first;
        if (c == 0 && !input.next(c))
            return fail(input, error, "the file ends where a number was expected");
        while (c == ' ')
            if (!input.next(c))
                return fail(input, error, "the file ends where a number was expected");
        missing = false;
        if (c == '*') {
            missing = true;
            value = 0;
            return input.next(c) || fail(input, error, "the file ends inside a missing value");
        }
        bool negative = false;
        if (c == '-') {
            negative = true;
            if (!input.next(c))
                return fail(input, error, "the file ends inside a number");
        }
        std::vector<int> digits;
        long integerDigits = -1;
        long exponent = 0;
        bool exponentNegative = false;
        int part = 0; // 0 digits, 1 exponent
        bool any = false;
        bool anyExponent = false;
        for (;;) {
            const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'T' ? c - 'A' + 10 : -1;
            if (d >= 0) {
                if (part == 0) {
                    digits.push_back(d);
                    any = true;
                } else {
                    if (exponent > 100000)
                        return fail(input, error, "a number's exponent is out of range");
                    exponent = exponent * 30 + d;
                    anyExponent = true;
                }
            } else if (c == '.' && part == 0 && integerDigits < 0) {
                integerDigits = static_cast<long>(digits.size());
            } else if ((c == '+' || c == '-') && part == 0 && any) {
                part = 1;
                exponentNegative = c == '-';
            } else if (c == '/') {
                break;
            } else {
                return fail(input, error,
                            c == 0 || c < ' ' ? "a number holds a character that is not a base-30 digit"
                                              : std::string("a number holds '") + c + "', not a base-30 digit");
            }
            if (!input.next(c))
                return fail(input, error, "the file ends inside a number");
        }
        if (!any || (part == 1 && !anyExponent))
            return fail(input, error, "a number without digits");
        if (integerDigits < 0)
            integerDigits = static_cast<long>(digits.size());
        const long scale = (exponentNegative ? -exponent : exponent) - (static_cast<long>(digits.size()) - integerDigits);
        value = base30Value(digits, scale);
        if (negative)
            value = -value;
        return true;
    }

    bool readInteger(PorInput& input, long& out, std::string& error, const char* what, long low, long high)
    {
        double value = 0;
        bool missing = false;
        if (!readNumber(input, value, missing, error))
            return false;
        if (missing || value != std::trunc(value) || value < static_cast<double>(low) ||
            value > static_cast<double>(high))
            return fail(input, error, std::string(what) + " is not a whole number from " + std::to_string(low) +
                                          " to " + std::to_string(high));
        out = static_cast<long>(value);
        return true;
    }

    // A string: its length, then that many characters. Characters the
    // table names become ASCII, other bytes stay; the text then comes out
    // as UTF-8.
    bool readString(PorInput& input, std::string& out, std::string& error, char first = 0)
    {
        double length = 0;
        bool missing = false;
        if (!readNumber(input, length, missing, error, first))
            return false;
        if (missing || length < 0 || length > 32767 || length != std::trunc(length))
            return fail(input, error, "a string's length is not a number from 0 to 32767");
        out.clear();
        bool high = false;
        for (long i = 0; i < static_cast<long>(length); ++i) {
            unsigned char byte = 0;
            if (!input.get(byte))
                return fail(input, error, "the file ends inside a string");
            const char c = input.ascii(byte);
            if (c != 0) {
                out += c;
            } else {
                out += static_cast<char>(byte);
                high = high || byte >= 0x80;
            }
        }
        if (high) {
            if (isValidUtf8(out)) {
                sawUtf8_ = true;
            } else {
                sawOther_ = true;
                out = latin1AsUtf8(out);
            }
        }
        return true;
    }

    // A value of a variable: a number, or a string for a text variable.
    bool readValue(PorInput& input, const SourceVariable& v, double& number, std::string& text, bool& missing,
                   std::string& error)
    {
        missing = false;
        if (v.isText)
            return readString(input, text, error);
        return readNumber(input, number, missing, error);
    }

    bool readDictionary(PorInput& input, std::vector<SourceVariable>& variables, std::string& error)
    {
        long count = -1;
        std::vector<std::string> labelNames;
        std::string text;
        for (;;) {
            char tag = 0;
            do {
                if (!input.next(tag))
                    return fail(input, error, "the file ends before its data");
            } while (tag == ' ');
            SourceVariable* last = variables.empty() ? nullptr : &variables.back();
            auto needVariable = [&] {
                return last != nullptr || fail(input, error, std::string("record '") + tag + "' before any variable");
            };
            switch (tag) {
            case '1': // product
            case '2': // author
            case '3': // subproduct
                if (!readString(input, text, error))
                    return false;
                break;
            case '4':
                if (!readInteger(input, count, error, "the variable count", 0, 1000000))
                    return false;
                break;
            case '5': {
                long precision = 0;
                if (!readInteger(input, precision, error, "the precision", 0, 1000))
                    return false;
                break;
            }
            case '6': // weight variable
                if (!readString(input, text, error))
                    return false;
                break;
            case '7':
                if (!readVariable(input, variables, error))
                    return false;
                break;
            case '8':
            case '9':
            case 'A':
            case 'B':
                if (!needVariable() || !readMissing(input, *last, tag, error))
                    return false;
                break;
            case 'C':
                if (!needVariable() || !readString(input, last->label, error))
                    return false;
                break;
            case 'D':
                if (!readValueLabels(input, variables, error))
                    return false;
                break;
            case 'E': {
                long lines = 0;
                if (!readInteger(input, lines, error, "the document's line count", 0, 1000000))
                    return false;
                for (long i = 0; i < lines; ++i)
                    if (!readString(input, text, error))
                        return false;
                break;
            }
            case 'F':
                if (count >= 0 && static_cast<std::size_t>(count) != variables.size())
                    return fail(input, error,
                                "the file announces " + std::to_string(count) + " variables and describes " +
                                    std::to_string(variables.size()));
                if (variables.empty())
                    return fail(input, error, "the file describes no variables");
                return true;
            default:
                return fail(input, error,
                            tag == 0 ? std::string("an unknown record")
                                     : std::string("an unknown record '") + tag + "'");
            }
        }
    }

    static std::string trimmedText(const std::string& text)
    {
        const std::size_t first = text.find_first_not_of(' ');
        if (first == std::string::npos)
            return {};
        return text.substr(first, text.find_last_not_of(' ') - first + 1);
    }

    bool readVariable(PorInput& input, std::vector<SourceVariable>& variables, std::string& error)
    {
        long width = 0;
        SourceVariable v;
        if (!readInteger(input, width, error, "a variable's width", 0, 32767) || !readString(input, v.name, error))
            return false;
        long format[6] = {};
        for (long& f : format)
            if (!readInteger(input, f, error, "a variable's format", 0, 255))
                return false;
        v.name = trimmedText(v.name);
        v.isText = width > 0;
        v.storageWidth = v.isText ? static_cast<std::size_t>(width) : 0;
        // Number formats carry their decimals as SPSS writes them (F4.0),
        // dates and times only when they have some.
        const int type = static_cast<int>(format[0]);
        const bool numberFormat = (type >= 3 && type <= 17 && type != 7 && type != 12) || (type >= 31 && type <= 37);
        v.format = formatName(type) + std::to_string(format[1]);
        if (!v.isText && (numberFormat || format[2] > 0))
            v.format += "." + std::to_string(format[2]);
        v.display = displayFormatOf(v.format, FormatFamily::Spss, v.isText);
        if (v.name.empty())
            return fail(input, error, "a variable without a name");
        variables.push_back(std::move(v));
        return true;
    }

    bool readMissing(PorInput& input, SourceVariable& v, char tag, std::string& error)
    {
        SourceMissing m;
        m.isText = v.isText;
        double low = 0;
        double high = 0;
        std::string text;
        std::string other;
        bool missing = false;
        if (!readValue(input, v, low, text, missing, error))
            return false;
        if (tag == 'B' && !readValue(input, v, high, other, missing, error))
            return false;
        if (v.isText) {
            m.text = trimmedRight(text);
            if (tag == '8')
                v.missing.push_back(std::move(m));
            return true; // ranges of texts mean nothing to the import
        }
        switch (tag) {
        case '8': m.low = m.high = low; break;
        case 'B': m.low = low; m.high = high; break;
        case '9': m.low = -HUGE_VAL; m.high = low; break;
        default: m.low = low; m.high = HUGE_VAL; break;
        }
        v.missing.push_back(m);
        return true;
    }

    static std::string trimmedRight(std::string text)
    {
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        return text;
    }

    bool readValueLabels(PorInput& input, std::vector<SourceVariable>& variables, std::string& error)
    {
        long names = 0;
        if (!readInteger(input, names, error, "a value label record's variable count", 1, 1000000))
            return false;
        std::vector<SourceVariable*> targets;
        std::string name;
        for (long i = 0; i < names; ++i) {
            if (!readString(input, name, error))
                return false;
            name = trimmedText(name);
            SourceVariable* found = nullptr;
            for (SourceVariable& v : variables)
                if (v.name == name)
                    found = &v;
            if (found == nullptr)
                return fail(input, error, "value labels for " + name + ", which the file does not describe");
            if (!targets.empty() && targets.front()->isText != found->isText)
                return fail(input, error, "value labels shared by text and numeric variables");
            targets.push_back(found);
        }
        long count = 0;
        if (!readInteger(input, count, error, "a value label count", 0, 10000000))
            return false;
        for (long i = 0; i < count; ++i) {
            SourceValueLabel label;
            label.isText = targets.front()->isText;
            bool missing = false;
            std::string text;
            if (!readValue(input, *targets.front(), label.number, text, missing, error) ||
                !readString(input, label.label, error))
                return false;
            label.text = trimmedRight(text);
            if (missing)
                continue;
            for (SourceVariable* v : targets)
                v->labels.push_back(label);
        }
        return true;
    }

    bool readCases(PorInput& input, SourceVisitor& visitor, std::string& error)
    {
        std::string text;
        for (std::uint64_t cases = 0;; ++cases) {
            for (std::size_t i = 0; i < kept_.size(); ++i) {
                char c = 0;
                // The data end with 'Z' (or the file's end) where a case would start.
                do {
                    if (!input.next(c)) {
                        if (i == 0)
                            return true;
                        return fail(input, error,
                                    "the file ends inside case " + std::to_string(cases + 1) + ", at " + kept_[i].name);
                    }
                } while (c == ' ');
                if (c == 'Z' && i == 0)
                    return true;
                SourceValue value;
                if (kept_[i].isText) {
                    if (!readString(input, text, error, c))
                        return caseError(error, cases, kept_[i]);
                    value.kind = SourceValue::Kind::Text;
                    value.text = text;
                } else {
                    bool missing = false;
                    if (!readNumber(input, value.number, missing, error, c))
                        return caseError(error, cases, kept_[i]);
                    // A number beyond a double's range means nothing as data.
                    value.kind = missing || !std::isfinite(value.number) ? SourceValue::Kind::SystemMissing
                                                                         : SourceValue::Kind::Number;
                }
                if (!visitor.value(i, value))
                    return false;
            }
            if (!visitor.endCase())
                return false;
        }
    }

    static bool caseError(std::string& error, std::uint64_t cases, const SourceVariable& v)
    {
        error += " (case " + std::to_string(cases + 1) + ", " + v.name + ")";
        return false;
    }

    fs::path path_;
    std::uintmax_t size_ = 0;
    PorInput* input_ = nullptr;
    std::vector<SourceVariable> kept_;
    bool sawUtf8_ = false;
    bool sawOther_ = false;
};

} // namespace

std::unique_ptr<SourceReader> openPorSource(const fs::path& path)
{
    return std::make_unique<PorSource>(path);
}

} // namespace qavn
