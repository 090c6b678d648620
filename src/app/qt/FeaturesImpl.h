#pragma once

// What the window's features hold while the program runs: the dialogs and windows
// they opened and the output and verification commands.

#include "app/qt/Features.h"
#include "search/Search.h"

#include <QPointer>

#include <memory>

namespace qavn {

class DescriptionWindows;
class OutputCommands;
class SearchDialog;

class Features::Impl {
public:
    Impl(Application& application, Ui& ui);
    ~Impl();

    void attach();
    void showSearch();
    void closeSearch();

    Application& application;
    Ui& ui;
    std::unique_ptr<DescriptionWindows> descriptions;
    std::unique_ptr<OutputCommands> outputs;
    std::unique_ptr<Search> search;
    QPointer<SearchDialog> searchDialog;
    QPointer<SearchDialog> retiredDialog; // closed at exit, deleted later
};

} // namespace qavn
