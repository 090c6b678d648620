// The open codebook: the index file's records and the text file's lines, read
// through bounded windows.

#include "codebook/CodebookStore.h"

#include "platform/HostPath.h"
#include "platform/Ui.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace qavn {

namespace {

// The failure of MappedFile::open on `host`, which leaves errno as the system
// left it except for a file that is not a regular one.
ReadError mapError(std::string_view file, const std::filesystem::path& host)
{
    const int err = errno;
    std::error_code ec;
    return openError(file, host, err != 0 ? err : std::filesystem::is_directory(host, ec) ? EISDIR : ENODEV);
}

// The machine's physical memory in bytes; 0 when the system does not say.
std::uint64_t physicalMemory()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

} // namespace

ReadResult<void> CodebookStore::openFiles(std::string_view resourceDir, std::string_view filePrefix)
{
    close();
    prefix_ = std::string(filePrefix);
    const std::string indexPath = std::string(resourceDir) + "\\" + prefix_ + "01.CDC";
    const std::string textPath = std::string(resourceDir) + "\\" + prefix_ + "02.CDC";

    const std::filesystem::path indexHost = toHostPath(indexPath);
    errno = 0;
    if (!index_.open(indexHost))
        return mapError(indexPath, indexHost);
    const std::size_t records = index_.size() / VariableRecord::size;
    if (records == 0 || records > UINT32_MAX) {
        ReadError error;
        error.kind = records == 0 ? ReadError::Kind::Empty : ReadError::Kind::InvalidData;
        error.file = indexPath;
        error.hostPath = indexHost.string();
        if (records == 0) {
            error.offset = index_.size();
            error.reason = "the file ends inside its first " + std::to_string(VariableRecord::size) + "-byte record";
        } else {
            error.offset = static_cast<std::uint64_t>(UINT32_MAX) * VariableRecord::size;
            error.reason = "more than " + std::to_string(UINT32_MAX) + " records";
        }
        index_.close();
        return error;
    }
    // Loading keeps a row for every record, larger than the record itself:
    // an index bigger than the machine's memory (a sparse or damaged file)
    // is refused here instead of failing half-way through an allocation.
    if (const std::uint64_t memory = physicalMemory(); memory != 0 && index_.size() > memory) {
        ReadError error;
        error.kind = ReadError::Kind::OutOfMemory;
        error.file = indexPath;
        error.hostPath = indexHost.string();
        error.reason = std::to_string(records) + " records (" + std::to_string(index_.size()) +
                       " bytes) do not fit in this machine's " + std::to_string(memory) + " bytes of memory";
        index_.close();
        return error;
    }
    recordCount_ = static_cast<std::uint32_t>(records);
    const std::filesystem::path textHost = toHostPath(textPath);
    errno = 0;
    if (!text_.open(textHost)) {
        ReadError error = mapError(textPath, textHost);
        index_.close();
        recordCount_ = 0;
        return error;
    }
    blockPosition_ = 0;
    return {};
}

std::string CodebookStore::openMessage(const ReadError& error) const
{
    if (error.kind == ReadError::Kind::OutOfMemory)
        return "Not Enough Memory !";
    if (error.kind == ReadError::Kind::InvalidData)
        return "Cannot Open " + error.file;
    if (error.kind != ReadError::Kind::CannotOpen)
        return std::string();
    // The text file is named without its folder.
    if (error.file.ends_with("02.CDC"))
        return "Cannot Open " + prefix_ + "02.CDC !";
    return "Cannot Open " + error.file;
}

bool CodebookStore::open(std::string_view resourceDir, std::string_view filePrefix)
{
    auto opened = openFiles(resourceDir, filePrefix);
    if (opened)
        return true;
    if (const std::string message = openMessage(opened.error()); !message.empty())
        ui_->error(message, describe(opened.error()));
    return false;
}

void CodebookStore::close()
{
    index_.close();
    text_.close();
    recordCount_ = 0;
    blockPosition_ = 0;
}

std::size_t CodebookStore::readBlock(std::uint8_t* buffer)
{
    const auto bytes = index_.bytes();
    const std::size_t wholeEnd = static_cast<std::size_t>(recordCount_) * VariableRecord::size;
    if (blockPosition_ >= wholeEnd)
        return 0;
    const std::size_t n = std::min(blockRecords, (wholeEnd - blockPosition_) / VariableRecord::size);
    std::memcpy(buffer, bytes.data() + blockPosition_, n * VariableRecord::size);
    blockPosition_ += n * VariableRecord::size;
    return n;
}

bool CodebookStore::readRecord(std::uint32_t k)
{
    if (k == 0 || k > recordCount_ || !index_.isOpen()) {
        ui_->error("Cannot Locate Next Record in " + prefix_ + "01.CDC File !\nPlease Restart Application.");
        return false;
    }
    current_ = recordAt(k);
    return true;
}

VariableRecord CodebookStore::recordAt(std::uint32_t k) const
{
    return VariableRecord::decode(index_.bytes().data() + static_cast<std::size_t>(k - 1) * VariableRecord::size);
}

namespace {

// Appends the bytes of [b, e) to `out` without the filler bytes, a run at a
// time.
void appendWithoutFillers(std::string& out, const std::uint8_t* b, const std::uint8_t* e)
{
    while (b < e) {
        const auto* filler = static_cast<const std::uint8_t*>(std::memchr(b, textbyte::filler, static_cast<std::size_t>(e - b)));
        const std::uint8_t* runEnd = filler ? filler : e;
        out.append(reinterpret_cast<const char*>(b), static_cast<std::size_t>(runEnd - b));
        b = filler ? filler + 1 : e;
    }
}

} // namespace

std::string_view CodebookStore::readLine(TextRef ref)
{
    line_.clear();
    appendLine(ref, line_);
    return line_;
}

void CodebookStore::appendLine(TextRef ref, std::string& out) const
{
    const auto text = text_.bytes();
    const std::size_t start = ref.offset();
    if (start >= text.size())
        return;
    const std::uint8_t* b = text.data() + start;
    const std::size_t window = std::min(text.size() - start, labelWindow);
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(b, textbyte::lineEnd, window));
    appendWithoutFillers(out, b, end ? end : b + window);
}

bool CodebookStore::sectionTitleOf(std::uint32_t k, std::string& title)
{
    if (!readRecord(k))
        return false;
    title.assign(readLine(current_.sectionRef));
    return true;
}

std::size_t CodebookStore::windowSize(LineVariant variant, std::uint32_t count)
{
    const std::size_t wanted = 80u * static_cast<std::size_t>(count) + 10u;
    if (wanted <= 14800)
        return wanted;
    return (variant == LineVariant::DisplayText || variant == LineVariant::BlockSearch) ? 15095 : 15099;
}

// The window walk shared by every line reader. `onWindow(span)` sees each
// window as it is filled and may stop the walk by returning false;
// `onLine(begin, end)` gets each line's stored bytes (fillers included, line
// end excluded) and may stop it too.
template <typename WindowHook, typename LineHook>
std::uint32_t CodebookStore::walkBlock(TextRef ref, std::uint32_t count, std::size_t window,
                                       WindowHook onWindow, LineHook onLine)
{
    const auto text = text_.bytes();
    std::size_t start = ref.offset();
    std::uint32_t delivered = 0;
    // A window scans bytes 0..window-3 for line content; see the class notes.
    const std::size_t scanLimit = window >= 3 ? window - 3 : 0;
    while (delivered < count && start < text.size()) {
        const std::size_t avail = std::min(window, text.size() - start);
        const std::uint8_t* base = text.data() + start;
        if (!onWindow(std::span<const std::uint8_t>(base, avail)))
            return delivered;
        std::size_t p = 0;
        std::size_t done = 0;
        bool atEnd = false;
        bool exhausted = false;
        while (delivered < count) {
            if (p >= avail) {
                // Nothing left in the window: the end of the file when the
                // window came up short, otherwise a refill.
                atEnd = avail < window;
                exhausted = !atEnd;
                break;
            }
            const auto* hit = static_cast<const std::uint8_t*>(std::memchr(base + p, textbyte::lineEnd, avail - p));
            const std::size_t e = hit ? static_cast<std::size_t>(hit - base) : avail;
            // Content bytes at or beyond the scan limit exhaust the window
            // before the line end is reached.
            if (e > p && e - 1 >= scanLimit) {
                exhausted = true;
                break;
            }
            if (!hit) {
                atEnd = true; // avail < window here, or the scan limit had caught it
                break;
            }
            ++delivered;
            if (!onLine(base + p, base + e))
                return delivered;
            p = e + 1;
            done = p;
        }
        if (delivered >= count)
            break;
        if (atEnd) {
            if (p < avail) {
                ++delivered;
                onLine(base + p, base + avail);
            }
            break;
        }
        if (exhausted) {
            if (done == 0) {
                // Not one whole line fits: hand over what the window held and
                // go on after it, so the reader always advances.
                const std::size_t cut = std::min(avail, scanLimit + 1);
                ++delivered;
                if (!onLine(base, base + cut))
                    return delivered;
                start += cut;
            } else {
                start += done;
            }
        }
    }
    return delivered;
}

std::uint32_t CodebookStore::readLines(TextRef ref, std::uint32_t count, LineVariant variant,
                                       FunctionRef<bool(std::string_view)> consumer)
{
    const bool separatorToTab = variant == LineVariant::ListLines || variant == LineVariant::JoinedText ||
                                variant == LineVariant::LineSearch;
    return walkBlock(
        ref, count, windowSize(variant, count), [](std::span<const std::uint8_t>) { return true; },
        [&](const std::uint8_t* b, const std::uint8_t* e) {
            line_.clear();
            appendWithoutFillers(line_, b, e);
            if (separatorToTab)
                std::replace(line_.begin(), line_.end(), static_cast<char>(textbyte::fieldSeparator), '\t');
            return consumer(std::string_view(line_));
        });
}

std::uint32_t CodebookStore::forEachBlockWindow(TextRef ref, std::uint32_t count,
                                                FunctionRef<bool(std::span<const std::uint8_t>)> consumer)
{
    std::uint32_t windows = 0;
    walkBlock(
        ref, count, windowSize(LineVariant::BlockSearch, count),
        [&](std::span<const std::uint8_t> w) {
            ++windows;
            return consumer(w);
        },
        [](const std::uint8_t*, const std::uint8_t*) { return true; });
    return windows;
}

CategoryFields splitCategoryLine(std::string_view line, char separator)
{
    CategoryFields fields;
    std::string_view* slots[4] = {&fields.code, &fields.frequency, &fields.percent, &fields.label};
    for (int i = 0; i < 4; ++i) {
        const std::size_t cut = line.find(separator);
        *slots[i] = line.substr(0, cut);
        if (cut == std::string_view::npos)
            break;
        line.remove_prefix(cut + 1);
    }
    return fields;
}

} // namespace qavn
