#pragma once

#include <QKeyEvent>
#include <QString>

#include <functional>
#include <string_view>

namespace qavn {

// Codebook texts are single-byte text; every byte is one character.
inline QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
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
