#include "search/TagImport.h"

#include "platform/HostPath.h"
#include "platform/LineReader.h"
#include "platform/Strings.h"
#include "platform/Ui.h"
#include "catalogue/VariableList.h"

#include <cstdio>
#include <limits>
#include <memory>
#include <string>

namespace qavn {

namespace {

void tagValue(VariableList& list, long value)
{
    if (value >= 1 && value <= static_cast<long>(std::numeric_limits<std::uint32_t>::max()))
        list.tagRow(static_cast<std::uint32_t>(value));
}

} // namespace

long tagFileValue(std::string_view line)
{
    return leadingInteger<long>(trimmed(line));
}

bool importTagFile(std::string_view path, VariableList& list, Ui& ui)
{
    FilePtr file(openHostFile(path, "rb"));
    if (!file) {
        ui.error("Cannot Open " + std::string(path) + " !");
        return false;
    }
    std::string line;
    while (readWholeLine(file.get(), line))
        tagValue(list, tagFileValue(line));
    return true;
}

bool importTagFiles(std::string_view first, std::string_view second, TagCombine combine, VariableList& list,
                    Ui& ui)
{
    FilePtr a(openHostFile(first, "rb"));
    if (!a) {
        ui.error("Cannot Open " + std::string(first) + " !");
        ui.error("No Tagged Item !");
        return false;
    }
    FilePtr b(openHostFile(second, "rb"));
    if (!b) {
        ui.error("Cannot Open " + std::string(second) + " !");
        a.reset();
        ui.error("No Tagged Item !");
        return false;
    }
    // A file with no more lines yields an empty line from then on.
    std::string lineA;
    std::string lineB;
    auto nextA = [&] {
        if (!readWholeLine(a.get(), lineA))
            lineA.clear();
    };
    auto nextB = [&] {
        if (!readWholeLine(b.get(), lineB))
            lineB.clear();
    };
    nextA();
    nextB();
    bool produced = false;
    for (;;) {
        const bool emptyA = lineA.empty();
        const bool emptyB = lineB.empty();
        if (emptyA && emptyB)
            break;
        if (combine == TagCombine::And && (emptyA || emptyB))
            break;
        const long va = tagFileValue(lineA);
        const long vb = tagFileValue(lineB);
        if (combine == TagCombine::Or) {
            tagValue(list, va);
            tagValue(list, vb);
            produced = true;
            nextA();
            nextB();
        } else if (va < vb) {
            nextA();
        } else if (va > vb) {
            nextB();
        } else {
            tagValue(list, va);
            produced = true;
            nextA();
            nextB();
        }
    }
    if (!produced)
        ui.error("No Tagged Item !");
    return produced;
}

} // namespace qavn
