#pragma once

// The synthetic project of any size, for tests and benchmarks.

#include <cstdint>
#include <filesystem>
#include <string>

namespace qavn::mkproject {

struct SyntheticOptions {
    std::uint64_t variables = 0;
    std::uint32_t cases = 0;
    std::uint64_t seed = 1;
    std::string id = "SYN";
    int files = 3;
    std::filesystem::path out;
};

constexpr std::uint64_t maxSyntheticVariables = 5'000'000;

// Writes a synthetic project of any size, in the same layout as a project
// made from a source file. Everything follows from the options: the same
// options give the same bytes. Variables and texts are generated one at a
// time and written as they come, so memory stays at a few bytes a variable.
bool buildSynthetic(const SyntheticOptions& options, std::string& error);

} // namespace qavn::mkproject
