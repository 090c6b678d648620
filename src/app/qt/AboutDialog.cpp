// Help > About: the program's name and version.

#include "app/qt/AboutDialog.h"

#include "platform/qt/QtText.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace qavn {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About QAVN"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/qavn/qavn.png")));
    auto* text = new QLabel(this);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setText(QStringLiteral("<b>QAVN</b><br>%1<br>Version %2<br><br>A browser for the codebooks of survey data sets.")
                      .arg(latin1(fullName), QStringLiteral(QAVN_VERSION)));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace qavn
