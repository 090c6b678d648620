#pragma once

// The Search dialog's engine: Search Next and Tag All Match over the chosen
// fields.

#include "platform/Progress.h"
#include "project/CommandState.h"
#include "search/OccurrenceScan.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class CodebookStore;
class Ui;
class VariableList;
struct TextRef;

enum class SearchDirection { Forward, Backward };

// Search Next stops at the first match and moves the list there; Tag All
// Match tags every match and moves nothing.
enum class SearchMode { NextMatch, TagAll };

// The four fields a search can look in, tried in this order.
struct SearchFields {
    bool variable = true;
    bool label = false;
    bool description = false;
    bool category = false;

    bool any() const { return variable || label || description || category; }
};

// What the Search dialog holds when a search starts.
struct SearchRequest {
    std::string text; // as read from Find What; only the first 99 characters count
    SearchDirection direction = SearchDirection::Forward;
    SearchFields fields;
    bool wholeWords = false;
};

// Which field decided a match.
enum class MatchField { None, Variable, Label, Description, Category };

// What a search did, for its caller.
struct SearchOutcome {
    bool ran = false;       // false: empty text, no field checked, or a search was already running
    bool found = false;     // at least one match
    std::uint32_t row = 0;  // Search Next: the matching row (now the active row)
    MatchField field = MatchField::None; // Search Next: where the match lay
    std::uint32_t matches = 0; // Tag All Match: rows that matched (tagged now, some perhaps before)
    bool cancelled = false; // the cancel flag stopped the walk
    bool abandoned = false; // the dialog went away during the walk; nothing was done after it
};

// The Search dialog's side of a search: what it shows while the walk runs
// and what it brings up for a match. All calls come on the thread that
// called Search::start.
class SearchObserver {
public:
    virtual ~SearchObserver() = default;
    // Tag All Match and Search Next are enabled or disabled.
    virtual void setSearchButtonsEnabled(bool enabled) { (void)enabled; }
    // The status text: "Please Wait While Searching" during a walk, a single
    // blank after it.
    virtual void setSearchStatus(std::string_view text) { (void)text; }
    // A Search Next found a match in a description (frequencyView false) or
    // in a category line (true) and the list's active row is the match: the
    // description window is to be shown for it, in the frequency view when
    // asked, its view left unchanged otherwise.
    virtual void showMatch(bool frequencyView) { (void)frequencyView; }
};

// The search engine behind the modeless Search dialog (and the batch tool's
// --search). The dialog keeps the check boxes, the direction and the Find
// What text; the engine keeps the continue flag, the cancel flag and the
// history of search texts.
//
// A walk runs on the calling thread and polls its progress (one advance of 1
// and pollProgress) after each item tested, except at rows that are multiples
// of 70, where it only looks at the cancel flag; so the dialog's Cancel
// Search and Close buttons work during it: they call cancelSearch() or
// close(), which set the cancel flag of that progress. While the walk runs,
// the command state is disabled so that the main window greys its commands;
// it is enabled otherwise. A dialog destroyed during a walk calls
// dialogDestroyed(); the walk then stops and does nothing more. The engine
// itself must outlive every walk it runs (the application owns it).
//
// Items are the rows of the list, 1 to rowCount(). An item matches when the
// first of its checked fields that holds the text decides so: the first
// occurrence of the text in the upper-cased field text must pass the
// whole-word rule (when Whole Words is on). Descriptions of at most 800 lines
// are searched as the description window shows them (over-long notice
// included), longer ones window by window in their stored form (each window
// only as far as the description's last line end: the bytes after it belong
// to other texts); category lines joined into one text, where the place one
// line ends and the next begins delimits words as the ends of the text do, or
// line by line in blocks of more than 800 lines.
//
// Finding the matches does not need every block read: one scan of the text
// file per search text (kept while the text stays the same) lists the places
// where the text can occur, and only labels and blocks holding such a place,
// or descriptions long enough to get the over-long notice, are read and
// tested by the rules above (the labels only when a block field is checked
// too, which is what makes the scan worth its pass). When the scan finds the
// text nowhere and no description can get the notice, only names are tested,
// and a search without the name field moves its progress over every row at
// once. Texts with characters outside printable ASCII are tested by the
// rules alone.
//
// Messages: "Cannot Find '<text>' !" when nothing matched and the search was
// not cancelled; the store's own message when a record cannot be read (the
// item then does not match).
class Search {
public:
    static constexpr std::size_t maxTextLength = 99;
    static constexpr std::uint32_t longBlockLines = 800;
    static constexpr std::uint32_t quietRowEvery = 70;
    static constexpr std::string_view searchingStatus = "Please Wait While Searching";

    Search(VariableList& list, CodebookStore& store, Ui& ui, CommandState& commands);
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;

    void setObserver(SearchObserver* observer) { observer_ = observer; }

    // Where the walks report and whose cancel flag they poll; the engine's
    // own silent progress when none is set (or after setProgress(nullptr)).
    // A progress set here must outlive the walks that use it.
    void setProgress(Progress* progress) { progress_ = progress ? progress : &ownProgress_; }

    // Search Next (NextMatch) or Tag All Match (TagAll): does nothing for an
    // empty text or when no field is checked (nor during a running walk);
    // otherwise adds the text to the history, clears the cancel flag and
    // walks the list from the active row (one row further when the continue
    // flag is set) in the request's direction, without wrapping around.
    SearchOutcome start(const SearchRequest& request, SearchMode mode);

    bool running() const { return running_; }

    // Cancel Search and Close: the cancel flag becomes 1 and the commands are
    // enabled again; a running walk stops after the item it is testing, with
    // no message. (Close also hides the dialog, which is the dialog's part.)
    void cancelSearch();
    void close() { cancelSearch(); }

    // The Search command on an existing dialog: the next search starts at the
    // active row itself.
    void reopen() { continue_ = false; }

    // The dialog is being destroyed (the program ends): a running walk stops
    // and nothing follows it; the commands are enabled again.
    void dialogDestroyed();

    // The cancel flag the walk polls (1 = stop), for the dialog and tests.
    int& cancelFlag() { return progress_->cancel; }
    bool continueFlag() const { return continue_; }

    // The Find What history, sorted without regard to case.
    const std::vector<std::string>& history() const { return history_; }

    static std::string cannotFindMessage(std::string_view text);

private:
    enum class Decision { NoOccurrence, Pass, Fail };

    MatchField testItem(std::uint32_t row);
    Decision decide(std::string_view text, std::span<const std::size_t> lineStarts = {}) const;
    Decision descriptionDecision(const TextRef& ref, std::uint32_t lines);
    Decision categoryDecision(const TextRef& ref, std::uint32_t lines);
    // Whether the block of `lines` lines at `ref` may hold the text (false
    // only when it certainly does not).
    bool mayHold(const TextRef& ref, std::uint32_t lines, std::size_t& hint) const;
    bool noticePossible(std::uint32_t lines) const;
    std::uint64_t blockEnd(std::uint64_t start, std::uint32_t lines) const;

    VariableList& list_;
    CodebookStore& store_;
    Ui& ui_;
    CommandState& commands_;
    SearchObserver* observer_ = nullptr;

    Progress ownProgress_;
    Progress* progress_ = &ownProgress_;
    bool continue_ = false;
    bool running_ = false;
    bool abandoned_ = false;
    std::vector<std::string> history_;

    // The search in progress.
    std::string text_;
    bool wholeWords_ = false;
    SearchFields fields_;
    std::size_t anchor_ = 0; // the text's character to look for first
    bool scanned_ = false; // scan_ holds the current text's anchors
    bool namesOnly_ = false; // the scan leaves only the names to be tested
    // The most description lines of any record, for the index file at
    // longestOf_ (read once per index).
    std::uint32_t longestDescription();
    std::uint32_t longestDescription_ = 0;
    const std::uint8_t* longestOf_ = nullptr;
    std::size_t longestOfSize_ = 0;
    OccurrenceScan scan_;
    std::size_t labelHint_ = 0; // where the anchor lookups of this walk got to
    std::size_t descriptionHint_ = 0;
    std::size_t categoryHint_ = 0;
    std::string joined_;                 // the category lines of the item being tested, joined
    std::vector<std::size_t> lineStarts_; // where each of them begins in joined_
};

// The whole-word rule: the occurrence of `length` characters at `position`
// of `text` passes unless the character just before or just after it is
// graphic.
bool passesWholeWordRule(std::string_view text, std::size_t position, std::size_t length);

// The rule in a text joined from lines, `lineStarts` holding (ascending) the
// positions where its lines begin: a line's start and end
// delimit words as the ends of the text do, whatever characters meet there.
bool passesWholeWordRule(std::string_view text, std::size_t position, std::size_t length,
                         std::span<const std::size_t> lineStarts);

// Graphic characters are letters, digits and punctuation of the "C" locale
// (0x21 to 0x7E). Bytes above 127, among them the line-end, separator and
// filler bytes a long description's window holds, are not graphic: they
// delimit words like white space does.
constexpr bool isGraphic(unsigned char c)
{
    return c > 0x20 && c < 0x7F;
}

// The first position of `pattern` in `text` upper-cased (a to z only), or
// npos. `anchor` is the index of the pattern character to look for first
// (any index gives the same result; a rare character is faster).
std::size_t findInUpperCased(std::string_view text, std::string_view pattern, std::size_t anchor = 0);

// The Find What text as the dialog holds it: every lower-case letter a to z
// typed becomes its capital, and only the first 99 characters are kept.
std::string typedSearchText(std::string_view typed);

// Adds `text` to the Find What history unless an entry already begins with
// it (compared without regard to case); the list stays sorted without regard
// to case. Returns whether it was added.
bool addToSearchHistory(std::vector<std::string>& history, std::string_view text);

} // namespace qavn
