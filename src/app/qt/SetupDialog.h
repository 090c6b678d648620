#pragma once

// The Setup dialog: resource directory, output directory and CD-ROM drive.

#include "project/Configuration.h"
#include "project/Settings.h"

#include <QDialog>

#include <string>

class QComboBox;
class QLineEdit;

namespace qavn {

class Ui;

// The Setup dialog: resource directory, output directory and CD-ROM drive.
// In creation mode (start-up, no configuration file) the fields start empty
// with drive E; in change mode they show the values the program holds. OK
// puts the values into `settings` at once and rewrites the configuration
// file; Cancel changes nothing.
class SetupDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int maxFieldLength = 199;

    SetupDialog(Settings& settings, std::string configurationFile, SetupMode mode, Ui& ui, QWidget* parent = nullptr);

    QLineEdit* resourceField() const { return resource_; }
    QLineEdit* outputField() const { return output_; }
    QComboBox* driveList() const { return drive_; }

    // Runs the dialog modally. Returns whether OK was pressed.
    static bool run(Settings& settings, const std::string& configurationFile, SetupMode mode, Ui& ui,
                    QWidget* parent);

public slots:
    void accept() override;

private:
    void browse(QLineEdit* field, const std::string& start);

    Settings& settings_;
    std::string file_;
    SetupMode mode_;
    Ui& ui_;
    QLineEdit* resource_;
    QLineEdit* output_;
    QComboBox* drive_;
};

} // namespace qavn
