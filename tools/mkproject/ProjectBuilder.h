#pragma once

// Building a project from its readable source: the columns, the raw data and the
// codebook.

#include "ProjectSource.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qavn::mkproject {

// Lays out the columns of the variables given by width (after the identifier
// on record line 1, then after each other on their record line) and checks
// that no two fields of one record line overlap. Returns false with one
// message per problem.
bool layOutColumns(ProjectModel& model, std::vector<std::string>& problems);

// Writes the whole project under `out`: raw data drawn from the seed, then
// the codebook whose category lines count that data, the project
// specification and configuration files, and `logo` (when not empty) copied
// beside them.
bool buildProject(const ProjectModel& model, const std::filesystem::path& out, const std::filesystem::path& logo,
                  std::string& error);

} // namespace qavn::mkproject
