#include "AppTestSupport.h"

#include "Helper.h"
#include "UiResources.h"

#include <AppTree.h>
#include <DataManager.h>

#include <memory>

namespace apptest {

RecordingDialogs* reset()
{
    servobench::initUiResources();
    Helper* helper = Helper::instance();
    helper->setCurrentDevice(nullptr);
    ve::d("project.device")->clear(nullptr, true, false);
    servobench::importTemplate();
    auto dialogs = std::make_unique<RecordingDialogs>();
    RecordingDialogs* raw = dialogs.get();
    helper->setDialogProvider(std::move(dialogs));
    return raw;
}

} // namespace apptest
