// The DDI Codebook 2.5 document with its fixed-width extracts, as an
// instance of the table driver.

#include "catalogue/VariableList.h"
#include "codebook/CategoryCode.h"
#include "codebook/CodebookStore.h"
#include "codebook/DescriptionText.h"
#include "formats/TableFormats.h"
#include "platform/Latin1.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "project/ProjectSpec.h"
#include "writers/MissingPlans.h"
#include "writers/PortablePrograms.h"

#include <libxml/xmlwriter.h>

#include <algorithm>
#include <charconv>
#include <cmath>
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

// A field of a column with `decimals` implied decimals in the form the
// document declares (dcml): the digits alone, the point implied ("3249.07"
// with 2 decimals is "324907", "3.5" is "350"), right-aligned in the field's
// width. A field without a point is in that form already. False, with the
// field left as it is, when it holds more decimals than the column implies or
// its digits do not fit; a reader that honours a written point still reads
// it right.
bool impliedDecimalField(std::string_view field, int decimals, std::string& out)
{
    const std::string_view value = trimmed(field);
    const std::size_t point = value.find('.');
    if (point == std::string_view::npos)
        return true;
    std::string_view whole = value.substr(0, point);
    const std::string_view fraction = value.substr(point + 1);
    std::string digits;
    if (!whole.empty() && (whole.front() == '-' || whole.front() == '+')) {
        if (whole.front() == '-')
            digits = "-";
        whole.remove_prefix(1);
    }
    const auto isDigits = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if ((whole.empty() && fraction.empty()) || !isDigits(whole) || !isDigits(fraction) ||
        fraction.size() > static_cast<std::size_t>(decimals))
        return false;
    std::string number(whole);
    number += fraction;
    number.append(static_cast<std::size_t>(decimals) - fraction.size(), '0');
    const std::size_t first = std::min(number.find_first_not_of('0'), number.size() - 1);
    digits += number.substr(first);
    if (digits == "-0")
        digits = "0";
    if (digits.size() > field.size())
        return false;
    out.assign(field.size() - digits.size(), ' ');
    out += digits;
    return true;
}

// UTF-8 text as XML character data: the control characters XML 1.0 does not
// allow turned into blanks.
std::string xmlUtf8(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n')
            c = ' ';
    return text;
}

// One data file's extract: where each column of the table lies in it.
struct Extract {
    const OutputTable* table = nullptr;
    std::string fileName; // as the document names it, beside the document
    std::vector<std::uint32_t> line;  // per column, 1-based
    std::vector<std::size_t> start;   // per column, 1-based
    std::vector<std::size_t> lineLength;
    std::int64_t cases = 0;
    std::int64_t pointsKept = 0; // fields with more decimals than their column implies
    FileTextOutput* out = nullptr;

    const DataTable& data() const { return table->source(); }

    void layOut()
    {
        std::size_t used = 0;
        lineLength.assign(1, 0);
        for (const TableColumn& column : table->columns) {
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

bool numberOf(std::string_view text, double& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool isCount(std::string_view text)
{
    text = trimmed(text);
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

class DdiCodebook final : public TableFormat {
public:
    TableOutcome begin(TableRun& run) override;
    TableOutcome beginTable(TableRun& run, const OutputTable& table) override;
    TableOutcome writeCase(TableRun& run, std::span<const std::string_view> fields) override;
    TableOutcome endTable(TableRun& run) override;
    TableOutcome finish(TableRun& run) override;
    void abort() noexcept override { xml_.reset(); }

private:
    TableOutcome writeDocument(TableRun& run);
    bool writeVariable(const WriterServices& services, const Extract& extract, std::size_t c, const std::string& id);

    FileTextOutput* xmlOut_ = nullptr;
    std::unique_ptr<XmlDocument> xml_;
    std::vector<Extract> extracts_;
    std::vector<std::string> lines_;
    std::string implied_;
};

TableOutcome DdiCodebook::begin(TableRun& run)
{
    TableOutcome opened = run.openFile(run.base(), xmlOut_);
    if (!opened.isDone())
        return opened;
    xml_ = std::make_unique<XmlDocument>(*xmlOut_);
    // The declaration goes out first, so a file that cannot be written is
    // found before the raw data is read.
    xml_->startDocument();
    xml_->flush();
    if (!xmlOut_->flush() || xmlOut_->failed())
        return run.written(*xmlOut_);
    if (!xml_->ok())
        return cannotWrite(run.base().name, "out of memory");
    extracts_.reserve(run.tables().size());
    return TableOutcome::done();
}

TableOutcome DdiCodebook::beginTable(TableRun& run, const OutputTable& table)
{
    Extract& extract = extracts_.emplace_back();
    extract.table = &table;
    OutputPlace place = run.nextToChosen(run.tables().size() == 1 ? "" : "_" + table.name, ".dat");
    if (upperAscii(place.host.filename().string()) == upperAscii(run.base().host.filename().string()))
        place = run.nextToChosen("_data", ".dat");
    extract.fileName = place.host.filename().string();
    extract.layOut();
    lines_.assign(extract.lineLength.size(), std::string());
    return run.openFile(place, extract.out);
}

TableOutcome DdiCodebook::writeCase(TableRun& run, std::span<const std::string_view> fields)
{
    Extract& extract = extracts_.back();
    for (std::size_t l = 0; l < lines_.size(); ++l)
        lines_[l].assign(extract.lineLength[l], ' ');
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const TableColumn& column = extract.table->columns[i];
        std::string_view field = fields[i].substr(0, column.width);
        if (column.decimals() > 0 && !column.isText() && field.find('.') != std::string_view::npos) {
            if (impliedDecimalField(field, column.decimals(), implied_))
                field = implied_;
            else
                ++extract.pointsKept;
        }
        lines_[extract.line[i] - 1].replace(extract.start[i] - 1, field.size(), field);
    }
    for (const std::string& line : lines_) {
        extract.out->write(line);
        extract.out->put('\n');
    }
    ++extract.cases;
    return run.written(*extract.out);
}

TableOutcome DdiCodebook::endTable(TableRun& run)
{
    const Extract& extract = extracts_.back();
    if (extract.pointsKept > 0)
        run.notice(std::to_string(extract.pointsKept) + " fields of " + extract.data().rawName +
                   " hold more decimals than their variable's type code implies; they keep their decimal point in " +
                   extract.fileName + ".");
    return run.written(*extract.out);
}

TableOutcome DdiCodebook::finish(TableRun& run)
{
    TableOutcome written = writeDocument(run);
    if (!written.isDone())
        return written;
    xml_.reset(); // hands the last bytes to the file
    if (!xmlOut_->flush())
        return run.written(*xmlOut_);
    return TableOutcome::done();
}

bool DdiCodebook::writeVariable(const WriterServices& services, const Extract& extract, std::size_t c,
                                const std::string& id)
{
    XmlDocument& xml = *xml_;
    const TableColumn& column = extract.table->columns[c];
    xml.start("var");
    xml.attribute("ID", id);
    xml.attribute("name", xmlUtf8(column.name));
    xml.attribute("files", "F" + std::to_string(extract.data().fileNumber));
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
        CodebookStore& store = services.store;
        const VariableRecord record = store.recordAt(column.variable);
        const std::string label = xmlText(trimmed(services.list.rowLabel(column.variable)));
        if (!label.empty())
            xml.element("labl", label);

        const std::string description = descriptionJoined(store, record);
        if (!trimmed(description).empty()) {
            xml.start("qstn");
            xml.element("qstnLit", xmlText(description));
            xml.end();
        }

        // The values the source declared missing.
        const DeclaredMissing& declared = column.declared;
        if (!declared.empty()) {
            xml.start("invalrng");
            for (const DeclaredMissing::Code& code : declared.codes) {
                xml.start("item");
                xml.attribute("VALUE", plainNumber(code.value));
                xml.end();
            }
            for (const DeclaredMissing::Text& text : declared.texts) {
                xml.start("item");
                xml.attribute("VALUE", xmlUtf8(text.value));
                xml.end();
            }
            for (const DeclaredMissing::Range& range : declared.ranges) {
                xml.start("range");
                if (range.low != -HUGE_VAL)
                    xml.attribute("min", plainNumber(range.low));
                if (range.high != HUGE_VAL)
                    xml.attribute("max", plainNumber(range.high));
                xml.end();
            }
            xml.end();
        }

        if (record.categoryLineCount > 0) {
            store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                            [&](std::string_view line) {
                                const CategoryFields fields = splitCategoryLine(line);
                                std::string code(trimmed(fields.code));
                                bool missing = std::find(column.reservedCodes.begin(), column.reservedCodes.end(),
                                                         code) != column.reservedCodes.end();
                                code = categoryCodeValue(code);
                                // The value the code stands for: a whole-number
                                // code of a variable with implied decimals is
                                // scaled as its data are ("-5" with dcml 2 is -0.05).
                                if (numeric)
                                    code = scaledCode(code, column.decimals());
                                double value = 0;
                                if (numeric ? declared.hasNumbers() && numberOf(code, value) && declared.covers(value)
                                            : declared.coversText(latin1ToUtf8(code)))
                                    missing = true;
                                xml.start("catgry");
                                if (missing)
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

TableOutcome DdiCodebook::writeDocument(TableRun& run)
{
    const WriterServices& services = run.services();
    XmlDocument& xml = *xml_;
    xml.start("codeBook");
    xml.attribute("xmlns", "ddi:codebook:2_5");
    xml.attribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
    xml.attribute("xsi:schemaLocation",
                  "ddi:codebook:2_5 http://www.ddialliance.org/Specification/DDI-Codebook/2.5/XMLSchema/codebook.xsd");
    xml.attribute("version", "2.5");

    const ProjectSpec& project = services.project;
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
        xml.attribute("ID", "F" + std::to_string(e.data().fileNumber));
        xml.start("fileTxt");
        xml.element("fileName", xmlText(e.fileName));
        xml.start("dimensns");
        xml.element("caseQnty", std::to_string(e.cases));
        xml.element("varQnty", std::to_string(e.table->columns.size()));
        xml.element("logRecL", std::to_string(*std::max_element(e.lineLength.begin(), e.lineLength.end())));
        xml.element("recPrCas", std::to_string(e.lineLength.size()));
        xml.end();
        xml.start("fileType");
        xml.attribute("charset", "ISO-8859-1");
        xml.text("fixed-width text");
        xml.end();
        xml.end();
        std::string sources;
        for (std::size_t i = 0; i < e.table->sources.size(); ++i) {
            const DataTable& source = *e.table->sources[i];
            sources += std::string(i == 0 ? "" : i + 1 == e.table->sources.size() ? " and " : ", ") +
                       source.rawName + " (" + std::to_string(source.file->linesPerCase) +
                       (source.file->linesPerCase == 1 ? " line" : " lines") + " per case)";
        }
        xml.element("notes", xmlText(e.table->merged()
                                         ? "The columns of the tagged variables of " + sources +
                                               ", their cases matched by the identifier."
                                         : "The columns of the tagged variables of " + sources + "."));
        xml.end();
    }

    // The variables' IDs, and the codebook sections as groups of them.
    std::vector<std::vector<std::string>> ids(extracts_.size());
    std::vector<std::string> sectionOrder;
    std::map<std::string, std::string> sectionVars;
    int next = 0;
    for (std::size_t e = 0; e < extracts_.size(); ++e) {
        for (const TableColumn& column : extracts_[e].table->columns) {
            ids[e].push_back("V" + std::to_string(++next));
            if (column.isIdentifier)
                continue;
            std::string section;
            if (!services.store.sectionTitleOf(column.variable, section))
                return TableOutcome::stopped();
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
    std::size_t written = 0;
    for (std::size_t e = 0; e < extracts_.size(); ++e) {
        for (std::size_t c = 0; c < extracts_[e].table->columns.size(); ++c) {
            if (!writeVariable(services, extracts_[e], c, ids[e][c]))
                return xmlOut_->failed() ? run.written(*xmlOut_) : cannotWrite(run.base().name, "out of memory");
            if ((++written & 255) == 0 && !run.keepGoing())
                return TableOutcome::stopped();
        }
    }
    xml.end();
    xml.end();
    xml.finish();
    if (xmlOut_->failed())
        return run.written(*xmlOut_);
    return xml.ok() ? TableOutcome::done() : cannotWrite(run.base().name, "out of memory");
}

} // namespace

std::unique_ptr<TableFormat> makeDdiCodebook()
{
    return std::make_unique<DdiCodebook>();
}

} // namespace qavn
