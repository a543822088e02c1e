// Plugs the parameter pieces into the shell. The library is linked whole into the program, so
// these initialisers run before main.
#include "ConfigureTools.h"
#include "ParamTablePage.h"
#include "ShellExtensions.h"

namespace {
const bool registered = ShellExtensions::registered([] {
    ShellExtensions::setToolFactory(ShellExtensions::ConfigureTab,
        [](QWidget* parent) -> QWidget* { return new ConfigureTools(parent); });
    ShellExtensions::setPageFactory(
        "param_table", [](QWidget* parent) -> QWidget* { return new ParamTablePage(parent); });
});
} // namespace
