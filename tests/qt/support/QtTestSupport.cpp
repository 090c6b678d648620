// What the widget tests share: the offscreen start and a project with its window.

#include "QtTestSupport.h"

#include "app/qt/MainWindow.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace qavn::test {

void prepareQtTestEnvironment()
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (std::getenv("QAVN_LOGO_MS") == nullptr)
        setenv("QAVN_LOGO_MS", "0", 1);
    // The main window keeps its size and place in the user's settings: a
    // test run keeps them in a folder of its own, never in the real home.
    static std::string config;
    if (config.empty()) {
        char pattern[] = "/tmp/qavn-qt-test-XXXXXX";
        if (const char* made = mkdtemp(pattern)) {
            config = made;
            std::atexit([] {
                std::error_code ec;
                std::filesystem::remove_all(config, ec);
            });
        }
    }
    if (!config.empty())
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
}

GuiProject::GuiProject(int variables)
{
    const char* sections[] = {"Household", "Household", "Income", "Income", "Health"};
    for (int i = 1; i <= variables; ++i) {
        const std::uint16_t file = static_cast<std::uint16_t>(i <= variables / 2 ? 1 : 2);
        const char type = i % 7 == 0 ? 'A' : (i % 3 == 0 ? '0' : ' ');
        project.add(variable("V" + std::to_string(i), "Label of variable " + std::to_string(i),
                             sections[(i - 1) * 5 / variables], file, 1, "1-2", type));
    }
    TestProject::DataFile second;
    second.dataPath = "DATA\\FILE2.DAT";
    project.dataFiles.push_back(second);
}

bool GuiProject::start(const std::string& arguments)
{
    if (!written_) {
        project.write();
        written_ = true;
    }
    app = std::make_unique<Application>(ui);
    return app->start(arguments);
}

MainWindow* GuiProject::window() const
{
    return app ? app->mainWindow() : nullptr;
}

} // namespace qavn::test
