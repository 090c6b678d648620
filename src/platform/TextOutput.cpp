#include "platform/TextOutput.h"

#include "platform/HostPath.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <vector>

namespace qavn {

namespace {
constexpr std::size_t flushThreshold = 1 << 16;
}

TextOutput::TextOutput()
{
    buffer_.reserve(flushThreshold + 256);
}

void TextOutput::append(const char* data, std::size_t size)
{
    if (failed_)
        return;
    const char* end = data + size;
    while (data < end) {
        const char* nl = static_cast<const char*>(std::memchr(data, '\n', static_cast<std::size_t>(end - data)));
        if (!nl) {
            buffer_.append(data, end);
            break;
        }
        buffer_.append(data, nl);
        buffer_.append("\r\n", 2);
        data = nl + 1;
    }
    if (buffer_.size() >= flushThreshold)
        flush();
}

void TextOutput::write(std::string_view text)
{
    append(text.data(), text.size());
}

void TextOutput::put(char c)
{
    append(&c, 1);
}

void TextOutput::print(const char* format, ...)
{
    char small[512];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(copy);
        return;
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        va_end(copy);
        append(small, static_cast<std::size_t>(n));
        return;
    }
    std::vector<char> big(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, copy);
    va_end(copy);
    append(big.data(), static_cast<std::size_t>(n));
}

bool TextOutput::flush()
{
    if (failed_)
        return false;
    if (!buffer_.empty()) {
        std::string error;
        if (!writeRaw(buffer_.data(), buffer_.size(), error)) {
            fail(error.empty() ? std::string("Write error") : error);
            return false;
        }
        buffer_.clear();
    }
    return true;
}

void TextOutput::fail(std::string error)
{
    if (!failed_) {
        failed_ = true;
        error_ = std::move(error);
    }
    buffer_.clear();
}

FileTextOutput::~FileTextOutput()
{
    close();
}

bool FileTextOutput::open(std::string_view dosPath)
{
    close();
    file_ = openHostFile(dosPath, "wb");
    writes_ = 0;
    return file_ != nullptr;
}

bool FileTextOutput::close()
{
    if (!file_)
        return !failed();
    bool ok = flush();
    if (std::fclose(file_) != 0 && ok) {
        fail(std::strerror(errno));
        ok = false;
    }
    file_ = nullptr;
    return ok && !failed();
}

bool FileTextOutput::writeRaw(const char* data, std::size_t size, std::string& error)
{
    if (!file_) {
        error = "File is not open";
        return false;
    }
    ++writes_;
    if (failFrom_ != 0 && writes_ >= failFrom_) {
        error = std::strerror(ENOSPC);
        return false;
    }
    if (std::fwrite(data, 1, size, file_) != size || std::fflush(file_) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

StringTextOutput::~StringTextOutput() = default;

bool StringTextOutput::writeRaw(const char* data, std::size_t size, std::string&)
{
    text_.append(data, size);
    return true;
}

} // namespace qavn
