// The project maker's JSON source read into variables and data files.

#include "ProjectSource.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <map>
#include <set>
#include <sstream>

namespace qavn::mkproject {

namespace {

using nlohmann::json;

std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::size_t digitCount(std::int64_t v)
{
    return std::to_string(v).size();
}

// Walks the JSON tree, checking every item and collecting one message per
// problem with the path of the item.
class SourceReader {
public:
    explicit SourceReader(std::vector<std::string>& problems) : problems_(problems) {}

    void problem(const std::string& path, const std::string& message)
    {
        problems_.push_back(path + ": " + message);
    }

    void allowOnly(const json& object, const std::string& path, std::initializer_list<const char*> keys)
    {
        for (const auto& item : object.items()) {
            const std::string& key = item.key();
            if (std::none_of(keys.begin(), keys.end(), [&](const char* k) { return key == k; }))
                problem(path + "." + key, "unknown key");
        }
    }

    // A text field converted to codebook text; `required` reports a missing key.
    bool text(const json& object, const std::string& path, const char* key, std::string& out, bool required,
              std::size_t maxLength = 0)
    {
        const std::string where = path + "." + key;
        if (!object.contains(key)) {
            if (required)
                problem(where, "missing");
            return false;
        }
        return textValue(object.at(key), where, out, maxLength);
    }

    bool textValue(const json& value, const std::string& where, std::string& out, std::size_t maxLength)
    {
        if (!value.is_string()) {
            problem(where, "must be a string");
            return false;
        }
        std::string why;
        const auto converted = toCodebookText(value.get<std::string>(), why);
        if (!converted) {
            problem(where, why);
            return false;
        }
        if (maxLength != 0 && converted->size() > maxLength) {
            problem(where, "has " + std::to_string(converted->size()) + " characters, at most " +
                               std::to_string(maxLength) + " fit");
            return false;
        }
        out = *converted;
        return true;
    }

    // A code or value: a string, or an integer taken as its decimal text.
    bool codeValue(const json& value, const std::string& where, std::string& out)
    {
        if (value.is_number_integer()) {
            out = value.dump();
            return true;
        }
        return textValue(value, where, out, maxTextLine);
    }

    bool integer(const json& object, const std::string& path, const char* key, std::int64_t& out, bool required,
                 std::int64_t low, std::int64_t high)
    {
        const std::string where = path + "." + key;
        if (!object.contains(key)) {
            if (required)
                problem(where, "missing");
            return false;
        }
        const json& v = object.at(key);
        if (!v.is_number_integer()) {
            problem(where, "must be an integer");
            return false;
        }
        constexpr auto largest = std::numeric_limits<std::int64_t>::max();
        const std::int64_t n = v.is_number_unsigned() && v.get<std::uint64_t>() > static_cast<std::uint64_t>(largest)
                                   ? largest
                                   : v.get<std::int64_t>();
        if (n < low || n > high) {
            problem(where, "must lie in " + std::to_string(low) + ".." + std::to_string(high));
            return false;
        }
        out = n;
        return true;
    }

    bool weight(const json& object, const std::string& path, double& out)
    {
        if (!object.contains("weight"))
            return true;
        const json& v = object.at("weight");
        if (!v.is_number() || !std::isfinite(v.get<double>()) || v.get<double>() < 0) {
            problem(path + ".weight", "must be a number of at least 0");
            return false;
        }
        out = v.get<double>();
        return true;
    }

    bool lines(const json& value, const std::string& where, std::vector<std::string>& out)
    {
        if (!value.is_array()) {
            problem(where, "must be an array of lines");
            return false;
        }
        if (value.size() > 65535) {
            problem(where, "has " + std::to_string(value.size()) + " lines, at most 65535 fit");
            return false;
        }
        out.clear();
        out.reserve(value.size());
        bool ok = true;
        for (std::size_t i = 0; i < value.size(); ++i) {
            std::string line;
            if (textValue(value[i], where + "[" + std::to_string(i) + "]", line, maxTextLine))
                out.push_back(std::move(line));
            else
                ok = false;
        }
        return ok;
    }

    void project(const json& root, ProjectModel& model);
    bool metadataGiven() const { return metadataGiven_; }

private:
    void dataFile(const json& item, const std::string& path, DataFileModel& file, std::uint32_t cases);
    void variable(const json& item, std::string path, VariableModel& v, const VariableModel* previous,
                  const ProjectModel& model);
    void categories(const json& list, const std::string& path, VariableModel& v);
    void metadata(const json& item, const std::string& path, VariableModel& v, const ProjectModel& model);
    bool missingNumber(const json& value, const std::string& where, double& out);

    std::vector<std::string>& problems_;
    bool metadataGiven_ = false;
};

void SourceReader::project(const json& root, ProjectModel& model)
{
    if (!root.is_object()) {
        problem("$", "must be an object");
        return;
    }
    allowOnly(root, "$",
              {"id", "title", "prefix", "headerLines", "cases", "seed", "dataFiles", "descriptions", "variables",
               "weight", "identifier"});
    for (const char* key : {"weight", "identifier"}) {
        if (!root.contains(key))
            continue;
        if (!root.at(key).is_string()) {
            problem(std::string("$.") + key, "must be a string");
            continue;
        }
        (std::string(key) == "weight" ? model.weight : model.identifier) = root.at(key).get<std::string>();
        model.metadata = true;
    }

    if (text(root, "$", "id", model.id, true)) {
        model.id = upper(model.id);
        if (auto why = badProjectId(model.id))
            problem("$.id", *why);
    }
    text(root, "$", "title", model.title, true, 997);
    model.prefix = model.id;
    if (text(root, "$", "prefix", model.prefix, false) && badProjectId(model.prefix))
        problem("$.prefix", "a file prefix has 1 to 8 upper-case letters, digits or underscores");
    if (root.contains("headerLines")) {
        std::vector<std::string> header;
        const json& h = root.at("headerLines");
        if (!h.is_array()) {
            problem("$.headerLines", "must be an array of lines");
        } else {
            for (std::size_t i = 0; i < h.size(); ++i) {
                std::string line;
                const std::string where = "$.headerLines[" + std::to_string(i) + "]";
                if (!textValue(h[i], where, line, 997))
                    continue;
                if (line.find_first_not_of(' ') == std::string::npos)
                    problem(where, "is empty; the project specification file skips empty header lines");
                else
                    model.headerLines.push_back(line);
            }
        }
    }
    std::int64_t n = 0;
    if (integer(root, "$", "cases", n, true, 1, 99'999'999))
        model.cases = static_cast<std::uint32_t>(n);
    if (root.contains("seed")) {
        const json& s = root.at("seed");
        if (!s.is_number_integer() || (s.is_number_integer() && !s.is_number_unsigned() && s.get<std::int64_t>() < 0))
            problem("$.seed", "must be an integer of at least 0");
        else
            model.seed = s.get<std::uint64_t>();
    }

    if (!root.contains("dataFiles")) {
        problem("$.dataFiles", "missing");
    } else if (const json& files = root.at("dataFiles"); !files.is_array() || files.empty() || files.size() > 999) {
        problem("$.dataFiles", "must be an array of 1 to 999 data files");
    } else {
        model.dataFiles.resize(files.size());
        for (std::size_t i = 0; i < files.size(); ++i)
            dataFile(files[i], "$.dataFiles[" + std::to_string(i) + "]", model.dataFiles[i], model.cases);
    }

    std::map<std::string, std::vector<std::string>> shared;
    std::map<std::string, bool> sharedUsed;
    if (root.contains("descriptions")) {
        const json& d = root.at("descriptions");
        if (!d.is_object()) {
            problem("$.descriptions", "must be an object of named descriptions");
        } else {
            for (const auto& [key, value] : d.items()) {
                std::vector<std::string> block;
                if (lines(value, "$.descriptions." + key, block)) {
                    shared[key] = std::move(block);
                    sharedUsed[key] = false;
                }
            }
        }
    }

    if (!root.contains("variables")) {
        problem("$.variables", "missing");
        return;
    }
    const json& vars = root.at("variables");
    if (!vars.is_array() || vars.empty()) {
        problem("$.variables", "must be an array of at least one variable");
        return;
    }
    if (vars.size() > 16'000'000) {
        problem("$.variables", "too many variables");
        return;
    }
    model.variables.resize(vars.size());
    std::map<std::string, std::uint32_t> firstUser; // shared description → first variable number
    std::map<std::string, std::string> names;       // upper-case name → path
    for (std::size_t i = 0; i < vars.size(); ++i) {
        VariableModel& v = model.variables[i];
        v.path = "$.variables[" + std::to_string(i) + "]";
        variable(vars[i], v.path, v, i == 0 ? nullptr : &model.variables[i - 1], model);
        if (!v.name.empty()) {
            auto [it, fresh] = names.emplace(upper(v.name), v.path);
            if (!fresh)
                problem(v.path + ".name", "\"" + v.name + "\" is already the name of " + it->second);
        }
        if (vars[i].is_object() && vars[i].contains("sharedDescription")) {
            std::string key;
            if (vars[i].at("sharedDescription").is_string())
                key = vars[i].at("sharedDescription").get<std::string>();
            if (vars[i].contains("description"))
                problem(v.path, "has both description and sharedDescription");
            auto found = shared.find(key);
            if (found == shared.end()) {
                problem(v.path + ".sharedDescription", "no description named \"" + key + "\" in $.descriptions");
            } else {
                sharedUsed[key] = true;
                auto [it, first] = firstUser.emplace(key, static_cast<std::uint32_t>(i + 1));
                if (first)
                    v.description = found->second;
                else
                    v.sharesDescriptionOf = it->second;
            }
        }
    }
    for (const auto& [key, used] : sharedUsed)
        if (!used)
            problem("$.descriptions." + key, "is used by no variable");

    // Variables come file by file and, within a file, in line order: the
    // index file lists data file 1 first, and readers of the raw data take a
    // case's lines strictly forwards.
    for (std::size_t i = 1; i < model.variables.size(); ++i) {
        const VariableModel& a = model.variables[i - 1];
        const VariableModel& b = model.variables[i];
        if (b.file < a.file)
            problem(b.path + ".file", "data file " + std::to_string(b.file) + " after a variable of data file " +
                                          std::to_string(a.file) + "; list the variables file by file");
        else if (b.file == a.file && b.record < a.record)
            problem(b.path + ".record", "record line " + std::to_string(b.record) + " after record line " +
                                            std::to_string(a.record) + " of the same data file");
    }
}

void SourceReader::dataFile(const json& item, const std::string& path, DataFileModel& file, std::uint32_t cases)
{
    if (!item.is_object()) {
        problem(path, "must be an object");
        return;
    }
    allowOnly(item, path, {"dataPath", "linesPerCase", "idLocation"});
    if (text(item, path, "dataPath", file.dataPath, true, 79)) {
        if (file.dataPath.empty() || file.dataPath.find_first_of(" \t") != std::string::npos)
            problem(path + ".dataPath", "must be a non-empty path without blanks");
        else if (file.dataPath.find(':') != std::string::npos || file.dataPath.front() == '\\' ||
                 file.dataPath.front() == '/' || file.dataPath.find("..") != std::string::npos)
            problem(path + ".dataPath", "must be relative to the root of the CD-ROM drive, without a drive or \"..\"");
    }
    std::int64_t n = 1;
    if (integer(item, path, "linesPerCase", n, true, 1, maxRecordLines))
        file.linesPerCase = static_cast<int>(n);
    file.idLocation = "0";
    if (item.contains("idLocation") && !item.at("idLocation").is_null()) {
        std::string id;
        if (!text(item, path, "idLocation", id, false, 111))
            return;
        if (id == "0" || id.empty())
            return;
        const auto columns = parseLocation(id);
        if (!columns || columns->last > maxRawColumn) {
            problem(path + ".idLocation", "must be \"0\" (none) or columns such as \"1-5\"");
            return;
        }
        file.idLocation = id;
        file.hasIdentifier = true;
        file.identifier = *columns;
        if (cases != 0 && std::to_string(cases).size() > static_cast<std::size_t>(columns->width()))
            problem(path + ".idLocation", "case numbers up to " + std::to_string(cases) + " do not fit in " +
                                              std::to_string(columns->width()) + " columns");
    }
}

void SourceReader::variable(const json& item, std::string path, VariableModel& v, const VariableModel* previous,
                            const ProjectModel& model)
{
    if (!item.is_object()) {
        problem(path, "must be an object");
        return;
    }
    if (item.contains("name") && item.at("name").is_string())
        v.path = path = path + " (" + item.at("name").get<std::string>() + ")";
    allowOnly(item, path,
              {"name", "file", "record", "location", "width", "type", "label", "section", "description",
               "sharedDescription", "categories", "range", "values", "longName", "missing", "format"});

    if (text(item, path, "name", v.name, true))
        if (auto why = badVariableName(v.name))
            problem(path + ".name", *why);
    text(item, path, "label", v.label, true, maxTextLine);

    v.section = previous ? previous->section : std::string();
    if (!text(item, path, "section", v.section, previous == nullptr, maxTextLine) && !previous)
        v.section.clear();

    std::int64_t n = 0;
    v.file = previous ? previous->file : 1;
    if (integer(item, path, "file", n, false, 1, static_cast<std::int64_t>(std::max<std::size_t>(1, model.dataFiles.size()))))
        v.file = static_cast<int>(n);
    const DataFileModel* file =
        (v.file >= 1 && static_cast<std::size_t>(v.file) <= model.dataFiles.size()) ? &model.dataFiles[v.file - 1]
                                                                                    : nullptr;
    v.record = (previous && previous->file == v.file) ? previous->record : 1;
    if (integer(item, path, "record", n, false, 1, maxRecordLines))
        v.record = static_cast<int>(n);
    if (file && v.record > file->linesPerCase)
        problem(path + ".record", "record line " + std::to_string(v.record) + " beyond the " +
                                      std::to_string(file->linesPerCase) + " lines per case of data file " +
                                      std::to_string(v.file));

    const bool hasLocation = item.contains("location");
    const bool hasWidth = item.contains("width");
    if (hasLocation == hasWidth) {
        problem(path, "needs exactly one of location and width");
    } else if (hasLocation) {
        std::string text;
        if (textValue(item.at("location"), path + ".location", text, 0)) {
            const auto columns = parseLocation(text);
            if (!columns)
                problem(path + ".location", "must be columns such as \"12-15\" or \"12\"");
            else if (text.size() > 9)
                problem(path + ".location", "\"" + text + "\" is longer than the 9 characters a record stores");
            else if (columns->last > maxRawColumn)
                problem(path + ".location", "ends beyond column " + std::to_string(maxRawColumn) +
                                                "; a raw line holds at most 14,999 characters with its line end");
            else if (columns->width() > maxValueWidth)
                problem(path + ".location", "is wider than " + std::to_string(maxValueWidth) + " columns");
            else {
                v.columns = *columns;
                v.location = text;
            }
        }
    } else {
        if (integer(item, path, "width", n, true, 1, maxValueWidth)) {
            v.automatic = true;
            v.columns = {0, static_cast<int>(n) - 1};
        }
    }

    if (item.contains("type")) {
        const json& t = item.at("type");
        const std::string s = t.is_string() ? t.get<std::string>() : std::string();
        if (s.size() != 1 || !(s[0] == ' ' || s[0] == 'A' || (s[0] >= '0' && s[0] <= '9')))
            problem(path + ".type", "must be \" \" (categorical), \"A\" (alphanumeric), \"0\" (numeric) or a "
                                    "digit (numeric with that many implied decimals)");
        else
            v.typeCode = s[0];
    }

    if (item.contains("description")) {
        lines(item.at("description"), path + ".description", v.description);
    } else if (item.contains("sharedDescription") && !item.at("sharedDescription").is_string()) {
        problem(path + ".sharedDescription", "must be the name of a description in $.descriptions");
    }

    if (item.contains("categories"))
        categories(item.at("categories"), path + ".categories", v);
    if (item.contains("label") && item.at("label").is_string())
        v.utf8Label = item.at("label").get<std::string>();
    metadata(item, path, v, model);

    if (item.contains("range")) {
        const json& r = item.at("range");
        const std::string where = path + ".range";
        if (!r.is_object()) {
            problem(where, "must be an object with min, max and weight");
        } else if (v.typeCode == 'A') {
            problem(where, "applies to numeric and categorical variables; give an alphanumeric variable values");
        } else {
            allowOnly(r, where, {"min", "max", "weight"});
            std::int64_t lo = 0;
            std::int64_t hi = 0;
            const bool okLo = integer(r, where, "min", lo, true, -999'999'999'999, 999'999'999'999);
            const bool okHi = integer(r, where, "max", hi, true, -999'999'999'999, 999'999'999'999);
            if (okLo && okHi) {
                if (hi < lo)
                    problem(where, "max is below min");
                v.hasRange = true;
                v.rangeMin = lo;
                v.rangeMax = hi;
            }
            weight(r, where, v.rangeWeight);
        }
    }
    if (item.contains("values")) {
        const json& vals = item.at("values");
        const std::string where = path + ".values";
        if (!vals.is_object() || !vals.contains("list") || !vals.at("list").is_array() || vals.at("list").empty()) {
            problem(where, "must be an object with a non-empty list and a weight");
        } else {
            allowOnly(vals, where, {"list", "weight"});
            const json& list = vals.at("list");
            for (std::size_t i = 0; i < list.size(); ++i) {
                std::string value;
                if (codeValue(list[i], where + ".list[" + std::to_string(i) + "]", value))
                    v.values.push_back(value);
            }
            weight(vals, where, v.valuesWeight);
        }
    }

    // What the generator can draw, and whether every draw fits the field.
    double total = 0;
    for (const CategoryModel& c : v.categories)
        total += c.weight;
    if (v.hasRange)
        total += v.rangeWeight;
    if (!v.values.empty())
        total += v.valuesWeight;
    if (v.categories.empty() && !v.hasRange && v.values.empty())
        problem(path, "needs categories, a range or values to draw its data from");
    else if (!(total > 0))
        problem(path, "all weights are 0; nothing can be drawn");
    if (v.columns.width() > 0) {
        const std::size_t width = static_cast<std::size_t>(v.columns.width());
        for (std::size_t i = 0; i < v.categories.size(); ++i)
            if (v.categories[i].weight > 0 && v.categories[i].value.size() > width)
                problem(path + ".categories[" + std::to_string(i) + "]",
                        "value \"" + v.categories[i].value + "\" does not fit in " + std::to_string(width) +
                            " columns");
        if (v.hasRange && v.rangeWeight > 0 && std::max(digitCount(v.rangeMin), digitCount(v.rangeMax)) > width)
            problem(path + ".range", "values do not fit in " + std::to_string(width) + " columns");
        for (std::size_t i = 0; i < v.values.size(); ++i)
            if (v.valuesWeight > 0 && v.values[i].size() > width)
                problem(path + ".values.list[" + std::to_string(i) + "]",
                        "\"" + v.values[i] + "\" does not fit in " + std::to_string(width) + " columns");
    }
    // A category line holds code, frequency, percent and label within 80
    // characters; the frequency may take as many digits as the case count.
    const std::size_t numbers = std::to_string(model.cases).size() + std::string("100.0").size() + 3;
    for (std::size_t i = 0; i < v.categories.size(); ++i) {
        const CategoryModel& c = v.categories[i];
        if (c.code.size() + c.label.size() + numbers > maxTextLine)
            problem(path + ".categories[" + std::to_string(i) + "]",
                    "code and label take " + std::to_string(c.code.size() + c.label.size()) +
                        " characters; with frequency and percent the line would pass 80");
    }
}

// The keys that go to the metadata file: longName, missing, format.
void SourceReader::metadata(const json& item, const std::string& path, VariableModel& v, const ProjectModel& model)
{
    bool given = false;
    if (item.contains("longName")) {
        given = true;
        if (!item.at("longName").is_string() || item.at("longName").get<std::string>().empty())
            problem(path + ".longName", "must be a non-empty string");
        else
            v.longName = item.at("longName").get<std::string>();
    }
    if (item.contains("format")) {
        given = true;
        if (!item.at("format").is_string() || item.at("format").get<std::string>().empty())
            problem(path + ".format", "must be a format such as \"F8.1\", \"DOLLAR12.2\" or \"DATE11\"");
        else
            v.format = item.at("format").get<std::string>();
    }
    if (item.contains("missing")) {
        given = true;
        const json& list = item.at("missing");
        if (!list.is_array()) {
            problem(path + ".missing", "must be an array of missing values");
        } else {
            for (std::size_t i = 0; i < list.size(); ++i) {
                const std::string where = path + ".missing[" + std::to_string(i) + "]";
                const json& m = list[i];
                if (!m.is_object()) {
                    problem(where, "must be an object with code, low and high, or tag");
                    continue;
                }
                allowOnly(m, where, {"code", "low", "high", "tag", "label"});
                MissingValue value;
                if (m.contains("label")) {
                    if (!m.at("label").is_string())
                        problem(where + ".label", "must be a string");
                    else
                        value.label = m.at("label").get<std::string>();
                }
                const int forms = (m.contains("code") ? 1 : 0) + (m.contains("low") || m.contains("high") ? 1 : 0) +
                                  (m.contains("tag") ? 1 : 0);
                if (forms != 1) {
                    problem(where, "needs one of code, low and high, or tag");
                    continue;
                }
                if (m.contains("code")) {
                    if (v.typeCode == 'A') {
                        if (!m.at("code").is_string()) {
                            problem(where + ".code", "must be a string for an alphanumeric variable");
                            continue;
                        }
                        value.text = m.at("code").get<std::string>();
                    } else if (!missingNumber(m.at("code"), where + ".code", value.low)) {
                        continue;
                    }
                    value.high = value.low;
                } else if (m.contains("tag")) {
                    const json& t = m.at("tag");
                    if (!t.is_string() || t.get<std::string>().size() != 1 ||
                        !(std::isalpha(static_cast<unsigned char>(t.get<std::string>()[0])) ||
                          t.get<std::string>()[0] == '_')) {
                        problem(where + ".tag", "must be one letter (or _)");
                        continue;
                    }
                    value.kind = MissingValue::Kind::Tagged;
                    value.tag = t.get<std::string>()[0];
                } else {
                    if (!m.contains("low") || !m.contains("high")) {
                        problem(where, "a range needs low and high");
                        continue;
                    }
                    if (!missingNumber(m.at("low"), where + ".low", value.low) ||
                        !missingNumber(m.at("high"), where + ".high", value.high))
                        continue;
                    if (value.low > value.high) {
                        problem(where, "low is above high");
                        continue;
                    }
                    value.kind = MissingValue::Kind::Range;
                }
                v.missing.push_back(std::move(value));
            }
        }
    }
    (void)model;
    if (given)
        metadataGiven_ = true;
}

// A number of a missing value: a JSON number, or "lowest"/"highest".
bool SourceReader::missingNumber(const json& value, const std::string& where, double& out)
{
    if (value.is_number()) {
        out = value.get<double>();
        return true;
    }
    if (value.is_string() && value.get<std::string>() == "lowest") {
        out = -HUGE_VAL;
        return true;
    }
    if (value.is_string() && value.get<std::string>() == "highest") {
        out = HUGE_VAL;
        return true;
    }
    problem(where, "must be a number (or \"lowest\", \"highest\" in a range)");
    return false;
}

void SourceReader::categories(const json& list, const std::string& path, VariableModel& v)
{
    if (!list.is_array()) {
        problem(path, "must be an array of categories");
        return;
    }
    if (list.size() > 65535) {
        problem(path, "has more than 65535 categories");
        return;
    }
    std::set<std::string> codes;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string where = path + "[" + std::to_string(i) + "]";
        const json& item = list[i];
        if (!item.is_object()) {
            problem(where, "must be an object with code, label and weight");
            continue;
        }
        allowOnly(item, where, {"code", "label", "weight", "value"});
        CategoryModel c;
        if (!item.contains("code")) {
            problem(where + ".code", "missing");
            continue;
        }
        if (!codeValue(item.at("code"), where + ".code", c.code))
            continue;
        if (c.code.empty() || c.code.find_first_not_of(' ') == std::string::npos) {
            problem(where + ".code", "must not be empty");
            continue;
        }
        if (!codes.insert(c.code).second)
            problem(where + ".code", "\"" + c.code + "\" appears twice");
        text(item, where, "label", c.label, true, maxTextLine);
        weight(item, where, c.weight);
        if (item.contains("value")) {
            codeValue(item.at("value"), where + ".value", c.value);
        } else {
            c.value = c.code;
            if (c.value.size() >= 2 && c.value.front() == '\'' && c.value.back() == '\'')
                c.value = c.value.substr(1, c.value.size() - 2);
        }
        if (!c.value.empty() && (c.value.front() == ' ' || c.value.back() == ' '))
            problem(where + ".value", "must not begin or end with a blank (data fields are compared trimmed)");
        v.categories.push_back(std::move(c));
    }
}

} // namespace

bool readProjectSource(const std::filesystem::path& file, ProjectModel& model, std::vector<std::string>& problems)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        problems.push_back(file.string() + ": cannot be opened");
        return false;
    }
    std::stringstream bytes;
    bytes << in.rdbuf();
    json root;
    try {
        root = json::parse(bytes.str());
    } catch (const json::parse_error& e) {
        // The library reports syntax errors by exception; they end here.
        problems.push_back(file.string() + ": not valid JSON: " + e.what());
        return false;
    }
    SourceReader reader(problems);
    reader.project(root, model);
    model.metadata = model.metadata || reader.metadataGiven();
    model.sourcePath = file.string();
    return problems.empty();
}

} // namespace qavn::mkproject
