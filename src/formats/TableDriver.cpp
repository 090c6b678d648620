// The table-output driver: places, tables, files, the walk over the cases,
// progress, messages and the final renames.

#include "formats/TableDriver.h"

#include "catalogue/VariableList.h"
#include "codebook/CodebookStore.h"
#include "export/AccessExport.h"
#include "export/MergedCases.h"
#include "platform/HostPath.h"
#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"
#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "writers/WriterContext.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace qavn {

TableFailure cannotOpen(std::string file, std::filesystem::path host, std::string reason)
{
    TableFailure failure;
    failure.kind = TableFailure::Kind::CannotOpen;
    failure.file = std::move(file);
    failure.hostPath = std::move(host);
    failure.reason = std::move(reason);
    return failure;
}

TableFailure cannotWrite(std::string file, std::string reason)
{
    TableFailure failure;
    failure.kind = TableFailure::Kind::CannotWrite;
    failure.file = std::move(file);
    failure.reason = std::move(reason);
    return failure;
}

TableFailure refused(std::string message)
{
    TableFailure failure;
    failure.kind = TableFailure::Kind::Refused;
    failure.reason = std::move(message);
    return failure;
}

TableFailure inputFailure(ReadError error)
{
    TableFailure failure;
    failure.kind = TableFailure::Kind::Input;
    failure.input = std::move(error);
    return failure;
}

FailureMessage failureMessage(const TableFailure& failure)
{
    switch (failure.kind) {
    case TableFailure::Kind::CannotOpen:
        return {"Cannot Open " + failure.file, fileDetail(failure.hostPath, failure.reason)};
    case TableFailure::Kind::CannotWrite:
        return {"Cannot Write " + failure.file + " !\n" + failure.reason, {}};
    case TableFailure::Kind::Input:
        if (failure.input.kind == ReadError::Kind::CannotOpen)
            return {"Cannot Open " + failure.input.file, describe(failure.input)};
        return {describe(failure.input), {}};
    case TableFailure::Kind::Refused:
    case TableFailure::Kind::Empty:
        break;
    }
    return {failure.reason, {}};
}

namespace {

// A name with its control characters shown as "?", for a message.
std::string printable(std::string text)
{
    for (char& c : text)
        if (hasControlCharacter(std::string_view(&c, 1)))
            c = '?';
    return text;
}

bool syncFile(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// The place a one-file output is written to, or the refusal.
TableOutcome chosenPlace(const TableRequest& request, OutputPlace& place)
{
    place.name = outputFileName(request.path, request.defaultExtension);
    const std::string_view chosen = trimmed(request.path);
    if (place.name.empty() || chosen.back() == '/' || chosen.back() == '\\')
        return refused("Cannot Open " + place.name + "\n" + std::string(chosen) +
                       " names a folder; give the output a file name.");
    if (hasControlCharacter(place.name))
        return refused("Cannot Open " + printable(place.name) + "\nThe name holds a control character.");
    place.host = chosenHostPath(place.name);
    return TableOutcome::done();
}

// The folder a Folder output writes into, or the refusal.
TableOutcome folderPlace(const WriterServices& services, const TableRequest& request, OutputPlace& place)
{
    place.name = request.path.empty() ? services.settings.outputDir : request.path;
    if (trimmed(place.name).empty())
        return refused("No output directory is set. Choose one with Setup.");
    if (hasControlCharacter(place.name))
        return refused("The output directory holds a control character. Choose another one.");
    place.host = request.path.empty() ? toHostPath(place.name) : chosenHostPath(place.name);
    return TableOutcome::done();
}

// The one table of a merged run over `tables` (each a data file's).
TableOutcome mergeTables(std::vector<OutputTable>& tables)
{
    if (tables.size() < 2)
        return TableOutcome::done();
    OutputTable merged;
    merged.name = std::string(mergedTableName);
    for (const OutputTable& table : tables) {
        if (!table.columns.front().isIdentifier)
            return refused("The tagged variables of " + table.source().file->dataPath +
                           " cannot be matched with those of the other data files: the data file has no "
                           "identifier. Tag them apart, or write one table per data file.");
        merged.sources.push_back(&table.source());
    }
    merged.columns = mergedColumns(merged.sources);
    tables.assign(1, std::move(merged));
    return TableOutcome::done();
}

// The tables of the run, one per data file holding tagged variables (or one
// of them all, merged).
TableOutcome planTables(const WriterServices& services, const TableRequest& request, const TableFormat& format,
                        Progress& progress, std::vector<DataTable>& data, std::vector<OutputTable>& tables)
{
    const ProjectSpec& project = services.project;
    const std::vector<std::uint32_t> tagged = services.list.taggedRows();
    const std::vector<std::string> names = dataFileOutputNames(project);
    data.resize(project.dataFiles.size());
    std::vector<std::string> taken;
    for (const std::string_view name : format.reservedNames())
        taken.push_back(upperAscii(name));
    for (std::uint32_t f = 1; f <= project.dataFiles.size(); ++f) {
        DataTable& table = data[f - 1];
        const ReadOutcome built = buildDataTable(tagged, f, services.store, *project.dataFile(f), services.settings,
                                                 [&] { return progress.cancelled(); }, table,
                                                 TableNaming{services.metadata, request.longNames});
        if (built.isStopped())
            return TableOutcome::stopped();
        if (built.isFailed())
            return inputFailure(built.error());
        if (table.columns.empty())
            continue;
        const std::string& dataPath = table.file->dataPath;
        if (hasControlCharacter(dataPath))
            return refused("The data path " + printable(dataPath) + " gives no file name for its table.");
        OutputTable out;
        out.name = names[f - 1];
        for (int k = 2; std::find(taken.begin(), taken.end(), upperAscii(out.name)) != taken.end(); ++k)
            out.name = names[f - 1] + "_" + std::to_string(k);
        taken.push_back(upperAscii(out.name));
        out.sources.push_back(&table);
        out.columns = table.columns;
        tables.push_back(std::move(out));
    }
    return request.merge ? mergeTables(tables) : TableOutcome::done();
}

// The texts and the bar of the writing dialog.
class TableProgress {
public:
    TableProgress(Progress& progress, Ui& ui, TableLayout layout, std::size_t tables)
        : progress_(progress), ui_(ui), folder_(layout == TableLayout::Folder),
          share_(tables == 0 ? 0 : 200 / static_cast<long>(tables))
    {
        progress_.setRange(writingProgressRange);
    }

    void startTable(const OutputTable& table)
    {
        cases_ = 0;
        advanced_ = 0;
        std::string dataPath;
        for (const DataTable* source : table.sources)
            dataPath += (dataPath.empty() ? "" : ", ") + source->file->dataPath;
        if (folder_) {
            progress_.setText(accessfield::dataFile, "from [" + dataPath + "] !");
            progress_.setText(accessfield::caseTotal, {});
        } else {
            progress_.setText({}, dataPath);
        }
    }
    // After each case written: the counter, then a poll. `total` is the
    // table's number of cases when the raw data tell it (0 otherwise): the
    // dialog then shows it, and the bar moves case by case.
    bool caseWritten(std::uint64_t total)
    {
        ++cases_;
        if (total > 0) {
            if (cases_ == 1 && folder_)
                progress_.setText(accessfield::caseTotal, std::to_string(total));
            const long writing = share_ - share_ / 2;
            const auto due = static_cast<long>(static_cast<std::uint64_t>(writing) *
                                               std::min<std::uint64_t>(static_cast<std::uint64_t>(cases_), total) /
                                               total);
            if (due > advanced_) {
                progress_.advance(due - advanced_);
                advanced_ = due;
            }
        }
        if (folder_ || (cases_ & 255) == 0) {
            char counter[24];
            const auto end = std::to_chars(counter, counter + sizeof counter, cases_).ptr;
            progress_.setText(folder_ ? accessfield::caseCount : std::string_view(),
                              std::string_view(counter, static_cast<std::size_t>(end - counter)));
        }
        return poll();
    }
    bool poll() { return pollProgress(ui_, progress_); }
    void halfTable() { progress_.advance(share_ / 2); }
    void tableDone() { progress_.advance(share_ - share_ / 2 - advanced_); }
    void finished() { progress_.advance(writingProgressRange); }

private:
    Progress& progress_;
    Ui& ui_;
    bool folder_;
    long share_;
    long cases_ = 0;
    long advanced_ = 0; // of the table's writing half, when its cases are counted
};

TableOutcome fromRead(const ReadOutcome& read)
{
    if (read.isFailed())
        return inputFailure(read.error());
    return read.isDone() ? TableOutcome::done() : TableOutcome::stopped();
}

// The cases of a table, each handed to `onCase` with the case's line when
// it holds every field whole (CaseCursor::wholeLine()); Stopped when it said
// so. A merged table's come from `merged`, prepared, without a line.
TableOutcome walkCases(RawDataReader& reader, const OutputTable& table, MergedCases* merged,
                       const std::function<bool(std::span<const std::string_view>, std::string_view)>& onCase)
{
    if (merged)
        return fromRead(merged->walk([&](std::span<const std::string_view> fields) { return onCase(fields, {}); }));
    return fromRead(readCaseLines(reader, table.source(), onCase));
}

// Runs the format's steps over every table.
TableOutcome runSteps(TableRun& run, TableFormat& format, TableProgress& bar)
{
    TableOutcome step = format.begin(run);
    if (!step.isDone())
        return step;
    RawDataReader reader;
    for (const OutputTable& table : run.tables()) {
        bar.startTable(table);
        std::optional<MergedCases> merged;
        if (table.merged()) {
            MergedCases::Limits limits;
            if (run.request().mergeRunBytes > 0)
                limits.runBytes = run.request().mergeRunBytes;
            merged.emplace(table.sources, run.folder(), limits);
            step = fromRead(merged->prepare([&] { return bar.poll(); }));
            if (!step.isDone())
                return step;
        }
        MergedCases* cases = merged ? &*merged : nullptr;
        if (format.beginScan(table)) {
            step = walkCases(reader, table, cases, [&](std::span<const std::string_view> fields, std::string_view) {
                format.scanCase(fields);
                return bar.poll();
            });
            if (!step.isDone())
                return step;
        }
        bar.halfTable();
        step = format.beginTable(run, table);
        if (!step.isDone())
            return step;
        std::optional<TableOutcome> failed;
        step = walkCases(reader, table, cases, [&](std::span<const std::string_view> fields, std::string_view line) {
            TableOutcome written = line.empty() ? format.writeCase(run, fields) : format.writeLineCase(run, fields, line);
            if (!written.isDone()) {
                failed = std::move(written);
                return false;
            }
            return bar.caseWritten(cases ? 0 : reader.evenCaseCount(table.source().file->linesPerCase));
        });
        if (failed)
            return *failed;
        if (!step.isDone())
            return step;
        step = format.endTable(run);
        if (!step.isDone())
            return step;
        bar.tableDone();
        if (!bar.poll())
            return TableOutcome::stopped();
    }
    return format.finish(run);
}

} // namespace

struct TableRun::File {
    OutputPlace place;
    std::string key; // the file however it is spelled (see claim)
    std::unique_ptr<FileTextOutput> out;
    bool external = false; // written by the format's own library, not through `out`
};

TableRun::TableRun(const WriterServices& services, const TableRequest& request, Progress& progress,
                   OutputPlace base, std::vector<OutputTable> tables)
    : services_(services), request_(request), progress_(progress), base_(std::move(base)), tables_(std::move(tables)),
      inputs_(projectInputs(services.project, services.settings, services.projectId))
{
}

TableRun::~TableRun()
{
    discard();
}

bool TableRun::keepGoing()
{
    return pollProgress(services_.ui, progress_);
}

OutputPlace TableRun::inFolder(std::string_view fileName) const
{
    return {base_.name + "\\" + std::string(fileName), base_.host / std::string(fileName)};
}

std::filesystem::path TableRun::folder() const
{
    if (request_.layout == TableLayout::Folder)
        return base_.host;
    const std::filesystem::path parent = base_.host.parent_path();
    return parent.empty() ? std::filesystem::path(".") : parent;
}

OutputPlace TableRun::nextToChosen(std::string_view suffix, std::string_view extension) const
{
    const std::string name =
        base_.name.substr(0, base_.name.size() - chosenExtension().size()) + std::string(suffix) + std::string(extension);
    return {name, chosenHostPath(name)};
}

std::string TableRun::chosenExtension() const
{
    const std::size_t separator = base_.name.find_last_of("\\/");
    const std::size_t dot = base_.name.rfind('.');
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator))
        return {};
    return base_.name.substr(dot);
}

TableOutcome TableRun::claim(const OutputPlace& place)
{
    std::filesystem::path host = place.host;
    std::error_code ec;
    if (std::filesystem::is_symlink(host, ec)) {
        const std::filesystem::path target = std::filesystem::canonical(host, ec);
        if (!ec)
            host = target;
    }
    if (const ProtectedFile* input = protectedFileAt(host, inputs_))
        return refused(place.name + " is the project file " + input->name +
                       ".\nAn output never replaces a file the project reads; choose another name.");
    // One file, however it is spelled: the folder as the system finds it and
    // the name without regard to letter case.
    std::filesystem::path folder = std::filesystem::weakly_canonical(host.parent_path(), ec);
    if (ec)
        folder = host.parent_path();
    const std::string key = folder.string() + "/" + upperAscii(host.filename().string());
    for (const File& other : files_) {
        if (other.key == key || upperAscii(other.place.name) == upperAscii(place.name))
            return refused("The output would write " + place.name + " twice in one run (as " + other.place.name +
                           "); nothing is written.");
    }
    claimedKey_ = key;
    return TableOutcome::done();
}

TableOutcome TableRun::openFile(const OutputPlace& place, FileTextOutput*& file)
{
    TableOutcome claimed = claim(place);
    if (!claimed.isDone())
        return claimed;
    File entry{place, claimedKey_, std::make_unique<FileTextOutput>()};
    entry.out->failFromWrite(request_.failFromWrite);
    if (!entry.out->openHost(place.host))
        return cannotOpen(place.name, place.host, entry.out->openError());
    file = entry.out.get();
    files_.push_back(std::move(entry));
    return TableOutcome::done();
}

TableOutcome TableRun::reserveFile(const OutputPlace& place, std::filesystem::path& temporary)
{
    FileTextOutput* file = nullptr;
    TableOutcome opened = openFile(place, file);
    if (!opened.isDone())
        return opened;
    File& entry = files_.back();
    entry.external = true;
    if (!file->complete())
        return cannotWrite(place.name, file->errorText());
    temporary = file->temporaryPath();
    return TableOutcome::done();
}

TableOutcome TableRun::written(const FileTextOutput& file) const
{
    if (!file.failed())
        return TableOutcome::done();
    for (const File& entry : files_)
        if (entry.out.get() == &file)
            return cannotWrite(entry.place.name, file.errorText());
    return cannotWrite(file.path().string(), file.errorText());
}

TableOutcome TableRun::commit(std::vector<const OutputPlace*>& committed)
{
    // Every file is complete on the disk before the first one takes its
    // name, so a failure leaves every name as it was.
    for (File& file : files_) {
        if (file.external ? !syncFile(file.out->temporaryPath()) : !file.out->complete())
            return cannotWrite(file.place.name, file.external ? std::strerror(errno) : file.out->errorText());
    }
    for (File& file : files_) {
        if (!file.out->commit())
            return cannotWrite(file.place.name, file.out->errorText());
        committed.push_back(&file.place);
    }
    return TableOutcome::done();
}

void TableRun::discard()
{
    for (File& file : files_)
        file.out->discard();
}

OutputResult runTableDriver(const WriterServices& services, const TableRequest& request, TableFormat& format,
                            Progress& progress)
{
    OutputResult result;
    const bool folder = request.layout == TableLayout::Folder;
    if (folder)
        result.generatedFiles.emplace_back();
    OutputPlace base;
    std::vector<DataTable> data;
    std::vector<OutputTable> tables;
    std::optional<TableRun> run;
    TableOutcome outcome = folder ? folderPlace(services, request, base) : chosenPlace(request, base);
    result.fileName = folder ? std::string() : base.name;
    try {
        services.ui.pumpStep();
        if (outcome.isDone() && !folder) {
            // The chosen file itself is checked before anything is read.
            TableRun check(services, request, progress, base, {});
            outcome = check.claim(base);
        }
        if (outcome.isDone())
            outcome = planTables(services, request, format, progress, data, tables);
        if (outcome.isDone()) {
            TableProgress bar(progress, services.ui, request.layout, tables.size());
            run.emplace(services, request, progress, base, std::move(tables));
            outcome = runSteps(*run, format, bar);
            std::vector<const OutputPlace*> committed;
            if (outcome.isDone())
                outcome = run->commit(committed);
            for (const OutputPlace* place : committed) {
                result.generatedFiles.push_back(place->name);
                result.generatedHostFiles.push_back(place->host.string());
            }
            if (outcome.isDone())
                bar.finished();
        }
    } catch (const std::exception& e) {
        outcome = refused(e.what());
    }

    if (!outcome.isDone())
        format.abort();
    if (run && !outcome.isDone())
        run->discard();
    switch (outcome.kind()) {
    case TableOutcome::Kind::Done:
        result.status = OutputStatus::Written;
        if (!folder && !result.generatedFiles.empty() &&
            std::find(result.generatedFiles.begin(), result.generatedFiles.end(), base.name) ==
                result.generatedFiles.end())
            result.fileName = result.generatedFiles.front();
        for (const std::string& notice : run->notices_)
            services.ui.message(notice, Ui::Buttons::Ok, Ui::Icon::Information);
        return result;
    case TableOutcome::Kind::Stopped:
        result.status = OutputStatus::Stopped;
        return result;
    case TableOutcome::Kind::Failed:
        break;
    }
    const TableFailure& failure = outcome.error();
    const FailureMessage message = failureMessage(failure);
    services.ui.error(message.text, message.detail);
    const bool inputStopped = failure.kind == TableFailure::Kind::Input || failure.kind == TableFailure::Kind::Empty;
    result.status = inputStopped ? OutputStatus::Stopped : OutputStatus::Failed;
    if (!failure.file.empty() && !folder)
        result.fileName = failure.file;
    if (failure.kind == TableFailure::Kind::Refused && !folder)
        progress.requestCancel();
    return result;
}

} // namespace qavn
