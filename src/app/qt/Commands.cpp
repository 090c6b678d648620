// The main window's commands: their IDs, menu texts, prompts, toolbar pictures and
// what enables them.

#include "app/qt/Commands.h"

#include "outputs/OutputFormats.h"

#include <array>
#include <vector>

namespace qavn {

namespace {

using E = EnabledBy;

// The commands after the outputs' own, which come from the output format
// table.
constexpr std::array otherCommands{
    CommandInfo{command::openProject, "Open Project...", "Open Another Project from Its Configuration File",
                "Open Project", nullptr, E::CommandsEnabled},
    CommandInfo{command::importDataSet, "Import Data Set...",
                "Make a Project from SPSS, Stata, SAS, CSV or DDI Files and Open It", "Import Data Set", nullptr,
                E::CommandsEnabled},
    CommandInfo{command::viewOutput, "View Output", "", "", nullptr, E::CommandsEnabled},
    CommandInfo{command::importTagFiles, "Import Tag Files", "Import Tag File", "Import Tag File", nullptr,
                E::CommandsEnabled},
    CommandInfo{command::saveSelection, "Save Selection...", "Save the Tagged Items under a Name", "Save Selection",
                nullptr, E::CommandsEnabled},
    CommandInfo{command::loadSelection, "Load Selection...", "Load a Saved Selection into the Tags", "Load Selection",
                nullptr, E::CommandsEnabled},
    CommandInfo{command::setup, "Setup", "Change System Setup", "Setup", nullptr, E::CommandsEnabled},
    CommandInfo{command::exit, "Exit", "Quit the application", "", nullptr, E::Always},
    CommandInfo{command::topOfList, "Top of List", "Move to the Top of List", "Top of List", ":/qavn/toolbar/top.png",
                E::CommandsEnabled},
    CommandInfo{command::prevSection, "Prev Section", "Move to Previous Section", "Prev Section",
                ":/qavn/toolbar/prevsection.png", E::CommandsEnabled},
    CommandInfo{command::nextSection, "Next Section", "Move to Next Section", "Next Section",
                ":/qavn/toolbar/nextsection.png", E::CommandsEnabled},
    CommandInfo{command::bottomOfList, "Bottom of List", "Move to the Bottom of List", "Bottom of List",
                ":/qavn/toolbar/bottom.png", E::CommandsEnabled},
    CommandInfo{command::prevFile, "Prev File", "Move to Previous File", "Prev File", ":/qavn/toolbar/prevfile.png",
                E::CommandsEnabled},
    CommandInfo{command::nextFile, "Next File", "Move to Next File", "Next File", ":/qavn/toolbar/nextfile.png",
                E::CommandsEnabled},
    CommandInfo{command::tagItem, "Tag Item", "Tag Current Item", "Tag", nullptr, E::CommandsEnabled},
    CommandInfo{command::untagItem, "Untag Item", "Untag Current Item", "Untag", nullptr, E::CommandsEnabled},
    CommandInfo{command::clearAllTag, "Clear All Tag", "Clear All Tagged Item(s)", "Clear All", nullptr,
                E::CommandsEnabled},
    CommandInfo{command::prevTag, "&Prev Tag", "Move to Previous Tagged Item", "Prev Tag", ":/qavn/toolbar/prevtag.png",
                E::CommandsEnabled},
    CommandInfo{command::nextTag, "&Next Tag", "Move to Next Tagged Item", "Next Tag", ":/qavn/toolbar/nexttag.png",
                E::CommandsEnabled},
    CommandInfo{command::description, "&Description", "View Description of Tagged Item", "Description", nullptr,
                E::CommandsEnabled},
    CommandInfo{command::taggedItems, "&Tagged Items", "View All Tagged Item", "Tagged Item",
                ":/qavn/toolbar/taggeditems.png", E::CommandsEnabled},
    CommandInfo{command::search, "&Search", "Search", "Search", ":/qavn/toolbar/search.png", E::Always},
    CommandInfo{command::helpContents, "Contents    F1", "", "", nullptr, E::Always},
    CommandInfo{command::about, "About", "", "", nullptr, E::Always},
    CommandInfo{command::verifyCodebook, "Verify Codebook Against Data...",
                "Check the Frequencies of the Codebook Against the Raw Data", "Verify Codebook", nullptr,
                E::DataOnCd},
    CommandInfo{command::tables, "Tables...", "Count Weighted Frequencies and Crosstabs from the Raw Data", "Tables",
                nullptr, E::DataOnCd},
};

constexpr std::array toolbar{command::topOfList, command::prevFile,  command::prevSection, command::nextSection,
                             command::nextFile,  command::bottomOfList, 0,                   command::prevTag,
                             command::nextTag,   0,                    command::taggedItems, command::search};

const std::vector<CommandInfo>& allCommands()
{
    static const std::vector<CommandInfo> commands = [] {
        std::vector<CommandInfo> list;
        for (const OutputFormat& format : outputFormats()) {
            const OutputCommand& c = format.command;
            if (c.id != 0)
                list.push_back(CommandInfo{c.id, c.menuText, c.prompt, c.toolTip, nullptr,
                                           c.enabledByDataOnCd ? E::DataOnCd : E::CommandsEnabled});
        }
        list.insert(list.end(), otherCommands.begin(), otherCommands.end());
        return list;
    }();
    return commands;
}

} // namespace

std::span<const CommandInfo> commandTable()
{
    return allCommands();
}

const CommandInfo* findCommand(int id)
{
    for (const CommandInfo& info : allCommands())
        if (info.id == id)
            return &info;
    return nullptr;
}

std::span<const int> toolbarLayout()
{
    return toolbar;
}

} // namespace qavn
