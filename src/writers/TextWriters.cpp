// The codebook text and the tag file.

#include "project/ProjectSpec.h"
#include "codebook/CodebookStore.h"
#include "platform/TextOutput.h"
#include "writers/ProgramWriters.h"
#include "writers/StatementBuilders.h"
#include "writers/WriterContext.h"

#include <string>

namespace qavn {

namespace {

constexpr const char* variableSeparator = "- - - - - - - - - - - - - - - - - - - - - - - - - - - - - - -\n";
constexpr const char* descriptionOpener = "    + + + + + + + + + + + + + + + + + + + + + + + + +\n";
constexpr const char* frequencyOpener = "    % % % % % % % % % % % % % % % % % % % % % % % % %";

} // namespace

bool writeCodebookText(WriterContext& context)
{
    TextOutput& out = context.out();
    CodebookStore& store = context.store;
    out.print("%s eXtract Codebook\n\n\n", context.project.filePrefix.c_str());

    // The last variable whose description was written in full; later
    // variables sharing its description point back to it.
    std::uint32_t rememberedDescription = 0;
    std::string rememberedName = " ";
    std::string section;
    for (std::size_t i = 0; i < context.tagged.size(); ++i) {
        const std::uint32_t n = context.tagged[i];
        out.write(variableSeparator);
        if (!store.readRecord(n))
            return false;
        const VariableRecord record = store.record();
        const std::string name(record.variableName());
        const std::string_view label = store.readLine(record.labelRef);
        out.print("Variable[%6ld]:  %-10s%.*s\n", static_cast<long>(n), name.c_str(),
                  static_cast<int>(label.size()), label.data());

        // A file number outside the project's data files names no file.
        const DataFileEntry* file = context.project.dataFile(record.fileNumber);
        const std::string location(record.locationText());
        out.print("Module[%2d]:  %s  Position: # %d/%2d   %s\n\n", static_cast<int>(record.fileNumber),
                  file ? file->dataPath.c_str() : "", static_cast<int>(record.recordNumber),
                  file ? static_cast<int>(file->linesPerCase) : 0, location.c_str());

        if (!store.sectionTitleOf(n, section))
            return false;
        out.print("Section: %s\n", section.c_str());

        if (record.descriptionRef.offset() == rememberedDescription) {
            out.print("+++ See description for variable: %s\n", rememberedName.c_str());
        } else {
            out.write(descriptionOpener);
            store.readLines(record.descriptionRef, record.descriptionLineCount, LineVariant::FileEcho,
                            [&](std::string_view line) {
                                out.put(' ');
                                out.write(line);
                                out.write("\n");
                                return true;
                            });
            rememberedDescription = record.descriptionRef.offset();
            rememberedName = name;
        }

        out.print("%s\n", frequencyOpener);
        out.print("%9s%6s%8s%9s\n", "Code", "Freq", "Percent", "Label");
        writeCategoryLines(context, record, Dialect::Text, {});
        out.write("\n");

        if (context.cancelled())
            return false;
        if (i % 10 == 0)
            context.progress(1);
    }
    return true;
}

bool writeTagFile(WriterContext& context)
{
    TextOutput& out = context.out();
    for (std::size_t i = 0; i < context.tagged.size(); ++i) {
        out.print("%6ld\n", static_cast<long>(context.tagged[i]));
        if (i % 10 == 0)
            context.progress(1);
    }
    return true;
}

} // namespace qavn
