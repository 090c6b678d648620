#pragma once

// The main window's commands: their IDs, menu texts, prompts, toolbar pictures and
// what enables them.

#include <span>

namespace qavn {

// The numeric IDs of the main window's commands. The output commands' IDs,
// texts and enabling come from the output format table
// (outputs/OutputFormats.h), which names the same numbers.
namespace command {
constexpr int outputSas = 32812;
constexpr int outputSpss = 32814;
constexpr int outputSpssDos = 32813;
constexpr int outputCodebook = 32815;
constexpr int outputTagFile = 32816;
constexpr int outputAccess = 32825;
constexpr int outputCsv = 32830; // File > Output > Other Formats
constexpr int outputSqlite = 32831;
constexpr int viewOutput = 32811;
constexpr int importTagFiles = 32809;
constexpr int saveSelection = 32850; // the current tags under a name
constexpr int loadSelection = 32851; // a named selection, combined with the tags
constexpr int verifyCodebook = 32860; // Tools > Verify Codebook Against Data...
constexpr int tables = 32861;         // Tools > Tables...
constexpr int openProject = 32870;    // File > Open Project...: another project's configuration file
constexpr int importDataSet = 32871;  // File > Import Data Set...: a project made from data sets
constexpr int setup = 32803;
constexpr int exit = 57665;
constexpr int topOfList = 32818;
constexpr int prevSection = 32822;
constexpr int nextSection = 32817;
constexpr int bottomOfList = 32819;
constexpr int prevFile = 32823;
constexpr int nextFile = 32824;
constexpr int tagItem = 32804;
constexpr int untagItem = 32805;
constexpr int clearAllTag = 32806;
constexpr int prevTag = 32820;
constexpr int nextTag = 32810;
constexpr int description = 32793;
constexpr int taggedItems = 32795;
constexpr int search = 32779;
constexpr int helpContents = 32785;
constexpr int about = 32786;
constexpr int tagPane = 59141;
} // namespace command

// Which flag decides whether a command is enabled.
enum class EnabledBy { CommandsEnabled, DataOnCd, Always };

// One command: its menu text, its string-table text (status-bar prompt, a
// line break, tooltip; empty when it has none), its toolbar picture and
// what enables it.
struct CommandInfo {
    int id;
    const char* menuText;
    const char* prompt;
    const char* toolTip;
    const char* icon; // resource path of the toolbar picture, or nullptr
    EnabledBy enabledBy;
};

// Every command, in menu order: the outputs in the order of the output
// format table, then the rest.
std::span<const CommandInfo> commandTable();
const CommandInfo* findCommand(int id);

// Toolbar order; 0 stands for a separator.
std::span<const int> toolbarLayout();

} // namespace qavn
