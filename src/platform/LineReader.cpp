// Reading a text file line by line as fgets does with a fixed buffer.

#include "platform/LineReader.h"

namespace qavn {

bool LineReader::next(std::string& line)
{
    line.clear();
    whole_ = true;
    if (bufferSize_ < 2 || file_ == nullptr)
        return false;
    const std::size_t limit = bufferSize_ - 1;
    int c = 0;
    while (line.size() < limit && (c = std::getc(file_)) != EOF) {
        line.push_back(static_cast<char>(c));
        if (c == '\n')
            return true;
    }
    if (line.empty())
        return false;
    if (line.size() == limit && line.back() != '\n') {
        // Cut at the buffer size unless the file ends right here.
        const int peek = std::getc(file_);
        if (peek != EOF) {
            std::ungetc(peek, file_);
            whole_ = false;
        }
    }
    return true;
}

bool readWholeLine(std::FILE* file, std::string& line)
{
    line.clear();
    int c;
    while ((c = std::getc(file)) != EOF) {
        line.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return !line.empty();
}

} // namespace qavn
