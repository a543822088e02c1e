// Puts the motion control panel into the right pane of the main window. The library is linked
// whole into the program, so this initialiser runs before main.
#include "ShellExtensions.h"
#include "Sidebar.h"

namespace {
const bool registered = ShellExtensions::registered([] {
    ShellExtensions::setRightPaneFactory([](QWidget* parent) -> QWidget* { return new Sidebar(parent); });
});
} // namespace
