// The reader of the program's own files of saved tags over a fuzzed file,
// the file written back from what it read, and the set operations over the
// two sets of numbers the input names.

#include "FuzzSupport.h"

#include "selections/SelectionFile.h"
#include "selections/TagSet.h"

#include <string>

using namespace qavn;

namespace {

// Every byte of `bytes` names the variable (byte % variables) + 1.
TagSet setOf(std::string_view bytes, std::uint32_t variables)
{
    TagSet set(variables);
    for (char c : bytes)
        set.add(static_cast<unsigned char>(c) % variables + 1);
    return set;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto parts = fuzz::splitInput(data, size, 3);
    const auto dir = fuzz::freshDir("selections");
    const auto path = dir / "FZQAV.TAGS";
    fuzz::writeBytes(path, parts[0]);

    // Read once for a codebook the file does not name, then again for the
    // one its header names when a project can have that many variables.
    const CodebookFingerprint other{7, 0x0123456789abcdefull};
    auto saved = readSavedTags(path, "FZQAV.TAGS", other);
    if (saved) {
        const SavedTags& first = saved.value();
        fuzz::require(first.tags.has_value() == (first.codebook == other), "tags are read for their codebook only");
        if (first.codebook.variables <= 100'000) {
            auto again = readSavedTags(path, "FZQAV.TAGS", first.codebook);
            fuzz::require(again.ok() && again.value().tags.has_value(), "a file reads for the codebook it names");
            const TagSet& tags = *again.value().tags;
            fuzz::require(tags.variables() == first.codebook.variables, "the set has the codebook's variables");
            const auto copy = dir / "AGAIN.TAGS";
            fuzz::require(writeSavedTags(copy, first.codebook, tags).empty(), "what was read writes back");
            auto reread = readSavedTags(copy, "AGAIN.TAGS", first.codebook);
            fuzz::require(reread.ok() && reread.value().tags && *reread.value().tags == tags,
                          "what was written reads as it was");
        }
    } else {
        const ReadError& error = saved.error();
        fuzz::require(!error.reason.empty() && error.line >= 1, "a refused file names its line and reason");
    }

    const std::uint32_t variables = parts[1].empty() ? 1 : static_cast<unsigned char>(parts[1][0]) + 1u;
    const TagSet current = setOf(parts[1], variables);
    const TagSet operand = setOf(parts[2], variables);
    for (SetOperation operation : {SetOperation::Replace, SetOperation::And, SetOperation::Or, SetOperation::Not,
                                   SetOperation::Minus}) {
        TagSet result = current;
        combine(result, operand, operation);
        fuzz::require(parseOperation(operationName(operation)) == operation, "an operation's name reads back");
        for (std::uint32_t n = 1; n <= variables; ++n) {
            const bool a = current.contains(n);
            const bool b = operand.contains(n);
            const bool expected = operation == SetOperation::Replace ? b
                                  : operation == SetOperation::And   ? a && b
                                  : operation == SetOperation::Or    ? a || b
                                  : operation == SetOperation::Not   ? !b
                                                                     : a && !b;
            fuzz::require(result.contains(n) == expected, "the operation holds for every variable");
        }
        fuzz::require(result.numbers().size() == result.count(), "the count matches the numbers");
    }
    return 0;
}
