// The command line of qavn-import and qavn-import-window, and their help.
#include "import/ProjectImport.h"

#include "import/SourceReader.h"

#include <cctype>

namespace qavn {

std::string importUsage(std::string_view program)
{
    const std::string name(program);
    const std::string indent(name.size() + 8, ' ');
    std::string text = "Usage: " + name + " SOURCE... --id ID --out DIR [--title TEXT] [--id-variable NAME] [--force]\n" +
                       indent + "[--progress]\n" + "       " + name + " --kind FILE\n\n" +
                       "Each SOURCE is one data file of the project (a DDI codebook may describe several):\n";
    for (const ImportKind& kind : importKinds())
        text += "  " + std::string(kind.help) + "\n";
    text += "--id-variable names the identifier column of every source. An existing DIR is replaced only\n"
            "with --force, and only when qavn-import made it (it holds .qavn-import); the files in it\n"
            "that the import did not make (outputs, tags, notes) are kept. --progress shows how far the\n"
            "import is on standard error. Interrupted (Ctrl+C), it leaves nothing behind.\n"
            "--kind FILE prints the kind of data set FILE is (exit status 2 when it is none).\n"
            "Open the project with\n"
            "  cd DIR && qavn P=ID\n";
    return text;
}

ImportCommand parseImportArguments(int argc, char** argv, ImportArguments& arguments)
{
    ImportOptions& options = arguments.options;
    std::string out;
    auto usageError = [&](std::string message) {
        arguments.error = std::move(message);
        return ImportCommand::UsageError;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::string& target, bool mayBeEmpty) {
            if (i + 1 >= argc)
                return false;
            target = argv[++i];
            return mayBeEmpty || !target.empty();
        };
        if (arg == "--help" || arg == "-h") {
            return ImportCommand::Help;
        } else if (arg == "--kind") {
            if (!value(arguments.kindOf, false))
                return usageError("--kind needs a file");
            return ImportCommand::Kind;
        } else if (arg == "--id") {
            if (!value(options.id, false))
                return usageError("--id needs a project ID");
        } else if (arg == "--out") {
            if (!value(out, false))
                return usageError("--out needs a folder");
        } else if (arg == "--title") {
            if (!value(options.title, true))
                return usageError("--title needs a text");
        } else if (arg == "--id-variable") {
            if (!value(options.idVariable, false))
                return usageError("--id-variable needs a variable name");
        } else if (arg == "--force") {
            options.force = true;
        } else if (arg == "--progress") {
            arguments.progress = true;
        } else if (arg.starts_with("--")) {
            return usageError("unknown option " + std::string(arg));
        } else {
            options.sources.emplace_back(arg);
        }
    }
    if (options.sources.empty())
        return usageError("no source data set given");
    if (options.id.empty() || out.empty())
        return usageError("--id ID and --out DIR are required");
    for (char& c : options.id)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (options.id.size() > 8)
        return usageError("a project ID has 1 to 8 characters");
    for (char c : options.id)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return usageError("a project ID holds only letters, digits and underscores");
    options.out = out;
    return ImportCommand::Import;
}

} // namespace qavn
