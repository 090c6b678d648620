#pragma once

// The main window's commands that open windows and dialogs of their own (Setup,
// descriptions, Tagged Items, Search, selections, outputs, verification).

#include <memory>

namespace qavn {

class Application;
class Ui;

// The commands of the main window that open windows and dialogs of their own:
// Setup, the description windows, Tagged Items, Search, Import Tag Files, the
// outputs and View Output. Made before the start (the Setup dialog may be
// needed by it) and attached to the main window once the start succeeded;
// lives until the program ends. The closing steps it gives the application
// do nothing once it is gone.
class Features {
public:
    Features(Application& application, Ui& ui);
    ~Features();
    Features(const Features&) = delete;
    Features& operator=(const Features&) = delete;

    // Attaches every handler to the main window. Call after a successful start.
    void attach();

    class Impl;
    Impl& impl() { return *impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

} // namespace qavn
