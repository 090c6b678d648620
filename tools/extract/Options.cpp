// qavn-extract's command line: one table of options (name, argument, help,
// handler), the output options generated from the output-format table, the
// parser and --help, both read from the tables.

#include "Extract.h"

#include "query/QueryFields.h"
#include "selections/SelectionFile.h"

#include <algorithm>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qavn::extract {

namespace {

// Where --help lists an option.
enum class Group { Listing, Selection, Outputs, Checking, Tables, Information };

struct Option;
// Applies an option with its values (as many as its argument names); false
// with `error` set for a value the option does not take.
using Handler = bool (*)(Options& options, const Option& option, std::span<const std::string> values,
                         std::string& error);

struct Option {
    std::string name;     // "--tag"
    std::string argument; // "LIST"; empty for a flag; "FORMAT PATH" takes two values
    std::string help;     // "\n" continues on the next line
    Group group;
    Handler apply;                        // nullptr: handled before parsing (--help, --version)
    const OutputFormat* format = nullptr; // the format of a generated output option

    std::size_t valueCount() const
    {
        return argument.empty() ? 0 : 1 + static_cast<std::size_t>(std::count(argument.begin(), argument.end(), ' '));
    }
};

bool setFlag(bool Options::*flag, Options& options)
{
    options.*flag = true;
    return true;
}

bool applyShow(Options& options, const Option&, std::span<const std::string> values, std::string& error)
{
    if (!parseVariableNumber(values[0])) {
        error = "--show needs a variable number";
        return false;
    }
    options.show.push_back(values[0]);
    return true;
}

bool applyStep(Options& options, const Option& option, std::span<const std::string> values, std::string& error)
{
    if (options.tagFiles.empty()) {
        error = option.name + " changes the selection of a --tags given before it";
        return false;
    }
    options.tagSteps.push_back({options.tagFiles.size() - 1, *parseOperation(option.name.substr(2)), values[0]});
    return true;
}

bool applySaveSelection(Options& options, const Option&, std::span<const std::string> values, std::string& error)
{
    if (const std::string problem = selectionNameProblem(values[0]); !problem.empty()) {
        error = "--save-selection: " + problem;
        return false;
    }
    options.saveSelection = values[0];
    return true;
}

bool applyIn(Options& options, const Option&, std::span<const std::string> values, std::string& error)
{
    const std::string& list = values[0];
    for (std::size_t pos = 0; pos <= list.size();) {
        const std::size_t comma = std::min(list.find(',', pos), list.size());
        const QueryField* field = findQueryField(std::string_view(list).substr(pos, comma - pos));
        if (!field || field->kind != Query::TermKind::Text) {
            error = "--in takes " + queryFieldNames(true);
            return false;
        }
        options.searchFields |= field->fields;
        pos = comma + 1;
    }
    return true;
}

// A value of a fixed set, for --labels and --reserved.
bool chooseValue(std::string& out, const std::string& value, std::initializer_list<std::string_view> allowed,
                 const std::string& option, std::string& error)
{
    if (std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
        std::string list;
        std::size_t i = 0;
        for (const std::string_view name : allowed)
            list += std::string(i++ == 0 ? "" : i == allowed.size() ? " or " : ", ") + std::string(name);
        error = option + " takes " + list;
        return false;
    }
    out = value;
    return true;
}

bool applyTabulate(Options& options, const Option&, std::span<const std::string> values, std::string& error)
{
    std::vector<std::string> names;
    const std::string& list = values[0];
    for (std::size_t pos = 0; pos <= list.size();) {
        const std::size_t comma = std::min(list.find(',', pos), list.size());
        names.push_back(list.substr(pos, comma - pos));
        pos = comma + 1;
    }
    if (names.size() > 2 || std::any_of(names.begin(), names.end(), [](const std::string& n) { return n.empty(); })) {
        error = "--tabulate takes one variable or two separated by a comma (VAR or VAR,VAR2)";
        return false;
    }
    options.tabulate = std::move(names);
    return true;
}

// The fields --in takes, as it takes them: "name,label,description,category".
std::string searchFieldList()
{
    std::string list;
    for (const QueryField& field : queryFields())
        if (field.kind == Query::TermKind::Text)
            list += (list.empty() ? "" : ",") + std::string(field.name);
    return list;
}

std::string formatNames()
{
    std::string names;
    for (const OutputFormat& format : outputFormats())
        names += (names.empty() ? "" : ", ") + std::string(format.batchName);
    return names;
}

// Adds an output; a named option given again replaces its earlier path.
void addOutput(Options& options, const OutputFormat& format, std::string path, bool named)
{
    if (named) {
        for (Options::Output& output : options.outputs) {
            if (output.named && output.format == &format) {
                output.path = std::move(path);
                return;
            }
        }
    }
    options.outputs.push_back({&format, std::move(path), named});
}

bool applyWrite(Options& options, const Option&, std::span<const std::string> values, std::string& error)
{
    const OutputFormat* format = findOutputFormat(values[0]);
    if (!format) {
        error = "unknown output format " + values[0] + " (formats: " + formatNames() + ")";
        return false;
    }
    addOutput(options, *format, values[1], false);
    return true;
}

bool applyFormat(Options& options, const Option& option, std::span<const std::string> values, std::string&)
{
    addOutput(options, *option.format, values.empty() ? std::string() : values[0], true);
    return true;
}

const std::vector<Option>& optionTable()
{
    static const std::vector<Option> table = [] {
        using G = Group;
        std::vector<Option> list{
            {"--list", "", "one line per variable: number, TAB, row text", G::Listing,
             [](Options& o, const Option&, std::span<const std::string>, std::string&) {
                 return setFlag(&Options::list, o);
             }},
            {"--show", "N", "the variable's record, description and categories", G::Listing, applyShow},
            {"--list-tagged", "", "the selected variables, as --list prints them", G::Listing,
             [](Options& o, const Option&, std::span<const std::string>, std::string&) {
                 return setFlag(&Options::listTagged, o);
             }},
            {"--tag", "LIST", "variable numbers and ranges, e.g. 3,17,20-25", G::Selection,
             [](Options& o, const Option&, std::span<const std::string> v, std::string&) {
                 o.tagLists.push_back(v[0]);
                 return true;
             }},
            {"--tags", "FILE",
             "a tag file, or @NAME a selection saved by File > Save Selection;\neach --tags starts a term that "
             "the options below change in order:",
             G::Selection,
             [](Options& o, const Option&, std::span<const std::string> v, std::string&) {
                 o.tagFiles.push_back(v[0]);
                 return true;
             }},
            {"--and", "FILE", "keep what FILE (or @NAME) also lists", G::Selection, applyStep},
            {"--or", "FILE", "add what FILE lists", G::Selection, applyStep},
            {"--not", "FILE", "take every variable FILE does not list instead", G::Selection, applyStep},
            {"--minus", "FILE",
             "take away what FILE lists\n(--tags A --and B or --or B alone merge as Import Tag Files does)",
             G::Selection, applyStep},
            {"--search", "TEXT", "every variable that matches TEXT", G::Selection,
             [](Options& o, const Option&, std::span<const std::string> v, std::string&) {
                 o.searchText = v[0];
                 return true;
             }},
            {"--in", "FIELDS", "where --search looks, of " + searchFieldList() + " (default name)", G::Selection,
             applyIn},
            {"--whole-words", "", "whole words only", G::Selection,
             [](Options& o, const Option&, std::span<const std::string>, std::string&) {
                 return setFlag(&Options::wholeWords, o);
             }},
            {"--query", "TEXT",
             "every variable the query matches (count and rows printed), e.g.\n'label:income AND NOT "
             "section:3', \"a phrase\", wag*, /regex/, OR, ( ); fields:\n" +
                 queryFieldNames(),
             G::Selection,
             [](Options& o, const Option&, std::span<const std::string> v, std::string&) {
                 o.queryText = v[0];
                 return true;
             }},
            {"--save-selection", "NAME", "save the selection under NAME for File > Load Selection", G::Selection,
             applySaveSelection},
            {"--labels", "all|categorical|none", "which variables get value labels (default all)", G::Outputs,
             [](Options& o, const Option& op, std::span<const std::string> v, std::string& e) {
                 return chooseValue(o.labels, v[0], {"all", "categorical", "none"}, op.name, e);
             }},
            {"--reserved", "keep|empty",
             "reserved codes (-1..-9) and declared missing values in csv and sqlite:\nkept or empty (default keep)",
             G::Outputs,
             [](Options& o, const Option& op, std::span<const std::string> v, std::string& e) {
                 return chooseValue(o.reserved, v[0], {"keep", "empty"}, op.name, e);
             }},
            {"--names", "short|long",
             "variable names in the outputs beyond sas, spss and spss-dos: the\nsource's long names from the "
             "project's metadata, or the codebook's\n(default long)",
             G::Outputs,
             [](Options& o, const Option& op, std::span<const std::string> v, std::string& e) {
                 return chooseValue(o.names, v[0], {"short", "long"}, op.name, e);
             }},
            {"--merge", "",
             "one table of the data files' cases matched by their identifier (csv,\nsqlite, sav, dta, ddi), and one "
             "data set of them in the stata and r\nprograms",
             G::Outputs,
             [](Options& o, const Option&, std::span<const std::string>, std::string&) {
                 return setFlag(&Options::merge, o);
             }},
        };
        // A format of one file has its option --NAME FILE, a folder format
        // --NAME DIR, a format of several files the flag --NAME (into the
        // output directory).
        for (const OutputFormat& format : outputFormats()) {
            const bool one = format.files == OutputFiles::One;
            const bool folder = format.files == OutputFiles::Folder;
            list.push_back({"--" + std::string(format.batchName), one ? "FILE" : folder ? "DIR" : "",
                            std::string(format.summary), G::Outputs, applyFormat, &format});
        }
        std::string folders;
        for (const OutputFormat& format : outputFormats())
            if (format.files != OutputFiles::One)
                folders += (folders.empty() ? "" : ", ") + std::string(format.batchName);
        list.push_back({"--output-dir", "DIR", "output directory for this run instead of the configured one",
                        G::Outputs, [](Options& o, const Option&, std::span<const std::string> v, std::string&) {
                            o.outputDir = v[0];
                            return true;
                        }});
        list.push_back({"--write", "FORMAT PATH",
                        "FORMAT written to PATH" + (folders.empty() ? "" : " (a folder for " + folders + ")") +
                            "; any number of times",
                        G::Outputs, applyWrite});
        list.push_back({"--verify", "",
                        "category lines of the selection (else of every variable) against the raw\ndata: exit 0 "
                        "all agree, 1 some differ or the data cannot be read",
                        G::Checking, [](Options& o, const Option&, std::span<const std::string>, std::string&) {
                            return setFlag(&Options::verify, o);
                        }});
        list.push_back({"--tabulate", "VAR[,VAR2]",
                        "the frequencies of VAR, or its crosstab with VAR2, counted from the raw\ndata, as CSV "
                        "on standard output (a name, long name or number each)",
                        G::Tables, applyTabulate});
        list.push_back({"--weight", "W", "weights the cases of --tabulate by the numeric variable W", G::Tables,
                        [](Options& o, const Option&, std::span<const std::string> v, std::string&) {
                            o.weight = v[0];
                            return true;
                        }});
        list.push_back({"--missing", "include|exclude",
                        "missing values (declared, reserved codes, blank numbers) in the table\nor left out "
                        "(default exclude)",
                        G::Tables, [](Options& o, const Option& op, std::span<const std::string> v, std::string& e) {
                            std::string chosen;
                            if (!chooseValue(chosen, v[0], {"include", "exclude"}, op.name, e))
                                return false;
                            o.missing = chosen;
                            return true;
                        }});
        list.push_back({"--help", "", "this text", G::Information, nullptr});
        list.push_back({"--version", "", "the program's version", G::Information, nullptr});
        return list;
    }();
    return table;
}

const Option* findOption(std::string_view name)
{
    for (const Option& option : optionTable())
        if (option.name == name)
            return &option;
    return nullptr;
}

// "  LEFT" padded to `width`, then the help, its further lines indented as far.
void appendEntry(std::string& text, std::string left, std::string_view help, std::size_t width)
{
    left.resize(std::max(width, left.size() + 2), ' ');
    text += left;
    for (std::size_t pos = 0; pos <= help.size();) {
        const std::size_t end = std::min(help.find('\n', pos), help.size());
        if (pos > 0)
            text += std::string(width, ' ');
        text += help.substr(pos, end - pos);
        text += '\n';
        pos = end + 1;
    }
}

} // namespace

std::string usageText()
{
    std::string text = "Usage: qavn-extract P=ID [options]\n"
                       "Run from the folder that holds the project's configuration file (IDQAV.CFG).\n";
    const std::pair<Group, const char*> headings[] = {
        {Group::Listing, "\nListing:\n"},
        {Group::Selection, "Selection (together the union):\n"},
        {Group::Outputs, "Outputs (any number in one call):\n"},
        {Group::Checking, "\nChecking:\n"},
        {Group::Tables, "\nTables:\n"},
        {Group::Information, "\n"},
    };
    for (const auto& [group, heading] : headings) {
        text += heading;
        bool formatsListed = false;
        for (const Option& option : optionTable()) {
            if (option.group != group || group == Group::Information)
                continue;
            if (option.format && !formatsListed) {
                // The options of one-file formats share one line, before the
                // flags of the formats of several files; the format list
                // below says what each writes.
                std::string line;
                for (const Option& other : optionTable())
                    if (other.format && other.format->files == OutputFiles::One)
                        line += "  " + other.name + " " + other.argument;
                text += line + "\n";
                formatsListed = true;
            }
            if (option.format && option.format->files == OutputFiles::One)
                continue;
            const std::string left = "  " + option.name + (option.argument.empty() ? "" : " " + option.argument);
            appendEntry(text, left, option.help, 25);
        }
        if (group == Group::Outputs) {
            text += "Formats:\n";
            for (const OutputFormat& format : outputFormats())
                appendEntry(text, "  " + std::string(format.batchName), format.summary, 14);
        }
    }
    text += "  --help, --version\n"
            "\n"
            "Exit status: 0 done; 1 a failure: a file that cannot be read or written, an output\n"
            "that did not complete, --verify when the codebook and the data differ or the data\n"
            "cannot be read; 2 a usage error: an unknown option or format, a missing value, a\n"
            "variable number outside the project, a query that does not parse, two outputs that\n"
            "name one file.\n";
    return text;
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error)
{
    bool haveProject = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const Option* option = findOption(arg);
        if (!option) {
            if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
                error = "unknown option " + arg;
                return false;
            }
            if (haveProject) {
                error = "unexpected argument " + arg;
                return false;
            }
            options.arguments = arg;
            haveProject = true;
            continue;
        }
        std::vector<std::string> values;
        for (std::size_t k = 0; k < option->valueCount(); ++k) {
            if (i + 1 >= argc) {
                std::string what = option->argument.substr(option->argument.rfind(' ') + 1);
                for (char& c : what)
                    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
                error = k == 0 ? "option " + arg + " needs a value" : arg + " " + values.front() + " needs a " + what;
                return false;
            }
            values.emplace_back(argv[++i]);
        }
        if (option->apply && !option->apply(options, *option, values, error))
            return false;
    }
    if (options.searchFields != 0 && !options.searchText) {
        error = "--in goes with --search";
        return false;
    }
    if (options.tabulate.empty() && (options.weight || options.missing)) {
        error = std::string(options.weight ? "--weight" : "--missing") + " goes with --tabulate";
        return false;
    }
    return true;
}

} // namespace qavn::extract
