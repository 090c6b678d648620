// The SPSS command file that PSPP runs.

#include "writers/PortablePrograms.h"

#include "platform/Latin1.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "project/ProjectMetadata.h"
#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"
#include "writers/DisplayFormats.h"
#include "writers/MissingPlans.h"
#include "writers/StatementBuilders.h"
#include "writers/WriterContext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace qavn {

namespace {

std::string pathLiteral(const std::filesystem::path& path)
{
    return qavn::quoted(path.string());
}

// The system file data file f is saved to, in the output directory: named
// after the data file as every output names its results.
std::filesystem::path systemFile(const WriterContext& context, std::uint32_t f)
{
    return outputHostDir(context) / (dataFileOutputNames(context.project)[f - 1] + ".sav");
}

// The system file the matched files are saved to: XTRACT.sav, or XTRACT_2.sav
// ... when a data file's system file has that name (letter case aside).
std::filesystem::path matchedFile(const WriterContext& context)
{
    std::vector<std::string> taken;
    for (const std::string& name : dataFileOutputNames(context.project))
        taken.push_back(upperAscii(name));
    std::string name = "XTRACT";
    for (int k = 2; std::find(taken.begin(), taken.end(), upperAscii(name)) != taken.end(); ++k)
        name = "XTRACT_" + std::to_string(k);
    return outputHostDir(context) / (name + ".sav");
}

// Whether the program ends in MATCH FILES: the tagged variables lie in more
// than one data file with an identifier. Each of those is then sorted by it
// before it is saved, as MATCH FILES needs.
bool matchesFiles(const WriterContext& context)
{
    int withIdentifier = 0;
    for (const std::uint32_t f : dataFilesOfRows(context.project, context.tagged))
        if (context.project.dataFiles[f - 1].hasIdentifier())
            ++withIdentifier;
    return withIdentifier > 1;
}

// A limit of a missing range: LO and HI for the open ends.
std::string limitText(double value)
{
    if (value == -HUGE_VAL)
        return "LO";
    if (value == HUGE_VAL)
        return "HI";
    return plainNumber(value);
}

// The missing values of a variable as PSPP's MISSING VALUES takes them: the
// reserved codes (scaled as DATA LIST reads their fields) and the values the
// source declared, three values or a range and a value; what does not fit is
// recoded to the system-missing value. A text variable's declared codes (at
// most three, of up to 8 bytes: the rest is left as it is, with a comment).
void writeMissingValues(TextOutput& out, const ProgramVariable& v, const std::string& name)
{
    if (v.isText()) {
        std::string list;
        int kept = 0;
        for (const DeclaredMissing::Text& text : v.declared.texts) {
            std::string latin1;
            if (!utf8ToLatin1(text.value, latin1))
                continue; // no field of Latin-1 raw data holds it
            if (kept == 3 || latin1.size() > 8) {
                out.print("* %s: the missing value %s is more than MISSING VALUES holds.\n", name.c_str(),
                          qavn::quoted(latin1).c_str());
                continue;
            }
            list += (kept++ > 0 ? ", " : "") + qavn::quoted(latin1);
        }
        if (!list.empty())
            out.print("MISSING VALUES %s (%s).\n", name.c_str(), list.c_str());
        return;
    }
    std::vector<double> codes;
    for (const std::string& code : v.reservedCodes)
        codes.push_back(std::stod(scaledCode(code, v.decimals())));
    for (const DeclaredMissing::Code& code : v.declared.codes)
        codes.push_back(code.value);
    std::vector<ValueRange> ranges;
    for (const DeclaredMissing::Range& range : v.declared.ranges)
        ranges.emplace_back(range.low, range.high);
    if (codes.empty() && ranges.empty())
        return;
    const SpssMissingValues missing =
        spssMissingValues(std::move(codes), std::move(ranges), std::pow(10.0, -v.decimals()));
    std::string list;
    if (missing.hasRange)
        list = limitText(missing.low) + " THRU " + limitText(missing.high);
    for (const double value : missing.values)
        list += (list.empty() ? "" : ", ") + plainNumber(value);
    out.print("MISSING VALUES %s (%s).\n", name.c_str(), list.c_str());
    if (!missing.recodes())
        return;
    std::string recode;
    for (const ValueRange& range : missing.recodedRanges)
        recode += (recode.empty() ? "" : ", ") + limitText(range.first) + " THRU " + limitText(range.second);
    for (const double value : missing.recodedValues)
        recode += (recode.empty() ? "" : ", ") + plainNumber(value);
    out.print("* The missing values of %s are more than MISSING VALUES holds.\n", name.c_str());
    out.print("RECODE %s (%s=SYSMIS).\n", name.c_str(), recode.c_str());
}

void writeDataList(TextOutput& out, const ProgramFile& file, const std::vector<std::string>& names)
{
    // The raw data are Latin-1, whatever the locale PSPP runs in.
    out.print("DATA LIST FILE=%s ENCODING='ISO-8859-1' FIXED RECORDS=%d\n", pathLiteral(file.dataPath).c_str(),
              caseLines(file));
    std::uint32_t line = 0;
    auto record = [&](std::uint32_t l) {
        if (l != line) {
            out.print("  /%u\n", static_cast<unsigned>(l));
            line = l;
        }
    };
    if (file.idFirst > 0) {
        record(1);
        out.print("   ID %lld-%lld\n", static_cast<long long>(file.idFirst), static_cast<long long>(file.idLast));
    }
    std::vector<std::size_t> byLine;
    for (std::size_t i = 0; i < file.variables.size(); ++i)
        if (file.variables[i].hasColumns())
            byLine.push_back(i);
    // Records must come in ascending order; within a record the catalogue order stays.
    std::stable_sort(byLine.begin(), byLine.end(), [&](std::size_t a, std::size_t b) {
        return file.variables[a].line < file.variables[b].line;
    });
    for (const std::size_t i : byLine) {
        const ProgramVariable* v = &file.variables[i];
        record(v->line);
        out.print("   %s %lld-%lld", names[i].c_str(), static_cast<long long>(v->first),
                  static_cast<long long>(v->last));
        if (v->isText())
            out.write(" (A)");
        else if (v->decimals() > 0)
            out.print(" (%d)", v->decimals());
        out.write("\n");
    }
    out.write(".\n\n");
}

void writeValueLabels(WriterContext& context, const ProgramFile& file, const std::vector<std::string>& names,
                      const std::vector<bool>& wanted)
{
    TextOutput& out = context.out();
    bool started = false;
    for (std::size_t i = 0; i < file.variables.size(); ++i) {
        const ProgramVariable& v = file.variables[i];
        if (!wanted[i] || !v.hasColumns())
            continue;
        std::set<std::string> seen;
        std::string lines;
        for (const ProgramVariable::Category& c : v.categories) {
            if (c.label.empty())
                continue; // a category line without a label gives no value label
            const char last = c.code.empty() ? '\0' : c.code.back();
            if (!(last >= '0' && last <= '9') && last != '\'')
                continue;
            const std::optional<std::string_view> literal = codeLiteral(c.code);
            if (!literal)
                continue;
            const std::string code = v.isText() ? std::string(*literal) : scaledCode(*literal, v.decimals());
            if (!seen.insert(code).second)
                continue;
            lines += "      " + code + " " + qavn::quoted(c.label) + "\n";
        }
        if (lines.empty())
            continue;
        out.write(started ? "  /" : "VALUE LABELS\n   ");
        out.write(names[i]);
        out.write("\n");
        out.write(lines);
        started = true;
    }
    if (started)
        out.write(".\n\n");
}

// The display formats of the project's metadata (DOLLAR12.2, DATE11, ...).
// Dates the source counted from another day or in another unit are first
// converted to SPSS's count, unless a missing value or a label names one of
// their raw values: those stay numbers as the data hold them.
void writeFormats(TextOutput& out, const ProgramFile& file, const std::vector<std::string>& names)
{
    bool any = false;
    for (std::size_t i = 0; i < file.variables.size(); ++i) {
        const ProgramVariable& v = file.variables[i];
        if (!v.hasColumns() || v.isText() || !v.metadata)
            continue;
        const int width = static_cast<int>(std::min<std::int64_t>(v.last - v.first + 1, 40));
        const int decimals = v.decimals();
        const PackageFormat format = packageFormat(v.metadata, decimals > 0 ? std::max(width + 1, decimals + 2) : width,
                                                   decimals, Package::Spss);
        if (!format.fromMetadata)
            continue;
        const char* name = names[i].c_str();
        if (!format.conversion.identity()) {
            if (!v.reservedCodes.empty() || !v.declared.empty() || v.labelsValues()) {
                out.print("* %s: dates as the source counts them (%s), since missing values or labels name them.\n",
                          name, v.metadata->format.text.c_str());
                continue;
            }
            out.print("COMPUTE %s = %s.\n", name, conversionExpression(names[i], format.conversion).c_str());
        }
        out.print("FORMATS %s (%s).\n", name, format.text.c_str());
        any = true;
    }
    if (any)
        out.write("\n");
}

// One data file's commands. Result: whether it saved a system file; nothing
// on an abort.
std::optional<bool> writePsppStep(WriterContext& context, const ProgramFile& file)
{
    TextOutput& out = context.out();
    const std::uint32_t f = file.number;
    const std::vector<std::string> names = programNames(file, ProgramLanguage::Pspp);

    // The selection rules of the SPSS program, read from the records once.
    std::vector<bool> labels;
    std::vector<bool> frequencies;
    const bool walked = forEachMember(context, f, file.file->firstRow, [&](const VariableRecord& record, std::uint32_t) {
        labels.push_back(wantsValueLabels(context, record, context.labelChoice));
        frequencies.push_back(wantsFrequencies(context, record));
    });
    if (!walked || labels.size() != file.variables.size())
        return std::nullopt;

    for (std::size_t i = 0; i < file.variables.size(); ++i)
        if (!file.variables[i].hasColumns())
            out.print("* %s: its location gives no columns; it is not read.\n", names[i].c_str());
    writeDataList(out, file, names);
    writeFormats(out, file, names);
    context.progress(3);

    bool anyLabel = false;
    for (std::size_t i = 0; i < file.variables.size(); ++i) {
        const ProgramVariable& v = file.variables[i];
        if (!v.hasColumns())
            continue;
        out.write(anyLabel ? "\n  " : "VARIABLE LABELS\n  ");
        out.write(names[i]);
        out.put(' ');
        out.write(qavn::quoted(v.label));
        anyLabel = true;
    }
    if (anyLabel)
        out.write(".\n\n");
    writeValueLabels(context, file, names, labels);

    bool anyMissing = false;
    for (std::size_t i = 0; i < file.variables.size(); ++i) {
        const ProgramVariable& v = file.variables[i];
        if (v.hasColumns() && ((!v.isText() && !v.reservedCodes.empty()) || !v.declared.empty())) {
            writeMissingValues(out, v, names[i]);
            anyMissing = true;
        }
    }
    if (anyMissing)
        out.write("\n");
    context.progress(3);

    if (file.idFirst > 0 && matchesFiles(context))
        out.write("SORT CASES BY ID.\n");
    out.print("SAVE OUTFILE=%s /COMPRESSED.\n\n",
              pathLiteral(systemFile(context, f)).c_str());

    WrappedList frequencyList(out, "FREQUENCIES VARIABLES=");
    WrappedList statisticsList(out, "DESCRIPTIVES VARIABLES=");
    for (std::size_t i = 0; i < file.variables.size(); ++i)
        if (frequencies[i] && file.variables[i].hasColumns())
            frequencyList.add(names[i] + " ");
    if (frequencyList.started()) {
        frequencyList.flushPending();
        out.write(".\n\n");
    }
    for (std::size_t i = 0; i < file.variables.size(); ++i)
        if (wantsStatistics(file.variables[i].typeCode) && file.variables[i].hasColumns())
            statisticsList.add(names[i] + " ");
    if (statisticsList.started()) {
        statisticsList.flushPending();
        out.write("\n  /STATISTICS=DEFAULT.\n\n");
    }
    return true;
}

} // namespace

bool writePsppProgram(WriterContext& context)
{
    const ProjectSpec& project = context.project;
    // The project's header lines, as comments: this program runs as written,
    // and no line of a project file is to run in it.
    std::string_view header = project.spssHeader;
    while (!header.empty()) {
        const std::size_t end = header.find('\n');
        std::string line(trimmed(commentText(header.substr(0, end), ProgramLanguage::Pspp)));
        header.remove_prefix(end == std::string_view::npos ? header.size() : end + 1);
        if (line.empty())
            continue;
        if (line.front() != '*')
            line.insert(0, "* ");
        if (line.back() != '.')
            line += '.';
        context.out().print("%s\n", line.c_str());
    }
    context.out().write("\n");
    if (!writeEachProgramFile(context, [&](const ProgramFile& file) { return writePsppStep(context, file); }))
        return false;

    std::string files;
    int k = 0;
    for (const std::uint32_t g : context.writtenFiles) {
        const DataFileEntry* file = project.dataFile(g);
        if (!file || !file->hasIdentifier())
            continue;
        files += (k++ == 0 ? "MATCH FILES /FILE=" : "  /FILE=") +
                 pathLiteral(systemFile(context, g)) + "\n";
    }
    if (k > 1) {
        context.out().print("%s  /BY ID.\n\nSAVE OUTFILE=%s /COMPRESSED.\n", files.c_str(),
                            pathLiteral(matchedFile(context)).c_str());
    }
    return !context.cancelled();
}

} // namespace qavn
