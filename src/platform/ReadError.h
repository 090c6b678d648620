#pragma once

// Why a file the program reads could not be used, as a value, and its one-line
// description.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace qavn {

// The drive letter a DOS-style path starts with and the environment variable
// that maps it onto this host (see toHostPath).
struct DriveMapping {
    char letter = '\0';   // upper-case
    std::string variable; // "QAVN_DRIVE_C"
    bool set = false;     // whether the variable held a value; unset, /mnt/<letter> is used
    // The project's drive file that maps the letter instead of the variable
    // (see setProjectDrives); empty when it does not.
    std::string projectFile;
};

// Why a file the program reads could not be used, in the terms of the file
// and of this host. Readers return it; only a front end turns it into text
// (a message box of the window, a line on standard error of the batch tool).
struct ReadError {
    enum class Kind {
        CannotOpen,  // the file did not open; `reason` is the system's
        CannotRead,  // it opened, reading it failed; `reason` is the system's
        Empty,       // it holds no entry at all (no data file, no whole record)
        InvalidData, // its content breaks the format; `reason` says how
        OutOfMemory, // what it describes does not fit in memory
    };

    Kind kind = Kind::CannotOpen;
    std::string file;                    // as the project or the user names it (DOS form)
    std::string hostPath;                // the path tried on this host; empty when none was tried
    std::uint64_t line = 0;              // 1-based line of a text file; 0 when no line applies
    std::optional<std::uint64_t> offset; // byte offset in a binary file
    std::string reason;                  // the system's text or the precise rule broken
    std::optional<DriveMapping> drive;   // set when `file` starts with a drive letter
};

// One line for a terminal or a log, without a program name and line end:
//   cannot open C:\QAVN\QAVSPEC.ZEL (host path /mnt/c/QAVN/QAVSPEC.ZEL; drive
//   C: maps through QAVN_DRIVE_C, which is not set): No such file or directory
//   C:\QAVN\QAVSPEC.ZEL line 4: data-file line has 2 fields, 3 needed
//   C:\QAVN\ZEL01.CDC byte 46: the file ends inside its first 47-byte record
std::string describe(const ReadError& error);

// A reader's result: its value, or the error that stopped it.
template <typename T>
class [[nodiscard]] ReadResult {
public:
    ReadResult(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    ReadResult(ReadError error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // The value; only when ok().
    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }

    // The error; only when !ok().
    const ReadError& error() const { return std::get<1>(state_); }

private:
    std::variant<T, ReadError> state_;
};

// The result of a reader that fills its caller's objects.
template <>
class [[nodiscard]] ReadResult<void> {
public:
    ReadResult() = default;
    ReadResult(ReadError error) : error_(std::move(error)) {}

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }

    // The error; only when !ok().
    const ReadError& error() const { return *error_; }

private:
    std::optional<ReadError> error_;
};

} // namespace qavn
