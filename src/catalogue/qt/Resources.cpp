// Registers the program's pictures and icons from the static library's resources.

#include "catalogue/qt/Resources.h"

#include <QtCore/qglobal.h>

#include <mutex>

static void registerQavnResources()
{
    Q_INIT_RESOURCE(qavn);
}

namespace qavn {

void initResources()
{
    static std::once_flag once;
    std::call_once(once, registerQavnResources);
}

} // namespace qavn
