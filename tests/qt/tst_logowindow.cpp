// The start-up logo window.

#include "support/QtTestSupport.h"

#include "app/qt/LogoWindow.h"

#include <QtEndian>

#include <string>

using namespace qavn;
using qavn::test::TempDir;
using qavn::test::writeFile;

namespace {

void put16(std::string& b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}
void put32(std::string& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A BMP file of the given size and depth, pixels all of colour 0 / black.
std::string bmp(int width, int height, int bits, std::uint32_t used = 0)
{
    const std::uint32_t colours = bits <= 8 ? (used ? used : (1u << bits)) : used;
    const std::uint32_t table = colours * 4;
    const std::uint32_t stride = ((width * bits + 31) / 32) * 4;
    const std::uint32_t offset = 14 + 40 + table;
    std::string b(offset + stride * height, '\0');
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<std::uint32_t>(b.size()));
    put32(b, 10, offset);
    put32(b, 14, 40);
    put32(b, 18, width);
    put32(b, 22, height);
    put16(b, 26, 1);
    put16(b, 28, static_cast<std::uint16_t>(bits));
    put32(b, 46, used);
    for (std::uint32_t i = 0; i < colours; ++i)
        put32(b, 54 + i * 4, 0x00102030u + i);
    return b;
}

} // namespace

class LogoWindowTest : public QObject {
    Q_OBJECT

private slots:
    void badFilesGiveNoPicture_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        std::string good = bmp(4, 4, 8);
        std::string notBm = good;
        notBm[0] = 'X';
        std::string truncated = good.substr(0, good.size() - 5);
        std::string hugeTable = good;
        put32(hugeTable, 46, 0x40000000u); // used colours far past the file's end
        std::string negativeWidth = good;
        put32(negativeWidth, 18, 0xFFFFFFFEu);
        std::string badDepth = good;
        put16(badDepth, 28, 7);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("header only") << QByteArray(good.data(), 14);
        QTest::newRow("not BM") << QByteArray::fromStdString(notBm);
        QTest::newRow("pixels cut short") << QByteArray::fromStdString(truncated);
        QTest::newRow("colour table past the end") << QByteArray::fromStdString(hugeTable);
        QTest::newRow("negative width") << QByteArray::fromStdString(negativeWidth);
        QTest::newRow("7 bits per pixel") << QByteArray::fromStdString(badDepth);
    }

    void badFilesGiveNoPicture()
    {
        QFETCH(QByteArray, bytes);
        TempDir dir;
        writeFile(dir / "logo.bmp", bytes.toStdString());
        const LogoBitmap picture = readLogoBitmap(QString::fromStdString((dir / "logo.bmp").string()));
        QVERIFY(!picture.valid);
        LogoWindow window(picture);
        QCOMPARE(window.size(), LogoWindow::fallbackSize);
    }

    void eightBitPictureHasAPaletteAndSizesTheWindow()
    {
        TempDir dir;
        writeFile(dir / "logo.bmp", bmp(440, 233, 8));
        const LogoBitmap picture = readLogoBitmap(QString::fromStdString((dir / "logo.bmp").string()));
        QVERIFY(picture.valid);
        QCOMPARE(picture.colourCount, 256u);
        QCOMPARE(picture.palette.size(), 256);
        QCOMPARE(picture.palette[1], qRgb(0x10, 0x20, 0x31));
        LogoWindow window(picture);
        QCOMPARE(window.size(), QSize(440, 233));
    }

    void trueColourPictureHasNoPaletteButIsShown()
    {
        TempDir dir;
        writeFile(dir / "logo.bmp", bmp(30, 20, 24));
        const LogoBitmap picture = readLogoBitmap(QString::fromStdString((dir / "logo.bmp").string()));
        QVERIFY(picture.valid);
        QVERIFY(picture.palette.isEmpty());
        QCOMPARE(picture.colourCount, 0u);
        QCOMPARE(picture.image.size(), QSize(30, 20));
    }

    void demoLogoIsValid()
    {
        const LogoBitmap picture = readLogoBitmap(QStringLiteral(QAVN_SOURCE_DIR "/samples/demo/logo.bmp"));
        QVERIFY(picture.valid);
        QCOMPARE(QSize(picture.width, picture.height), QSize(440, 233));
        QCOMPARE(picture.bitsPerPixel, 8);
    }

    void waitLastsItsTimeThroughThePump()
    {
        qputenv("QAVN_LOGO_MS", "40");
        ScriptedUi ui;
        ui.setTickStep(1);
        LogoWindow::show(ui, QStringLiteral("/nonexistent/logo.bmp"));
        qputenv("QAVN_LOGO_MS", "0");
        // One pump step per tick until more than 40 ms have passed.
        QVERIFY(ui.pumpSteps() >= 20);
        QVERIFY(ui.pumpSteps() <= 41);
        QCOMPARE(LogoWindow::displayMilliseconds(), 0);
        qputenv("QAVN_LOGO_MS", "junk");
        QCOMPARE(LogoWindow::displayMilliseconds(), 2500);
        qputenv("QAVN_LOGO_MS", "0");
    }
};

QAVN_QTEST_MAIN(LogoWindowTest)
#include "tst_logowindow.moc"
