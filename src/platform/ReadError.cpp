// Why a file the program reads could not be used, as a value, and its one-line
// description.

#include "platform/ReadError.h"

namespace qavn {

namespace {

// " (host path ...; drive X: maps through QAVN_DRIVE_X[, which is not set])",
// or nothing when the host path adds nothing to the name.
std::string whereOnHost(const ReadError& error)
{
    std::string text;
    if (!error.hostPath.empty() && error.hostPath != error.file)
        text = "host path " + error.hostPath;
    if (error.drive) {
        if (!text.empty())
            text += "; ";
        text += "drive ";
        text.push_back(error.drive->letter);
        if (!error.drive->projectFile.empty()) {
            text += ": maps through " + error.drive->projectFile;
        } else {
            text += ": maps through " + error.drive->variable;
            if (!error.drive->set)
                text += ", which is not set";
        }
    }
    return text.empty() ? text : " (" + text + ")";
}

} // namespace

std::string describe(const ReadError& error)
{
    switch (error.kind) {
    case ReadError::Kind::CannotOpen:
        return "cannot open " + error.file + whereOnHost(error) + ": " + error.reason;
    case ReadError::Kind::CannotRead:
        if (error.line == 0 && !error.offset)
            return "cannot read " + error.file + whereOnHost(error) + ": " + error.reason;
        break;
    default:
        break;
    }
    std::string text = error.file;
    if (error.line != 0)
        text += " line " + std::to_string(error.line);
    else if (error.offset)
        text += " byte " + std::to_string(*error.offset);
    text += ": ";
    if (error.kind == ReadError::Kind::CannotRead)
        text += "cannot read: ";
    text += error.reason;
    return text;
}

} // namespace qavn
