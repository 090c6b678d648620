#include "Extract.h"

#include "search/Search.h"

#include <cstdio>

namespace qavn::extract {

namespace {

// The console's Ui with the search's pump steps shown on the progress bar
// (one step per row tested, except at rows that are multiples of 70).
class SearchUi : public Ui {
public:
    SearchUi(Ui& inner, Progress& progress) : inner_(inner), progress_(progress) {}

    Answer message(std::string_view text, Buttons buttons, Icon icon) override
    {
        return inner_.message(text, buttons, icon);
    }
    std::optional<std::string> chooseFile(FileDialog form, std::string_view filter,
                                          std::string_view initialDir) override
    {
        return inner_.chooseFile(form, filter, initialDir);
    }
    std::optional<std::string> chooseDirectory(std::string_view startDir) override
    {
        return inner_.chooseDirectory(startDir);
    }
    void pumpStep() override
    {
        inner_.pumpStep();
        progress_.advance(1);
    }
    void setWaitCursor(bool on) override { inner_.setWaitCursor(on); }
    void openInViewer(const std::string& path) override { inner_.openInViewer(path); }
    std::uint64_t ticks() override { return inner_.ticks(); }

private:
    Ui& inner_;
    Progress& progress_;
};

} // namespace

bool runSearch(Context& context, const Options& options)
{
    SearchRequest request;
    // As the Find What box would hold it once typed.
    request.text = typedSearchText(options.searchText.value_or(std::string()));
    if (request.text.empty()) {
        std::fprintf(stderr, "qavn-extract: --search needs a text\n");
        return false;
    }
    if (!options.searchFields.empty()) {
        request.fields.variable = false;
        for (const auto& field : options.searchFields) {
            if (field == "name")
                request.fields.variable = true;
            else if (field == "label")
                request.fields.label = true;
            else if (field == "description")
                request.fields.description = true;
            else if (field == "category")
                request.fields.category = true;
        }
    }
    request.wholeWords = options.wholeWords;

    context.progress.setText("", "Searching");
    context.progress.setRange(static_cast<long>(context.list.rowCount()));
    SearchUi ui(context.ui, context.progress);
    // Tag All Match from the first row: every match in the list is tagged,
    // next to whatever the selection already holds. No match shows "Cannot
    // Find '<text>' !" on standard error; that alone does not fail the run.
    CodebookStore& store = context.session.store;
    Search search(context.list, store, ui, context.session.commandsEnabled);
    context.list.goToRow(1);
    const SearchOutcome outcome = search.start(request, SearchMode::TagAll);
    return outcome.ran;
}

} // namespace qavn::extract
