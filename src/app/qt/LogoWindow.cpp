// The start-up logo window and the checks on the logo picture's header.

#include "app/qt/LogoWindow.h"

#include "platform/Ui.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QThread>

#include <charconv>

namespace qavn {

namespace {

std::uint32_t u32(const QByteArray& b, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData()) + at;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t u16(const QByteArray& b, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData()) + at;
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

LogoBitmap readLogoBitmap(const QString& path)
{
    LogoBitmap bitmap;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return bitmap;
    const QByteArray header = file.read(14);
    if (header.size() != 14 || u16(header, 0) != 0x4D42)
        return bitmap;
    const qint64 restSize = file.size() - 14;
    if (restSize < 40)
        return bitmap;
    const QByteArray rest = file.read(restSize);
    if (rest.size() != restSize)
        return bitmap;

    const std::uint32_t infoSize = u32(rest, 0);
    const auto width = static_cast<std::int32_t>(u32(rest, 4));
    const auto height = static_cast<std::int32_t>(u32(rest, 8));
    const std::uint16_t bits = u16(rest, 14);
    const std::uint32_t compression = u32(rest, 16);
    const std::uint32_t used = u32(rest, 32);
    if (infoSize < 40 || infoSize > static_cast<std::uint64_t>(restSize) || width <= 0 || height == 0 ||
        height == INT32_MIN || width > 32767 || std::abs(height) > 32767)
        return bitmap;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return bitmap;

    // Colour count: the used-colours field, or 2 to the bits per pixel. A
    // table entry takes 4 bytes; above 8 bits the table holds only the used
    // colours, after three masks when the pixels are bit fields.
    const std::uint64_t colours = used != 0 ? used : (std::uint64_t{1} << bits);
    std::uint64_t tableEntries = bits <= 8 ? colours : used;
    std::uint64_t tableBytes = tableEntries * 4;
    if (bits > 8 && compression == 3)
        tableBytes += 12;
    const std::uint64_t pixelsAt = std::uint64_t{infoSize} + tableBytes;
    if (pixelsAt > static_cast<std::uint64_t>(restSize))
        return bitmap;
    if (compression == 0) {
        const std::uint64_t stride = ((std::uint64_t(width) * bits + 31) / 32) * 4;
        if (stride * std::uint64_t(std::abs(height)) > static_cast<std::uint64_t>(restSize) - pixelsAt)
            return bitmap;
    }
    if (colours <= 256) {
        bitmap.colourCount = static_cast<std::uint32_t>(colours);
        const std::uint64_t entries = bits <= 8 ? colours : used;
        for (std::uint64_t i = 0; i < entries; ++i) {
            const qsizetype at = static_cast<qsizetype>(infoSize + i * 4);
            const auto* p = reinterpret_cast<const unsigned char*>(rest.constData()) + at;
            bitmap.palette.push_back(qRgb(p[2], p[1], p[0]));
        }
    }
    QImage image;
    if (!image.loadFromData(header + rest, "BMP") || image.isNull())
        return bitmap;
    bitmap.image = image;
    bitmap.width = width;
    bitmap.height = std::abs(height);
    bitmap.bitsPerPixel = bits;
    bitmap.valid = true;
    return bitmap;
}

LogoWindow::LogoWindow(const LogoBitmap& picture)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), picture_(picture)
{
    setObjectName(QStringLiteral("logoWindow"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Centred at the dialog's own size first; then sized to the picture with
    // the top-left corner kept where centring put it.
    resize(fallbackSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        QPoint topLeft = area.center() - QPoint(fallbackSize.width() / 2, fallbackSize.height() / 2);
        if (area.width() <= 0)
            topLeft.setX(0);
        if (area.height() <= 0)
            topLeft.setY(0);
        move(topLeft);
    }
    if (picture_.valid)
        setFixedSize(picture_.width, picture_.height);
    else
        setFixedSize(fallbackSize);
}

void LogoWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (picture_.valid) {
        painter.drawImage(0, 0, picture_.image);
        return;
    }
    painter.fillRect(rect(), QColor(0, 0, 128));
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPointSize(28);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(rect().adjusted(0, 0, 0, -40), Qt::AlignCenter, QStringLiteral("QAVN"));
    font.setPointSize(10);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(rect().adjusted(0, 60, 0, 0), Qt::AlignCenter,
                     QStringLiteral("Varibrow for Windows Version 3.21"));
}

int LogoWindow::displayMilliseconds()
{
    const QByteArray value = qgetenv("QAVN_LOGO_MS");
    int ms = defaultMilliseconds;
    if (!value.isEmpty()) {
        int parsed = 0;
        const auto [end, ec] = std::from_chars(value.constData(), value.constData() + value.size(), parsed);
        if (ec == std::errc() && end == value.constData() + value.size() && parsed >= 0)
            ms = parsed;
    }
    return ms;
}

void LogoWindow::show(Ui& ui, const QString& path)
{
    LogoWindow window(readLogoBitmap(path));
    window.QWidget::show();
    window.repaint();
    const std::uint64_t ms = static_cast<std::uint64_t>(displayMilliseconds());
    const std::uint64_t start = ui.ticks();
    // Clicks and keys reaching the window are dispatched as usual; the wait
    // is not shortened by them.
    while (ui.ticks() - start <= ms) {
        ui.pumpStep();
        if (ms > 0)
            QThread::msleep(2);
    }
    window.close();
}

} // namespace qavn
