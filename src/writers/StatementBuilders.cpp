// The pieces of the SAS and SPSS programs that both writers share.

#include "writers/StatementBuilders.h"

#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "codebook/CodebookStore.h"
#include "platform/TextOutput.h"
#include "catalogue/VariableList.h"
#include "writers/WriterContext.h"
#include "platform/Strings.h"

#include <algorithm>

namespace qavn {

namespace {

// Statement lines are written once their pending text passes this length.
constexpr std::size_t wrapLength = 45;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// SAS reads this many columns of a record unless told more.
constexpr std::int64_t defaultRecordLength = 1024;

// The last column of a location text ("2678-2682", "15"); 0 when it has none.
std::int64_t lastColumn(std::string_view location)
{
    const std::size_t minus = location.find('-');
    return leadingInteger<std::int64_t>(minus == std::string_view::npos ? location : location.substr(minus + 1));
}

// The record length the INFILE statement of data file f gives: 1,024, or the
// furthest column its tagged variables and its identifier reach when that is
// beyond. Nothing when the walk was aborted.
std::optional<std::int64_t> sasRecordLength(WriterContext& context, const DataFileEntry& file, std::uint32_t f,
                                            std::uint32_t first)
{
    std::int64_t length = defaultRecordLength;
    if (file.hasIdentifier())
        length = std::max(length, lastColumn(file.idLocation));
    const bool walked = forEachMember(context, f, first, [&](const VariableRecord& record, std::uint32_t) {
        length = std::max(length, lastColumn(record.locationText()));
    });
    if (!walked)
        return std::nullopt;
    return length;
}

// The opening line of the data-list statement, without its line end.
std::string dataListOpening(const WriterContext& context, Dialect dialect, std::uint32_t f,
                            const DataFileEntry& file, std::int64_t recordLength)
{
    std::string drive;
    if (context.settings.cdromDrive != '\0') {
        drive.push_back(context.settings.cdromDrive);
        drive.push_back(':');
    }
    const std::string path = qavn::quoted(drive + "\\" + file.dataPath);
    std::string line;
    if (dialect == Dialect::Sas) {
        line = "DATA X" + std::to_string(f) + ";INFILE " + path + " LRECL=" + std::to_string(recordLength) + " PAD;INPUT";
        if (file.hasIdentifier())
            line += " ID " + locationLiteral(file.idLocation);
        return line;
    }
    line = "DATA LIST FILE=" + path;
    if (dialect == Dialect::SpssWin)
        line += " FIXED RECORDS=" + std::to_string(file.linesPerCase);
    line += file.hasIdentifier() ? " / ID " + locationLiteral(file.idLocation) : std::string(" /  ");
    return line;
}

} // namespace

std::optional<std::uint32_t> writeDataList(WriterContext& context, Dialect dialect, std::uint32_t f,
                                           std::uint32_t first)
{
    context.progress(3);
    const DataFileEntry* file = context.project.dataFile(f);
    if (!file)
        return 0;
    TextOutput& out = context.out();
    const bool sas = dialect == Dialect::Sas;

    std::int64_t recordLength = defaultRecordLength;
    if (sas) {
        const std::optional<std::int64_t> length = sasRecordLength(context, *file, f, first);
        if (!length)
            return std::nullopt;
        recordLength = *length;
    }

    std::uint32_t count = 0;
    long r = 1;
    std::string pending;
    const bool walked = forEachMember(context, f, first, [&](const VariableRecord& record, std::uint32_t n) {
        ++count;
        if (count == 1) {
            out.print("%s\n", dataListOpening(context, dialect, f, *file, recordLength).c_str());
            pending.clear();
        }
        const long recordNumber = record.recordNumber;
        if (dialect == Dialect::SpssWin) {
            if (recordNumber > 1 && recordNumber != r)
                pending += " /" + std::to_string(recordNumber) + " ";
        } else {
            for (long k = r; k < recordNumber; ++k)
                pending += " / ";
        }
        r = recordNumber;

        const std::string_view name = context.programName(f, n, record.variableName());
        if (pending.size() < 2) {
            pending.assign(name);
            pending += ' ';
        } else {
            pending += ' ';
            pending += name;
            pending += ' ';
        }

        const char type = record.typeCode;
        const bool decimals = type >= '1' && type <= '9';
        const std::string location = locationLiteral(record.locationText());
        if (sas) {
            if (type == 'A')
                pending += "$ ";
            pending += location;
            if (decimals) {
                pending += " .";
                pending += type;
                pending += ' ';
            }
        } else {
            pending += location;
            if (type == 'A') {
                pending += " (A) ";
            } else if (decimals) {
                pending += " (";
                pending += type;
                pending += ") ";
            }
        }

        if (pending.size() > wrapLength) {
            out.write(count == 1 ? " " : "  ");
            out.write(pending);
            out.write("\n");
            pending.clear();
        }
    });
    if (!walked)
        return std::nullopt;

    if (count > 0) {
        if (pending.size() > 3) {
            out.write("  ");
            out.write(pending);
            pending.clear();
        }
        if (dialect != Dialect::SpssWin) {
            for (long k = r; k < file->linesPerCase; ++k)
                pending += "  /";
        }
        const char end = sas ? ';' : ' ';
        if (pending.size() > 1) {
            out.write(pending);
            out.put(' ');
        }
        out.put(end);
        out.write("\n\n");
    }
    return count;
}

std::optional<std::uint32_t> writeLabels(WriterContext& context, Dialect dialect, std::uint32_t f,
                                         std::uint32_t first)
{
    context.progress(3);
    TextOutput& out = context.out();
    const bool sas = dialect == Dialect::Sas;
    std::uint32_t count = 0;
    const bool walked = forEachMember(context, f, first, [&](const VariableRecord& record, std::uint32_t n) {
        ++count;
        if (count == 1)
            out.write(sas ? "LABEL" : "VARIABLE LABELS");
        out.write("\n  ");
        out.write(context.programName(f, n, record.variableName()));
        out.put(sas ? '=' : ' ');
        out.write(qavn::quoted(context.list.rowLabel(n)));
    });
    if (!walked)
        return std::nullopt;
    if (count > 0)
        out.write(sas ? ";\n\n" : "\n");
    return count;
}

std::uint32_t writeCategoryLines(WriterContext& context, const VariableRecord& record, Dialect dialect,
                                 std::string_view prefix)
{
    TextOutput& out = context.out();
    const bool text = dialect == Dialect::Text;
    const bool sas = dialect == Dialect::Sas;
    const std::string continuation(sas ? 15 : 12, ' ');
    std::string acc(prefix);
    std::uint32_t count = 0;
    context.store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                            [&](std::string_view line) {
                                const CategoryFields fields = splitCategoryLine(line);
                                if (text) {
                                    ++count;
                                    if (count > 1)
                                        out.write("\n");
                                    out.print("%9.*s%7.*s%6.*s %.*s", static_cast<int>(fields.code.size()),
                                              fields.code.data(), static_cast<int>(fields.frequency.size()),
                                              fields.frequency.data(), static_cast<int>(fields.percent.size()),
                                              fields.percent.data(), static_cast<int>(fields.label.size()),
                                              fields.label.data());
                                    return true;
                                }
                                const char last = fields.code.empty() ? '\0' : fields.code.back();
                                if (!isDigit(last) && last != '\'')
                                    return true;
                                const std::optional<std::string_view> code = codeLiteral(fields.code);
                                if (!code)
                                    return true;
                                ++count;
                                acc.append(8, ' ');
                                acc += *code;
                                acc += sas ? '=' : ' ';
                                acc += qavn::quoted(fields.label);
                                if (count > 1)
                                    out.write("\n");
                                out.write(acc);
                                acc = continuation;
                                return true;
                            });
    if (count > 0) {
        out.put(sas ? ';' : ' ');
        out.write("\n");
    }
    return count;
}

CategoryStart categoryStart(const WriterContext& context, const VariableRecord& record)
{
    CategoryStart start;
    if (record.categoryLineCount == 0)
        return start;
    const auto text = context.store.textBytes();
    const std::size_t offset = record.categoryRef.offset();
    if (offset >= text.size())
        return start;
    const std::size_t window = std::min<std::size_t>(CodebookStore::labelWindow, text.size() - offset);
    const std::uint8_t* bytes = text.data() + offset;

    std::size_t p = 0;
    while (p < window && bytes[p] == textbyte::filler)
        ++p;
    if (p < window && bytes[p] != textbyte::lineEnd)
        start.firstCodeByte = static_cast<char>(bytes[p]);

    // The label begins after the third separator of the first line; the
    // separator has to lie within the first 50 bytes.
    constexpr std::size_t separatorWindow = 50;
    int separators = 0;
    for (p = 0; p < window && p < separatorWindow; ++p) {
        if (bytes[p] == textbyte::lineEnd)
            return start;
        if (bytes[p] == textbyte::fieldSeparator && ++separators == 3)
            break;
    }
    if (separators < 3)
        return start;
    for (++p; p < window && bytes[p] == textbyte::filler; ++p) {
    }
    if (p < window && bytes[p] != textbyte::lineEnd)
        start.firstLabelByte = static_cast<char>(bytes[p]);
    return start;
}

bool valueLabelRule(char typeCode, CategoryStart start, LabelChoice labelChoice)
{
    if (labelChoice == LabelChoice::All)
        return true;
    if (labelChoice == LabelChoice::Categorical && typeCode == ' ')
        return true;
    if (labelChoice == LabelChoice::NoReservedCodes && start.firstLabelByte != '{')
        return true;
    return frequencyRule(typeCode, start) && typeCode == 'A';
}

bool frequencyRule(char typeCode, CategoryStart start)
{
    if (typeCode == ' ')
        return true;
    const char c0 = start.firstCodeByte;
    return typeCode == 'A' && (c0 == '\'' || c0 == 'B' || c0 == 'C');
}

bool wantsValueLabels(const WriterContext& context, const VariableRecord& record, LabelChoice labelChoice)
{
    return valueLabelRule(record.typeCode, categoryStart(context, record), labelChoice);
}

bool wantsFrequencies(const WriterContext& context, const VariableRecord& record)
{
    return frequencyRule(record.typeCode, categoryStart(context, record));
}

bool wantsStatistics(char typeCode)
{
    return typeCode != ' ' && typeCode != 'A';
}

std::string formatName(std::string_view name)
{
    std::string result(name);
    if (result.size() >= 8)
        result.resize(7);
    result += 'F';
    return result;
}

std::string sasFormatName(WriterContext& context, const VariableRecord& record, std::uint32_t n)
{
    if (const auto known = context.formatNames.find(n); known != context.formatNames.end())
        return known->second;
    // Character formats ($NAME) and numeric ones are apart in SAS.
    const std::string kind = record.typeCode == 'A' ? "$" : "";
    const std::string base = formatName(context.programName(record.fileNumber, n, record.variableName()));
    std::string name = base;
    for (std::uint32_t k = 1; context.takenFormatNames.count(kind + name) != 0; ++k) {
        // A counter in base 36 before the closing F, cutting the name so
        // that the format keeps at most 8 characters.
        std::string counter;
        for (std::uint32_t v = k; v > 0; v /= 36)
            counter.insert(counter.begin(), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[v % 36]);
        const std::size_t stem = std::min(base.size() - 1, counter.size() < 7 ? 7 - counter.size() : 0);
        name = base.substr(0, stem);
        if (name.empty())
            name = "F"; // a format name starts with a letter or an underscore
        name += counter;
        name += 'F';
    }
    context.takenFormatNames.insert(kind + name);
    context.formatNames.emplace(n, name);
    return name;
}

void WrappedList::add(std::string_view entry)
{
    if (!started_) {
        out_.write(keyword_);
        started_ = true;
    }
    pending_ += entry;
    if (pending_.size() > wrapLength) {
        out_.write("\n");
        out_.write(pending_);
        pending_ = "  ";
    }
}

void WrappedList::flushPending()
{
    if (pending_.size() > 2) {
        out_.write("\n");
        out_.write(pending_);
    }
}

void writeHeaderText(WriterContext& context, std::string_view header)
{
    std::string text(header);
    for (char& c : text) {
        if (c == '\r' || c == '\x1A')
            c = ' ';
    }
    text += '\n';
    context.out().write(text);
}

} // namespace qavn
