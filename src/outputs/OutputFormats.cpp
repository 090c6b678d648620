// The output-format table, and how each kind of entry is run.

#include "outputs/OutputFormats.h"

#include "formats/TableFormats.h"
#include "outputs/DataExport.h"
#include "platform/TextOutput.h"
#include "publish/HtmlSite.h"
#include "publish/XlsxDictionary.h"
#include "writers/PortablePrograms.h"
#include "writers/ProgramWriters.h"

#include <array>

namespace qavn {

namespace {

template <WriterFunction writer>
OutputResult writeOneFile(const OutputFormat& format, const WriterServices& services, const OutputJob& job,
                          Progress& progress, FileTextOutput* output)
{
    WriterRequest request;
    request.write = writer;
    request.defaultExtension = format.defaultExtension;
    request.labelChoice = format.asksReservedCodes ? job.labelChoice : LabelChoice::NotAsked;
    request.chosenPath = job.path;
    request.merge = job.merge;
    request.longNames = job.longNames;
    return runWriterDriver(services, request, progress, output);
}

OutputResult exportData(const OutputFormat&, const WriterServices& services, const OutputJob& job,
                        Progress& progress, FileTextOutput*)
{
    return exportTaggedData(services, job.path, progress);
}

// A table output through the table driver (formats/TableDriver.h).
template <TableFormatMaker make>
OutputResult writeTables(const OutputFormat& format, const WriterServices& services, const OutputJob& job,
                         Progress& progress, FileTextOutput* output)
{
    TableRequest request;
    request.layout = format.files == OutputFiles::Several ? TableLayout::Folder : TableLayout::OneFile;
    request.path = job.path;
    request.defaultExtension = format.defaultExtension;
    request.reserved = job.reservedCodes;
    request.merge = job.merge;
    request.longNames = job.longNames;
    if (output)
        request.failFromWrite = output->failingFromWrite();
    const std::unique_ptr<TableFormat> table = make();
    return runTableDriver(services, request, *table, progress);
}

// The codebook as a static HTML site in a folder (publish/HtmlSite.h).
OutputResult writeSite(const OutputFormat&, const WriterServices& services, const OutputJob& job, Progress& progress,
                       FileTextOutput* output)
{
    SiteRequest request;
    request.path = job.path;
    if (output)
        request.failFromWrite = output->failingFromWrite();
    return writeHtmlSite(services, request, progress);
}

using F = OutputFiles;
namespace choice = outputchoice;

constexpr std::array formats{
    OutputFormat{OutputKind::Sas, "SAS", "SAS Code|*.sas|", ".SAS", true, F::One, "sas", "SAS program",
                 OutputCommand{32812, "SAS-PC", "Create File for SAS-PC Code", "SAS-PC Code"},
                 writeOneFile<writeSasProgram>},
    OutputFormat{OutputKind::SpssWin, "SPSS WIN", "SPSS WIN|*.sps|", ".SPS", true, F::One, "spss",
                 "SPSS command file (WIN)",
                 OutputCommand{32814, "SPSS", "Create File for SPSS Include File", "SPSS Include"},
                 writeOneFile<writeSpssWinProgram>},
    OutputFormat{OutputKind::SpssDos, "SPSS DOS", "SPSS DOS|*.sps|", ".SPS", true, F::One, "spss-dos",
                 "SPSS command file (DOS)",
                 OutputCommand{32813, "SPSS-PC", "Create File for SPSS-PC Code", "SPSS-PC Code"},
                 writeOneFile<writeSpssDosProgram>},
    OutputFormat{OutputKind::CodeText, "Code Text", "Code Text|*.txt|", ".TXT", false, F::One, "codebook",
                 "codebook text of the tagged variables",
                 OutputCommand{32815, "Codebook Text", "Create File for Codebook", "Codebook Text"},
                 writeOneFile<writeCodebookText>},
    OutputFormat{OutputKind::Tag, "Tag", "Tag|*.tag|", ".TAG", false, F::One, "tag-file",
                 "tag file: the numbers of the tagged variables",
                 OutputCommand{32816, "Tag File", "Create File from Tagged Items", "Tag File"},
                 writeOneFile<writeTagFile>},
    OutputFormat{OutputKind::AccessDb, "Access DB", "Access DB|*.mdb|", "", false, F::Several, "access",
                 "comma-delimited extracts of the raw data into the output directory",
                 OutputCommand{32825, "Access DB", "Create File for MS Access Database", "Access DB", true},
                 exportData},
    OutputFormat{OutputKind::Csv, "CSV", "CSV|*.csv|", "", false, F::Several, "csv",
                 "CSV files (RFC 4180) of the raw data, one per data file",
                 OutputCommand{32830, "CSV Files", "Create CSV Files of the Tagged Variables", "CSV Files", false,
                               true},
                 writeTables<makeCsvTables>, choice::emptyCells | choice::merge},
    OutputFormat{OutputKind::Sqlite, "SQLite", "SQLite Database|*.db|", ".db", false, F::One, "sqlite",
                 "SQLite database of the raw data, variables and value labels",
                 OutputCommand{32831, "SQLite Database", "Create SQLite Database of the Tagged Variables",
                               "SQLite Database", false, true},
                 writeTables<makeSqliteDatabase>, choice::emptyCells | choice::merge},
    OutputFormat{OutputKind::SpssData, "SPSS Data", "SPSS Data File|*.sav|", ".sav", false, F::One, "sav",
                 "SPSS data file(s) of the raw data: labels, value labels, reserved codes as missing values",
                 OutputCommand{32832, "SPSS Data File", "Create SPSS Data File of the Tagged Variables",
                               "SPSS Data File", false, true},
                 writeTables<makeSpssDataFile>, choice::merge},
    OutputFormat{OutputKind::StataData, "Stata Data", "Stata Data File|*.dta|", ".dta", false, F::One, "dta",
                 "Stata data file(s) of the raw data: labels, value labels, reserved codes as .a-.i",
                 OutputCommand{32833, "Stata Data File", "Create Stata Data File of the Tagged Variables",
                               "Stata Data File", false, true},
                 writeTables<makeStataDataFile>, choice::merge},
    OutputFormat{OutputKind::Ddi, "DDI Codebook", "DDI Codebook|*.xml|", ".xml", false, F::One, "ddi",
                 "DDI Codebook 2.5 XML with a fixed-width extract of the raw data beside it",
                 OutputCommand{32834, "DDI Codebook", "Create DDI Codebook 2.5 with a Fixed-Width Extract",
                               "DDI Codebook", false, true},
                 writeTables<makeDdiCodebook>, choice::merge},
    OutputFormat{OutputKind::StataProgram, "Stata", "Stata Do-File|*.do|", ".do", false, F::One, "stata",
                 "Stata do-file that reads the raw data (infix), with labels and missing codes",
                 OutputCommand{32835, "Stata Do-File", "Create Stata Do-File for the Raw Data", "Stata Do-File",
                               false, true},
                 writeOneFile<writeStataProgram>, choice::merge},
    OutputFormat{OutputKind::RScript, "R", "R Script|*.R|", ".R", false, F::One, "r",
                 "R script that reads the raw data (readr, haven), with labels and missing codes",
                 OutputCommand{32836, "R Script", "Create R Script for the Raw Data", "R Script", false, true},
                 writeOneFile<writeRScript>, choice::merge},
    OutputFormat{OutputKind::PsppProgram, "SPSS for PSPP", "SPSS for PSPP|*.sps|", ".sps", true, F::One, "pspp",
                 "SPSS command file that PSPP runs: host data paths, missing values",
                 OutputCommand{32837, "SPSS for PSPP", "Create SPSS Command File for PSPP", "SPSS for PSPP", false,
                               true},
                 writeOneFile<writePsppProgram>},
    OutputFormat{OutputKind::Parquet, "Parquet", "Parquet|*.parquet|", "", false, F::Several, "parquet",
                 "Parquet files of the raw data, one per data file, with variables, value labels and DuckDB views",
                 OutputCommand{32838, "Parquet Files", "Create Parquet Files of the Tagged Variables", "Parquet Files",
                               false, true},
                 writeTables<makeParquetTables>, choice::emptyCells | choice::merge},
    OutputFormat{OutputKind::HtmlSite, "HTML Site", "", "", false, F::Folder, "html",
                 "searchable HTML site of the codebook (index.html and its files) in the folder PATH",
                 OutputCommand{32844, "HTML Site", "Create a Searchable HTML Site of the Tagged Variables",
                               "HTML Site", false, true},
                 writeSite},
    OutputFormat{OutputKind::XlsxDictionary, "Data Dictionary", "Excel Workbook|*.xlsx|", ".xlsx", false, F::One,
                 "xlsx", "xlsx data dictionary: sheets Variables and Value labels",
                 OutputCommand{32845, "Data Dictionary (xlsx)", "Create an xlsx Data Dictionary of the Tagged Variables",
                               "Data Dictionary", false, true},
                 writeOneFile<writeXlsxDictionary>},
};

} // namespace

std::span<const OutputFormat> outputFormats()
{
    return formats;
}

const OutputFormat& outputFormat(OutputKind kind)
{
    for (const OutputFormat& format : formats)
        if (format.kind == kind)
            return format;
    return formats.front(); // not reached: every kind has its entry
}

const OutputFormat* findOutputFormat(std::string_view batchName)
{
    for (const OutputFormat& format : formats)
        if (format.batchName == batchName)
            return &format;
    return nullptr;
}

const OutputFormat* findOutputFormatByCommand(int commandId)
{
    for (const OutputFormat& format : formats)
        if (commandId != 0 && format.command.id == commandId)
            return &format;
    return nullptr;
}

OutputResult writeOutput(const OutputFormat& format, const WriterServices& services, const OutputJob& job,
                         Progress& progress, FileTextOutput* output)
{
    return format.write(format, services, job, progress, output);
}

} // namespace qavn
