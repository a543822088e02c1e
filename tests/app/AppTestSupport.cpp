#include "AppTestSupport.h"

#include "Helper.h"
#include "UiResources.h"

#include <AppTree.h>
#include <DataManager.h>

#include <memory>

bool RecordingDialogs::messageBox(
    DialogProvider::Box kind, QWidget*, const QString& title, const QString& text)
{
    boxes.append({kind, title, text});
    return kind == DialogProvider::Box::Question ? confirm : true;
}

QString RecordingDialogs::getOpenFileName(QWidget*, const QString&, const QString&, const QString&)
{
    return QString();
}

QString RecordingDialogs::getSaveFileName(QWidget*, const QString&, const QString&, const QString&)
{
    return QString();
}

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
