// The Setup dialog: resource directory, output directory and CD-ROM drive.

#include "app/qt/SetupDialog.h"

#include "platform/Ui.h"
#include "platform/qt/QtText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qavn {

SetupDialog::SetupDialog(Settings& settings, std::string configurationFile, SetupMode mode, Ui& ui, QWidget* parent)
    : QDialog(parent), settings_(settings), file_(std::move(configurationFile)), mode_(mode), ui_(ui)
{
    setWindowTitle(QStringLiteral("Setup"));
    setObjectName(QStringLiteral("setupDialog"));

    resource_ = new QLineEdit(this);
    resource_->setObjectName(QStringLiteral("1034"));
    resource_->setMaxLength(maxFieldLength);
    output_ = new QLineEdit(this);
    output_->setObjectName(QStringLiteral("1035"));
    output_->setMaxLength(maxFieldLength);
    auto* browseResource = new QPushButton(QStringLiteral("Browse"), this);
    browseResource->setObjectName(QStringLiteral("1036"));
    browseResource->setAutoDefault(false);
    auto* browseOutput = new QPushButton(QStringLiteral("Browse"), this);
    browseOutput->setObjectName(QStringLiteral("1037"));
    browseOutput->setAutoDefault(false);
    drive_ = new QComboBox(this);
    drive_->setObjectName(QStringLiteral("1020"));
    for (char c = 'A'; c <= 'Z'; ++c)
        drive_->addItem(QString(QLatin1Char(c)));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Resource Directory:"), this), 0, 0);
    grid->addWidget(resource_, 0, 1);
    grid->addWidget(browseResource, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Output Directory:"), this), 1, 0);
    grid->addWidget(output_, 1, 1);
    grid->addWidget(browseOutput, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("CD-ROM Drive:"), this), 2, 0);
    grid->addWidget(drive_, 2, 1, Qt::AlignLeft);
    grid->setColumnMinimumWidth(1, 260);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SetupDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SetupDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    if (mode == SetupMode::Change) {
        // The two directories are the configuration file's bytes, shown one
        // character a byte so that OK gives back exactly those bytes.
        resource_->setText(latin1(settings.resourceDir));
        output_->setText(latin1(settings.outputDir));
        const int index = settings.cdromDrive - 'A';
        drive_->setCurrentIndex(index >= 0 && index < 26 ? index : 4);
    } else {
        drive_->setCurrentIndex(4); // "E"
    }
    // The chooser starts in the value the program holds, not in the field.
    connect(browseResource, &QPushButton::clicked, this, [this] { browse(resource_, settings_.resourceDir); });
    connect(browseOutput, &QPushButton::clicked, this, [this] { browse(output_, settings_.outputDir); });
}

void SetupDialog::browse(QLineEdit* field, const std::string& start)
{
    if (auto chosen = ui_.chooseDirectory(start))
        field->setText(latin1(*chosen).left(maxFieldLength));
}

void SetupDialog::accept()
{
    // A field left as it was shown keeps its value whole, even one longer
    // than the field can show.
    auto handOver = [](const QLineEdit* field, std::string& value) {
        const QString text = field->text().left(maxFieldLength);
        if (text != latin1(value).left(maxFieldLength))
            value = latin1Bytes(text);
    };
    handOver(resource_, settings_.resourceDir);
    handOver(output_, settings_.outputDir);
    const QString letter = drive_->currentText();
    settings_.cdromDrive = letter.isEmpty() ? 'E' : static_cast<char>(letter.at(0).toLatin1());
    writeConfiguration(file_, settings_, mode_, ui_);
    QDialog::accept();
}

bool SetupDialog::run(Settings& settings, const std::string& configurationFile, SetupMode mode, Ui& ui,
                      QWidget* parent)
{
    SetupDialog dialog(settings, configurationFile, mode, ui, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace qavn
