#include "UiResources.h"

#include <QtGlobal>

static void initResourcesOutsideNamespace()
{
    Q_INIT_RESOURCE(servobench_ui);
}

namespace servobench {
void initUiResources()
{
    initResourcesOutsideNamespace();
}
} // namespace servobench
