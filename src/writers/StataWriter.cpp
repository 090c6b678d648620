// The Stata do-file that reads the raw data with infix.

#include "writers/PortablePrograms.h"

#include "platform/Latin1.h"
#include "platform/TextOutput.h"
#include "project/ProjectMetadata.h"
#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"
#include "writers/DisplayFormats.h"
#include "writers/MissingPlans.h"
#include "writers/StatementBuilders.h"
#include "writers/WriterContext.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <set>

namespace qavn {

namespace {

// Text between Stata's compound double quotes, which hold any quote.
std::string stataString(std::string_view latin1)
{
    return "`\"" + stataCompoundText(latin1) + "\"'";
}

// A host path as a Stata string: macro characters and backslashes escaped,
// control characters blanked, between compound quotes when it holds a
// double quote.
std::string stataPath(const std::filesystem::path& path)
{
    std::string text;
    bool doubleQuote = false;
    for (const char c : path.string()) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '`' || c == '$' || c == '\\')
            text += '\\';
        text += byte < 32 || byte == 127 ? ' ' : c;
        doubleQuote = doubleQuote || c == '"';
    }
    return doubleQuote ? "`\"" + text + "\"'" : "\"" + text + "\"";
}

// The extended missing value of reserved code -k: .a for -1 ... .i for -9.
std::string extendedMissing(std::string_view code)
{
    return std::string(".") + static_cast<char>('a' + (code[1] - '1'));
}

void writeInfix(TextOutput& out, const ProgramFile& file, const std::vector<std::string>& names)
{
    out.write("clear\n");
    out.print("infix %d lines ///\n", caseLines(file));
    if (file.idFirst > 0)
        out.print("    str ID 1:%lld-%lld ///\n", static_cast<long long>(file.idFirst),
                  static_cast<long long>(file.idLast));
    for (std::size_t i = 0; i < file.variables.size(); ++i) {
        const ProgramVariable& v = file.variables[i];
        if (!liesInCase(file, v))
            continue;
        // Text, and numbers with implied decimals (whose own decimal point
        // decides whether they are scaled), are read as text.
        const char* type = v.isText() || v.decimals() > 0 ? "str" : "double";
        out.print("    %s %s %u:%lld-%lld ///\n", type, names[i].c_str(), static_cast<unsigned>(v.line),
                  static_cast<long long>(v.first), static_cast<long long>(v.last));
    }
    out.print("    using %s\n\n", stataPath(file.dataPath).c_str());
}

// The values the source declared missing as their extended missing values
// (beyond the letters, "."), once the variable holds numbers.
void writeDeclaredMissing(TextOutput& out, const StataMissing& missing, const std::string& name)
{
    auto limits = [&](double low, double high) {
        std::string condition;
        if (low == high)
            return name + " == " + plainNumber(low);
        if (low != -HUGE_VAL)
            condition = name + " >= " + plainNumber(low);
        condition += std::string(condition.empty() ? "" : " & ") + name +
                     (high == HUGE_VAL ? std::string(" < .") : " <= " + plainNumber(high));
        return condition;
    };
    for (const StataMissingLetter& l : missing.letters)
        if (!l.reserved)
            out.print("quietly replace %s = .%c if %s\n", name.c_str(), l.letter, limits(l.low, l.high).c_str());
    for (const ValueRange& range : missing.unlettered)
        out.print("quietly replace %s = . if %s\n", name.c_str(), limits(range.first, range.second).c_str());
}

// The display format of the project's metadata (%9.2fc, %td, ...). Dates
// the source counted from another day or in another unit are first
// converted to Stata's count (extended missing values stay), unless labels
// name their raw values: those stay numbers as the data hold them.
void writeFormat(TextOutput& out, const ProgramVariable& v, const std::string& name)
{
    if (!v.metadata)
        return;
    const int width = static_cast<int>(std::min<std::int64_t>(v.last - v.first + 1, 40));
    const int decimals = v.decimals();
    const PackageFormat format =
        packageFormat(v.metadata, decimals > 0 ? std::max(width + 1, decimals + 2) : width, decimals, Package::Stata);
    if (!format.fromMetadata)
        return;
    if (!format.conversion.identity()) {
        if (v.labelsValues()) {
            out.print("* %s: dates as the source counts them (%s), since labels name them.\n", name.c_str(),
                      v.metadata->format.text.c_str());
            return;
        }
        out.print("quietly replace %s = %s if %s < .\n", name.c_str(),
                  conversionExpression(name, format.conversion).c_str(), name.c_str());
    }
    out.print("format %s %s\n", name.c_str(), format.text.c_str());
}

void writeValues(TextOutput& out, const ProgramVariable& v, const std::string& name)
{
    if (v.isText()) {
        // infix takes the bytes as they are; the raw data are Latin-1.
        out.print("quietly replace %s = ustrfrom(%s, \"ISO-8859-1\", 1)\n", name.c_str(), name.c_str());
        // A text declared missing is an empty string, Stata's missing text.
        std::string latin1;
        for (const DeclaredMissing::Text& text : v.declared.texts)
            if (utf8ToLatin1(text.value, latin1))
                out.print("quietly replace %s = \"\" if %s == %s\n", name.c_str(), name.c_str(),
                          stataString(latin1).c_str());
        return;
    }
    const StataMissing missing = stataMissing(v.reservedCodes, v.declared);
    const int d = v.decimals();
    if (d > 0) {
        out.print("generate double qavn_value = real(%s)\n", name.c_str());
        for (const std::string& code : v.reservedCodes)
            out.print("quietly replace qavn_value = %s if strtrim(%s) == \"%s\"\n", extendedMissing(code).c_str(),
                      name.c_str(), code.c_str());
        out.print("quietly replace qavn_value = qavn_value / 1e%d if qavn_value < . & strpos(%s, \".\") == 0\n",
                  d, name.c_str());
        out.print("drop %s\nrename qavn_value %s\nformat %s %%12.%dg\n", name.c_str(), name.c_str(), name.c_str(),
                  std::max(7, d + 4));
        writeDeclaredMissing(out, missing, name);
        writeFormat(out, v, name);
        return;
    }
    if (!v.reservedCodes.empty()) {
        out.print("mvdecode %s, mv(", name.c_str());
        for (std::size_t i = 0; i < v.reservedCodes.size(); ++i)
            out.print("%s%s=%s", i > 0 ? " \\ " : "", v.reservedCodes[i].c_str(),
                      extendedMissing(v.reservedCodes[i]).c_str());
        out.write(")\n");
    }
    writeDeclaredMissing(out, missing, name);
    writeFormat(out, v, name);
}

void writeLabels(TextOutput& out, const ProgramVariable& v, const std::string& name)
{
    out.print("label variable %s %s\n", name.c_str(), stataString(v.label).c_str());
    if (v.categories.empty() && v.declared.empty())
        return;
    if (v.isText()) {
        // Stata labels numbers only: the categories of a text variable are
        // listed for the reader.
        for (const ProgramVariable::Category& c : v.categories)
            out.print("* %s: %s\n", name.c_str(),
                      commentText(latin1ToUtf8(c.code + " = " + c.label), ProgramLanguage::Stata).c_str());
        return;
    }
    const StataMissing missing = stataMissing(v.reservedCodes, v.declared);
    std::set<std::string> seen;
    std::set<std::string> labels;
    std::string entries;
    for (const ProgramVariable::Category& c : v.categories) {
        if (c.label.empty())
            continue; // a category line without a label gives no value label
        std::string value;
        char* end = nullptr;
        const std::string scaled = scaledCode(c.code, v.decimals());
        const double number = std::strtod(scaled.c_str(), &end);
        const char letter = !c.reserved && v.declared.hasNumbers() && !scaled.empty() && *end == '\0' &&
                                    v.declared.covers(number)
                                ? missing.letterOf(number)
                                : '\0';
        if (c.reserved) {
            value = extendedMissing(c.code);
        } else if (letter == '.') {
            continue; // system-missing: no label
        } else if (letter != '\0') {
            value = std::string(".") + letter;
        } else if (v.decimals() == 0 && isWholeNumber(c.code) && c.code.size() <= 10) {
            const long long number = std::stoll(c.code);
            if (number > std::numeric_limits<std::int32_t>::max() || number < -std::numeric_limits<std::int32_t>::max())
                continue;
            value = c.code;
        } else {
            continue;
        }
        if (!seen.insert(value).second)
            continue;
        entries += " ///\n    " + value + " " + stataString(distinctLabel(c.label, c.code, labels));
    }
    // The declared missing values' own labels where no category line gave one.
    for (const StataMissingLetter& l : missing.letters) {
        std::string label;
        if (l.reserved || l.label.empty() || !utf8ToLatin1(l.label, label))
            continue;
        const std::string value = std::string(".") + l.letter;
        if (seen.insert(value).second)
            entries += " ///\n    " + value + " " + stataString(distinctLabel(label, plainNumber(l.low), labels));
    }
    if (entries.empty())
        return;
    out.print("label define %s%s, replace\n", name.c_str(), entries.c_str());
    out.print("label values %s %s\n", name.c_str(), name.c_str());
}

// One data file's commands. Result: whether the file had tagged variables;
// nothing on an abort.
std::optional<bool> writeStataStep(WriterContext& context, const ProgramFile& file)
{
    TextOutput& out = context.out();
    const std::vector<std::string> names = programNames(file, ProgramLanguage::Stata);

    out.print("* %s: %u tagged variables, %d lines per case\n",
              commentText(file.file->dataPath, ProgramLanguage::Stata).c_str(),
              static_cast<unsigned>(file.variables.size()), static_cast<int>(file.file->linesPerCase));
    for (std::size_t i = 0; i < file.variables.size(); ++i)
        if (!liesInCase(file, file.variables[i]))
            out.print("* %s: its location lies outside the case; it is not read.\n", names[i].c_str());
    writeInfix(out, file, names);
    context.progress(3);
    std::string order = file.idFirst > 0 ? " ID" : "";
    for (std::size_t i = 0; i < file.variables.size(); ++i) {
        const ProgramVariable& v = file.variables[i];
        if (!liesInCase(file, v))
            continue;
        writeValues(out, v, names[i]);
        writeLabels(out, v, names[i]);
        order += " " + names[i];
        if (context.cancelled())
            return std::nullopt;
    }
    if (file.idFirst > 0)
        out.write("label variable ID \"Case identifier\"\n");
    out.print("order%s\n", order.c_str());
    const std::filesystem::path saved = outputHostDir(context) / (file.outputName + ".dta");
    if (context.merge && file.idFirst > 0)
        out.write("sort ID\n");
    out.print("save %s, replace\n\n", stataPath(saved).c_str());
    context.progress(3);
    return true;
}

} // namespace

bool writeStataProgram(WriterContext& context)
{
    const ProjectSpec& project = context.project;
    TextOutput& out = context.out();
    out.write("* Stata do-file written by QAVN\n");
    out.print("* %s\n", commentText(latin1ToUtf8(project.dataSetTitle), ProgramLanguage::Stata).c_str());
    out.write("* Reads the tagged variables from the raw data: implied decimals applied,\n"
              "* reserved codes as extended missing values (-1 = .a, -2 = .b, ... -9 = .i).\n"
              "version 14\nset more off\n\n");
    if (!writeEachProgramFile(context, [&](const ProgramFile& file) { return writeStataStep(context, file); }))
        return false;
    if (!context.merge)
        return true;
    // The saved data sets of the data files with an identifier, each sorted
    // by it, matched into one.
    std::vector<std::filesystem::path> saved;
    for (const std::uint32_t f : context.writtenFiles)
        if (project.dataFiles[f - 1].hasIdentifier())
            saved.push_back(outputHostDir(context) / (dataFileOutputNames(project)[f - 1] + ".dta"));
    if (saved.size() < 2)
        return true;
    out.write("* The data files matched by their identifier into one data set\n");
    out.print("use %s, clear\n", stataPath(saved.front()).c_str());
    for (std::size_t i = 1; i < saved.size(); ++i)
        out.print("merge 1:1 ID using %s, nogenerate\n", stataPath(saved[i]).c_str());
    out.print("sort ID\nsave %s, replace\n",
              stataPath(outputHostDir(context) / (mergedOutputName(project) + ".dta")).c_str());
    return true;
}

} // namespace qavn
