// Opening another project, importing a data set into a new one, the recent
// projects list and dropped files.

#include "app/qt/ProjectCommands.h"

#include "app/qt/LoadingDialog.h"
#include "codebook/OpenProject.h"
#include "import/ProjectImport.h"
#include "import/SourceReader.h"
#include "platform/Ui.h"
#include "platform/qt/QtText.h"
#include "project/Configuration.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <array>
#include <atomic>
#include <mutex>

namespace qavn {

namespace {

constexpr const char* settingsOrganisation = "QAVN";
constexpr const char* settingsApplication = "qavn";
constexpr const char* configurationSuffix = "QAV.CFG";
constexpr const char* stampFile = ".qavn-source";

QSettings programSettings()
{
    return QSettings(QString::fromLatin1(settingsOrganisation), QString::fromLatin1(settingsApplication));
}

// The file name without its last extension, as the launcher's ${base%.*}.
QByteArray stemOf(const QString& source)
{
    const QByteArray base = QFile::encodeName(QFileInfo(source).fileName());
    const qsizetype dot = base.lastIndexOf('.');
    return dot < 0 ? base : base.left(dot);
}

bool inSet(char c, bool lower, bool dotDash)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || (lower && c >= 'a' && c <= 'z') ||
           (dotDash && (c == '.' || c == '-'));
}

} // namespace

ImportDataSetDialog::ImportDataSetDialog(Ui& ui, QWidget* parent) : QDialog(parent), ui_(ui)
{
    setObjectName(QStringLiteral("importDataSetDialog"));
    setWindowTitle(QStringLiteral("Import Data Set"));

    sources_ = new QListWidget(this);
    sources_->setObjectName(QStringLiteral("dataSets"));
    sources_->setAccessibleName(QStringLiteral("Data sets"));
    sources_->setMinimumWidth(420);
    sources_->setMaximumHeight(fontMetrics().height() * 6);
    auto* add = new QPushButton(QStringLiteral("&Add..."), this);
    add->setObjectName(QStringLiteral("addDataSet"));
    add->setAutoDefault(false);
    auto* remove = new QPushButton(QStringLiteral("&Remove"), this);
    remove->setObjectName(QStringLiteral("removeDataSet"));
    remove->setAutoDefault(false);

    id_ = new QLineEdit(this);
    id_->setObjectName(QStringLiteral("projectId"));
    id_->setMaxLength(8);
    id_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[A-Za-z0-9_]{0,8}")), id_));
    title_ = new QLineEdit(this);
    title_->setObjectName(QStringLiteral("projectTitle"));
    title_->setPlaceholderText(QStringLiteral("made from the data set names"));
    idVariable_ = new QLineEdit(this);
    idVariable_->setObjectName(QStringLiteral("idVariable"));
    idVariable_->setPlaceholderText(QStringLiteral("none"));
    folder_ = new QLineEdit(this);
    folder_->setObjectName(QStringLiteral("projectFolder"));
    auto* browse = new QPushButton(QStringLiteral("&Browse..."), this);
    browse->setObjectName(QStringLiteral("browseFolder"));
    browse->setAutoDefault(false);

    auto* import = new QPushButton(QStringLiteral("&Import"), this);
    import->setObjectName(QStringLiteral("import"));
    import->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);

    auto* sourceButtons = new QVBoxLayout;
    sourceButtons->addWidget(add);
    sourceButtons->addWidget(remove);
    sourceButtons->addStretch();
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(sources_, 1);
    sourceRow->addLayout(sourceButtons);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(browse);

    auto* form = new QFormLayout;
    auto* sourcesLabel = new QLabel(QStringLiteral("&Data sets:"), this);
    sourcesLabel->setBuddy(sources_);
    form->addRow(sourcesLabel, sourceRow);
    form->addRow(QStringLiteral("Pro&ject ID:"), id_);
    form->addRow(QStringLiteral("&Title:"), title_);
    form->addRow(QStringLiteral("Identifier &variable:"), idVariable_);
    auto* folderLabel = new QLabel(QStringLiteral("Project &folder:"), this);
    folderLabel->setBuddy(folder_);
    form->addRow(folderLabel, folderRow);
    auto* note = new QLabel(QStringLiteral("SPSS (.sav .zsav .por), Stata (.dta), SAS (.sas7bdat .xpt), CSV and DDI "
                                           "codebooks (.xml): each data set becomes one data file of the project."),
                            this);
    note->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(import);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addLayout(buttons);

    connect(add, &QPushButton::clicked, this, &ImportDataSetDialog::addSources);
    connect(remove, &QPushButton::clicked, this, [this] {
        delete sources_->takeItem(sources_->currentRow());
        sourcesChanged();
    });
    connect(id_, &QLineEdit::textEdited, this, [this] {
        idTyped_ = true;
        const int cursor = id_->cursorPosition();
        id_->setText(id_->text().toUpper());
        id_->setCursorPosition(cursor);
    });
    connect(folder_, &QLineEdit::textEdited, this, [this] { folderTyped_ = true; });
    connect(browse, &QPushButton::clicked, this, [this] {
        if (const auto dir = ui_.chooseDirectory(""); dir) {
            // A folder for the project inside the one chosen.
            const QString id = id_->text().isEmpty() ? QStringLiteral("PROJECT") : id_->text();
            folder_->setText(QDir(QFile::decodeName(QByteArray::fromStdString(*dir))).filePath(id));
            folderTyped_ = true;
        }
    });
    connect(import, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ImportDataSetDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        if (onHelp)
            onHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ImportDataSetDialog::addSources()
{
    const auto chosen = ui_.chooseFile(Ui::FileDialog::Open, ProjectCommands::dataSetFilter, "");
    if (!chosen)
        return;
    QStringList list = sources();
    list.append(QFile::decodeName(QByteArray::fromStdString(*chosen)));
    setSources(list);
}

void ImportDataSetDialog::setSources(const QStringList& sources)
{
    sources_->clear();
    for (const QString& source : sources)
        sources_->addItem(QFileInfo(source).absoluteFilePath());
    sourcesChanged();
}

QStringList ImportDataSetDialog::sources() const
{
    QStringList list;
    for (int i = 0; i < sources_->count(); ++i)
        list.append(sources_->item(i)->text());
    return list;
}

void ImportDataSetDialog::sourcesChanged()
{
    const QStringList list = sources();
    if (list.isEmpty())
        return;
    if (!idTyped_)
        id_->setText(ProjectCommands::defaultProjectId(list.front()));
    if (!folderTyped_)
        folder_->setText(ProjectCommands::defaultProjectFolder(list.front()));
}

ProjectCommands::ProjectCommands(OpenProject& session, Ui& ui, QWidget* window)
    : session_(session), ui_(ui), window_(window)
{
    launch = [](const QString& folder, const QString& id) {
        QProcess process;
        process.setProgram(QCoreApplication::applicationFilePath());
        process.setArguments({QStringLiteral("P=") + id});
        process.setWorkingDirectory(folder);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Opening from the menu is no start-up: no logo wait.
        if (!environment.contains(QStringLiteral("QAVN_LOGO_MS")))
            environment.insert(QStringLiteral("QAVN_LOGO_MS"), QStringLiteral("0"));
        process.setProcessEnvironment(environment);
        return process.startDetached();
    };
    execImportDialog = [](ImportDataSetDialog& dialog) { return dialog.exec(); };
}

QString ProjectCommands::currentConfigurationFile() const
{
    if (session_.projectId.empty())
        return QString();
    return QDir::current().absoluteFilePath(QFile::decodeName(QByteArray::fromStdString(configurationPath(session_.projectId))));
}

bool ProjectCommands::isConfigurationFile(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.size() > static_cast<qsizetype>(std::char_traits<char>::length(configurationSuffix)) &&
           name.endsWith(QLatin1String(configurationSuffix), Qt::CaseInsensitive);
}

bool ProjectCommands::isDataSet(const QString& path)
{
    // The kinds qavn-import reads, from its table.
    return importKindOf(std::filesystem::path(QFile::encodeName(path).toStdString())) != nullptr;
}

void ProjectCommands::openProject()
{
    const auto chosen = ui_.chooseFile(Ui::FileDialog::Open, "QAVN Project|*QAV.CFG;*qav.cfg|All Files|*|", "");
    if (chosen)
        openProjectFile(QFile::decodeName(QByteArray::fromStdString(*chosen)));
}

bool ProjectCommands::openProjectFile(const QString& path)
{
    const QFileInfo info(path);
    const std::string bytes = latin1Bytes(QDir::toNativeSeparators(info.absoluteFilePath()));
    if (!isConfigurationFile(path)) {
        ui_.error("Cannot Open Project " + bytes + " !",
                  "A project is opened from its configuration file, named after its ID: ZELQAV.CFG for the "
                  "project ZEL.");
        return false;
    }
    if (!info.isFile() || !info.isReadable()) {
        ui_.error("Cannot Open Project " + bytes + " !", info.exists() ? "The file cannot be read." : "There is no such file.");
        removeRecent(info.absoluteFilePath());
        return false;
    }
    const QString name = info.fileName();
    const QString id = name.left(name.size() - static_cast<qsizetype>(std::char_traits<char>::length(configurationSuffix))).toUpper();
    if (info.absoluteFilePath() == currentConfigurationFile()) {
        if (note)
            note(QStringLiteral("%1 is the open project").arg(id));
        return true;
    }
    if (beforeLaunch)
        beforeLaunch();
    if (!launch || !launch(info.absolutePath(), id)) {
        ui_.error("Cannot Start QAVN for the Project " + latin1Bytes(id) + " !",
                  latin1Bytes(QCoreApplication::applicationFilePath()) + " could not be started.");
        return false;
    }
    addRecent(info.absoluteFilePath());
    if (afterLaunch)
        afterLaunch();
    return true;
}

std::uint32_t ProjectCommands::cksum(const QByteArray& bytes)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i << 24;
            for (int k = 0; k < 8; ++k)
                c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0;
    const auto step = [&crc](std::uint8_t byte) { crc = (crc << 8) ^ table[((crc >> 24) ^ byte) & 0xFFu]; };
    for (const char c : bytes)
        step(static_cast<std::uint8_t>(c));
    for (auto length = static_cast<std::uint64_t>(bytes.size()); length != 0; length >>= 8)
        step(static_cast<std::uint8_t>(length & 0xFFu));
    return ~crc;
}

QString ProjectCommands::defaultProjectFolder(const QString& source)
{
    QByteArray name = stemOf(source);
    for (char& c : name)
        if (!inSet(c, true, true))
            c = '_';
    const QByteArray full = QFile::encodeName(QFileInfo(source).canonicalFilePath().isEmpty()
                                                  ? QFileInfo(source).absoluteFilePath()
                                                  : QFileInfo(source).canonicalFilePath());
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(QStringLiteral("qavn/projects/") + QFile::decodeName(name) + QLatin1Char('-') +
                               QString::number(cksum(full)));
}

QString ProjectCommands::defaultProjectId(const QString& source)
{
    QByteArray id = stemOf(source).toUpper();
    for (char& c : id)
        if (!inSet(c, false, false))
            c = '_';
    id.truncate(8);
    return id.isEmpty() ? QStringLiteral("DATA") : QString::fromLatin1(id);
}

QString ProjectCommands::sourceStamp(const QString& source)
{
    const QFileInfo info(source);
    const QString full = info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
    return QStringLiteral("%1 %2 %3").arg(info.size()).arg(info.lastModified().toSecsSinceEpoch()).arg(full);
}

void ProjectCommands::importDataSet(const QStringList& sources)
{
    ImportDataSetDialog dialog(ui_, window_);
    dialog.onHelp = help;
    dialog.setSources(sources);
    for (;;) {
        if (execImportDialog(dialog) != QDialog::Accepted)
            return;
        const QStringList chosen = dialog.sources();
        if (chosen.isEmpty()) {
            ui_.error("No Data Set !", "Add the data set to import with Add...");
            continue;
        }
        bool missing = false;
        for (const QString& source : chosen) {
            if (!QFileInfo(source).isFile()) {
                ui_.error("Cannot Find " + latin1Bytes(source) + " !");
                missing = true;
                break;
            }
        }
        if (missing)
            continue;
        const QString id = dialog.idField()->text().trimmed().toUpper();
        if (id.isEmpty()) {
            ui_.error("No Project ID !", "The project ID is 1 to 8 letters, digits or underscores.");
            continue;
        }
        const QString folder = QDir::cleanPath(dialog.folderField()->text().trimmed());
        if (folder.isEmpty() || folder == QLatin1String(".")) {
            ui_.error("No Project Folder !", "Name the folder the project is made in.");
            continue;
        }
        const QString configuration = QDir(folder).filePath(id + QLatin1String(configurationSuffix));
        bool force = false;
        if (QFileInfo::exists(folder)) {
            // The same data set, unchanged, imported there before: open it.
            QFile stamp(QDir(folder).filePath(QLatin1String(stampFile)));
            if (chosen.size() == 1 && QFileInfo::exists(configuration) && stamp.open(QIODevice::ReadOnly) &&
                QString::fromUtf8(stamp.readAll()).trimmed() == sourceStamp(chosen.front())) {
                if (note)
                    note(QStringLiteral("%1 was imported before and has not changed since: opening it").arg(chosen.front()));
                openProjectFile(configuration);
                return;
            }
            if (!ui_.askYesNoDefaultNo("The Folder " + latin1Bytes(folder) +
                                       " Already Exists !\nWant to Replace It With the New Project ?")) {
                continue;
            }
            force = true;
        }

        // The folder the project goes into is made as needed (the launcher's
        // projects folder does not exist before the first import).
        const QString parent = QFileInfo(folder).absolutePath();
        if (!QDir().mkpath(parent)) {
            ui_.error("Cannot Create the Folder " + latin1Bytes(parent) + " !");
            continue;
        }
        ImportOptions options;
        for (const QString& source : chosen)
            options.sources.push_back(QFile::encodeName(source).toStdString());
        options.id = id.toStdString();
        options.out = QFile::encodeName(folder).toStdString();
        options.title = dialog.titleField()->text().trimmed().toStdString(); // UTF-8, as the import takes it
        options.idVariable = QFile::encodeName(dialog.idVariableField()->text().trimmed()).toStdString();
        options.force = force;
        if (!runImport(options))
            continue;
        if (chosen.size() == 1) {
            QSaveFile stamp(QDir(folder).filePath(QLatin1String(stampFile)));
            if (stamp.open(QIODevice::WriteOnly)) {
                stamp.write(sourceStamp(chosen.front()).toUtf8() + '\n');
                stamp.commit();
            }
        }
        openProjectFile(configuration);
        return;
    }
}

bool ProjectCommands::runImport(const ImportOptions& given)
{
    ImportOptions options = given;
    ImportSummary summary;
    std::string error;
    bool made = false;
    std::atomic<bool> cancel{false};

    LoadingDialog* dialog = nullptr;
    LoadingDialog box(window_, [&] {
        // The import runs on a thread of its own; this loop keeps the window
        // alive and passes the Cancel on.
        std::mutex textLock;
        QString text;
        int value = 0;
        options.progress = [&](double done, const std::string& what) {
            const std::lock_guard lock(textLock);
            text = QFile::decodeName(QByteArray::fromStdString(what));
            value = static_cast<int>(done * 1000);
            return !cancel.load();
        };
        QEventLoop loop;
        QThread* worker = QThread::create([&] { made = importProject(options, summary, error); });
        QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            if (dialog->cancelled())
                cancel = true;
            const std::lock_guard lock(textLock);
            dialog->setDetail(text);
            dialog->progressBar()->setValue(value);
        });
        tick.start(50);
        dialog->setRange(1000);
        worker->start();
        loop.exec();
        worker->wait();
        delete worker;
    });
    dialog = &box;
    box.setMessage(QStringLiteral("Importing the Data Set, Please Wait..."));
    box.exec();
    if (made) {
        if (!summary.warnings.empty()) {
            std::string lines;
            for (const std::string& warning : summary.warnings)
                lines += (lines.empty() ? "" : "\n") + warning;
            ui_.detailedMessage("The Data Set Has Been Imported With Warnings.", Ui::Buttons::Ok, Ui::Icon::Information,
                                lines);
        }
        return true;
    }
    if (cancel.load() && error == "cancelled")
        return false;
    ui_.error("Cannot Import the Data Set !", error);
    return false;
}

QStringList ProjectCommands::recentProjects() const
{
    QStringList list = programSettings().value(QString::fromLatin1(recentKey)).toStringList();
    if (list.size() > maxRecent)
        list.resize(maxRecent);
    return list;
}

void ProjectCommands::addRecent(const QString& configurationFile)
{
    if (configurationFile.isEmpty())
        return;
    QStringList list = recentProjects();
    list.removeAll(configurationFile);
    list.prepend(configurationFile);
    if (list.size() > maxRecent)
        list.resize(maxRecent);
    programSettings().setValue(QString::fromLatin1(recentKey), list);
}

void ProjectCommands::removeRecent(const QString& configurationFile)
{
    QStringList list = recentProjects();
    if (list.removeAll(configurationFile) > 0)
        programSettings().setValue(QString::fromLatin1(recentKey), list);
}

void ProjectCommands::clearRecent()
{
    programSettings().remove(QString::fromLatin1(recentKey));
}

bool ProjectCommands::openDropped(const QStringList& paths)
{
    for (const QString& path : paths)
        if (isConfigurationFile(path))
            return openProjectFile(path);
    QStringList dataSets;
    for (const QString& path : paths)
        if (isDataSet(path))
            dataSets.append(path);
    if (dataSets.isEmpty())
        return false;
    importDataSet(dataSets);
    return true;
}

} // namespace qavn
