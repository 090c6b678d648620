#pragma once

// The conversions between the program's single-byte text and Qt's strings.

#include <QKeyEvent>
#include <QString>

#include <functional>
#include <string>
#include <string_view>

namespace qavn {

// The two conversions between the program's text and Qt's. Codebook and
// project texts, message texts and captions are single-byte text: every byte
// is one character (Latin-1). Host file names are not such text: they go
// through QFile::encodeName()/decodeName().

// Bytes to characters, each byte the character of the same code.
inline QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Characters to bytes, the reverse of latin1(): a character up to U+00FF
// becomes the byte of the same code, any other becomes '?' (one for each
// character, a surrogate pair included).
inline std::string latin1Bytes(const QString& text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text.at(i + 1).unicode()))
            ++i;
        bytes.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    }
    return bytes;
}

// The keys every window of the program answers the same way: F1 opens the
// help contents, Escape closes the window. Returns whether the key was one of
// them (the event is then handled).
inline bool handleWindowKey(QKeyEvent* event, const std::function<void()>& help, const std::function<void()>& close)
{
    if (event->key() == Qt::Key_F1) {
        if (help)
            help();
        event->accept();
        return true;
    }
    if (event->key() == Qt::Key_Escape) {
        close();
        event->accept();
        return true;
    }
    return false;
}

} // namespace qavn
