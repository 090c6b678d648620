#pragma once

// The project's configuration file: reading it at start-up and writing it from
// Setup.

#include "project/Settings.h"
#include "platform/FunctionRef.h"
#include "platform/ReadError.h"

#include <string>
#include <string_view>

namespace qavn {

class Ui;

// The per-project configuration file, project ID + "QAV.CFG" in the working
// directory: resource directory, output directory, CD-ROM drive letter, then
// three kept lines that the program carries over when it rewrites the file.
std::string configurationPath(std::string_view projectId);

// Reads the file into `settings` (values trimmed and upper-cased). Fails
// only when it cannot be opened; the lines it has are the values it gives,
// so a short file leaves the rest of `settings` as it was.
ReadResult<void> readConfigurationFile(std::string_view path, Settings& settings);

// Start-up's reading of the configuration. When the file cannot be opened the
// user is asked whether to create it ("Cannot Find <path> !" with Yes and
// No); Yes runs `setupDialog` (the Setup dialog in creation mode, which
// writes the file itself on OK) and start-up goes on with whatever values it
// left. When the user declined, the result is the error that opening the file
// gave; the question was the only message.
ReadResult<void> readConfiguration(std::string_view projectId, Settings& settings, Ui& ui,
                                   FunctionRef<void(Settings&)> setupDialog);

enum class SetupMode { Creation, Change };

// Writes the configuration file for the Setup dialog's OK. In change mode the
// kept lines 4-6 come from the existing file, read in whole lines as
// start-up reads it, which must open ("Cannot Open " + path + " !" and
// nothing written otherwise); in creation mode they are 0, 0 and 2. The
// values are written as the bytes they hold. The file is replaced
// atomically: written beside the target under a temporary name and renamed
// over it, so a failure never leaves half a file. A configuration that is a
// symbolic link is written through the link: the file it leads to is
// replaced, keeping its permissions, and the link stays. A failure to write
// is reported as "Cannot Write " + path + " !" followed by a line with the
// system's reason and the folder or file it concerns.
bool writeConfiguration(std::string_view path, const Settings& settings, SetupMode mode, Ui& ui);

// The bytes the configuration file holds for these values.
std::string configurationText(std::string_view resourceDir, std::string_view outputDir, char cdromDrive,
                              std::string_view line4, std::string_view line5, std::string_view line6);

// Sets settings.dataOnCd: whether cdromDrive + ":\" + dataPath exists.
void checkDataOnCd(Settings& settings, std::string_view firstDataPath);

} // namespace qavn
