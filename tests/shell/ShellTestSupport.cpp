#include "ShellTestSupport.h"

#include "Helper.h"
#include "ShellExtensions.h"
#include "UiResources.h"

#include <AppTree.h>
#include <DataManager.h>

#include <unistd.h>

namespace shelltest {

RecordingDialogs* reset()
{
    // The web engine refuses its sandbox as root, as the program itself knows.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    servobench::initUiResources();
    if (!Helper::instance()->canWorker())
        Helper::instance()->createServices();
    RecordingDialogs* dialogs = BenchRig::freshTree();
    ve::d("config")->remove(nullptr, "last_project_path", true);
    return dialogs;
}

ve::DataObject* addDevice(const QString& mcuId, int canId)
{
    ve::DataObject* devices = ve::d("project.device");
    devices->insert(nullptr, mcuId, false);
    ve::DataObject* node = devices->cdobj(mcuId);
    node->copyFrom(nullptr, ve::d("template.r58_motor"), true, false);
    node->set(nullptr, "info.can_id", canId, true);
    node->set(nullptr, "info.mcu_id", mcuId, true);
    return node;
}

void registerTestPages()
{
    for (const char* type : {"device_info", "param_table", "oscilloscope"}) {
        const QString t = type;
        ShellExtensions::setPageFactory(t, [t](QWidget* parent) { return new TestPage(t, parent); });
    }
}

} // namespace shelltest
