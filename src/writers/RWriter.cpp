// The R script that reads the raw data with readr and labels it with haven.

#include "writers/PortablePrograms.h"

#include "codebook/CategoryCode.h"
#include "platform/Latin1.h"
#include "platform/TextOutput.h"
#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"
#include "writers/MissingPlans.h"
#include "writers/WriterContext.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <set>

namespace qavn {

namespace {

// An R string literal of `bytes`: quotes and backslashes escaped, control
// characters and bytes outside ASCII written with `escapeFormat`.
std::string rLiteral(std::string_view bytes, const char* escapeFormat)
{
    std::string text = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, escapeFormat, static_cast<unsigned>(byte));
            text += escaped;
        } else {
            text += c;
        }
    }
    return text + "\"";
}

// An R string literal of codebook text: ASCII as it is, other Latin-1
// characters as \u escapes, so the script reads the same in any locale;
// control characters blanked, as every output writes labels.
std::string rString(std::string_view latin1)
{
    std::string text(latin1);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32 || c == 127)
            c = ' ';
    return rLiteral(text, "\\u%04x");
}

// A host path as an R string literal: its bytes as they are, those outside
// ASCII as \x escapes (the file system's own encoding, UTF-8 as a rule).
std::string rPath(const std::filesystem::path& path)
{
    return rLiteral(path.string(), "\\x%02x");
}

std::string numbers(const std::vector<std::int64_t>& values)
{
    std::string text = "c(";
    for (std::size_t i = 0; i < values.size(); ++i)
        text += (i > 0 ? ", " : "") + std::to_string(values[i]);
    return text + ")";
}

std::string strings(const std::vector<std::string>& values)
{
    std::string text = "c(";
    for (std::size_t i = 0; i < values.size(); ++i)
        text += (i > 0 ? ", " : "") + rString(values[i]);
    return text + ")";
}

char columnType(const ProgramVariable& v)
{
    return v.isText() || v.decimals() > 0 ? 'c' : 'd';
}

// The value labels of a variable as the `labels` argument of labelled();
// empty when it has none. Reserved codes are NA and get none, and a category
// line without a label gives none (R refuses an empty name).
std::string valueLabels(const ProgramVariable& v)
{
    std::set<std::string> seen;
    std::string entries;
    for (const ProgramVariable::Category& c : v.categories) {
        if (c.reserved || c.label.empty())
            continue;
        std::string value;
        if (v.isText())
            value = rString(categoryCodeValue(c.code));
        else if (isWholeNumber(c.code))
            value = scaledCode(c.code, v.decimals());
        else
            continue;
        if (!seen.insert(value).second)
            continue;
        entries += std::string(entries.empty() ? "" : ",\n      ") + rString(c.label) + " = " + value;
    }
    return entries.empty() ? std::string() : "c(\n      " + entries + ")";
}

// The values the source declared missing set to NA (numbers once they are
// numbers; texts as the raw data hold them).
void writeDeclaredMissing(TextOutput& out, const ProgramVariable& v, const std::string& column)
{
    if (v.isText()) {
        std::vector<std::string> texts;
        std::string latin1;
        for (const DeclaredMissing::Text& text : v.declared.texts)
            if (utf8ToLatin1(text.value, latin1))
                texts.push_back(latin1);
        if (!texts.empty())
            out.print("%s[%s %%in%% %s] <- NA\n", column.c_str(), column.c_str(), strings(texts).c_str());
        return;
    }
    std::string condition;
    if (!v.declared.codes.empty()) {
        std::string codes;
        for (const DeclaredMissing::Code& code : v.declared.codes)
            codes += (codes.empty() ? "" : ", ") + plainNumber(code.value);
        condition = column + " %in% c(" + codes + ")";
    }
    auto limit = [](double value) {
        return value == -HUGE_VAL ? std::string("-Inf") : value == HUGE_VAL ? std::string("Inf") : plainNumber(value);
    };
    for (const DeclaredMissing::Range& range : v.declared.ranges)
        condition += (condition.empty() ? "" : " |\n    ") + std::string("(!is.na(") + column + ") & " + column +
                     " >= " + limit(range.low) + " & " + column + " <= " + limit(range.high) + ")";
    if (!condition.empty())
        out.print("%s[%s] <- NA\n", column.c_str(), condition.c_str());
}

// One data file's statements. Result: whether it had tagged variables;
// nothing on an abort.
std::optional<bool> writeRStep(WriterContext& context, const ProgramFile& file, std::vector<std::string>& frameNames,
                               std::vector<std::string>& identified)
{
    TextOutput& out = context.out();
    const int lines = caseLines(file);
    const std::vector<std::string> names = programNames(file, ProgramLanguage::R);
    NameRules frameRules = NameRules::of(ProgramLanguage::R);
    frameRules.prefix = "d_";
    const std::string frame = identifierFor(file.outputName, frameRules, frameNames);

    out.print("# %s: %u tagged variables, %d lines per case\n",
              commentText(file.file->dataPath, ProgramLanguage::R).c_str(),
              static_cast<unsigned>(file.variables.size()), lines);
    struct Columns {
        std::vector<std::int64_t> start, end;
        std::vector<std::string> names;
        std::string types;
    };
    std::map<std::uint32_t, Columns> byLine;
    if (file.idFirst > 0) {
        Columns& c = byLine[1];
        c.start.push_back(file.idFirst);
        c.end.push_back(file.idLast);
        c.names.emplace_back("ID");
        c.types += 'c';
    }
    std::vector<std::string> order = file.idFirst > 0 ? std::vector<std::string>{"ID"} : std::vector<std::string>{};
    std::vector<bool> read(file.variables.size(), false);
    for (std::size_t i = 0; i < file.variables.size(); ++i) {
        const ProgramVariable& v = file.variables[i];
        if (!liesInCase(file, v)) {
            out.print("# %s: its location lies outside the case; it is not read.\n", names[i].c_str());
            continue;
        }
        Columns& c = byLine[v.line];
        c.start.push_back(v.first);
        c.end.push_back(v.last);
        c.names.push_back(names[i]);
        c.types += columnType(v);
        order.push_back(names[i]);
        read[i] = true;
    }
    if (order.empty())
        return false;

    const std::string path = rPath(file.dataPath);
    out.print("d <- cbind(\n");
    bool firstPart = true;
    for (const auto& [line, c] : byLine) {
        out.print("%s  qavn_read(%s, %d, %u,\n    %s,\n    %s,\n    %s,\n    \"%s\")", firstPart ? "" : ",\n",
                  path.c_str(), lines, static_cast<unsigned>(line), numbers(c.start).c_str(), numbers(c.end).c_str(),
                  strings(c.names).c_str(), c.types.c_str());
        firstPart = false;
    }
    out.print(")\nd <- d[%s]\n", strings(order).c_str());
    if (file.idFirst > 0)
        out.write("attr(d[[\"ID\"]], \"label\") <- \"Case identifier\"\n");
    context.progress(3);

    for (std::size_t i = 0; i < file.variables.size(); ++i) {
        if (!read[i])
            continue;
        const ProgramVariable& v = file.variables[i];
        const std::string column = "d[[" + rString(names[i]) + "]]";
        if (!v.isText() && !v.reservedCodes.empty()) {
            if (v.decimals() > 0) {
                out.print("%s[%s %%in%% %s] <- NA\n", column.c_str(), column.c_str(), strings(v.reservedCodes).c_str());
            } else {
                std::vector<std::int64_t> codes;
                for (const std::string& code : v.reservedCodes)
                    codes.push_back(std::stoll(code));
                out.print("%s[%s %%in%% %s] <- NA\n", column.c_str(), column.c_str(), numbers(codes).c_str());
            }
        }
        if (v.decimals() > 0)
            out.print("%s <- qavn_implied(%s, %d)\n", column.c_str(), column.c_str(), v.decimals());
        writeDeclaredMissing(out, v, column);
        const std::string labels = valueLabels(v);
        if (labels.empty())
            out.print("attr(%s, \"label\") <- %s\n", column.c_str(), rString(v.label).c_str());
        else
            out.print("%s <- labelled(%s,\n    labels = %s,\n    label = %s)\n", column.c_str(), column.c_str(),
                      labels.c_str(), rString(v.label).c_str());
        if (context.cancelled())
            return std::nullopt;
    }
    out.print("%s <- d\nrm(d)\n\n", frame.c_str());
    if (file.idFirst > 0)
        identified.push_back(frame);
    context.progress(3);
    return true;
}

} // namespace

bool writeRScript(WriterContext& context)
{
    const ProjectSpec& project = context.project;
    TextOutput& out = context.out();
    out.write("# R script written by QAVN\n");
    out.print("# %s\n", commentText(latin1ToUtf8(project.dataSetTitle), ProgramLanguage::R).c_str());
    out.write(
        "# Reads the tagged variables from the raw data with readr: implied decimals\n"
        "# applied, reserved codes set to NA, labels as haven::labelled. Each data\n"
        "# file becomes a data frame named after it.\n"
        "library(readr)\n"
        "library(haven)\n"
        "\n"
        "# Numbers with implied decimals: a value without a decimal point of its own\n"
        "# is scaled by 10^-decimals.\n"
        "qavn_implied <- function(x, decimals) {\n"
        "  value <- suppressWarnings(as.numeric(x))\n"
        "  scale <- !is.na(value) & !grepl(\".\", x, fixed = TRUE)\n"
        "  value[scale] <- value[scale] / 10^decimals\n"
        "  value\n"
        "}\n"
        "\n"
        "# The fields of line `line` of every case of a file with `lines` lines per\n"
        "# case; a last case with fewer lines is dropped.\n"
        "qavn_read <- function(path, lines, line, start, end, names, types) {\n"
        "  positions <- fwf_positions(start, end, names)\n"
        "  latin1 <- locale(encoding = \"latin1\")\n"
        "  if (lines == 1)\n"
        "    return(read_fwf(path, positions, col_types = types, locale = latin1, skip_empty_rows = FALSE))\n"
        "  raw <- read_fwf(path, positions, col_types = strrep(\"c\", length(names)), locale = latin1,\n"
        "                  skip_empty_rows = FALSE)\n"
        "  cases <- nrow(raw) %/% lines\n"
        "  type_convert(raw[(seq_len(cases) - 1) * lines + line, ], col_types = types, locale = latin1)\n"
        "}\n"
        "\n");
    std::vector<std::string> frames;
    std::vector<std::string> identified;
    if (!writeEachProgramFile(context,
                              [&](const ProgramFile& file) { return writeRStep(context, file, frames, identified); }))
        return false;
    if (!context.merge || identified.size() < 2)
        return true;
    // The data frames of the data files with an identifier, each sorted by
    // it, matched into one; a case one of them lacks gets NA there.
    NameRules frameRules = NameRules::of(ProgramLanguage::R);
    frameRules.prefix = "d_";
    const std::string merged = identifierFor(mergedOutputName(project), frameRules, frames);
    out.write("# The data files matched by their identifier into one data frame\n");
    out.print("%s <- Reduce(function(a, b) merge(a, b, by = \"ID\", all = TRUE), list(", merged.c_str());
    for (std::size_t i = 0; i < identified.size(); ++i)
        out.print("%s\n  %s[order(%s$ID), ]", i > 0 ? "," : "", identified[i].c_str(), identified[i].c_str());
    out.write("))\n");
    return true;
}

} // namespace qavn
