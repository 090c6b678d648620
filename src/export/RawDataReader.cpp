#include "export/RawDataReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qavn {

namespace {
constexpr std::size_t lookahead = RawDataReader::maxLineLength + 1;
}

RawDataReader::RawDataReader(std::size_t capacity)
{
    buffer_.resize(std::max(capacity, 4 * lookahead));
}

RawDataReader::~RawDataReader()
{
    close();
}

bool RawDataReader::open(const std::filesystem::path& path, std::string& error)
{
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        error = std::strerror(EISDIR);
        ::close(fd);
        return false;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    fd_ = fd;
    return true;
}

void RawDataReader::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    caseStart_ = position_ = end_ = 0;
    eof_ = false;
    kept_.clear();
    lineNumber_ = 0;
    error_.clear();
}

void RawDataReader::beginCase()
{
    caseStart_ = position_;
    kept_.clear();
}

bool RawDataReader::fill()
{
    if (end_ - position_ >= lookahead || eof_)
        return true;
    if (fd_ < 0) {
        eof_ = true;
        return true;
    }
    // Keep the current case and the unconsumed bytes; drop everything before.
    if (caseStart_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + caseStart_, end_ - caseStart_);
        position_ -= caseStart_;
        end_ -= caseStart_;
        caseStart_ = 0;
    }
    if (buffer_.size() - tailPadding - end_ < lookahead)
        buffer_.resize(std::max(buffer_.size() * 2, end_ + 4 * lookahead + tailPadding));
    while (end_ - position_ < lookahead && !eof_) {
        const ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - tailPadding - end_);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error_ = std::strerror(errno);
            return false;
        }
        if (n == 0)
            eof_ = true;
        end_ += static_cast<std::size_t>(n);
    }
    return true;
}

RawDataReader::Status RawDataReader::nextLine(bool keep)
{
    if (!fill())
        return Status::ReadError;
    const std::size_t available = end_ - position_;
    if (available == 0)
        return Status::End;
    const char* start = buffer_.data() + position_;
    const void* feed = std::memchr(start, '\n', std::min(available, lookahead));
    std::size_t length;
    if (feed) {
        length = static_cast<std::size_t>(static_cast<const char*>(feed) - start) + 1;
        if (length > maxLineLength)
            return Status::TooLong;
    } else if (eof_ && available <= maxLineLength) {
        length = available;
    } else {
        return Status::TooLong;
    }
    if (keep)
        kept_.push_back({position_ - caseStart_, length});
    position_ += length;
    ++lineNumber_;
    return Status::Ok;
}

} // namespace qavn
