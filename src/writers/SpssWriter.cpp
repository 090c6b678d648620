// The SPSS command file of the tagged variables, DOS and WIN dialects.

#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "platform/TextOutput.h"
#include "catalogue/VariableList.h"
#include "writers/ProgramWriters.h"
#include "writers/StatementBuilders.h"
#include "writers/WriterContext.h"

#include <cstdio>
#include <string>

namespace qavn {

namespace {

// One data file's commands. Result: 1 when it wrote a value label, a
// FREQUENCIES or a DESCRIPTIVES entry, 0 otherwise, nullopt on an abort.
std::optional<int> writeSpssStep(WriterContext& context, Dialect dialect, std::uint32_t f, std::uint32_t first)
{
    // An abort in the data list (cancel or an unreadable record) ends the
    // step here, so an unreadable record is reported once.
    if (!writeDataList(context, dialect, f, first))
        return std::nullopt;
    const std::optional<std::uint32_t> labels = writeLabels(context, dialect, f, first);
    if (!labels)
        return std::nullopt;

    TextOutput& out = context.out();
    bool productive = false;

    // VALUE LABELS: the keyword goes out with the first label actually
    // written, so a variable without usable category lines writes nothing.
    std::string v = "\nVALUE LABELS\n ";
    bool headerPending = true;
    bool labelsWritten = false;
    bool walked = forEachMember(context, f, first, [&](const VariableRecord& record, std::uint32_t n) {
        if (!wantsValueLabels(context, record, context.labelChoice))
            return;
        const std::string& programName = context.programName(f, n, record.variableName());
        char name[32];
        std::snprintf(name, sizeof name, headerPending ? "   %-8.*s" : " / %-8.*s",
                      static_cast<int>(programName.size()), programName.data());
        if (writeCategoryLines(context, record, dialect, v + name) > 0) {
            labelsWritten = true;
            headerPending = false;
            v = " ";
        } else {
            v = headerPending ? "VALUE LABELS\n " : " ";
        }
    });
    if (!walked)
        return std::nullopt;
    productive = labelsWritten;
    context.progress(3);

    if (labelsWritten || *labels > 0) {
        const std::string saved = context.settings.outputDir + "\\X" + std::to_string(f);
        out.print("\nSAVE OUTFILE=%s /Compressed.\n\n", qavn::quoted(saved).c_str());
    }

    WrappedList frequencies(out, "FREQUENCIES VARIABLES=");
    walked = forEachMember(context, f, first, [&](const VariableRecord& record, std::uint32_t n) {
        if (wantsFrequencies(context, record))
            frequencies.add(context.programName(f, n, record.variableName()) + " ");
    });
    if (!walked)
        return std::nullopt;
    if (frequencies.started()) {
        productive = true;
        frequencies.flushPending();
        out.write(".\n\n");
    }

    WrappedList descriptives(out, "DESCRIPTIVES VARIABLES=");
    walked = forEachMember(context, f, first, [&](const VariableRecord& record, std::uint32_t n) {
        if (wantsStatistics(context.list.rowInfo(n).typeCode))
            descriptives.add(context.programName(f, n, record.variableName()) + " ");
    });
    if (!walked)
        return std::nullopt;
    context.progress(3);
    if (descriptives.started()) {
        productive = true;
        descriptives.flushPending();
        out.print("\n  %s\n\n", dialect == Dialect::SpssDos ? "/STATS=13." : "/STATS=DEF.");
    }
    return productive ? 1 : 0;
}

void writeMatchFiles(WriterContext& context, Dialect dialect)
{
    TextOutput& out = context.out();
    const std::string& outputDir = context.settings.outputDir;
    std::string text = "\nMATCH FILES ";
    context.progress(5);
    int k = 0;
    for (std::uint32_t g : context.writtenFiles) {
        if (context.cancelled())
            return;
        const DataFileEntry* file = context.project.dataFile(g);
        if (!file || !file->hasIdentifier())
            continue;
        ++k;
        text += k == 1 ? "/FILE=" : "  /FILE=";
        text += qavn::quoted(outputDir + "\\X" + std::to_string(g)) + "\n";
    }
    if (k > 1) {
        out.print("%s        /BY ID.\n\nSAVE OUTFILE=%s /Compressed.\n\n", text.c_str(),
                  qavn::quoted(outputDir + "\\XTRACT").c_str());
    }
    if (dialect == Dialect::SpssDos)
        out.write("FINISH.\n");
}

} // namespace

bool writeSpssProgram(WriterContext& context, bool dosDialect)
{
    const Dialect dialect = dosDialect ? Dialect::SpssDos : Dialect::SpssWin;
    const ProjectSpec& project = context.project;
    context.language = ProgramLanguage::Spss;
    // The header's lines end in CR LF, so its closing line end leaves an
    // empty line after it.
    writeHeaderText(context, project.spssHeader);
    for (std::uint32_t f = 1; f <= project.dataFiles.size(); ++f) {
        const std::optional<int> result = writeSpssStep(context, dialect, f, project.dataFiles[f - 1].firstRow);
        if (!result) {
            context.setCancelled();
            return false;
        }
        if (*result == 1)
            context.writtenFiles.push_back(f);
        context.progress(2);
    }
    writeMatchFiles(context, dialect);
    return !context.cancelled();
}

bool writeSpssWinProgram(WriterContext& context)
{
    return writeSpssProgram(context, false);
}

bool writeSpssDosProgram(WriterContext& context)
{
    return writeSpssProgram(context, true);
}

} // namespace qavn
