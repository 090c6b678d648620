#include "formats/DdiCodebook.h"

#include "catalogue/VariableList.h"
#include "codebook/CodebookStore.h"
#include "platform/HostPath.h"
#include "platform/Latin1.h"
#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "writers/PortablePrograms.h"
#include "writers/WriterContext.h"

#include <libxml/xmlwriter.h>

#include <algorithm>
#include <charconv>
#include <exception>
#include <map>
#include <memory>

namespace qavn {

namespace {

// The longest line of an extract unless one field alone is wider.
constexpr std::size_t extractLineLength = 1024;

// Codebook text (Latin-1) as XML character data: UTF-8, with the control
// characters XML 1.0 does not allow turned into blanks.
std::string xmlText(std::string_view latin1)
{
    std::string text = latin1ToUtf8(latin1);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n')
            c = ' ';
    return text;
}

// One data file's extract: where each column of the table lies in it.
struct Extract {
    DataTable table;
    std::string name; // as messages show it
    std::filesystem::path host;
    std::string fileName;
    std::vector<std::uint32_t> line;  // per column, 1-based
    std::vector<std::size_t> start;   // per column, 1-based
    std::vector<std::size_t> lineLength;
    std::int64_t cases = -1; // -1 until the raw data has been read to its end
    std::unique_ptr<FileTextOutput> out;

    void layOut()
    {
        std::size_t used = 0;
        lineLength.assign(1, 0);
        for (const TableColumn& column : table.columns) {
            if (used > 0 && used + column.width > extractLineLength) {
                lineLength.push_back(0);
                used = 0;
            }
            line.push_back(static_cast<std::uint32_t>(lineLength.size()));
            start.push_back(used + 1);
            used += column.width;
            lineLength.back() = used;
        }
    }
};

// The XML writer over a FileTextOutput; released however the run ends.
class XmlDocument {
public:
    explicit XmlDocument(FileTextOutput& out) : out_(out)
    {
        xmlOutputBufferPtr buffer = xmlOutputBufferCreateIO(&XmlDocument::write, &XmlDocument::close, &out_, nullptr);
        if (buffer)
            writer_ = xmlNewTextWriter(buffer);
        if (writer_) {
            xmlTextWriterSetIndent(writer_, 1);
            xmlTextWriterSetIndentString(writer_, BAD_CAST "  ");
        }
    }
    ~XmlDocument()
    {
        if (writer_)
            xmlFreeTextWriter(writer_);
    }
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    bool ok() const { return writer_ != nullptr && ok_; }

    void startDocument() { check(xmlTextWriterStartDocument(writer_, nullptr, "UTF-8", nullptr)); }
    void start(const char* name) { check(xmlTextWriterStartElement(writer_, BAD_CAST name)); }
    void end() { check(xmlTextWriterEndElement(writer_)); }
    void attribute(const char* name, const std::string& value)
    {
        check(xmlTextWriterWriteAttribute(writer_, BAD_CAST name, BAD_CAST value.c_str()));
    }
    void element(const char* name, const std::string& text)
    {
        check(xmlTextWriterWriteElement(writer_, BAD_CAST name, BAD_CAST text.c_str()));
    }
    void text(const std::string& text) { check(xmlTextWriterWriteString(writer_, BAD_CAST text.c_str())); }
    // Ends every open element and hands the bytes to the output.
    void finish()
    {
        check(xmlTextWriterEndDocument(writer_));
        check(xmlTextWriterFlush(writer_));
    }
    void flush() { check(xmlTextWriterFlush(writer_)); }

private:
    void check(int result)
    {
        if (result < 0)
            ok_ = false;
    }
    static int write(void* context, const char* buffer, int length)
    {
        // A failed write is remembered by the output and reported once by
        // the run; libxml2 is not told, so that it prints nothing of its own.
        static_cast<FileTextOutput*>(context)->write(std::string_view(buffer, static_cast<std::size_t>(length)));
        return length;
    }
    static int close(void*) { return 0; }

    FileTextOutput& out_;
    xmlTextWriterPtr writer_ = nullptr;
    bool ok_ = true;
};

bool isCount(std::string_view text)
{
    text = trimmed(text);
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

class DdiRun {
public:
    DdiRun(const WriterServices& services, std::span<const std::uint32_t> tagged, const TableExportOptions& options,
           Progress& progress)
        : services_(services), tagged_(tagged), options_(options), progress_(progress), ui_(services.ui)
    {
    }

    OutputResult run();

private:
    bool buildExtracts();
    bool readData(Extract& extract);
    bool writeDocument(XmlDocument& xml);
    bool writeVariable(XmlDocument& xml, const Extract& extract, std::size_t c, const std::string& id);
    OutputResult failed(const std::string& name, const std::string& error)
    {
        ui_.error("Cannot Write " + name + " !\n" + error);
        discardAll();
        result_.status = OutputStatus::Failed;
        return result_;
    }
    void discardAll()
    {
        xmlOut_.discard();
        for (Extract& e : extracts_)
            if (e.out)
                e.out->discard();
    }

    const WriterServices& services_;
    std::span<const std::uint32_t> tagged_;
    const TableExportOptions& options_;
    Progress& progress_;
    Ui& ui_;
    std::string name_;
    std::filesystem::path host_;
    FileTextOutput xmlOut_;
    std::vector<Extract> extracts_;
    bool stopped_ = false;
    OutputResult result_;
};

bool DdiRun::buildExtracts()
{
    const auto fileCount = static_cast<std::uint32_t>(services_.project.dataFiles.size());
    const std::vector<ProtectedFile> inputs = projectInputs(services_.project, services_.settings, services_.projectId);
    for (std::uint32_t f = 1; f <= fileCount; ++f) {
        Extract extract;
        std::string error;
        if (!buildDataTable(tagged_, f, services_.store, *services_.project.dataFile(f),
                            [&] { return progress_.cancelled(); }, extract.table, error)) {
            if (!error.empty())
                ui_.error(error);
            return false;
        }
        if (!extract.table.columns.empty())
            extracts_.push_back(std::move(extract));
    }
    const std::string stem = host_.stem().string();
    const std::string folder = name_.substr(0, name_.find_last_of("\\/") + 1);
    for (Extract& e : extracts_) {
        e.fileName = stem + (extracts_.size() == 1 ? "" : "_" + dataPathName(e.table.file->dataPath)) + ".dat";
        if (upperAscii(e.fileName) == upperAscii(host_.filename().string()))
            e.fileName = stem + "_data.dat";
        e.name = folder + e.fileName;
        e.host = host_.parent_path() / e.fileName;
        if (const ProtectedFile* input = protectedFileAt(e.host, inputs)) {
            ui_.error("The file " + e.name + " would replace " + input->name + ".");
            return false;
        }
        e.layOut();
    }
    return true;
}

bool DdiRun::readData(Extract& extract)
{
    const DataTable& table = extract.table;
    RawDataReader reader;
    const std::optional<std::string> rawName = openRawData(reader, services_.settings, *table.file, ui_);
    if (!rawName)
        return false;
    std::string error;
    progress_.setText({}, table.file->dataPath);
    std::vector<std::string> lines(extract.lineLength.size());
    FileTextOutput& out = *extract.out;
    std::int64_t cases = 0;
    const bool read = forEachCase(
        reader, table,
        [&](std::span<const std::string_view> fields) {
            for (std::size_t l = 0; l < lines.size(); ++l)
                lines[l].assign(extract.lineLength[l], ' ');
            for (std::size_t i = 0; i < fields.size(); ++i) {
                const std::string_view field = fields[i].substr(0, table.columns[i].width);
                lines[extract.line[i] - 1].replace(extract.start[i] - 1, field.size(), field);
            }
            for (const std::string& line : lines) {
                out.write(line);
                out.put('\n');
            }
            if (out.failed())
                return false;
            ++cases;
            if ((cases & 255) == 0)
                progress_.setText({}, std::to_string(cases));
            return pollProgress(ui_, progress_);
        },
        error, *rawName);
    reader.close();
    if (out.failed())
        return false;
    if (!read) {
        if (!error.empty())
            ui_.error(error);
        return false;
    }
    extract.cases = cases;
    return true;
}

bool DdiRun::writeVariable(XmlDocument& xml, const Extract& extract, std::size_t c, const std::string& id)
{
    const TableColumn& column = extract.table.columns[c];
    xml.start("var");
    xml.attribute("ID", id);
    xml.attribute("name", xmlText(column.name));
    xml.attribute("files", "F" + std::to_string(extract.table.fileNumber));
    const bool numeric = !column.isIdentifier && !column.isText();
    xml.attribute("intrvl", numeric && column.typeCode != ' ' ? "contin" : "discrete");
    if (column.decimals() > 0)
        xml.attribute("dcml", std::to_string(column.decimals()));

    xml.start("location");
    xml.attribute("StartPos", std::to_string(extract.start[c]));
    xml.attribute("EndPos", std::to_string(extract.start[c] + column.width - 1));
    xml.attribute("width", std::to_string(column.width));
    xml.attribute("RecSegNo", std::to_string(extract.line[c]));
    xml.end();

    if (column.isIdentifier) {
        xml.element("labl", "Case identifier");
    } else {
        CodebookStore& store = services_.store;
        const VariableRecord record = store.recordAt(column.variable);
        const std::string label = xmlText(trimmed(services_.list.rowLabel(column.variable)));
        if (!label.empty())
            xml.element("labl", label);

        std::string description;
        std::size_t kept = 0;
        store.readLines(record.descriptionRef, record.descriptionLineCount, LineVariant::DisplayText,
                        [&](std::string_view line) {
                            description += line;
                            while (!description.empty() && (description.back() == ' ' || description.back() == '\r'))
                                description.pop_back();
                            if (!trimmed(line).empty())
                                kept = description.size();
                            description += '\n';
                            return true;
                        });
        description.resize(kept);
        if (!trimmed(description).empty()) {
            xml.start("qstn");
            xml.element("qstnLit", xmlText(description));
            xml.end();
        }

        if (record.categoryLineCount > 0) {
            store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                            [&](std::string_view line) {
                                const CategoryFields fields = splitCategoryLine(line);
                                std::string code(trimmed(fields.code));
                                const bool reserved = std::find(column.reservedCodes.begin(),
                                                                column.reservedCodes.end(),
                                                                code) != column.reservedCodes.end();
                                if (code.size() >= 2 && code.front() == '\'' && code.back() == '\'')
                                    code = code.substr(1, code.size() - 2);
                                // The value the code stands for: a whole-number
                                // code of a variable with implied decimals is
                                // scaled as its data are ("-5" with dcml 2 is -0.05).
                                if (numeric)
                                    code = scaledCode(code, column.decimals());
                                xml.start("catgry");
                                if (reserved)
                                    xml.attribute("missing", "Y");
                                xml.element("catValu", xmlText(code));
                                const std::string_view categoryLabel = trimmed(fields.label);
                                if (!categoryLabel.empty())
                                    xml.element("labl", xmlText(categoryLabel));
                                if (isCount(fields.frequency)) {
                                    xml.start("catStat");
                                    xml.attribute("type", "freq");
                                    xml.text(std::string(trimmed(fields.frequency)));
                                    xml.end();
                                }
                                xml.end();
                                return true;
                            });
        }
    }

    xml.start("varFormat");
    xml.attribute("type", numeric ? "numeric" : "character");
    xml.attribute("schema", "other");
    xml.end();
    xml.end();
    return xml.ok();
}

bool DdiRun::writeDocument(XmlDocument& xml)
{
    xml.start("codeBook");
    xml.attribute("xmlns", "ddi:codebook:2_5");
    xml.attribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
    xml.attribute("xsi:schemaLocation",
                  "ddi:codebook:2_5 http://www.ddialliance.org/Specification/DDI-Codebook/2.5/XMLSchema/codebook.xsd");
    xml.attribute("version", "2.5");

    const ProjectSpec& project = services_.project;
    std::string title = xmlText(trimmed(project.dataSetTitle));
    if (title.empty())
        title = xmlText(project.filePrefix);
    xml.start("stdyDscr");
    xml.start("citation");
    xml.start("titlStmt");
    xml.element("titl", title);
    xml.end();
    xml.end();
    xml.end();

    for (const Extract& e : extracts_) {
        xml.start("fileDscr");
        xml.attribute("ID", "F" + std::to_string(e.table.fileNumber));
        xml.start("fileTxt");
        xml.element("fileName", xmlText(e.fileName));
        xml.start("dimensns");
        if (e.cases >= 0)
            xml.element("caseQnty", std::to_string(e.cases));
        xml.element("varQnty", std::to_string(e.table.columns.size()));
        xml.element("logRecL", std::to_string(*std::max_element(e.lineLength.begin(), e.lineLength.end())));
        xml.element("recPrCas", std::to_string(e.lineLength.size()));
        xml.end();
        xml.start("fileType");
        xml.attribute("charset", "ISO-8859-1");
        xml.text("fixed-width text");
        xml.end();
        xml.end();
        xml.element("notes", xmlText("The columns of the tagged variables of " +
                                     rawDataName(services_.settings, *e.table.file) + " (" +
                                     std::to_string(e.table.file->linesPerCase) +
                                     (e.table.file->linesPerCase == 1 ? " line" : " lines") + " per case)."));
        xml.end();
    }

    // The variables' IDs, and the codebook sections as groups of them.
    std::vector<std::vector<std::string>> ids(extracts_.size());
    std::vector<std::string> sectionOrder;
    std::map<std::string, std::string> sectionVars;
    int next = 0;
    for (std::size_t e = 0; e < extracts_.size(); ++e) {
        for (const TableColumn& column : extracts_[e].table.columns) {
            ids[e].push_back("V" + std::to_string(++next));
            if (column.isIdentifier)
                continue;
            std::string section;
            if (!services_.store.sectionTitleOf(column.variable, section))
                return false;
            section = std::string(trimmed(section));
            if (section.empty())
                continue;
            auto [it, added] = sectionVars.emplace(section, ids[e].back());
            if (added)
                sectionOrder.push_back(section);
            else
                it->second += " " + ids[e].back();
        }
    }
    xml.start("dataDscr");
    for (std::size_t g = 0; g < sectionOrder.size(); ++g) {
        xml.start("varGrp");
        xml.attribute("ID", "G" + std::to_string(g + 1));
        xml.attribute("type", "section");
        xml.attribute("var", sectionVars[sectionOrder[g]]);
        xml.element("labl", xmlText(sectionOrder[g]));
        xml.end();
    }
    // A Cancel while the variables are written ends the document where it is
    // (its open elements closed, so it stays well-formed).
    std::size_t written = 0;
    for (std::size_t e = 0; e < extracts_.size() && !stopped_; ++e) {
        for (std::size_t c = 0; c < extracts_[e].table.columns.size(); ++c) {
            if (!writeVariable(xml, extracts_[e], c, ids[e][c]))
                return false;
            if ((++written & 255) == 0 && !pollProgress(ui_, progress_)) {
                stopped_ = true;
                break;
            }
        }
    }
    xml.end();
    xml.end();
    xml.finish();
    return xml.ok();
}

OutputResult DdiRun::run()
{
    result_.status = OutputStatus::Stopped;
    name_ = outputFileName(options_.path, ".xml");
    result_.fileName = name_;
    host_ = chosenHostPath(name_);
    if (name_.empty() || name_.back() == '\\' || name_.back() == '/' || hasControlCharacter(name_)) {
        ui_.error("The name " + name_ + " does not name a file.");
        progress_.requestCancel();
        return result_;
    }
    const std::vector<ProtectedFile> inputs = projectInputs(services_.project, services_.settings, services_.projectId);
    if (const ProtectedFile* input = protectedFileAt(host_, inputs)) {
        ui_.error("The file " + name_ + " would replace " + input->name + ".");
        progress_.requestCancel();
        return result_;
    }
    if (options_.failFromWrite != 0)
        xmlOut_.failFromWrite(options_.failFromWrite);
    if (!xmlOut_.openHost(host_)) {
        ui_.error("Cannot Open " + name_, fileDetail(host_, xmlOut_.openError()));
        result_.status = OutputStatus::Failed;
        return result_;
    }
    progress_.setRange(300);
    try {
        XmlDocument xml(xmlOut_);
        // The declaration goes out first, so a file that cannot be written is
        // found before the raw data is read.
        xml.startDocument();
        xml.flush();
        if (!xml.ok() || !xmlOut_.flush())
            return failed(name_, xmlOut_.failed() ? xmlOut_.errorText() : "out of memory");

        if (!buildExtracts()) {
            stopped_ = true;
            extracts_.clear();
        }
        const long step = extracts_.empty() ? 0 : 200 / static_cast<long>(extracts_.size());
        for (Extract& e : extracts_) {
            if (stopped_)
                break;
            e.out = std::make_unique<FileTextOutput>();
            if (!e.out->openHost(e.host)) {
                ui_.error("Cannot Open " + e.name, fileDetail(e.host, e.out->openError()));
                e.out.reset();
                discardAll();
                result_.status = OutputStatus::Failed;
                return result_;
            }
            if (!readData(e)) {
                if (e.out->failed())
                    return failed(e.name, e.out->errorText());
                stopped_ = true;
            }
            progress_.advance(step);
        }
        // After a stop the document describes the extracts begun so far.
        extracts_.erase(std::remove_if(extracts_.begin(), extracts_.end(), [](const Extract& e) { return !e.out; }),
                        extracts_.end());
        if (!writeDocument(xml)) {
            if (xmlOut_.failed())
                return failed(name_, xmlOut_.errorText());
            stopped_ = true; // a section title that could not be read, reported
        }
        if (!xmlOut_.flush())
            return failed(name_, xmlOut_.errorText());
        for (Extract& e : extracts_) {
            if (!e.out->close()) {
                const std::string error = e.out->errorText();
                return failed(e.name, error);
            }
            result_.generatedHostFiles.push_back(e.host.string());
        }
        if (!xmlOut_.close()) {
            ui_.error("Cannot Write " + name_ + " !\n" + xmlOut_.errorText());
            result_.status = OutputStatus::Failed;
            return result_;
        }
        result_.generatedHostFiles.insert(result_.generatedHostFiles.begin(), host_.string());
        progress_.advance(300);
    } catch (const std::exception& e) {
        ui_.error(e.what());
        discardAll();
        result_.status = OutputStatus::Failed;
        return result_;
    }
    result_.status = stopped_ ? OutputStatus::Stopped : OutputStatus::Written;
    return result_;
}

} // namespace

OutputResult writeDdiCodebook(const WriterServices& services, std::span<const std::uint32_t> tagged,
                              const TableExportOptions& options, Progress& progress)
{
    DdiRun run(services, tagged, options, progress);
    return run.run();
}

} // namespace qavn
