#pragma once

// A written project opened as the program opens it, for the search tests.

#include "TestProject.h"

#include "codebook/Catalogue.h"
#include "codebook/CodebookStore.h"
#include "platform/ScriptedUi.h"
#include "search/Search.h"
#include "catalogue/VariableList.h"

#include <gtest/gtest.h>

namespace qavn::test {

// A written project opened as the program opens it: the codebook store, the
// variable list filled from it, and a search engine over both.
struct SearchSetup {
    explicit SearchSetup(const TestProject& project)
        : store(ui), list(VariableList::Mode::Main, &ui), search(list, store, ui, commands)
    {
        EXPECT_TRUE(store.open("C:\\RES", project.prefix));
        const std::uint32_t n = store.recordCount();
        list.setRowCount(n);
        for (std::uint32_t k = 1; k <= n; ++k) {
            const VariableRecord record = store.recordAt(k);
            list.appendRow(rowText(record, store.readLine(record.labelRef)),
                           rowData(record.typeCode, record.fileNumber));
        }
        list.showList(n);
    }

    ScriptedUi ui;
    CodebookStore store;
    VariableList list;
    CommandState commands;
    Search search;
};

inline SearchRequest request(const std::string& text, SearchFields fields = {}, bool wholeWords = false,
                             SearchDirection direction = SearchDirection::Forward)
{
    SearchRequest r;
    r.text = text;
    r.fields = fields;
    r.wholeWords = wholeWords;
    r.direction = direction;
    return r;
}

inline SearchFields fieldsOf(bool variable, bool label, bool description, bool category)
{
    SearchFields f;
    f.variable = variable;
    f.label = label;
    f.description = description;
    f.category = category;
    return f;
}

} // namespace qavn::test
