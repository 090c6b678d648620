#pragma once

// Help > About: the program's name and version.

#include <QDialog>

namespace qavn {

// Help > About: the program's name and version.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* fullName = "Varibrow for Windows Version 3.21";

    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace qavn
