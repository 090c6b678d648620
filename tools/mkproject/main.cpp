// qavn-mkproject: makes a whole project (codebook, specification,
// configuration and raw data) from a readable JSON source, or a synthetic
// project of any size for tests and benchmarks.

#include "ProjectBuilder.h"
#include "ProjectSource.h"
#include "Synthetic.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

using namespace qavn::mkproject;
namespace fs = std::filesystem;

namespace {

constexpr const char* usage =
    "Usage: qavn-mkproject SOURCE.json --out DIR\n"
    "       qavn-mkproject --synthetic --variables N --cases M [--seed S] [--id ID] [--files F] --out DIR\n"
    "\n"
    "Writes a project into DIR: DIR/<ID>QAV.CFG, DIR/c/QAVN/<ID>/ (QAVSPEC.<ID> and the two\n"
    "codebook files), DIR/c/QAVN/OUT/ and the raw data under DIR/d/. A logo.bmp beside the\n"
    "source is copied into DIR. Use the project with\n"
    "  cd DIR && QAVN_DRIVE_C=DIR/c QAVN_DRIVE_D=DIR/d qavn-extract P=<ID> ...\n";

int fail(const std::string& message)
{
    std::fprintf(stderr, "qavn-mkproject: %s\n", message.c_str());
    return 1;
}

template <typename T>
bool number(std::string_view text, T& out)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

int main(int argc, char** argv)
{
    std::string source;
    std::string out;
    bool synthetic = false;
    SyntheticOptions options;
    bool haveVariables = false;
    bool haveCases = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::string_view& v) {
            if (i + 1 >= argc)
                return false;
            v = argv[++i];
            return true;
        };
        std::string_view v;
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (arg == "--synthetic") {
            synthetic = true;
        } else if (arg == "--out") {
            if (!value(v))
                return fail("--out needs a directory");
            out = v;
        } else if (arg == "--variables") {
            if (!value(v) || !number(v, options.variables))
                return fail("--variables needs a number");
            haveVariables = true;
        } else if (arg == "--cases") {
            if (!value(v) || !number(v, options.cases))
                return fail("--cases needs a number");
            haveCases = true;
        } else if (arg == "--seed") {
            if (!value(v) || !number(v, options.seed))
                return fail("--seed needs a number");
        } else if (arg == "--files") {
            if (!value(v) || !number(v, options.files))
                return fail("--files needs a number");
        } else if (arg == "--id") {
            if (!value(v))
                return fail("--id needs a project ID");
            options.id = v;
        } else if (arg.starts_with("--")) {
            return fail("unknown option " + std::string(arg) + "\n" + usage);
        } else if (source.empty()) {
            source = arg;
        } else {
            return fail("unexpected argument " + std::string(arg));
        }
    }
    if (out.empty())
        return fail(std::string("--out DIR is required\n") + usage);

    if (synthetic) {
        if (!source.empty())
            return fail("--synthetic takes no source file");
        if (!haveVariables || !haveCases)
            return fail("--synthetic needs --variables N and --cases M");
        options.out = out;
        std::string error;
        if (!buildSynthetic(options, error))
            return fail(error);
        std::printf("%s: %llu variables, %u cases, %d data files -> %s\n", options.id.c_str(),
                    static_cast<unsigned long long>(options.variables), options.cases, options.files, out.c_str());
        return 0;
    }

    if (source.empty())
        return fail(std::string("a source file or --synthetic is required\n") + usage);
    ProjectModel model;
    std::vector<std::string> problems;
    if (readProjectSource(source, model, problems))
        layOutColumns(model, problems);
    if (!problems.empty()) {
        constexpr std::size_t shown = 25;
        for (std::size_t i = 0; i < problems.size() && i < shown; ++i)
            std::fprintf(stderr, "qavn-mkproject: %s\n", problems[i].c_str());
        if (problems.size() > shown)
            std::fprintf(stderr, "qavn-mkproject: ... and %zu more problems\n", problems.size() - shown);
        return 1;
    }
    const fs::path logo = fs::path(source).parent_path() / "logo.bmp";
    std::error_code ec;
    std::string error;
    if (!buildProject(model, out, fs::is_regular_file(logo, ec) ? logo : fs::path(), error))
        return fail(error);
    std::printf("%s: %zu variables, %u cases, %zu data files -> %s\n", model.id.c_str(), model.variables.size(),
                model.cases, model.dataFiles.size(), out.c_str());
    return 0;
}
