// Plugs the device pieces into the shell. The library is linked whole into the program, so
// these initialisers run before main.
#include "DeviceInfoPage.h"
#include "DeviceTools.h"
#include "DeviceWidget.h"
#include "ShellExtensions.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares its function in the enclosing namespace: keep it global.
static void initDeviceResources()
{
    Q_INIT_RESOURCE(device);
}

namespace {
const bool registered = ShellExtensions::registered([] {
    initDeviceResources();
    ShellExtensions::setToolFactory(
        ShellExtensions::DeviceTab, [](QWidget* parent) -> QWidget* { return new DeviceTools(parent); });
    ShellExtensions::setPageFactory(
        "device_info", [](QWidget* parent) -> QWidget* { return new DeviceInfoPage(parent); });
    ShellExtensions::setLeftPaneFactory([](QWidget* parent) -> QWidget* { return new DeviceWidget(parent); });
});
} // namespace
