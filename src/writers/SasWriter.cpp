// The SAS program of the tagged variables.

#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "platform/TextOutput.h"
#include "catalogue/VariableList.h"
#include "writers/ProgramWriters.h"
#include "writers/StatementBuilders.h"
#include "writers/WriterContext.h"

namespace qavn {

namespace {

// PROC FREQ (FORMAT, TABLES) and PROC UNIVARIATE for data file f. Returns
// false when a walk ended in an abort; what was written stays.
bool writeAnalysis(WriterContext& context, std::uint32_t f, std::uint32_t first)
{
    TextOutput& out = context.out();

    WrappedList format(out, "PROC FREQ;\nFORMAT");
    bool walked = forEachMember(context, f, first, [&](const VariableRecord& record, std::uint32_t n) {
        if (!wantsFrequencies(context, record))
            return;
        std::string entry = context.programName(f, n, record.variableName());
        entry += record.typeCode == 'A' ? " $" : " ";
        entry += sasFormatName(context, record, n);
        entry += ". ";
        format.add(entry);
    });
    if (!walked)
        return false;
    if (format.started()) {
        format.flushPending();
        out.write(";\n\n");
    }

    WrappedList tables(out, "TABLES");
    walked = forEachMember(context, f, first, [&](const VariableRecord& record, std::uint32_t n) {
        if (wantsFrequencies(context, record))
            tables.add(context.programName(f, n, record.variableName()) + " ");
    });
    if (!walked)
        return false;
    if (tables.started()) {
        tables.flushPending();
        out.write(";\n\n");
    }

    WrappedList var(out, "PROC UNIVARIATE;VAR");
    walked = forEachMember(context, f, first, [&](const VariableRecord& record, std::uint32_t n) {
        if (wantsStatistics(context.list.rowInfo(n).typeCode))
            var.add(context.programName(f, n, record.variableName()) + " ");
    });
    if (!walked)
        return false;
    if (var.started()) {
        var.flushPending();
        out.write(";\n\n");
    }
    return true;
}

// One data file's part of the program. Result: the number of variables that
// opened a VALUE entry, or nullopt on an abort before the analysis
// statements.
std::optional<std::uint32_t> writeSasStep(WriterContext& context, std::uint32_t f, std::uint32_t first)
{
    // An abort in the data list (cancel or an unreadable record) ends the
    // step here, so an unreadable record is reported once.
    if (!writeDataList(context, Dialect::Sas, f, first))
        return std::nullopt;
    if (!writeLabels(context, Dialect::Sas, f, first))
        return std::nullopt;

    TextOutput& out = context.out();
    std::uint32_t count = 0;
    const bool walked = forEachMember(context, f, first, [&](const VariableRecord& record, std::uint32_t n) {
        if (!wantsValueLabels(context, record, context.labelChoice))
            return;
        ++count;
        if (count == 1)
            out.write("PROC FORMAT;\n");
        std::string name = sasFormatName(context, record, n);
        if (record.typeCode == 'A')
            name.insert(0, 1, '$');
        std::string prefix = " VALUE " + name;
        if (name.size() < 8)
            prefix.append(8 - name.size(), ' ');
        writeCategoryLines(context, record, Dialect::Sas, prefix);
    });
    if (!walked)
        return std::nullopt;
    if (count > 0)
        out.write("\n");

    context.progress(2);
    // An abort here only cuts the analysis short; the cancel flag stays set,
    // so the next step ends at once.
    writeAnalysis(context, f, first);
    context.progress(2);
    return count;
}

} // namespace

bool writeSasProgram(WriterContext& context)
{
    TextOutput& out = context.out();
    const ProjectSpec& project = context.project;
    context.language = ProgramLanguage::Sas;
    // The header's lines end in CR LF, so its closing line end leaves an
    // empty line after it.
    writeHeaderText(context, project.sasHeader);
    // The library is named after the project (its file prefix), made a SAS
    // name should the prefix not be one.
    std::vector<std::string> noNames;
    const std::string library = identifierFor(project.filePrefix, NameRules::of(ProgramLanguage::Sas), noNames);
    out.print("LIBNAME %s %s;\n\n", library.c_str(), qavn::quoted(context.settings.outputDir).c_str());

    const std::string mergeStart = "DATA " + library + ".EXTRACT;MERGE X";
    std::string merge = mergeStart;
    int merged = 0;
    for (std::uint32_t f = 1; f <= project.dataFiles.size(); ++f) {
        const DataFileEntry& file = project.dataFiles[f - 1];
        const std::optional<std::uint32_t> result = writeSasStep(context, f, file.firstRow);
        if (!result) {
            context.setCancelled();
            return false;
        }
        if (*result == 0)
            continue;
        context.writtenFiles.push_back(f);
        if (file.hasIdentifier()) {
            if (merge.size() != mergeStart.size())
                merge += "           X";
            merge += std::to_string(f) + "\n";
            ++merged;
        }
    }
    if (merged > 1)
        out.print("%s           ;BY ID;\n", merge.c_str());
    out.write("\nRUN;");
    return !context.cancelled();
}

} // namespace qavn
