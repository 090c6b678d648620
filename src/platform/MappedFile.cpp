// A read-only view of a whole file, memory-mapped where the host allows.

#include "platform/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qavn {

MappedFile::~MappedFile()
{
    close();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
{
    *this = std::move(other);
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept
{
    if (this != &other) {
        close();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapping_ = std::exchange(other.mapping_, nullptr);
        copy_ = std::move(other.copy_);
        open_ = std::exchange(other.open_, false);
        if (!mapping_ && open_)
            data_ = copy_.data();
    }
    return *this;
}

bool MappedFile::open(const std::filesystem::path& path)
{
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ > 0) {
        void* mapped = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped != MAP_FAILED) {
            mapping_ = mapped;
            data_ = static_cast<const std::uint8_t*>(mapped);
        } else {
            copy_.resize(size_);
            std::size_t got = 0;
            while (got < size_) {
                const ssize_t n = ::read(fd, copy_.data() + got, size_ - got);
                if (n <= 0)
                    break;
                got += static_cast<std::size_t>(n);
            }
            copy_.resize(got);
            size_ = got;
            data_ = copy_.data();
        }
    }
    ::close(fd);
    open_ = true;
    return true;
}

void MappedFile::close()
{
    if (mapping_)
        ::munmap(mapping_, size_);
    mapping_ = nullptr;
    data_ = nullptr;
    size_ = 0;
    copy_.clear();
    copy_.shrink_to_fit();
    open_ = false;
}

} // namespace qavn
