#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace qavn {

// A generated text file: every "\n" written becomes CR LF. Output is
// buffered; the first failed write is remembered with its error text and
// every later write is dropped, so a writer can run to its end and the
// caller report the failure once.
class TextOutput {
public:
    TextOutput();
    virtual ~TextOutput() = default;
    TextOutput(const TextOutput&) = delete;
    TextOutput& operator=(const TextOutput&) = delete;

    void write(std::string_view text);
    void put(char c);
    // printf-style formatting, then write().
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Hands buffered bytes to the sink. Returns false once a write failed.
    bool flush();

    bool failed() const { return failed_; }
    const std::string& errorText() const { return error_; }

protected:
    // Writes raw bytes; returns false and sets `error` on failure.
    virtual bool writeRaw(const char* data, std::size_t size, std::string& error) = 0;
    void fail(std::string error);

private:
    void append(const char* data, std::size_t size);

    std::string buffer_;
    bool failed_ = false;
    std::string error_;
};

// A TextOutput into a file on disk, opened from a DOS-style path.
class FileTextOutput : public TextOutput {
public:
    FileTextOutput() = default;
    ~FileTextOutput() override;

    // Creates or truncates the file. Returns false when it cannot be opened.
    bool open(std::string_view dosPath);
    bool isOpen() const { return file_ != nullptr; }
    // Flushes and closes; returns false when anything failed to reach the
    // file, including the close itself.
    bool close();

    // Test seam: the n-th raw write (1-based) and all after it fail as a full
    // disk would. 0 switches it off.
    void failFromWrite(std::size_t n) { failFrom_ = n; }

protected:
    bool writeRaw(const char* data, std::size_t size, std::string& error) override;

private:
    std::FILE* file_ = nullptr;
    std::size_t writes_ = 0;
    std::size_t failFrom_ = 0;
};

// A TextOutput collected in memory, for tests.
class StringTextOutput : public TextOutput {
public:
    ~StringTextOutput() override;
    const std::string& text()
    {
        flush();
        return text_;
    }

protected:
    bool writeRaw(const char* data, std::size_t size, std::string& error) override;

private:
    std::string text_;
};

} // namespace qavn
