#pragma once

// What every fuzz target shares: a temporary directory of its own per
// process, files written from the fuzzer's bytes, and the input cut into the
// several files a target reads.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

namespace qavn::fuzz {

// The mark that separates the files of one input ("\n@@CUT@@\n"). Inputs
// without it are cut into equal parts.
inline constexpr std::string_view cutMark = "\n@@CUT@@\n";

// The input as `parts` byte strings: cut at the marks, missing parts empty,
// the rest of the input in the last part.
std::vector<std::string> splitInput(const std::uint8_t* data, std::size_t size, std::size_t parts);

// This process's temporary directory (made on first use, removed at exit).
const std::filesystem::path& workDir();

// A fresh empty directory under workDir() (the same name every call).
std::filesystem::path freshDir(const std::string& name);

void writeBytes(const std::filesystem::path& path, std::string_view bytes);

// Stops the run as a finding when a property does not hold.
void require(bool holds, const char* what);

// Every entry below `dir` (relative path) with the bytes of each file; a
// folder or link is listed with a mark instead of bytes.
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshot(const std::filesystem::path& dir);

// The run's invariants for every output: the inputs in `inputDirs` are byte
// for byte as they were, and below workDir() nothing exists outside those
// folders and `outputDir`, which holds only plain files (no folder, no link,
// no temporary file left behind).
void requireOnlyOutputWritten(const std::vector<std::pair<std::filesystem::path, Snapshot>>& inputDirs,
                              const std::filesystem::path& outputDir);

// A codebook made of two fuzzed files in freshDir("res"): <prefix>01.CDC and
// <prefix>02.CDC. Returns the resource directory as the program names it.
std::string writeCodebook(std::string_view index, std::string_view text, std::string_view prefix = "FZ");

} // namespace qavn::fuzz
