#pragma once

// The start-up logo window and the checks on the logo picture's header.

#include <QImage>
#include <QString>
#include <QVector>
#include <QWidget>

#include <cstdint>

namespace qavn {

class Ui;

// What the header of a "logo.bmp" says, checked against the file's length
// before anything is made from it.
struct LogoBitmap {
    bool valid = false;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    std::uint32_t colourCount = 0; // 0 when the picture has more than 256 colours
    QVector<QRgb> palette;         // one entry per colour-table entry when colourCount <= 256
    QImage image;
};

// Reads and checks a BMP file: "BM", the whole rest of the file present, a
// 40-byte (or longer) information header, a colour table and pixel data
// that fit in the file. Anything else gives an invalid picture.
LogoBitmap readLogoBitmap(const QString& path);

// The logo window of the start: a frameless window showing "logo.bmp" of the
// working directory, sized to the picture, for `milliseconds` while pending
// events are processed through the Ui's pump. Without a usable picture the
// window has a small fixed size and shows the program's name.
class LogoWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int defaultMilliseconds = 2500;
    static constexpr QSize fallbackSize{376, 232};

    explicit LogoWindow(const LogoBitmap& picture);

    const LogoBitmap& picture() const { return picture_; }

    // Shows the window, processes events until the time has passed, and
    // closes it. QAVN_LOGO_MS in the environment overrides the 2500 ms.
    static void show(Ui& ui, const QString& path = QStringLiteral("logo.bmp"));
    static int displayMilliseconds();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LogoBitmap picture_;
};

} // namespace qavn
