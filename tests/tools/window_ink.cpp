// window_ink: what a window of another program shows, for the script tests
// under a real X server. Grabs the window WID from the screen and
//   window_ink WID --save FILE.png   writes the picture;
//   window_ink WID --runs            prints, for the lowest line of text in
//                                    or just above the window's largest white
//                                    area (the last item of a list), the x
//                                    ranges of its ink, gaps of under 4 pixels
//                                    joined: "12-18 40-75 ...".
// Exit status 1 when the window cannot be grabbed or holds no such line.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

bool white(QRgb c)
{
    return qRed(c) > 245 && qGreen(c) > 245 && qBlue(c) > 245;
}

bool ink(QRgb c)
{
    return qGray(c) < 160;
}

// The largest rectangle of white pixels found by growing runs of white rows:
// good enough for a list or text area, which is a plain white block.
QRect largestWhite(const QImage& image)
{
    QRect best;
    const int w = image.width();
    const int h = image.height();
    std::vector<int> height(static_cast<std::size_t>(w), 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            height[static_cast<std::size_t>(x)] = white(image.pixel(x, y)) ? height[static_cast<std::size_t>(x)] + 1 : 0;
        // Widest span at each height through a simple scan.
        for (int x = 0; x < w; ++x) {
            const int hx = height[static_cast<std::size_t>(x)];
            if (hx == 0)
                continue;
            int left = x;
            while (left > 0 && height[static_cast<std::size_t>(left - 1)] >= hx)
                --left;
            int right = x;
            while (right + 1 < w && height[static_cast<std::size_t>(right + 1)] >= hx)
                ++right;
            const QRect r(left, y - hx + 1, right - left + 1, hx);
            if (r.width() * r.height() > best.width() * best.height())
                best = r;
            x = right;
        }
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fputs("usage: window_ink WID --save FILE | --runs\n", stderr);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const auto wid = static_cast<WId>(std::strtoull(argv[1], nullptr, 0));
    QScreen* screen = QGuiApplication::primaryScreen();
    const QImage image = screen ? screen->grabWindow(wid).toImage() : QImage();
    if (image.isNull()) {
        std::fputs("window_ink: cannot grab the window\n", stderr);
        return 1;
    }
    const QString mode = QString::fromLocal8Bit(argv[2]);
    if (mode == QLatin1String("--save") && argc == 4)
        return image.save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;

    // The lowest line of text in or just above the white area (a list's
    // last item): the first band of rows with ink going up from its bottom.
    const QRect area = largestWhite(image);
    int bottom = -1;
    int top = -1;
    for (int y = area.bottom(); y >= 0; --y) {
        bool any = false;
        for (int x = area.left(); x <= area.right() && !any; ++x)
            any = ink(image.pixel(x, y));
        if (any && bottom < 0)
            bottom = y;
        if (!any && bottom >= 0) {
            top = y + 1;
            break;
        }
    }
    if (bottom < 0 || top < 0) {
        std::fputs("window_ink: no line of text in the window's white area\n", stderr);
        return 1;
    }
    std::vector<bool> column(static_cast<std::size_t>(image.width()), false);
    for (int y = top; y <= bottom; ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (ink(image.pixel(x, y)))
                column[static_cast<std::size_t>(x)] = true;
    QString out;
    int start = -1;
    int last = -10;
    for (int x = 0; x < image.width(); ++x) {
        if (!column[static_cast<std::size_t>(x)])
            continue;
        if (start >= 0 && x - last > 3) {
            out += QStringLiteral("%1-%2 ").arg(start).arg(last);
            start = -1;
        }
        if (start < 0)
            start = x;
        last = x;
    }
    if (start >= 0)
        out += QStringLiteral("%1-%2").arg(start).arg(last);
    std::printf("%s\n", out.trimmed().toLocal8Bit().constData());
    return 0;
}
