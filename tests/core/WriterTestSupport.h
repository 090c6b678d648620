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

    WriterServices services() { return {list, session.store, session.project, session.settings, ui, session.projectId}; }

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
