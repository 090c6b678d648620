// qavn-extract --verify: the check and its report.

#include "Extract.h"

#include "platform/ConsoleProgress.h"
#include "verify/CodebookVerify.h"

#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

namespace qavn::extract {

int runVerify(Context& context, bool selected)
{
    std::vector<std::uint32_t> variables;
    if (selected) {
        variables = context.list.taggedRows();
        if (variables.empty()) {
            std::fprintf(stderr, "qavn-extract: --verify: the selection holds no variable\n");
            return exitFailure;
        }
    } else {
        variables.resize(context.list.rowCount());
        std::iota(variables.begin(), variables.end(), 1u);
    }
    context.progress.cancel = 0;
    auto result = verifyCodebook(variables, context.session.store, context.session.project, context.session.settings,
                                 context.ui, context.progress);
    if (auto* console = dynamic_cast<ConsoleProgress*>(&context.progress))
        console->finish();
    if (!result) {
        std::fprintf(stderr, "qavn-extract: %s\n", describe(result.error()).c_str());
        return exitFailure;
    }
    VerifyReport& report = result.value();
    report.projectId = context.session.projectId;
    report.scope = selected ? std::to_string(variables.size()) + (variables.size() == 1 ? " selected variable" : " selected variables")
                            : "every variable";
    for (const std::string& line : verifyReportLines(report))
        std::printf("%s\n", terminalText(line).c_str());
    std::fflush(stdout);
    if (report.cancelled)
        return exitFailure;
    return report.agrees() ? exitOk : exitFailure;
}

} // namespace qavn::extract
