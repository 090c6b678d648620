#pragma once

// The help viewer: QAVN.HLP shown in a text browser at a named topic.

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace qavn {

// The help viewer: "QAVN.HLP", a small HTML file, shown in a text browser
// at a named anchor. Escape closes it.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* fileName = "QAVN.HLP";

    explicit HelpWindow(QWidget* parent = nullptr);

    // The help file beside the program, else in the installed data folder
    // (share/qavn); empty when neither exists. QAVN_HELP_FILE overrides both.
    static QString findHelpFile();

    // Loads `path` and scrolls to `anchor` ("Contents" for Help Contents).
    bool open(const QString& path, const QString& anchor = QStringLiteral("Contents"));
    QTextBrowser* browser() const { return browser_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTextBrowser* browser_;
};

} // namespace qavn
