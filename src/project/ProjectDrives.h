// The project's drive file, <ID>QAV.DRIVES beside the configuration file:
// the folders that stand for the drive letters of one project, so that a
// project carries its own drives instead of depending on QAVN_DRIVE_X.
#pragma once

#include "platform/ReadError.h"

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace qavn {

// project ID + "QAV.DRIVES", in the working directory like the configuration.
std::string driveFilePath(std::string_view projectId);

// The file's text for letter -> folder (relative folders are taken from the
// file's own folder): "QAVN-DRIVES 1", a comment, then one "X=folder" line
// per letter. Lines end in LF.
std::string driveFileText(const std::map<char, std::string>& drives);

// Reads the file `path` (LF or CR LF line ends; blank lines and lines
// starting with '#' skipped). Relative folders are made absolute against the
// folder that holds the file. Fails with CannotOpen when there is no such
// file, and InvalidData (with the line) on a first line that is not
// "QAVN-DRIVES 1", a line that is not "X=folder" with a letter X, or a
// letter given twice.
ReadResult<std::map<char, std::filesystem::path>> readDriveFile(std::string_view path);

// Start-up's step: the drive file of `projectId`, when there is one, becomes
// the project's drive rule (setProjectDrives); without one the
// QAVN_DRIVE_X variables rule as before. Fails only on a damaged file.
ReadResult<void> loadProjectDrives(std::string_view projectId);

} // namespace qavn
