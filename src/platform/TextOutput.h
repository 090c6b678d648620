#pragma once

// Generated files: CR LF text output, files written under a temporary name and
// renamed when complete, and the project files no output may replace.

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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
    // Bytes as given, line ends untouched: the file formats that are not text.
    void writeBytes(std::string_view bytes);
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

// A TextOutput into a file on disk that appears under its name only when it
// is finished: the bytes go to a temporary file in the same folder,
// ".NAME.qavn-PID-XXXXXX" (PID: the writing process), created exclusively
// (never through a link, never a file that exists), and close() renames it
// over the final name after an fsync. Until then the final name keeps what it
// held, and two runs writing the same name each produce one whole file, the
// later one replacing the earlier. A file left behind by a killed run is
// removed by the next open in that folder once its process is gone.
class FileTextOutput : public TextOutput {
public:
    FileTextOutput() = default;
    // An output still open is closed (see close()).
    ~FileTextOutput() override;

    // openHost() on the host path a DOS-style path maps to (toHostPath).
    bool open(std::string_view dosPath);
    // Starts the file `path`. The new file takes the permissions of the file
    // it replaces, or the usual ones for a new file. Returns false when the
    // temporary file cannot be made; openError() then holds the reason.
    bool openHost(const std::filesystem::path& path);
    bool isOpen() const { return file_ != nullptr; }
    // Flushes, syncs and closes the temporary file and renames it over the
    // final name. When anything failed to reach the file (a write, the sync,
    // the close: a full disk) the temporary file is removed instead and the
    // final name keeps what it held; so it is after a failed rename. Returns
    // false in those cases. A writer that stopped early without a failed
    // write (a cancelled run) keeps its part.
    bool close();
    // close() in two steps, for a run that gives several files their names
    // together: complete() flushes, syncs and closes the temporary file,
    // which keeps its temporary name (or is removed when anything failed to
    // reach it, as close() removes it); commit() then renames it over the
    // final name. Each returns false when anything failed so far.
    bool complete();
    bool commit();
    // Closes and removes the temporary file (open or completed); the final
    // name keeps what it held before open.
    void discard();

    // The final host path of the open (or last) file.
    const std::filesystem::path& path() const { return final_; }
    // The temporary file until it is renamed or removed; empty otherwise.
    const std::filesystem::path& temporaryPath() const { return temporary_; }
    // The system's reason why the last open failed.
    const std::string& openError() const { return openError_; }

    // Removes from `folder` the temporary files of outputs whose process is
    // no longer running.
    static void removeStaleTemporaries(const std::filesystem::path& folder);

    // Test seam: the n-th raw write (1-based) and all after it fail as a full
    // disk would. 0 switches it off.
    void failFromWrite(std::size_t n) { failFrom_ = n; }
    std::size_t failingFromWrite() const { return failFrom_; }

protected:
    bool writeRaw(const char* data, std::size_t size, std::string& error) override;

private:
    std::FILE* file_ = nullptr;
    std::filesystem::path final_;
    std::filesystem::path temporary_;
    std::string openError_;
    std::size_t writes_ = 0;
    std::size_t failFrom_ = 0;
};

// An input of the project an output must never replace: its name as the
// program shows it and the host path it is read from.
struct ProtectedFile {
    std::string name;
    std::filesystem::path hostPath;
};

// The first of `inputs` that `path` is (same device and inode, after
// following links) or names in other letter case (which the program's own
// look-up of its inputs would later take for the input), or nullptr.
const ProtectedFile* protectedFileAt(const std::filesystem::path& path, const std::vector<ProtectedFile>& inputs);

// Whether `text` holds a control character (below 32, or 127): such a path
// from a project file is damaged, and a NUL would cut it short.
bool hasControlCharacter(std::string_view text);

// "<absolute host path>: <reason>", the detail of a message about a file.
std::string fileDetail(const std::filesystem::path& hostPath, std::string_view reason);

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
