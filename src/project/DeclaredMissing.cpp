// A variable's declared missing values, as the outputs test values against them.

#include "project/DeclaredMissing.h"

#include "platform/Strings.h"
#include "project/ProjectMetadata.h"

namespace qavn {

bool DeclaredMissing::covers(double value) const
{
    for (const Code& code : codes)
        if (code.value == value)
            return true;
    for (const Range& range : ranges)
        if (value >= range.low && value <= range.high)
            return true;
    return false;
}

bool DeclaredMissing::coversText(std::string_view value) const
{
    for (const Text& text : texts)
        if (text.value == value)
            return true;
    return false;
}

std::string DeclaredMissing::labelOf(double value) const
{
    for (const Code& code : codes)
        if (code.value == value)
            return code.label;
    for (const Range& range : ranges)
        if (value >= range.low && value <= range.high)
            return range.label;
    return {};
}

DeclaredMissing DeclaredMissing::of(const VariableMetadata* variable)
{
    DeclaredMissing declared;
    if (!variable)
        return declared;
    for (const MissingValue& m : variable->missing) {
        switch (m.kind) {
        case MissingValue::Kind::Code:
            if (variable->isText)
                declared.texts.push_back({std::string(trimmed(m.text)), m.label});
            else if (m.low == m.high)
                declared.codes.push_back({m.low, m.label});
            else
                declared.ranges.push_back({m.low, m.high, m.label});
            break;
        case MissingValue::Kind::Range:
            if (!variable->isText)
                declared.ranges.push_back({m.low, m.high, m.label});
            break;
        case MissingValue::Kind::Tagged:
            break;
        }
    }
    return declared;
}

} // namespace qavn
