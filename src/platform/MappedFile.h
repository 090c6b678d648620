#pragma once

// A read-only view of a whole file, memory-mapped where the host allows.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace qavn {

// A read-only view of a whole file, memory-mapped where the host allows and
// read into memory otherwise. The bytes stay valid until the object is
// destroyed or closed; the file is not read again when it changes on disk.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;

    // Returns false when the file cannot be opened or read; the object is
    // then closed.
    bool open(const std::filesystem::path& path);
    void close();

    bool isOpen() const { return open_; }
    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
    std::size_t size() const { return size_; }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    void* mapping_ = nullptr;
    std::vector<std::uint8_t> copy_;
    bool open_ = false;
};

} // namespace qavn
