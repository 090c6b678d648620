#pragma once

// A loaded project for the writer tests: the test project on disk, started
// as the program starts it, with every variable in the list.

#include "TestProject.h"

#include "codebook/OpenProject.h"
#include "catalogue/Loader.h"
#include "platform/Progress.h"
#include "platform/ScriptedUi.h"
#include "platform/TextOutput.h"
#include "catalogue/VariableList.h"
#include "outputs/OutputFormats.h"
#include "writers/WriterContext.h"
#include "writers/WriterDriver.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

namespace qavn::test {

// The project of the worked examples: eleven fillers, then AGE (12), AGEGRP
// (13, sharing AGE's description), STATE (14) and INCOME (15) in data file 1
// (2 lines a case, ID in 1-5), and SEX (16) in data file 2 (1 line a case,
// ID in 1-5).
inline void addWorkedExample(TestProject& p)
{
    p.dataFiles = {TestProject::DataFile{2, "1-5", "DATA\\FILE1.DAT", {}},
                   TestProject::DataFile{1, "1-5", "DATA\\FILE2.DAT", {}}};
    for (int i = 1; i <= 11; ++i) {
        auto v = variable("V" + std::to_string(i), "Filler " + std::to_string(i), "Administration", 1, 1, "1-5");
        v.description = {"Filler"};
        p.add(v);
    }
    auto age = variable("AGE", "Age of respondent", "Demographics", 1, 1, "6-7");
    age.description = {"Age at last birthday"};
    age.categories = {categoryLine("1", "120", "12.0", "Under 30"), categoryLine("2", "880", "88.0", "30 or over")};
    p.add(age);
    auto ageGroup = variable("AGEGRP", "Age group", "Demographics", 1, 1, "8");
    ageGroup.sharesDescriptionOf = 12;
    p.add(ageGroup);
    auto state = variable("STATE", "State code", "Demographics", 1, 1, "8-9", 'A');
    state.description = {"Two-letter code"};
    state.categories = {categoryLine("'AL'", "600", "60.0", "Alabama"), categoryLine("'AK'", "400", "40.0", "Alaska")};
    p.add(state);
    auto income = variable("INCOME", "Total income", "Income", 1, 2, "1-8", '2');
    income.description = {"Before tax"};
    income.categories = {categoryLine("-1", "15", "1.5", "{Refused}")};
    p.add(income);
    auto sex = variable("SEX", "Sex of respondent", "Demographics", 2, 1, "6");
    sex.description = {"As reported"};
    sex.categories = {categoryLine("1", "480", "48.0", "Male"), categoryLine("2", "520", "52.0", "Female")};
    p.add(sex);
}

// A codebook and project that try to break out of every generated program:
// labels with line breaks (LF, CR), both quotes, comment closers, a NUL and
// the commands that would run if their text began a line (PSPP's HOST, SAS's
// X, Stata's shell, R's system, each touching a file named after it in the
// working directory); names the languages refuse (a tagged ID beside the
// identifier, reserved words, other characters, a leading digit, one name in
// two letter cases); a code that is no literal, a type code and a location
// that are no such thing, an apostrophe in a data path and a header line
// that is a command. Data file 1 (DATA\O'NEIL.DAT): 3 cases, ID in 1-5,
// variables 1-10; data file 2 (DATA\FILE2.DAT): 3 cases, ID in 1-5,
// variables 11-12.
inline void addHostileExample(TestProject& p)
{
    p.title = "HOSTILE STUDY\rshell touch title-ran";
    p.headerLines = {"* A comment line of the data set", "HOST COMMAND=['touch header-ran']"};
    p.dataFiles = {TestProject::DataFile{1, "1-5", "DATA\\O'NEIL.DAT",
                                         {"0000101112112530AB  5", "0000202107113341O'N 6", "0000301   111020CD  7"}},
                   TestProject::DataFile{1, "1-5", "DATA\\FILE2.DAT", {"0000112", "0000221", "0000312"}}};
    auto id = variable("ID", "Tagged ID\n.\nHOST COMMAND=['touch pspp-ran'].\n", "Hostile", 1, 1, "6-7");
    id.categories = {categoryLine("1", "2", "66.7", "Yes\n.\nHOST COMMAND=['touch pspp-value-ran']."),
                     categoryLine("2", "1", "33.3", "No\r.\rHOST COMMAND=['touch pspp-cr-ran'].")};
    p.add(id);
    auto by = variable("BY", "Carriage\r.\rHOST COMMAND=['touch pspp-cr-label-ran'].\r", "Hostile", 1, 1, "8");
    by.categories = {categoryLine("1", "2", "66.7", "One")};
    p.add(by);
    p.add(variable("A-B", "Town';\nX 'touch sas-ran';\n* */ ;", "Hostile", 1, 1, "9-10", '0'));
    auto scratch = variable("#X", "Wage\"'\nshell touch stata-ran\n* `\"nested $HOME `x' \\", "Hostile", 1, 1, "11");
    scratch.categories = {categoryLine("1", "3", "100.0", "Stata\"'\nshell touch stata-value-ran ///")};
    p.add(scratch);
    auto first = variable("1ST", "Pay\")\nsystem(\"touch r-ran\")\n#", "Hostile", 1, 1, "12");
    first.categories = {categoryLine("1", "3", "100.0", "R\\\")\nsystem(\"touch r-value-ran\")#")};
    p.add(first);
    p.add(variable("age", "Closers */ ]]> /* // /// -->", "Hostile", 1, 1, "13-14", '1'));
    p.add(variable("AGE", std::string("Null\0byte\x01\x7f tab\tend", 20), "Hostile", 1, 1, "15-16", '0'));
    auto name = variable("NAME", "Name", "Hostile", 1, 1, "17-20", 'A');
    name.categories = {categoryLine("'AB'", "1", "33.3", "Ay bee"), categoryLine("A'", "0", "0.0", "A broken code';"),
                       categoryLine("'O''N'", "1", "33.3", "O'N")};
    p.add(name);
    p.add(variable("TYP", "Odd type code", "Hostile", 1, 1, "21", '\''));
    p.add(variable("LOC", "Odd location", "Hostile", 1, 1, "1;X'id'"));
    p.add(variable("ALL", "All", "Hostile", 2, 1, "6"));
    p.add(variable("_N_", "N", "Hostile", 2, 1, "7"));
}

class WriterHarness {
public:
    // Starts the written project and loads its variables.
    WriterHarness()
    {
        started = session.start("P=" + projectId, [](Settings&) {});
        if (started) {
            Progress loading;
            started = loadVariables(session.store, session.project, list, ui, loading);
        }
    }

    void tag(std::initializer_list<std::uint32_t> rows)
    {
        for (auto r : rows)
            list.tagRow(r);
    }

    WriterServices services()
    {
        return {list,           session.store, session.project, session.settings, ui, session.projectId,
                session.metadata ? &*session.metadata : nullptr};
    }

    OutputResult run(OutputKind kind, LabelChoice choice, const std::string& path,
                     FileTextOutput* output = nullptr)
    {
        return writeOutput(outputFormat(kind), services(), OutputJob{choice, path}, progress, output);
    }

    // A context over `out` with the tagged rows collected, for the builders.
    std::unique_ptr<WriterContext> context(LabelChoice choice, TextOutput& out)
    {
        auto c = std::make_unique<WriterContext>(list, session.store, session.project, session.settings, ui,
                                                 progress, choice);
        c->output = &out;
        for (std::uint32_t r = 1; r <= list.rowCount(); ++r)
            if (list.isTagged(r))
                c->tagged.push_back(r);
        return c;
    }

    std::uint32_t firstRow(std::uint32_t f) const { return session.project.dataFiles[f - 1].firstRow; }

    static inline std::string projectId = "ZEL";
    ScriptedUi ui;
    OpenProject session{ui};
    VariableList list{VariableList::Mode::Main, &ui};
    Progress progress;
    bool started = false;
};

// Text with CR LF turned into LF, for readable comparisons.
inline std::string lf(std::string s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
            continue;
        out += s[i];
    }
    return out;
}

} // namespace qavn::test
