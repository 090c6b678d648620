// Generated files: CR LF text output, files written under a temporary name and
// renamed when complete, and the project files no output may replace.

#include "platform/TextOutput.h"

#include "platform/HostPath.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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

void TextOutput::writeBytes(std::string_view bytes)
{
    if (failed_)
        return;
    buffer_.append(bytes);
    if (buffer_.size() >= flushThreshold)
        flush();
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
    return openHost(toHostPath(dosPath));
}

namespace {

constexpr std::string_view temporaryMark = ".qavn-";

// The writer's process id in a temporary file's name, or 0 when the name is
// not one of ours.
pid_t temporaryOwner(const std::string& name)
{
    if (name.size() < 2 || name[0] != '.')
        return 0;
    const std::size_t mark = name.rfind(temporaryMark);
    if (mark == std::string::npos || mark == 0)
        return 0;
    const std::size_t digits = mark + temporaryMark.size();
    const std::size_t dash = name.find('-', digits);
    if (dash == std::string::npos || dash == digits || name.size() - dash - 1 != 6)
        return 0;
    long pid = 0;
    for (std::size_t i = digits; i < dash; ++i) {
        if (name[i] < '0' || name[i] > '9' || pid > 100000000)
            return 0;
        pid = pid * 10 + (name[i] - '0');
    }
    return static_cast<pid_t>(pid);
}

mode_t newFileMode(const std::filesystem::path& replaced)
{
    struct stat info {};
    if (::stat(replaced.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        return info.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

void FileTextOutput::removeStaleTemporaries(const std::filesystem::path& folder)
{
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? std::filesystem::path(".") : folder, ec);
    if (ec)
        return;
    for (const auto& entry : it) {
        const std::string name = entry.path().filename().string();
        const pid_t owner = temporaryOwner(name);
        if (owner <= 0 || owner == ::getpid())
            continue;
        if (::kill(owner, 0) != 0 && errno == ESRCH)
            ::unlink(entry.path().c_str());
    }
}

bool FileTextOutput::openHost(const std::filesystem::path& path)
{
    close();
    writes_ = 0;
    openError_.clear();
    final_ = path;
    temporary_.clear();
    const std::string name = path.filename().string();
    if (name.empty() || name == "." || name == "..") {
        openError_ = std::strerror(EISDIR);
        return false;
    }
    const std::filesystem::path folder = path.parent_path();
    removeStaleTemporaries(folder);

    std::string pattern = (folder / ("." + name)).string();
    pattern += temporaryMark;
    pattern += std::to_string(::getpid());
    pattern += "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) {
        openError_ = std::strerror(errno);
        return false;
    }
    temporary_ = buffer.data();
    ::fchmod(fd, newFileMode(path));
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        openError_ = std::strerror(errno);
        ::close(fd);
        ::unlink(temporary_.c_str());
        temporary_.clear();
        return false;
    }
    return true;
}

bool FileTextOutput::close()
{
    if (!file_ && temporary_.empty())
        return !failed();
    const bool completed = complete();
    return commit() && completed;
}

bool FileTextOutput::complete()
{
    if (!file_)
        return !failed();
    bool ok = flush();
    if (::fsync(::fileno(file_)) != 0 && ok) {
        fail(std::strerror(errno));
        ok = false;
    }
    if (std::fclose(file_) != 0 && ok) {
        fail(std::strerror(errno));
        ok = false;
    }
    file_ = nullptr;
    // A file that did not reach the disk whole never takes the name: the
    // name keeps what it held.
    if (!ok || failed()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
        return false;
    }
    return true;
}

bool FileTextOutput::commit()
{
    if (file_)
        complete();
    if (temporary_.empty())
        return !failed();
    bool ok = true;
    if (std::rename(temporary_.c_str(), final_.c_str()) != 0) {
        fail(std::strerror(errno));
        ok = false;
        ::unlink(temporary_.c_str());
    } else {
        // The new name reaches the disk with the folder.
        const std::filesystem::path folder = final_.parent_path();
        const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    temporary_.clear();
    return ok && !failed();
}

void FileTextOutput::discard()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
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
#if defined(__linux__)
    // Each time the file passes a multiple of a few megabytes the system is
    // asked to start writing its dirty pages to the disk and left to it, so
    // that the sync before the rename has little left to wait for. An error
    // here shows again at that sync, which reports it.
    constexpr off_t writeBackChunk = off_t{8} << 20;
    const off_t end = ::ftello(file_);
    if (end > 0 && end / writeBackChunk != (end - static_cast<off_t>(size)) / writeBackChunk)
        ::sync_file_range(::fileno(file_), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
    return true;
}

namespace {

// `path` made absolute and normal, in capitals, for comparing names.
std::string comparableName(const std::filesystem::path& path)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    std::string text = (ec ? path : absolute).lexically_normal().string();
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace

const ProtectedFile* protectedFileAt(const std::filesystem::path& path, const std::vector<ProtectedFile>& inputs)
{
    if (path.empty())
        return nullptr;
    // The program finds its inputs without regard to letter case, so a file
    // whose name differs from an input's only in case would be read as that
    // input later: it counts as the input.
    const std::string name = comparableName(path);
    for (const ProtectedFile& input : inputs)
        if (!input.hostPath.empty() && comparableName(input.hostPath) == name)
            return &input;
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0)
        return nullptr;
    for (const ProtectedFile& input : inputs) {
        struct stat info {};
        if (!input.hostPath.empty() && ::stat(input.hostPath.c_str(), &info) == 0 && info.st_dev == target.st_dev &&
            info.st_ino == target.st_ino)
            return &input;
    }
    return nullptr;
}

bool hasControlCharacter(std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127)
            return true;
    }
    return false;
}

std::string fileDetail(const std::filesystem::path& hostPath, std::string_view reason)
{
    std::error_code ec;
    const std::filesystem::path absolute = hostPath.empty() ? hostPath : std::filesystem::absolute(hostPath, ec);
    std::string detail = (ec ? hostPath : absolute).string();
    detail += ": ";
    detail += reason;
    return detail;
}

StringTextOutput::~StringTextOutput() = default;

bool StringTextOutput::writeRaw(const char* data, std::size_t size, std::string&)
{
    text_.append(data, size);
    return true;
}

} // namespace qavn
