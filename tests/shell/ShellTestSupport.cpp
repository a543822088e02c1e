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
    servobench::initUiResources();
    // The web engine refuses its sandbox as root, as the program itself knows.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    Helper* helper = Helper::instance();
    if (!helper->canWorker())
        helper->createServices();
    helper->setCurrentDevice(nullptr);
    ve::d("project.device")->clear(nullptr, true, false);
    ve::d("config")->remove(nullptr, "last_project_path", true);
    servobench::importTemplate();
    auto fake = std::make_unique<RecordingDialogs>();
    RecordingDialogs* raw = fake.get();
    helper->setDialogProvider(std::move(fake));
    return raw;
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
