#pragma once

// DOS-style project paths mapped onto this host (drives, separators, letter case),
// and opening files through them.

#include "platform/ReadError.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qavn {

// Maps the DOS-style paths of configuration and project files onto this host.
//
// - A drive letter X: becomes the folder the project's drive file gives it
//   (setProjectDrives), else the directory named by the environment variable
//   QAVN_DRIVE_X (upper-case letter) when it is set, else a folder named x
//   (either case) in the working directory, else /mnt/x (lower-case letter).
// - Backslashes become slashes; empty components are dropped.
// - A path without a drive letter is taken as it is: absolute when it starts
//   with a slash, otherwise relative to the working directory.
// - Each component is matched against the host's directory: the exact name
//   when it exists, otherwise the first entry in sorted order that equals it
//   ignoring ASCII letter case; a component with no match is kept as written,
//   so paths of files still to be created map as well.
std::filesystem::path toHostPath(std::string_view dosPath);

// The folders that stand for drive letters in the project at hand, read from
// its drive file (named `file` in messages); they come before the
// QAVN_DRIVE_X variables, so a project that carries its drives opens
// whatever the variables say for other projects. Letters are upper-cased;
// an empty map restores the variables' rule. Set once at start-up, before
// any path is mapped.
void setProjectDrives(std::map<char, std::filesystem::path> drives, std::string file);

// A path a user typed or chose (a save dialog, the command line), used
// exactly as given: no component is matched without regard to case, so a
// name never lands on another file that differs only in case. Only a DOS
// path with a drive letter and a backslash or slash after the colon
// ("C:\RESULTS\OUT.SAS", as the configuration writes them) has its drive
// mapped as toHostPath() does and its backslashes turned into slashes.
std::filesystem::path chosenHostPath(std::string_view path);

// Whether the file or directory a DOS-style path names exists.
bool hostPathExists(std::string_view dosPath);

// std::fopen on the mapped path. Returns nullptr on failure.
std::FILE* openHostFile(std::string_view dosPath, const char* mode);

// An open C file that closes itself.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The drive letter a DOS-style path starts with and the variable that maps
// it; nothing for a path without a drive letter.
std::optional<DriveMapping> driveMappingOf(std::string_view dosPath);

// The error for a file that did not open: the name as written, the host path
// tried (made absolute), the system's text for `errnum` and the drive that
// maps it.
ReadError openError(std::string_view dosPath, const std::filesystem::path& hostPath, int errnum);

// openHostFile(dosPath, "rb") with the failure as a value.
// Opens `path` for reading when it is a regular file (links followed).
// Anything else is refused without waiting on it: a folder (errnum EISDIR),
// a FIFO, a device or a socket, which could block the reader or never end
// (errnum 0, `reason` says what it is). On failure returns nullptr with
// `errnum` and `reason` set.
FilePtr openRegularFile(const std::filesystem::path& path, int& errnum, std::string& reason);

// openRegularFile() on the mapped path, the failure as a value naming the
// file.
ReadResult<FilePtr> openHostFileForReading(std::string_view dosPath);

} // namespace qavn
