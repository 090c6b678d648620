// Streams a raw fixed-column data file line by line through one fixed buffer.

#include "export/RawDataReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qavn {

namespace {
constexpr std::size_t lookahead = RawDataReader::maxLineLength + 1;

// Reads exactly `size` bytes at `offset`; false on a short read or an error.
bool readAt(int fd, char* into, std::size_t size, std::uint64_t offset)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, into + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The line count of a file of `size` bytes whose lines all have the length
// of its first one (line end included), else 0: the first line, the size a
// multiple of it, and the last line (after the line end before it) of that
// length too.
std::uint64_t evenLines(int fd, std::uint64_t size)
{
    std::vector<char> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(size, lookahead)));
    if (!readAt(fd, bytes.data(), bytes.size(), 0))
        return 0;
    const auto newline = std::find(bytes.begin(), bytes.end(), '\n');
    if (newline == bytes.end())
        return 0;
    const auto length = static_cast<std::uint64_t>(newline - bytes.begin()) + 1;
    if (size % length != 0)
        return 0;
    if (size == length)
        return 1;
    // The last line with the end of the line before it.
    bytes.resize(static_cast<std::size_t>(length) + 1);
    if (!readAt(fd, bytes.data(), static_cast<std::size_t>(length) + 1, size - length - 1) || bytes[0] != '\n')
        return 0;
    const auto last = bytes.begin() + static_cast<std::ptrdiff_t>(length) + 1;
    if (std::find(bytes.begin() + 1, last, '\n') != last - 1)
        return 0;
    return size / length;
}
} // namespace

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
    if (S_ISREG(info.st_mode) && info.st_size > 0)
        evenLines_ = evenLines(fd, static_cast<std::uint64_t>(info.st_size));
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
    evenLines_ = 0;
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
