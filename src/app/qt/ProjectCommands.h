#pragma once

// File > Open Project, File > Import Data Set, File > Recent Projects and
// the files dropped on the main window.

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>

class QLineEdit;
class QListWidget;

namespace qavn {

class OpenProject;
class Ui;
struct ImportOptions;

// "Import Data Set": the data sets (one data file of the project each), the
// project ID, its title and identifier variable, and the folder the project
// is made in. The ID and the folder follow the first data set until the user
// types into them. F1 opens the help on importing.
class ImportDataSetDialog : public QDialog {
    Q_OBJECT
public:
    explicit ImportDataSetDialog(Ui& ui, QWidget* parent = nullptr);

    void setSources(const QStringList& sources);
    QStringList sources() const;
    QLineEdit* idField() const { return id_; }
    QLineEdit* titleField() const { return title_; }
    QLineEdit* idVariableField() const { return idVariable_; }
    QLineEdit* folderField() const { return folder_; }
    QListWidget* sourceList() const { return sources_; }

    std::function<void()> onHelp;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void addSources();
    void sourcesChanged();

    Ui& ui_;
    QListWidget* sources_;
    QLineEdit* id_;
    QLineEdit* title_;
    QLineEdit* idVariable_;
    QLineEdit* folder_;
    bool idTyped_ = false;
    bool folderTyped_ = false;
};

class ProjectCommands {
public:
    static constexpr int maxRecent = 8;
    // QSettings key of the recent projects' configuration files.
    static constexpr const char* recentKey = "recentProjects";
    // The data set types the import reads, as a chooser filter.
    static constexpr const char* dataSetFilter =
        "Data Sets|*.sav;*.zsav;*.por;*.dta;*.sas7bdat;*.xpt;*.csv;*.xml|All Files|*|";

    ProjectCommands(OpenProject& session, Ui& ui, QWidget* window);

    // The running project's configuration file as an absolute host path.
    QString currentConfigurationFile() const;

    // File > Open Project: the chooser for a configuration file (<ID>QAV.CFG),
    // then openProjectFile().
    void openProject();
    // Checks that `path` is a readable configuration file named <ID>QAV.CFG,
    // then starts the program on it in its folder and closes this window
    // (see launch, beforeLaunch, afterLaunch). A failure is shown and returns
    // false; the running project stays open.
    bool openProjectFile(const QString& path);

    // File > Import Data Set (and data sets dropped on the window): the
    // dialog, starting with `sources`; the import under a progress window
    // with Cancel; then the new project opens. A data set imported before
    // into the same folder, unchanged since, opens without importing again.
    void importDataSet(const QStringList& sources = {});

    // The recent projects, newest first, at most maxRecent.
    QStringList recentProjects() const;
    void addRecent(const QString& configurationFile);
    void removeRecent(const QString& configurationFile);
    void clearRecent();

    // What a dropped file is.
    static bool isConfigurationFile(const QString& path);
    static bool isDataSet(const QString& path);
    // Opens what was dropped: a configuration file, else the data sets
    // through the import dialog. False when nothing dropped is either.
    bool openDropped(const QStringList& paths);

    // Where a data set is imported unless the user says otherwise, and the
    // project ID it gets, as the desktop launcher (qavn-open) names them, so
    // that both find the project again: <data folder>/qavn/projects/<name
    // of the file>-<POSIX cksum of its full path>, the ID from the name.
    static QString defaultProjectFolder(const QString& source);
    static QString defaultProjectId(const QString& source);
    // The POSIX cksum checksum (CRC-32 over the bytes, then the length).
    static std::uint32_t cksum(const QByteArray& bytes);
    // The launcher's record of the data set a project was made from (size,
    // modification time, full path), kept as ".qavn-source" in the project.
    static QString sourceStamp(const QString& source);

    // Starts the program on the project `id` in `folder`; replaceable for
    // tests. Returns whether it started.
    std::function<bool(const QString& folder, const QString& id)> launch;
    // Run before another project starts: the running window keeps what it
    // keeps at its end (tags, places).
    std::function<void()> beforeLaunch;
    // Run once it started: the running window closes.
    std::function<void()> afterLaunch;
    // Runs the import dialog modally and returns its result (replaceable for
    // tests, which fill it in and accept it).
    std::function<int(ImportDataSetDialog&)> execImportDialog;
    // A note for the status bar.
    std::function<void(const QString&)> note;
    // F1 in the import dialog.
    std::function<void()> help;

private:
    // Runs the import with its progress window. False with the error shown
    // (or after a cancel, silently).
    bool runImport(const ImportOptions& options);

    OpenProject& session_;
    Ui& ui_;
    QPointer<QWidget> window_;
};

} // namespace qavn
