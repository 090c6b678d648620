#pragma once

// The project maker's JSON source read into variables and data files.

#include "ProjectFiles.h"

#include "project/ProjectMetadata.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qavn::mkproject {

// One category line of a variable: the code shown in the codebook, the text
// written into the raw data for it (the code without enclosing apostrophes
// unless the source says otherwise) and its weight in the random draw.
struct CategoryModel {
    std::string code;
    std::string value;
    std::string label;
    double weight = 1.0;
};

struct VariableModel {
    std::string path; // where the variable sits in the source, for messages
    std::string name;
    int file = 1;
    int record = 1;
    Columns columns;
    std::string location; // as stored in the index record
    bool automatic = false;
    char typeCode = ' ';
    std::string label;
    std::string section;
    std::vector<std::string> description;
    std::uint32_t sharesDescriptionOf = 0; // variable number, 0 for its own lines
    std::vector<CategoryModel> categories;
    bool hasRange = false;
    std::int64_t rangeMin = 0;
    std::int64_t rangeMax = 0;
    double rangeWeight = 100.0;
    std::vector<std::string> values;
    double valuesWeight = 100.0;
    // For the metadata file, when the source gives them.
    std::string longName;
    std::string utf8Label; // the label as the source wrote it
    std::vector<MissingValue> missing;
    std::string format; // SPSS-style format text ("DOLLAR12.2"); empty: none given
};

struct DataFileModel {
    std::string dataPath;
    int linesPerCase = 1;
    std::string idLocation = "0";
    bool hasIdentifier = false;
    Columns identifier;
};

struct ProjectModel {
    std::string id;
    std::string title;
    std::string prefix;
    std::vector<std::string> headerLines;
    std::uint32_t cases = 0;
    std::uint64_t seed = 1;
    std::vector<DataFileModel> dataFiles;
    std::vector<VariableModel> variables;
    // A metadata file is written when the source gives any of: a variable's
    // longName, missing or format, or the project's weight or identifier.
    bool metadata = false;
    std::string weight;
    std::string identifier;
    std::string sourcePath; // the JSON file, for the metadata's source lines
};

// Reads and checks a project source. On bad input returns false with one
// message per problem in `problems`, each naming the JSON path of the item
// (for example "$.variables[12] (AGE).categories[3].code: ...").
bool readProjectSource(const std::filesystem::path& file, ProjectModel& model, std::vector<std::string>& problems);

} // namespace qavn::mkproject
