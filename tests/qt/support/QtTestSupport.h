#pragma once

// What the widget tests share: the offscreen start and a project with its window.

#include "TestProject.h"
#include "app/qt/Application.h"
#include "platform/ScriptedUi.h"

#include <QApplication>
#include <QTest>

#include <memory>
#include <string>

namespace qavn::test {

// Runs before QApplication exists: offscreen platform unless one is set, and
// no logo wait.
void prepareQtTestEnvironment();

// A project on disk and the whole program started on it, with every dialog
// the core asks for answered through a ScriptedUi.
class GuiProject {
public:
    explicit GuiProject(int variables = 120);

    TestProject project;
    ScriptedUi ui;
    std::unique_ptr<Application> app;

    // Writes the project (when not yet written) and runs the start-up.
    bool start(const std::string& arguments = "P=ZEL");
    MainWindow* window() const;

private:
    bool written_ = false;
};

} // namespace qavn::test

// A QtTest main that prepares the environment first.
#define QAVN_QTEST_MAIN(TestObject)                                                                                    \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        qavn::test::prepareQtTestEnvironment();                                                                        \
        QApplication app(argc, argv);                                                                                  \
        TestObject test;                                                                                               \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
